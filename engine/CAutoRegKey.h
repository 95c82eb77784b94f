// Owns an open registry key.
#pragma once

#include <windows.h>

class CAutoRegKey {
public:
    CAutoRegKey() = default;
    ~CAutoRegKey() { Close(); }
    CAutoRegKey(const CAutoRegKey&) = delete;
    CAutoRegKey& operator=(const CAutoRegKey&) = delete;

    HKEY Get() const { return m_hKey; }
    HKEY* Receive() { Close(); return &m_hKey; }
    // The result of RegCloseKey (ERROR_SUCCESS when nothing was open).
    LONG Close()
    {
        LONG lResult = ERROR_SUCCESS;
        if (m_hKey != nullptr)
            lResult = RegCloseKey(m_hKey);
        m_hKey = nullptr;
        return lResult;
    }

private:
    HKEY m_hKey = nullptr;
};
