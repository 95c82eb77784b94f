// Work-area and screen rectangles per monitor, through the monitor functions
// of User32 looked up at run time; a single screen when they are missing.
#pragma once
#include "CUIXModuleHandle.h"

class CUIXMultiMonitor {
public:
    // moduleName lets a test stand in a library that lacks the functions.
    explicit CUIXMultiMonitor(LPCWSTR moduleName = L"User32.dll");

    CRect GetWorkAreaOfWindow(HWND hWnd);
    CRect GetWorkAreaOfWnd(const CWnd* pWnd);
    CRect GetWorkAreaOfPoint(POINT pt);
    CRect GetWorkAreaAtCursor();
    CRect GetWorkAreaOfRect(const RECT& rc);
    CRect GetScreenAreaOfPoint(POINT pt);
    CRect GetScreenAreaOfRect(const RECT& rc);

    CRect GetWorkArea(HMONITOR hMonitor);
    CRect GetScreenArea(HMONITOR hMonitor);
    BOOL GetMonitorInfo(HMONITOR hMonitor, MONITORINFO* pInfo);
    BOOL HasMonitorFunctions() const { return m_pfnGetMonitorInfo != nullptr; }
    void Release() { m_module.FreeLibrary(); }

private:
    typedef int(WINAPI* PFNGETSYSTEMMETRICS)(int);
    typedef HMONITOR(WINAPI* PFNMONITORFROMWINDOW)(HWND, DWORD);
    typedef HMONITOR(WINAPI* PFNMONITORFROMRECT)(LPCRECT, DWORD);
    typedef HMONITOR(WINAPI* PFNMONITORFROMPOINT)(POINT, DWORD);
    typedef BOOL(WINAPI* PFNGETMONITORINFO)(HMONITOR, LPMONITORINFO);

    PFNGETSYSTEMMETRICS m_pfnGetSystemMetrics = nullptr;
    PFNMONITORFROMWINDOW m_pfnMonitorFromWindow = nullptr;
    PFNMONITORFROMRECT m_pfnMonitorFromRect = nullptr;
    PFNMONITORFROMPOINT m_pfnMonitorFromPoint = nullptr;
    PFNGETMONITORINFO m_pfnGetMonitorInfo = nullptr;
    CUIXModuleHandle m_module;
};

// The process-wide instance; its module is released at process exit.
CUIXMultiMonitor* UIXMultiMonitor();
