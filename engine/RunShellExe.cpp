#include "RunShellExe.h"

#include "CAutoHandle.h"
#include "NvErrorCode.h"
#include "Win32Error.h"

#include <shellapi.h>

namespace {

const DWORD kWaitSliceMilliseconds = 100;

void WaitForProcessEnd(HANDLE hProcess)
{
    if (hProcess == nullptr)
        return;
    while (WaitForSingleObject(hProcess, kWaitSliceMilliseconds) == WAIT_TIMEOUT) {
    }
}

} // namespace

HRESULT RunShellExe(LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, LPCWSTR verb, int wait, BOOL show,
                    HANDLE* process)
{
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
    sei.lpVerb = verb;
    sei.lpFile = file;
    sei.lpParameters = parameters;
    sei.lpDirectory = directory;
    sei.nShow = show ? SW_SHOWNORMAL : SW_HIDE;
    sei.hInstApp = GetModuleHandleW(nullptr);
    if (!ShellExecuteExW(&sei)) {
        PrintWin32Error(GetLastError());
        return NV_E_FAIL;
    }

    if (wait == RSE_WAIT)
        WaitForProcessEnd(sei.hProcess);
    if (process != nullptr)
        *process = sei.hProcess;
    else
        CAutoHandle unwanted(sei.hProcess);
    return S_OK;
}
