#include "CWaitingDiscPrompt.h"

#include "AppMessageBox.h"
#include "CRevantApp.h"
#include "CWaitingDiscDlg.h"

namespace {

// Every disc wait passes this to the dialog; it matters only without burn mode.
const int kDiscWaitValue = 4;
const UINT kAskDisc = 241;
const UINT kAskApplyFailed = 252;
const UINT kAskMergeFailed = 253;

CWnd* MainWnd()
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->m_pMainWnd : nullptr;
}

CString AppName()
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->GetAppName() : CString();
}

int Show(const CString& strText, UINT uType)
{
    CWnd* pMain = MainWnd();
    CString strName = AppName();
    return AppMessageBox(pMain ? pMain->GetSafeHwnd() : nullptr, strText, strName, uType);
}

} // namespace

BOOL CWaitingDiscPrompt::WaitForMedium(UINT uTextId)
{
    CString strText;
    strText.LoadString(uTextId);
    CWaitingDiscDlg dlg(MainWnd(), strText, kDiscWaitValue);
    dlg.m_bBurnMode = TRUE;
    dlg.m_pMediaProbe = this;
    return dlg.DoModal() == WAITDISC_READY;
}

void CWaitingDiscPrompt::TellDiscRefused(UINT uTextId)
{
    CString strFormat;
    strFormat.LoadString(uTextId);
    CString strText;
    strText.Format(strFormat, static_cast<LPCWSTR>(AppName()));
    Show(strText, MB_OK);
}

int CWaitingDiscPrompt::AskRestore(UINT uId, const std::wstring& strArg)
{
    CString strFormat;
    strFormat.LoadString(uId);
    CString strText;
    if (uId == kAskDisc)
        strText.Format(strFormat, _wtoi(strArg.c_str()));
    else if (uId == kAskApplyFailed || uId == kAskMergeFailed)
        strText.Format(strFormat, static_cast<LPCWSTR>(AppName()), strArg.c_str());
    else
        strText = strFormat;
    UINT uType = uId == kAskDisc ? MB_OKCANCEL : (uId == kAskApplyFailed || uId == kAskMergeFailed) ? MB_YESNO : MB_OK;
    return Show(strText, uType);
}
