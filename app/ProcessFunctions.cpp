#include "ProcessFunctions.h"
#include "RunShellExe.h"

#include <string>

#include "NvErrorCode.h"
#include "Win32Error.h"

namespace {

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
    return RunShellExe(path.c_str(), pwszParameters, nullptr, nullptr, RSE_NO_WAIT, FALSE, nullptr);
}

} // namespace

HRESULT NvShutdownWinPE(int nKind)
{
    return ShutdownWith(L"system32\\wpeutil.exe", nKind == SHUTDOWN_KIND_POWER_OFF ? L"Shutdown" : L"Reboot");
}

HRESULT NvShutdownWindows(int nKind)
{
    return ShutdownWith(L"system32\\shutdown.exe", nKind == SHUTDOWN_KIND_POWER_OFF ? L"-s -t 0" : L"-r -t 0");
}
