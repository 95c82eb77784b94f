#include "WIMListener.h"

#include <cwctype>
#include <string>

#include "CFileBackupMgr.h"
#include "wimgapi.h"

bool WIMListener::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CFileBackupNotifier* notifier = m_owner.Notifier();
    if (uMsg == WIM_MSG_PROGRESS) {
        int m = m_owner.AppliedWims();
        int n = m_owner.WimCount();
        int percent = (m >= 1 && n >= 1) ? (100 / n) * (m - 1) + int(wParam) / n : 0;
        if (notifier)
            notifier->OnRestoreProgress(nullptr, percent);
        return true;
    }
    if (uMsg != WIM_MSG_PROCESS || !wParam || !lParam)
        return true;
    const wchar_t* path = reinterpret_cast<const wchar_t*>(wParam);
    BOOL* pbProcess = reinterpret_cast<BOOL*>(lParam);
    const wchar_t* dot = wcsrchr(path, L'.');
    const wchar_t* slash = wcsrchr(path, L'\\');
    std::wstring ext = (dot && (!slash || dot > slash)) ? dot : L"";
    for (wchar_t& c : ext)
        c = towlower(c);
    if (m_owner.IsCancelled()) {
        *pbProcess = FALSE;
        return true;
    }
    int verdict = m_owner.Verdict(ext);
    if (verdict < 0)
        *pbProcess = FALSE;
    else if (verdict > 0 && notifier)
        notifier->OnRestoreProgress(path, -1);
    return true;
}
