// What the recovery program's host gives its pages: pictures, direction,
// vendor, names and the answer to Cancel.
#include "CRevantDlg.h"

#include "CRevantApp.h"
#include "ProcessFunctions.h"

namespace {
const UINT IDS_PE_RESTART_CONFIRM = 180;
const int kRestartKind = 0;
}

// Under Windows PE the host's own flag decides, not the controller, which
// may already be gone while messages are still pumped.
void CRevantDlg::OnPageCancel()
{
    CRevantApp* pApp = RevantApp();
    if (!m_bWinPE) {
        CWnd* pMain = AfxGetMainWnd();
        (pMain ? pMain : this)->PostMessage(WM_CLOSE);
        return;
    }
    CString text;
    text.Format(IDS_PE_RESTART_CONFIRM, pApp ? pApp->GetAppName().GetString() : L"");
    if (AfxMessageBox(text, MB_OKCANCEL) == IDOK)
        NvShutdownWinPE(kRestartKind);
}

Gdiplus::Image* CRevantDlg::GetPageImage(const CString& strRelPath)
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->GetImage(strRelPath) : nullptr;
}

BOOL CRevantDlg::IsPageRTL() const
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->m_bRTL : FALSE;
}

DWORD CRevantDlg::GetPageVendor() const
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->m_enZQVendor : 0;
}

CString CRevantDlg::GetDSCAppName()
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->GetDSCAppName() : CString();
}
