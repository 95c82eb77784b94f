// Owns a FindFirstFileW search handle.
#pragma once

#include <windows.h>

class CAutoFindHandle {
public:
    CAutoFindHandle() = default;
    explicit CAutoFindHandle(HANDLE hFind) : m_hFind(hFind) {}
    ~CAutoFindHandle() { Close(); }
    CAutoFindHandle(const CAutoFindHandle&) = delete;
    CAutoFindHandle& operator=(const CAutoFindHandle&) = delete;

    bool IsValid() const { return m_hFind != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_hFind; }
    void Close()
    {
        if (m_hFind != INVALID_HANDLE_VALUE) {
            FindClose(m_hFind);
            m_hFind = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
};
