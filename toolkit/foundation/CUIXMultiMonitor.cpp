#include "CUIXMultiMonitor.h"
#include "CUIXExitSingleton.h"
#include "CUIXSystemVersion.h"
#include <cstdlib>

CUIXMultiMonitor::CUIXMultiMonitor(LPCWSTR moduleName) {
    m_module.Init(moduleName);
    const char* monitorInfoName = UIXSystemVersion()->IsWinNT4OrGreater() ? "GetMonitorInfoW" : "GetMonitorInfoA";
    bool all = m_module.GetProcAddress(&m_pfnGetSystemMetrics, "GetSystemMetrics") &&
               m_module.GetProcAddress(&m_pfnMonitorFromWindow, "MonitorFromWindow") &&
               m_module.GetProcAddress(&m_pfnMonitorFromRect, "MonitorFromRect") &&
               m_module.GetProcAddress(&m_pfnMonitorFromPoint, "MonitorFromPoint") &&
               m_module.GetProcAddress(&m_pfnGetMonitorInfo, monitorInfoName);
    if (all) return;
    // Either all five or none: the queries then answer for a single screen.
    m_pfnGetSystemMetrics = nullptr;
    m_pfnMonitorFromWindow = nullptr;
    m_pfnMonitorFromRect = nullptr;
    m_pfnMonitorFromPoint = nullptr;
    m_pfnGetMonitorInfo = nullptr;
}

BOOL CUIXMultiMonitor::GetMonitorInfo(HMONITOR hMonitor, MONITORINFO* pInfo) {
    if (!hMonitor || !m_pfnGetMonitorInfo) return FALSE;
    pInfo->cbSize = sizeof(MONITORINFO);
    return m_pfnGetMonitorInfo(hMonitor, pInfo);
}

CRect CUIXMultiMonitor::GetWorkArea(HMONITOR hMonitor) {
    MONITORINFO info = {};
    if (GetMonitorInfo(hMonitor, &info)) return CRect(info.rcWork);
    CRect rc;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0);
    return rc;
}

CRect CUIXMultiMonitor::GetScreenArea(HMONITOR hMonitor) {
    MONITORINFO info = {};
    if (GetMonitorInfo(hMonitor, &info)) return CRect(info.rcMonitor);
    return CRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
}

CRect CUIXMultiMonitor::GetWorkAreaOfWindow(HWND hWnd) {
    return GetWorkArea(m_pfnMonitorFromWindow ? m_pfnMonitorFromWindow(hWnd, MONITOR_DEFAULTTONULL) : nullptr);
}

CRect CUIXMultiMonitor::GetWorkAreaOfWnd(const CWnd* pWnd) { return GetWorkAreaOfWindow(pWnd ? pWnd->m_hWnd : nullptr); }

CRect CUIXMultiMonitor::GetWorkAreaOfPoint(POINT pt) {
    return GetWorkArea(m_pfnMonitorFromPoint ? m_pfnMonitorFromPoint(pt, MONITOR_DEFAULTTONULL) : nullptr);
}

CRect CUIXMultiMonitor::GetWorkAreaAtCursor() {
    POINT pt = {0, 0};
    ::GetCursorPos(&pt);
    return GetWorkAreaOfPoint(pt);
}

CRect CUIXMultiMonitor::GetWorkAreaOfRect(const RECT& rc) {
    return GetWorkArea(m_pfnMonitorFromRect ? m_pfnMonitorFromRect(&rc, MONITOR_DEFAULTTONULL) : nullptr);
}

CRect CUIXMultiMonitor::GetScreenAreaOfPoint(POINT pt) {
    return GetScreenArea(m_pfnMonitorFromPoint ? m_pfnMonitorFromPoint(pt, MONITOR_DEFAULTTONULL) : nullptr);
}

CRect CUIXMultiMonitor::GetScreenAreaOfRect(const RECT& rc) {
    return GetScreenArea(m_pfnMonitorFromRect ? m_pfnMonitorFromRect(&rc, MONITOR_DEFAULTTONULL) : nullptr);
}

CUIXMultiMonitor* UIXMultiMonitor() { return CUIXExitSingleton<CUIXMultiMonitor>::Get(); }
