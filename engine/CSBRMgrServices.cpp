// The WIM filter service the imaging layer needs, and the removal of the
// driver services.
#include "CSBRMgr.h"

#include <cwchar>

#include "CAutoTrace.h"
#include "CServiceHandle.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "Win32Error.h"

namespace {

const wchar_t kWimFltr[] = L"WimFltr";
const wchar_t kQsvd[] = L"Qsvd";
// The installer may take a while to create the service.
const DWORD kInstallWaitMilliseconds = 60000;

#if defined(RV_DISCORA)
#elif defined(_WIN64)
const wchar_t kWimMountInf[] = L"\\wimgapi\\v64\\wimmount.inf";
#else
const wchar_t kWimMountInf[] = L"\\wimgapi\\v32\\wimmount.inf";
#endif

#ifdef RV_DISCORA
const wchar_t kLineFormat[] = L"PRINT line: %d\r\n";
#else
const wchar_t kLineFormat[] = L"PRINT line: %d";
#endif

bool InstallerRunsOn(DWORD dwOSVersion)
{
    switch (dwOSVersion) {
    case OSV_WIN2000:
    case OSV_WINXP:
    case OSV_WIN2003:
    case OSV_VISTA:
    case OSV_OTHER_NT:
        return true;
    default:
        return false;
    }
}

// Deletes a service; TRUE when it is gone or was never there.
BOOL DeleteServiceNamed(const wchar_t* pwszName)
{
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    // Without the service manager nothing could be checked: not a success.
    if (!manager.IsValid())
        return FALSE;
    CServiceHandle service(OpenServiceW(manager.Get(), pwszName, SERVICE_ALL_ACCESS));
    if (!service.IsValid())
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    if (!DeleteService(service.Get())) {
        PrintWin32Error(GetLastError());
        return FALSE;
    }
    return TRUE;
}

} // namespace

BOOL CSBRMgr::StartWimFltrOnce()
{
    CAutoTrace trace(L"CSBRMgr", L"SetupQsvd", this);
    trace.Print(kLineFormat, 579);
    CServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.IsValid())
        return FALSE;
    trace.Print(kLineFormat, 583);
    CServiceHandle service(OpenServiceW(manager.Get(), kWimFltr, SERVICE_ALL_ACCESS));
    if (!service.IsValid())
        return FALSE;
    trace.Print(kLineFormat, 587);
    if (StartServiceW(service.Get(), 0, nullptr)) {
        trace.Print(kLineFormat, 590);
        return TRUE;
    }
    DWORD dwError = GetLastError();
    trace.Print(kLineFormat, 595);
    return dwError == ERROR_SERVICE_ALREADY_RUNNING;
}

BOOL CSBRMgr::SetupQsvd()
{
    CAutoTrace trace(L"CSBRMgr", L"SetupQsvd", this);
    m_bWimFltrStarted = FALSE;
    trace.Print(kLineFormat, 576);
    m_bWimFltrStarted = StartWimFltrOnce();
    if (!m_bWimFltrStarted && InstallWimMount(L"")) {
        trace.Print(kLineFormat, 613);
        m_bWimFltrStarted = StartWimFltrOnce();
    }
    return TRUE;
}

BOOL CSBRMgr::InstallWimMount(const wchar_t* pwszFolder)
{
    CAutoTrace trace(L"CSBRMgr", L"InstallWimMount", this);
    const wchar_t* pwszBase = pwszFolder && *pwszFolder ? pwszFolder : m_wszProgramFolder;
    const BOOL bWow64 = NvIsWow64();
#ifdef RV_DISCORA
    const wchar_t* pwszInf = bWow64 ? L"\\x64\\WimFltr.inf" : L"\\WimFltr.inf";
#else
    const wchar_t* pwszInf = kWimMountInf;
#endif
    wchar_t wszParameters[MAX_PATH];
    FormatPath(wszParameters, L"SETUPAPI.DLL,InstallHinfSection DefaultInstall 132 %s%s", pwszBase, pwszInf);

    PVOID pvOldRedirection = nullptr;
    if (bWow64 && !NvDisableWow64FsRedirection(&pvOldRedirection)) {
        trace.Print(L"NvDisableWow64FsRedirection fail.");
        return FALSE;
    }
    if (InstallerRunsOn(CachedOSVersion())) {
        SHELLEXECUTEINFOW sei{};
        sei.cbSize = sizeof sei;
        sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
        sei.lpFile = L"RUNDLL32.EXE";
        sei.lpParameters = wszParameters;
        sei.nShow = SW_HIDE;
        sei.hInstApp = m_pEnv->InstanceHandle();
        if (!ShellExecuteExW(&sei)) {
            PrintWin32Error(GetLastError());
        } else if (sei.hProcess) {
            // The second start attempt needs the service the installer creates.
            WaitForSingleObject(sei.hProcess, kInstallWaitMilliseconds);
            CloseHandle(sei.hProcess);
        }
    }
    if (bWow64)
        NvRevertWow64FsRedirection(pvOldRedirection);
    return TRUE;
}

BOOL DeleteWimFltrService()
{
    return DeleteServiceNamed(kWimFltr);
}

BOOL DeleteQsvdService()
{
    return DeleteServiceNamed(kQsvd);
}

#ifndef RV_DISCORA
BOOL CSBRMgr::IsMSRestoreRunning()
{
    return NvIsProcessRunning(L"rstrui.exe");
}
#endif
