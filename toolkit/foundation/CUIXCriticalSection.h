// The toolkit's lock and its scope guard.
#pragma once
#include <afxwin.h>

class CUIXCriticalSection {
public:
    CUIXCriticalSection() { InitializeCriticalSection(&m_cs); }
    ~CUIXCriticalSection() { DeleteCriticalSection(&m_cs); }
    CUIXCriticalSection(const CUIXCriticalSection&) = delete;
    CUIXCriticalSection& operator=(const CUIXCriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&m_cs); }
    void Leave() { LeaveCriticalSection(&m_cs); }
    operator CRITICAL_SECTION*() { return &m_cs; }

private:
    CRITICAL_SECTION m_cs;
};
