// Host dialog towards the outside: window shape and first page, the special
// modes of the command line, power events, keys and closing.
#include "CRevantDlg.h"

#include <gdiplus.h>
#include <shlwapi.h>

#include "CAutoTrace.h"
#include "CDumpMgr.h"
#include "CRevantApp.h"
#include "CSBRMgr.h"
#include "FirstPage.h"
#include "NvSysUtil.h"
#include "ProcessFunctions.h"
#include "RunShellExe.h"
#include "Win32Error.h"

namespace {

const UINT IDS_CLOSE_REFUSED = 5208;
const UINT IDS_PE_RESTART_CONFIRM = 180;
const UINT IDS_NO_RECOVERY_REPORT = 254;
const int PAGE_REMOVE_RP_CONFIRM = 5397;
const int PAGE_REMOVE_RP_DONE = 5396;
const DWORD VENDOR_CNB = 4;
const SHORT kKeyDown = static_cast<SHORT>(0x8000);
const int kRestartKind = 0;

// The first-page facts as the controller answers them.
class CControllerFacts : public IFirstPageFacts {
public:
    CControllerFacts(CSBRMgr& mgr, BOOL bWinPE, CAutoTrace& trace) : m_mgr(mgr), m_bWinPE(bWinPE), m_trace(trace) {}
    BOOL FinishDlg() override { return m_mgr.m_bFinishDlg; }
    BOOL CTOPanic() override { return m_mgr.m_bCTOPanic; }
    BOOL FileRestore() override { return m_mgr.m_bFileRestore; }
    BOOL IsWinPE() override { return m_bWinPE; }
    // Marking the system partition active is a partition operation the
    // engine does not offer yet.
    void SetSPActive() override { m_trace.Print(L"SetSPActive is not available."); }
    BOOL BootFromOpticalDrive(DWORD* pdwIndex) override { return NvIsPEBootFromODD(pdwIndex); }
    DWORD Vendor() override { return m_mgr.GetZQVendor(); }
    // The engine has no patch-script runner yet: there is no pre-welcome script to fail.
    HRESULT PreWelcome() override { return S_OK; }
    DWORD OpticalDriveCount() override { return m_mgr.GetCDROMCount(); }
    DWORD DiscTypeOf(DWORD dwIndex) override
    {
        m_mgr.SetBootCDROMIndex(dwIndex);
        return static_cast<DWORD>(m_mgr.GetRecoveryDiscType());
    }
    void SetBootOpticalDrive(DWORD dwIndex) override { m_mgr.SetBootCDROMIndex(dwIndex); }
    BOOL RecoveryPartitionExists() override { return m_mgr.RecoveryPartitionIsExist(); }
    void Trace(const wchar_t* pwszLine) override { m_trace.Print(L"%s", pwszLine); }

private:
    CSBRMgr& m_mgr;
    BOOL m_bWinPE;
    CAutoTrace& m_trace;
};

void ShowFormatted(UINT nId, const CString& strArg, UINT nType)
{
    CString text;
    text.Format(nId, strArg.GetString());
    AfxMessageBox(text, nType);
}

CString AppName()
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->GetAppName() : CString();
}

} // namespace

BOOL CRevantDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CAutoTrace trace(L"CRevantApp", L"InitInstance", this);
    CRevantApp* pApp = RevantApp();
    if (pApp && pApp->m_bRTL)
        ModifyStyleEx(0, WS_EX_LAYOUTRTL);
    FitToBackground();
    GetWindowRect(&m_rcWindow);
    ScreenToClient(&m_rcWindow);
    for (size_t i = 0; i < PageFlowRowCount(); ++i)
        RegisterPage(static_cast<UINT>(PageFlowTable[i].pageId), nullptr);
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ShowFirstPage();
    DebugPrint(L"return OninitialDlg \n");
    return TRUE;
}

void CRevantDlg::FitToBackground()
{
    CRect rc;
    GetWindowRect(&rc);
    CRevantApp* pApp = RevantApp();
    Gdiplus::Image* pImage = pApp ? pApp->GetImage(L"Image\\bg.png") : nullptr;
    Gdiplus::RectF bounds;
    Gdiplus::Unit unit = Gdiplus::UnitPixel;
    // A picture that cannot be read keeps the template's size rather than
    // shrinking the window to nothing.
    bool bFits = pImage && pImage->GetBounds(&bounds, &unit) == Gdiplus::Ok && bounds.Width >= 1 && bounds.Height >= 1;
    int cx = rc.Width();
    int cy = rc.Height();
    if (bFits) {
        cx = static_cast<int>(bounds.Width) + 2 * GetSystemMetrics(SM_CXDLGFRAME);
        cy = static_cast<int>(bounds.Height) + 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
    }
    if (m_bKioskMode) {
        ModifyStyle(WS_SYSMENU, 0);
        SetWindowPos(&wndTopMost, rc.left, rc.top, cx, cy, 0);
    } else {
        SetWindowPos(nullptr, rc.left, rc.top, cx, cy, SWP_NOZORDER);
    }
}

void CRevantDlg::ShowFirstPage()
{
    CAutoTrace trace(L"CRevantApp", L"InitInstance", this);
    CSBRMgr* pMgr = Controller();
    if (!pMgr) {
        trace.Print(L"no recovery controller: no first page");
        return;
    }
    if (m_bWinPE)
        ModifyStyle(WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0);
    CControllerFacts facts(*pMgr, m_bWinPE, trace);
    FirstPageChoice choice = ChooseFirstPage(facts);
    if (choice.bDeleteRecoveryTypeFlags)
        DeleteRecoveryTypeFlags();
    if (choice.enKind == FIRST_PAGE_NONE)
        return;
    if (choice.enKind == FIRST_PAGE_SPECIAL && GoToSpecialPage())
        return;
    GoToPage(static_cast<UINT>(choice.nPageId), TRUE);
}

BOOL CRevantDlg::RunOutsideProgramAndQuit(const wchar_t* pwszFile, const wchar_t* pwszParameters,
                                          const wchar_t* pwszDoneLine)
{
    CAutoTrace trace(L"CRevantDlg", L"GoToSpecialPage", this);
    ShowWindow(SW_HIDE);
    RunShellExe(pwszFile, pwszParameters, nullptr, nullptr, RSE_WAIT, TRUE, nullptr);
    trace.Print(L"%s", pwszDoneLine);
    PostQuitMessage(0);
    return TRUE;
}

BOOL CRevantDlg::RunDiscCreatorAndQuit()
{
    CAutoTrace trace(L"CRevantDlg", L"GoToSpecialPage", this);
    CRevantApp* pApp = RevantApp();
    wchar_t wszCmd[MAX_PATH] = L"";
    CString strPath = pApp->GetAppDir() + L"Discora.exe";
    lstrcpynW(wszCmd, strPath, MAX_PATH - 2);
    PathQuoteSpacesW(wszCmd);
    ShowWindow(SW_HIDE);
    trace.Print(L"wszCmd = %s", wszCmd);
    RunShellExe(wszCmd, L"/FromManuallyLink", nullptr, nullptr, RSE_WAIT, TRUE, nullptr);
    trace.Print(L"Discora finish");
    PostQuitMessage(0);
    return TRUE;
}

BOOL CRevantDlg::ShowRecoveryReport()
{
    CAutoTrace trace(L"CRevantDlg", L"GoToSpecialPage", this);
    wchar_t wszPath[MAX_PATH] = L"";
    if (!g_DumpMgr.GetDumpFilePath(wszPath, MAX_PATH))
        return FALSE;
    if (!PathFileExistsW(wszPath)) {
        AfxMessageBox(IDS_NO_RECOVERY_REPORT);
        trace.Print(L"Recovery report finish");
        PostQuitMessage(0);
        return TRUE;
    }
    PVOID pOld = nullptr;
    BOOL bWow64 = NvIsWow64();
    if (bWow64 && !NvDisableWow64FsRedirection(&pOld)) {
        trace.Print(L"NvDisableWow64FsRedirection fail.");
        AfxMessageBox(IDS_NO_RECOVERY_REPORT);
        return TRUE;
    }
    ShowWindow(SW_HIDE);
    RunShellExe(wszPath, L"", L"", nullptr, RSE_WAIT, TRUE, nullptr);
    if (bWow64)
        NvRevertWow64FsRedirection(pOld);
    trace.Print(L"Recovery report finish");
    PostQuitMessage(0);
    return TRUE;
}

BOOL CRevantDlg::GoToSpecialPage()
{
    CAutoTrace trace(L"CRevantDlg", L"GoToSpecialPage", this);
    CRevantApp* pApp = RevantApp();
    CSBRMgr* pMgr = Controller();
    if (!pApp)
        return FALSE;
    CString strAppvane = pApp->GetAppDir() + L"\\Appvane.exe";
    switch (pApp->m_enSpecialPageMode) {
    case SPM_REINSTALL_APP:
        return RunOutsideProgramAndQuit(strAppvane, L"-AppManuallyLink", L"Application reinstall finished.");
    case SPM_REINSTALL_DRIVER:
        return RunOutsideProgramAndQuit(strAppvane, L"-DriverManuallyLink", L"Driver reinstall finished.");
    case SPM_DISCORA:
        return RunDiscCreatorAndQuit();
    case SPM_DEL_RP:
        if (pMgr && pMgr->RecoveryPartitionIsExist()) {
            trace.Print(L"RP exist and enter CRemoveRPConfirmPage");
            GoToPage(PAGE_REMOVE_RP_CONFIRM, TRUE);
        } else {
            trace.Print(L"RP does not exist and enter CRemoveRPDonePage");
            GoToPage(PAGE_REMOVE_RP_DONE, TRUE);
        }
        return TRUE;
    case SPM_RECOVERY_REPORT:
        return ShowRecoveryReport();
    default:
        return FALSE;
    }
}

void CRevantDlg::DeleteRecoveryTypeFlags()
{
    CSBRMgr* pMgr = Controller();
    wchar_t wcLetter = pMgr ? pMgr->GetRPTOOLDrvLet() : 0;
    if (!wcLetter)
        return;
    for (const wchar_t* pwszName : {L"HDD_RECOVERY.dat", L"CDROM_RECOVERY.dat"}) {
        wchar_t wszPath[MAX_PATH] = L"";
        _snwprintf(wszPath, MAX_PATH - 1, L"%c:\\%s", wcLetter, pwszName);
        if (PathFileExistsW(wszPath))
            DeleteFileW(wszPath);
    }
}

BOOL CRevantDlg::CheckACPower()
{
    CAutoTrace trace(L"CRevantDlg", L"CheckACPower", this);
    CSBRMgr* pMgr = Controller();
    CRevantApp* pApp = RevantApp();
    if (!pMgr || !pApp || pApp->m_enZQVendor != VENDOR_CNB)
        return TRUE;
    BOOL bOffline = FALSE;
    if (FAILED(pMgr->ACPowerIsOffline(&bOffline)))
        return TRUE;
    trace.Print(L"bOffline = %lu", static_cast<unsigned long>(bOffline));
    return !bOffline;
}

UINT CRevantDlg::OnPowerBroadcast(UINT nPowerEvent, LPARAM lParam)
{
    CAutoTrace trace(L"CRevantDlg", L"OnPowerBroadcast", this);
    trace.Print(L"wParam = %lx, lParam = %lx", static_cast<unsigned long>(nPowerEvent), static_cast<unsigned long>(lParam));
    // After DeleteSBRMgr the window still pumps messages: nothing to follow.
    CSBRMgr* pMgr = Controller();
    CRevantApp* pApp = RevantApp();
    if (!pMgr || !pApp)
        return TRUE;
    if (nPowerEvent == PBT_APMSUSPEND) {
        BOOL bRunning = FALSE;
        if (SUCCEEDED(pMgr->IsPerformingOperation(&bRunning)) && bRunning)
            pMgr->AbortOperation();
        return TRUE;
    }
    if (nPowerEvent != PBT_APMPOWERSTATUSCHANGE)
        return TRUE;
    trace.Print(L"PBT_APMPOWERSTATUSCHANGE == wParam");
    BOOL bOffline = FALSE;
    if (pApp->m_enZQVendor != VENDOR_CNB || FAILED(pMgr->ACPowerIsOffline(&bOffline)))
        return TRUE;
    if (bOffline) {
        trace.Print(L"pause and enable power warning...");
        pMgr->PauseZQRecoveryThread();
        pMgr->SetPowerWarning(TRUE);
    } else {
        trace.Print(L"disable power warning and resume ...");
        pMgr->SetPowerWarning(FALSE);
        pMgr->ResumeZQRecoveryThread();
    }
    return TRUE;
}

BOOL CRevantDlg::HandlePEHotKey(MSG* pMsg)
{
    if (!m_bWinPE || pMsg->message != WM_SYSKEYDOWN || !(GetKeyState(VK_MENU) & kKeyDown))
        return FALSE;
    switch (towupper(static_cast<wint_t>(pMsg->wParam))) {
    case L'D': {
        PVOID pOld = nullptr;
        BOOL bWow64 = NvIsWow64();
        if (bWow64 && !NvDisableWow64FsRedirection(&pOld)) {
            DebugPrint(L"NvDisableWow64FsRedirection fail.");
            return TRUE;
        }
        RunShellExe(L"cmd.exe", L"", nullptr, nullptr, RSE_NO_WAIT, TRUE, nullptr);
        if (bWow64)
            NvRevertWow64FsRedirection(pOld);
        return TRUE;
    }
    case L'X':
        NvShutdownWinPE(SHUTDOWN_KIND_POWER_OFF);
        return TRUE;
    case L'Q':
        if (CSBRMgr* pMgr = Controller())
            pMgr->SetSkipSaveFile(TRUE);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CRevantDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN &&
        (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_SPACE))
        return TRUE;
    if (HandlePEHotKey(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CRevantDlg::OnClose()
{
    CAutoTrace trace(L"CRevantDlg", L"OnClose", this);
    CSBRMgr* pMgr = Controller();
    BOOL bRunning = FALSE;
    if (pMgr && SUCCEEDED(pMgr->IsPerformingOperation(&bRunning)) && bRunning) {
        trace.Print(L"IsPerformingOperation is yes.");
        ShowFormatted(IDS_CLOSE_REFUSED, AppName(), MB_OK);
        return;
    }
    if (m_bWinPE) {
        trace.Print(L"IsUnderWinPE == true");
        CString text;
        text.Format(IDS_PE_RESTART_CONFIRM, AppName().GetString());
        if (AfxMessageBox(text, MB_OKCANCEL) == IDOK) {
            if (pMgr)
                pMgr->AbortOperation();
            NvShutdownWinPE(kRestartKind);
        }
        return;
    }
    CDialog::OnClose();
}
