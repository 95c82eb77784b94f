// Stands in for the disc creator where the recovery program looks for it:
// holds its running mutex and a window while it runs, journals its command
// line. "hold <ms>" keeps it running that long (default 0), or until its
// window is closed.
#include "CSimPc.h"

#include <cstdlib>
#include <string>

namespace {
const wchar_t kClassName[] = L"DiscoraStandIn";
const UINT_PTR kHoldTimer = 1;
}

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"Discora.exe");
    std::wstring line = L"run";
    for (int i = 1; i < argc; ++i)
        line += L" " + std::wstring(argv[i]);
    if (pc.Open())
        pc.Journal(line);
    HANDLE hMutex = CreateMutexW(nullptr, TRUE, L"Global\\Discora");
    UINT uHold = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (wcscmp(argv[i], L"hold") == 0)
            uHold = static_cast<UINT>(wcstoul(argv[i + 1], nullptr, 10));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowExW(0, kClassName, L"Discora", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (uHold && hWnd) {
        SetTimer(hWnd, kHoldTimer, uHold, nullptr);
        MSG msg;
        while (IsWindow(hWnd) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.hwnd == hWnd)
                break;
            DispatchMessageW(&msg);
        }
    }
    if (hWnd)
        DestroyWindow(hWnd);
    if (hMutex)
        CloseHandle(hMutex);
    return 0;
}
