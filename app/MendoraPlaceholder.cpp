#include <windows.h>

#include "CAutoTrace.h"
#include "PlaceholderWindow.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    CAutoTrace trace(L"Mendora", L"wWinMain", nullptr);
    return RunPlaceholderWindow(hInstance, L"Mendora", L"Mendora");
}
