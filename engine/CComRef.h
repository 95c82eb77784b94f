// Owns one COM reference; released on every way out.
#pragma once

#include <unknwn.h>

template <class T>
class CComRef {
public:
    CComRef() = default;
    explicit CComRef(T* p) : m_p(p) {}
    ~CComRef() { Reset(nullptr); }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    bool IsValid() const { return m_p != nullptr; }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    // Releases the held reference and takes over p's.
    void Reset(T* p)
    {
        if (m_p)
            m_p->Release();
        m_p = p;
    }
    // The slot for an out-parameter; the held reference goes first.
    T** Out()
    {
        Reset(nullptr);
        return &m_p;
    }

private:
    T* m_p = nullptr;
};
