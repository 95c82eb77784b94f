#include "CUIXWinThemeWrapper.h"

namespace {
// Cached entry points of the visual-styles library, in the order of the wrapper.
enum ThemeFunction {
    fnOpenThemeData,
    fnCloseThemeData,
    fnDrawThemeBackground,
    fnDrawThemeTextEx,
    fnGetThemeColor,
    fnGetThemeSysBool,
    fnIsAppThemed,
    fnIsThemeActive,
    fnGetCurrentThemeName,
    fnBeginBufferedPaint,
    fnEndBufferedPaint,
    fnCount
};

const char* const kFunctionNames[fnCount] = {
    "OpenThemeData",   "CloseThemeData",      "DrawThemeBackground", "DrawThemeTextEx",
    "GetThemeColor",   "GetThemeSysBool",     "IsAppThemed",         "IsThemeActive",
    "GetCurrentThemeName", "BeginBufferedPaint", "EndBufferedPaint",
};

struct CSharedData {
    HMODULE module = ::LoadLibraryW(L"UxTheme.dll");
    FARPROC functions[fnCount] = {};
};

CSharedData& Shared() {
    static CSharedData data;
    return data;
}
// Built while the program starts, as the toolkit's other start-up state.
const CSharedData& g_themeSharedAtStart = Shared();

template <class FN>
FN Lookup(ThemeFunction which) {
    CSharedData& d = Shared();
    if (d.module && !d.functions[which]) d.functions[which] = ::GetProcAddress(d.module, kFunctionNames[which]);
    return reinterpret_cast<FN>(reinterpret_cast<void (*)()>(d.functions[which]));
}
} // namespace

void CUIXWinThemeWrapper::ReloadModule() {
    CSharedData& d = Shared();
    HMODULE current = ::GetModuleHandleA("UXTHEME.DLL");
    if (current == d.module) return;
    d.module = current;
    for (FARPROC& f : d.functions) f = nullptr;
}

HTHEME CUIXWinThemeWrapper::OpenThemeData(HWND hWnd, LPCWSTR classList) {
    ReloadModule();
    CloseThemeData();
    auto pfn = Lookup<HTHEME(WINAPI*)(HWND, LPCWSTR)>(fnOpenThemeData);
    m_hTheme = pfn ? pfn(hWnd, classList) : nullptr;
    return m_hTheme;
}

void CUIXWinThemeWrapper::CloseThemeData() {
    if (!m_hTheme) return;
    auto pfn = Lookup<HRESULT(WINAPI*)(HTHEME)>(fnCloseThemeData);
    if (pfn) pfn(m_hTheme);
    m_hTheme = nullptr;
}

HRESULT CUIXWinThemeWrapper::DrawThemeBackground(HDC hdc, int part, int state, const RECT* pRect, const RECT* pClipRect) {
    auto pfn = Lookup<HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*)>(fnDrawThemeBackground);
    return pfn ? pfn(m_hTheme, hdc, part, state, pRect, pClipRect) : E_FAIL;
}

HRESULT CUIXWinThemeWrapper::DrawThemeTextEx(HDC hdc, int part, int state, LPCWSTR text, int length, DWORD flags,
                                             RECT* pRect, const DTTOPTS* pOptions) {
    auto pfn = Lookup<HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, RECT*, const DTTOPTS*)>(fnDrawThemeTextEx);
    return pfn ? pfn(m_hTheme, hdc, part, state, text, length, flags, pRect, pOptions) : E_FAIL;
}

HRESULT CUIXWinThemeWrapper::GetThemeColor(int part, int state, int propId, COLORREF* pColor) {
    auto pfn = Lookup<HRESULT(WINAPI*)(HTHEME, int, int, int, COLORREF*)>(fnGetThemeColor);
    return pfn ? pfn(m_hTheme, part, state, propId, pColor) : E_FAIL;
}

BOOL CUIXWinThemeWrapper::GetThemeSysBool(int boolId) {
    auto pfn = Lookup<BOOL(WINAPI*)(HTHEME, int)>(fnGetThemeSysBool);
    return pfn ? pfn(m_hTheme, boolId) : FALSE;
}

BOOL CUIXWinThemeWrapper::IsAppThemed() {
    if (!m_hTheme) return FALSE;
    auto pfn = Lookup<BOOL(WINAPI*)()>(fnIsAppThemed);
    return pfn ? pfn() : FALSE;
}

BOOL CUIXWinThemeWrapper::IsThemeActive() {
    if (!m_hTheme) ReloadModule();
    auto pfn = Lookup<BOOL(WINAPI*)()>(fnIsThemeActive);
    return pfn ? pfn() : FALSE;
}

HRESULT CUIXWinThemeWrapper::GetCurrentThemeName(LPWSTR fileName, int fileNameChars, LPWSTR colorName, int colorChars,
                                                 LPWSTR sizeName, int sizeChars) {
    ReloadModule();
    auto pfn = Lookup<HRESULT(WINAPI*)(LPWSTR, int, LPWSTR, int, LPWSTR, int)>(fnGetCurrentThemeName);
    return pfn ? pfn(fileName, fileNameChars, colorName, colorChars, sizeName, sizeChars) : E_FAIL;
}

HPAINTBUFFER CUIXWinThemeWrapper::BeginBufferedPaint(HDC hdcTarget, const RECT* pTarget, BP_BUFFERFORMAT format,
                                                     BP_PAINTPARAMS* pParams, HDC* phdc) {
    auto pfn = Lookup<HPAINTBUFFER(WINAPI*)(HDC, const RECT*, BP_BUFFERFORMAT, BP_PAINTPARAMS*, HDC*)>(fnBeginBufferedPaint);
    return pfn ? pfn(hdcTarget, pTarget, format, pParams, phdc) : nullptr;
}

void CUIXWinThemeWrapper::EndBufferedPaint(HPAINTBUFFER hBufferedPaint, BOOL updateTarget) {
    auto pfn = Lookup<HRESULT(WINAPI*)(HPAINTBUFFER, BOOL)>(fnEndBufferedPaint);
    if (pfn) pfn(hBufferedPaint, updateTarget);
}
