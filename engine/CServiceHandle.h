// Owns a service-manager or service handle.
#pragma once

#include <windows.h>

class CServiceHandle {
public:
    explicit CServiceHandle(SC_HANDLE h) : m_h(h) {}
    ~CServiceHandle()
    {
        if (m_h)
            CloseServiceHandle(m_h);
    }
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;

    bool IsValid() const { return m_h != nullptr; }
    SC_HANDLE Get() const { return m_h; }

private:
    SC_HANDLE m_h;
};
