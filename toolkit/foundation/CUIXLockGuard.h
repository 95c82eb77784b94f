// Holds a critical section for a scope; Unlock and Lock drop and retake it inside.
#pragma once
#include <afxwin.h>

class CUIXLockGuard {
public:
    explicit CUIXLockGuard(CRITICAL_SECTION* cs) : m_cs(cs) { Lock(); }
    ~CUIXLockGuard() { Unlock(); }
    CUIXLockGuard(const CUIXLockGuard&) = delete;
    CUIXLockGuard& operator=(const CUIXLockGuard&) = delete;
    void Lock() {
        if (!m_held) EnterCriticalSection(m_cs);
        m_held = true;
    }
    void Unlock() {
        if (m_held) LeaveCriticalSection(m_cs);
        m_held = false;
    }

private:
    CRITICAL_SECTION* m_cs;
    bool m_held = false;
};
