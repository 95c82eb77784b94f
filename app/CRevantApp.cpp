// Application object: start-up in its fixed order and the teardown that
// gives the exit code.
#include "CRevantApp.h"

#include <commctrl.h>
#include <gdiplus.h>

#include "CAutoTrace.h"
#include "CDumpMgr.h"
#include "CFileBackupMgr.h"
#include "CRevantDlg.h"
#include "CSBRMgr.h"
#include "KioskKeyboard.h"
#include "NvErrorCode.h"
#include "NvSysUtil.h"
#include "ProcessFunctions.h"
#include "RunShellExe.h"
#include "Win32Error.h"
#include "ZQSimKey.h"

namespace {

const UINT IDS_NO_ADMIN_RIGHTS = 5306;
const UINT IDS_CONTROLLER_FAILED = 5180;
const DWORD OS_CODE_WINPE = 18;
const int kDefaultExitCode = 1;

const wchar_t* const kPreloadedImages[] = {
    L"Image\\nv_logo.png",      L"Image\\nv_logo_h.png",     L"Image\\nv_logo_p.png",    L"Image\\revant_logo.png",
    L"Image\\revant_logo_p.png", L"Image\\revant_logo_h.png", L"Image\\Back_N.png",       L"Image\\Back_H.png",
    L"Image\\Back_P.png",        L"Image\\Recover_N.png",     L"Image\\Recover_H.png",    L"Image\\Recover_P.png",
    L"Image\\utilities-N.png",   L"Image\\utilities-H.png",   L"Image\\utilities-P.png",  L"Image\\Button_N.png",
    L"Image\\Button_H.png",      L"Image\\Button_P.png",      L"Image\\Button_D.png",     L"Image\\Utility_icon.png",
    L"Image\\divider.png",       L"Image\\Step_bullet.png",   L"Image\\main_bg.png",
};

BOOL IsWinPE()
{
    BOOL bWinPE = FALSE;
    return SUCCEEDED(NvIsWinPE(&bWinPE)) && bWinPE;
}

} // namespace

CRevantApp* RevantApp() { return dynamic_cast<CRevantApp*>(AfxGetApp()); }

CRevantApp::CRevantApp() : CWinApp(nullptr), m_strRCLang(L"ENU") {}

CRevantApp::~CRevantApp() = default;

BOOL CRevantApp::InitInstance()
{
    CAutoTrace trace(L"CRevantApp", L"InitInstance", this);
    std::wstring folder;
    NvGetProgramFolder(folder);
    m_strAppDir = folder.c_str();
    DWORD dwOS = 0;
    if (SUCCEEDED(NvGetOSVersion(&dwOS)) && dwOS == OS_CODE_WINPE)
        SetCurrentDirectoryW(m_strAppDir);
    InitCommonControls();
    LoadZQSimKey();
    if (!LoadRC() || !ProcessCommandLine() || !CheckMultiInst() || !CheckAdminRights())
        return FALSE;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_ulGdiplusToken, &input, nullptr);
    free(const_cast<LPWSTR>(m_pszAppName));
    m_pszAppName = _wcsdup(GetAppName());
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey(L"Norvale Revant");
    BOOL bWinPE = IsWinPE();
    if (bWinPE)
        PrepareWinPE();
    if (!CreateController())
        return FALSE;
    PrepareDumpFile(m_pSBRMgr, bWinPE);
    m_pSBRMgr->m_bFinishDlg = m_bFinishDlg;
    m_pSBRMgr->m_bCTOPanic = m_bCTOPanic;
    m_pSBRMgr->m_bFileRestore = m_bFileRestore;
    m_pSBRMgr->SetRestoreSourcePath(m_wszRestoreSourcePath);
    if (m_bFinishDlg || m_bCTOPanic) {
        CreateFullWindow();
        InstallKioskKeyboardHook();
    }
    m_pFileBackupMgr = new (std::nothrow) CFileBackupMgr(m_pSBRMgr->GetUPDrvLet());
    if (!m_pFileBackupMgr)
        return FALSE;
    StartBackgroundServices();
    PreloadImages();
    m_oDiscBurner.Init();
    ConnectFileBackup();
    RunHostDialog();
    return FALSE;
}

// The backup burns and the restore swaps discs through the burning client;
// both ask the user through the program's dialogs.
void CRevantApp::ConnectFileBackup()
{
    CSBRMgr* pMgr = m_pSBRMgr;
    m_oDiscBurner.SetPrompt(&m_oDiscPrompt);
    m_oDiscBurner.SetRecoveryDiscQueries(RecoveryDiscQueries::FromController(pMgr));
    m_pFileBackupMgr->SetDiscBurner(&m_oDiscBurner);
    m_pFileBackupMgr->SetAsker(&CWaitingDiscPrompt::AskRestore);
    m_pFileBackupMgr->SetRestorePaths(pMgr->GetRestoreSourcePath(), pMgr->GetWindowsDrvLet());
}

// A notebook's battery driver, then Windows PE's own language.
void CRevantApp::PrepareWinPE()
{
    CAutoTrace trace(L"CRevantApp", L"InitInstance", this);
    if (m_enZQVendor == ZQ_VENDOR_CNB) {
        trace.Print(L"run drvload.exe ...");
        RunShellExe(L"drvload.exe", L"X:\\Windows\\inf\\battery.inf", L"X:\\Windows\\System32", nullptr, RSE_WAIT,
                    FALSE, nullptr);
    }
    SetMuiLanguage(m_strRCLang);
}

BOOL CRevantApp::CheckAdminRights()
{
    SC_HANDLE hSCM = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (hSCM) {
        CloseServiceHandle(hSCM);
        return TRUE;
    }
    if (GetLastError() != ERROR_ACCESS_DENIED)
        return TRUE;
    AfxMessageBox(IDS_NO_ADMIN_RIGHTS, MB_OK);
    return FALSE;
}

BOOL CRevantApp::CreateController()
{
    CAutoTrace trace(L"CRevantApp", L"InitInstance", this);
    m_pSBRMgr = new (std::nothrow) CSBRMgr;
    if (!m_pSBRMgr || FAILED(m_pSBRMgr->Init())) {
        CString text;
        text.Format(IDS_CONTROLLER_FAILED, GetAppName().GetString());
        AfxMessageBox(text, MB_OK);
        return FALSE;
    }
    trace.Print(L"CSBRMgr created.\r\n");
    m_pSBRMgr->SetZQOSVer(m_enZQOSVer);
    m_pSBRMgr->SetZQVendor(m_enZQVendor);
    return TRUE;
}

void CRevantApp::PrepareDumpFile(CSBRMgr* pMgr, BOOL bWinPE)
{
    m_bDumpInitialized = g_DumpMgr.Initialize();
    g_DumpMgr.SetDumpMode(bWinPE ? DM_WINPE : DM_OS);
    if (wchar_t wcLetter = pMgr->GetUPDrvLet())
        g_DumpMgr.PrepareDumpFilePath(wcLetter);
}

void CRevantApp::StartBackgroundServices()
{
    CAutoTrace trace(L"CRevantApp", L"InitInstance", this);
    trace.Print(L"CFileBackupMgr created.\r\n");
    m_pSBRMgr->InitDisk();
    trace.Print(L"InitDisk done.\r\n");
    m_pSBRMgr->InitBurning();
    trace.Print(L"InitBurning done.\r\n");
    m_pSBRMgr->UpdateDiscInfoCache();
    trace.Print(L"UpdateDiscInfoCache done.\r\n");
}

void CRevantApp::PreloadImages()
{
    for (const wchar_t* pwszImage : kPreloadedImages)
        GetImage(pwszImage);
}

void CRevantApp::RunHostDialog()
{
    CRevantDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
}

int CRevantApp::ExitInstance()
{
    OutputDebugStringW(L"CRevantApp::ExitInstance() - ENTER");
    DeleteSBRMgr();
    FreeImages();
    if (m_ulGdiplusToken) {
        Gdiplus::GdiplusShutdown(m_ulGdiplusToken);
        m_ulGdiplusToken = 0;
    }
    CloseMultiInstMutex();
    delete m_pFileBackupMgr;
    m_pFileBackupMgr = nullptr;
    m_oDiscBurner.Uninit();
    // Only a lock that start-up initialised is taken down.
    if (m_bDumpInitialized)
        g_DumpMgr.Uninitialize();
    m_bDumpInitialized = FALSE;
    return m_nExitCode == -1 ? kDefaultExitCode : m_nExitCode;
}

void CRevantApp::DeleteSBRMgr()
{
    if (!m_pSBRMgr)
        return;
    // A worker that has not ended uses the controller: it is stopped (also
    // from a pause) and waited for first. WaitWorker(0) is FALSE too when no
    // worker was ever started; the abort flag is then put back.
    if (!m_pSBRMgr->WaitWorker(0)) {
        BOOL bAbortBefore = CSBRMgr::m_bUserAbort;
        m_pSBRMgr->AbortOperation();
        m_pSBRMgr->ResumeZQRecoveryThread();
        m_pSBRMgr->WaitWorker(INFINITE);
        CSBRMgr::m_bUserAbort = bAbortBefore;
    }
    delete m_pSBRMgr;
    m_pSBRMgr = nullptr;
}

void CRevantApp::CloseMultiInstMutex()
{
    if (!m_hMultiInstMutex || m_hMultiInstMutex == INVALID_HANDLE_VALUE)
        return;
    if (CloseHandle(m_hMultiInstMutex))
        m_hMultiInstMutex = nullptr;
    else
        PrintWin32Error(GetLastError());
}

void CRevantApp::ShowTaskbar(BOOL bShow)
{
    if (IsWinPE())
        return;
    for (const wchar_t* pwszClass : {L"Shell_TrayWnd", L"Button"}) {
        HWND hWnd = FindWindowW(pwszClass, nullptr);
        if (!hWnd)
            return;
        ShowWindow(hWnd, bShow ? SW_SHOW : SW_HIDE);
        UpdateWindow(hWnd);
    }
}

BOOL CRevantApp::CreateFullWindow()
{
    if (m_wndFull.GetSafeHwnd())
        return TRUE;
    LPCWSTR pwszClass = AfxRegisterWndClass(CS_OWNDC);
    if (!m_wndFull.CreateEx(WS_EX_TOOLWINDOW, pwszClass, L"Full Window", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr,
                            nullptr, nullptr)) {
        OutputDebugStringW(L"Failed to Create Full Window)");
        return FALSE;
    }
    return TRUE;
}

void CRevantApp::LoadZQSimKey()
{
    ZQPlatform enPlatform = ZQ_PLATFORM_WIN7;
    ZQVendor enVendor = ZQ_VENDOR_DOZ;
    if (SUCCEEDED(LoadZQSimSettings(m_strAppDir, &enPlatform, &enVendor))) {
        m_enZQOSVer = enPlatform;
        m_enZQVendor = enVendor;
    }
}
