// Owns a library loaded at run time; released on every way out.
#pragma once

#include <windows.h>

class CAutoLibrary {
public:
    explicit CAutoLibrary(HMODULE h) : m_h(h) {}
    ~CAutoLibrary()
    {
        if (m_h)
            FreeLibrary(m_h);
    }
    CAutoLibrary(const CAutoLibrary&) = delete;
    CAutoLibrary& operator=(const CAutoLibrary&) = delete;

    HMODULE Get() const { return m_h; }

private:
    HMODULE m_h;
};
