// Owns a kernel handle (file or search) and closes it once.
#pragma once

#include <windows.h>

class CScopedHandle {
public:
    explicit CScopedHandle(HANDLE h = INVALID_HANDLE_VALUE, bool isFind = false) : m_h(h), m_find(isFind) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (Valid()) m_find ? FindClose(m_h) : CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h;
    bool m_find;
};
