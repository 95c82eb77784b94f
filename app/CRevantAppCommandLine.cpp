// Application object: the command line's tool switches and start flags.
#include "CRevantApp.h"

#include <shlwapi.h>

#include "CAutoTrace.h"
#include "CDumpMgr.h"
#include "CSBRMgr.h"
#include "NvErrorCode.h"
#include "NvSysUtil.h"
#include "RunShellExe.h"

BOOL CRevantApp::ProcessCommandLine(int argc, const wchar_t* const* argv)
{
    CAutoTrace trace(L"CRevantApp", L"ProcessCommandLine", this);
    if (!argv) {
        argc = __argc;
        argv = __wargv;
    }
    CommandLineChoice choice = ParseCommandLine(argc, argv);
    switch (choice.enSwitch) {
    case SWITCH_NONE:
        return TRUE;
    case SWITCH_UNINSTALL_DRIVER:
    case SWITCH_INSTALL_DRIVER:
    case SWITCH_UPDATE_WIM:
    case SWITCH_CHECK_SSD:
    case SWITCH_RE_LIVE_UPDATE:
        return RunToolSwitch(choice.enSwitch);
    default:
        ApplyStartPageSwitch(choice);
        return TRUE;
    }
}

void CRevantApp::ApplyStartPageSwitch(const CommandLineChoice& choice)
{
    CAutoTrace trace(L"CRevantApp", L"ProcessCommandLine", this);
    switch (choice.enSwitch) {
    case SWITCH_FINISH_DLG:
        m_bFinishDlg = TRUE;
        LoadLangFromSSRDFlag();
        break;
    case SWITCH_CTO_PANIC:
        m_bCTOPanic = TRUE;
        LoadLangFromSSRDFlag();
        break;
    case SWITCH_FILE_RESTORE:
        // Without a usable folder the restore wizard has nothing to restore from.
        if (!choice.bRestorePathValid) {
            trace.Print(L"FileRestore without a usable path is ignored.");
            break;
        }
        m_bFileRestore = TRUE;
        lstrcpynW(m_wszRestoreSourcePath, choice.wstrRestorePath.c_str(), MAX_PATH);
        break;
    case SWITCH_REINSTALL_APP: m_enSpecialPageMode = SPM_REINSTALL_APP; break;
    case SWITCH_REINSTALL_DRIVER: m_enSpecialPageMode = SPM_REINSTALL_DRIVER; break;
    case SWITCH_DISCORA: m_enSpecialPageMode = SPM_DISCORA; break;
    case SWITCH_DEL_RP: m_enSpecialPageMode = SPM_DEL_RP; break;
    case SWITCH_RECOVERY_REPORT: m_enSpecialPageMode = SPM_RECOVERY_REPORT; break;
    default: break;
    }
}

BOOL CRevantApp::RunToolSwitch(AppSwitch enSwitch)
{
    switch (enSwitch) {
    case SWITCH_UNINSTALL_DRIVER:
        DeleteWimFltrService();
        DeleteQsvdService();
        return FALSE;
    case SWITCH_INSTALL_DRIVER:
        return InstallDriver();
    case SWITCH_RE_LIVE_UPDATE:
        return ImageToolSwitch(L"RELiveUpdate");
    case SWITCH_UPDATE_WIM:
        return ImageToolSwitch(L"UpdateWIM");
    default:
        CheckSSDSwitch();
        return FALSE;
    }
}

void CRevantApp::CheckSSDSwitch()
{
    m_pSBRMgr = new (std::nothrow) CSBRMgr;
    if (!m_pSBRMgr)
        return;
    m_pSBRMgr->Init();
    m_pSBRMgr->InitDisk();
    m_pSBRMgr->PrintSSDInformation();
    DeleteSBRMgr();
}

// UpdateWIM and RELiveUpdate: the image tools are not built yet. Each
// prepares the dump file as its tool does and records why it did nothing.
BOOL CRevantApp::ImageToolSwitch(const wchar_t* pwszTool)
{
    CAutoTrace trace(L"CRevantApp", L"ProcessCommandLine", this);
    m_nExitCode = 1;
    m_pSBRMgr = new (std::nothrow) CSBRMgr;
    if (!m_pSBRMgr)
        return FALSE;
    m_pSBRMgr->Init();
    PrepareDumpFile(m_pSBRMgr, FALSE);
    trace.Print(L"%s: the image tool is not built.", pwszTool);
    DeleteSBRMgr();
    return FALSE;
}

BOOL CRevantApp::InstallDriver()
{
    CAutoTrace trace(L"CRevantApp", L"ProcessCommandLine", this);
    {
        CSBRMgr setup;
        setup.Init();
    }
    wchar_t wszFolder[MAX_PATH] = L"";
    DWORD cch = GetModuleFileNameW(nullptr, wszFolder, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH || !PathRemoveFileSpecW(wszFolder)) {
        trace.Print(L"GetModuleFileName fail. GetLastError = %lx", GetLastError());
        return TRUE;
    }
    PVOID pOld = nullptr;
    BOOL bWow64 = NvIsWow64();
    if (bWow64 && !NvDisableWow64FsRedirection(&pOld)) {
        trace.Print(L"NvDisableWow64FsRedirection fail.");
        return TRUE;
    }
    trace.Print(L"regsvr32 /s wardell.dll");
    HRESULT hr = RunShellExe(L"regsvr32", L"/s Wardell.dll", wszFolder, nullptr, RSE_WAIT, FALSE, nullptr);
    if (bWow64)
        NvRevertWow64FsRedirection(pOld);
    if (FAILED(hr)) {
        trace.Print(L"regsvr32 fail. hr = %lx", static_cast<unsigned long>(NV_E_FAIL));
        return TRUE;
    }
    DetectLangAndWriteFlagFile();
    return FALSE;
}
