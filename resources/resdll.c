/* Entry point of a resource-only library: nothing to set up. */
#include <windows.h>

BOOL WINAPI ResourceDllEntry(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    (void)hInstance;
    (void)dwReason;
    (void)lpReserved;
    return TRUE;
}
