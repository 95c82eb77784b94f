#include "PlaceholderWindow.h"

namespace {

LRESULT CALLBACK PlaceholderProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hWnd, &ps);
        RECT rc;
        GetClientRect(hWnd, &rc);
        wchar_t wszTitle[128];
        GetWindowTextW(hWnd, wszTitle, 128);
        DrawTextW(hdc, wszTitle, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

int RunPlaceholderWindow(HINSTANCE hInstance, const wchar_t* pwszClass, const wchar_t* pwszTitle)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlaceholderProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = pwszClass;
    if (!RegisterClassW(&wc))
        return 1;
    HWND hWnd = CreateWindowW(pwszClass, pwszTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                              CW_USEDEFAULT, 640, 480, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
