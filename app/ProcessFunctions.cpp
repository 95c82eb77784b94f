#include "ProcessFunctions.h"

#include <string>

#include "CAutoHandle.h"
#include "NvErrorCode.h"
#include "Win32Error.h"

namespace {

const DWORD kLaunchMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
const DWORD kWaitStepMilliseconds = 100;

HRESULT ShutdownWith(const wchar_t* pwszTool, const wchar_t* pwszParameters)
{
    wchar_t wszDir[MAX_PATH] = L"";
    UINT cch = GetWindowsDirectoryW(wszDir, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) {
        PrintWin32Error(GetLastError());
        return NV_E_CREATE_DIR;
    }
    std::wstring path = wszDir;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path += pwszTool;
    return StartShellProgram(path.c_str(), pwszParameters, nullptr, FALSE, FALSE);
}

} // namespace

HRESULT StartShellProgram(LPCWSTR pwszFile, LPCWSTR pwszParameters, LPCWSTR pwszDirectory, BOOL bWait, BOOL bShow)
{
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = kLaunchMask;
    sei.lpFile = pwszFile;
    sei.lpParameters = pwszParameters;
    sei.lpDirectory = pwszDirectory;
    sei.nShow = bShow ? SW_SHOWNORMAL : SW_HIDE;
    sei.hInstApp = GetModuleHandleW(nullptr);
    if (!ShellExecuteExW(&sei)) {
        PrintWin32Error(GetLastError());
        return NV_E_FAIL;
    }
    CAutoHandle process(sei.hProcess);
    while (bWait && process.IsValid() && WaitForSingleObject(process.Get(), kWaitStepMilliseconds) == WAIT_TIMEOUT) {
    }
    return S_OK;
}

HRESULT NvShutdownWinPE(int nKind)
{
    return ShutdownWith(L"system32\\wpeutil.exe", nKind == SHUTDOWN_KIND_POWER_OFF ? L"Shutdown" : L"Reboot");
}

HRESULT NvShutdownWindows(int nKind)
{
    return ShutdownWith(L"system32\\shutdown.exe", nKind == SHUTDOWN_KIND_POWER_OFF ? L"-s -t 0" : L"-r -t 0");
}
