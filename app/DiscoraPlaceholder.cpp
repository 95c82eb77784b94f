#include <windows.h>

#include "CAutoTrace.h"
#include "PlaceholderWindow.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    CAutoTrace trace(L"Discora", L"wWinMain", nullptr);
    // The window class name is the one Mendora looks for.
    return RunPlaceholderWindow(hInstance, L"Discora", L"Discora");
}
