#include "CMessageSink.h"

CMessageSink& CMessageSink::Instance()
{
    static CMessageSink sink;
    return sink;
}

DWORD CMessageSink::Register(HANDLE hWim, FARPROC proc, PVOID user)
{
    if (!proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_CALLBACK_VALUE;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_back({hWim, reinterpret_cast<WIMMessageCallback>(reinterpret_cast<void (*)()>(proc)), user});
    return (DWORD)(m_entries.size() - 1);
}

BOOL CMessageSink::Unregister(HANDLE hWim, FARPROC proc)
{
    std::lock_guard<std::mutex> guard(m_lock);
    WIMMessageCallback target = reinterpret_cast<WIMMessageCallback>(reinterpret_cast<void (*)()>(proc));
    size_t before = m_entries.size();
    // A function registered twice stays registered once after one call;
    // no function at all means every callback of that handle.
    for (size_t i = m_entries.size(); i-- > 0;) {
        const Entry& e = m_entries[i];
        if (e.hWim != hWim || (proc && e.proc != target)) continue;
        m_entries.erase(m_entries.begin() + (long)i);
        if (proc) break;
    }
    return m_entries.size() != before;
}

void CMessageSink::ForgetHandle(HANDLE hWim)
{
    if (!hWim) return;
    std::lock_guard<std::mutex> guard(m_lock);
    for (size_t i = m_entries.size(); i-- > 0;)
        if (m_entries[i].hWim == hWim) m_entries.erase(m_entries.begin() + (long)i);
}

DWORD CMessageSink::Send(HANDLE hWim, DWORD message, WPARAM wParam, LPARAM lParam)
{
    std::vector<Entry> targets;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (const Entry& e : m_entries)
            if (!e.hWim || e.hWim == hWim) targets.push_back(e);
    }
    // Called without the lock, so that a callback may unregister itself.
    DWORD result = WIM_MSG_SUCCESS;
    DWORD lastError = GetLastError();
    for (const Entry& e : targets) {
        DWORD r = e.proc(message, wParam, lParam, e.user);
        if (r == WIM_MSG_DONE) break; // handled: the callbacks after it do not hear it
        if (r == WIM_MSG_ABORT_IMAGE) result = WIM_MSG_ABORT_IMAGE;
        else if (r == WIM_MSG_SKIP_ERROR && result == WIM_MSG_SUCCESS) result = r;
    }
    SetLastError(lastError);
    return result;
}
