// A service that stands in for the WIM filter: it runs until it is stopped.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_hStatus;
HANDLE g_hStop;

void Report(DWORD dwState)
{
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = dwState;
    status.dwControlsAccepted = dwState == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_hStatus, &status);
}

DWORD WINAPI Control(DWORD dwControl, DWORD, LPVOID, LPVOID)
{
    if (dwControl == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_hStop);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    g_hStatus = RegisterServiceCtrlHandlerExW(L"WimFltr", Control, nullptr);
    g_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_hStop, INFINITE);
    Report(SERVICE_STOPPED);
}

} // namespace

int wmain()
{
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(L"WimFltr"), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
