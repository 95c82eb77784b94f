// Owns a kernel handle (file, process, snapshot); null and
// INVALID_HANDLE_VALUE both mean "none".
#pragma once

#include <windows.h>

class CAutoHandle {
public:
    CAutoHandle() = default;
    explicit CAutoHandle(HANDLE h) : m_h(h) {}
    ~CAutoHandle() { Close(); }
    CAutoHandle(const CAutoHandle&) = delete;
    CAutoHandle& operator=(const CAutoHandle&) = delete;

    bool IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    void Reset(HANDLE h) { Close(); m_h = h; }
    // FALSE when CloseHandle failed; the handle is forgotten either way.
    BOOL Close()
    {
        BOOL bOk = TRUE;
        if (IsValid())
            bOk = CloseHandle(m_h);
        m_h = nullptr;
        return bOk;
    }

private:
    HANDLE m_h = nullptr;
};
