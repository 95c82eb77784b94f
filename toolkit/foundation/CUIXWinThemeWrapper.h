// One open visual-styles theme, called through functions looked up at run
// time so that a missing library or function answers a failure value; the
// skin framework's substitute module is picked up by ReloadModule.
#pragma once
#include <afxwin.h>
#include <uxtheme.h>

class CUIXWinThemeWrapper {
public:
    CUIXWinThemeWrapper() = default;
    virtual ~CUIXWinThemeWrapper() { CloseThemeData(); }
    CUIXWinThemeWrapper(const CUIXWinThemeWrapper&) = delete;
    CUIXWinThemeWrapper& operator=(const CUIXWinThemeWrapper&) = delete;

    HTHEME OpenThemeData(HWND hWnd, LPCWSTR classList);
    void CloseThemeData();
    HRESULT DrawThemeBackground(HDC hdc, int part, int state, const RECT* pRect, const RECT* pClipRect);
    HRESULT DrawThemeTextEx(HDC hdc, int part, int state, LPCWSTR text, int length, DWORD flags, RECT* pRect,
                            const DTTOPTS* pOptions);
    HRESULT GetThemeColor(int part, int state, int propId, COLORREF* pColor);
    BOOL GetThemeSysBool(int boolId);
    BOOL IsAppThemed();
    BOOL IsThemeActive();
    HRESULT GetCurrentThemeName(LPWSTR fileName, int fileNameChars, LPWSTR colorName, int colorChars,
                                LPWSTR sizeName, int sizeChars);
    HPAINTBUFFER BeginBufferedPaint(HDC hdcTarget, const RECT* pTarget, BP_BUFFERFORMAT format,
                                    BP_PAINTPARAMS* pParams, HDC* phdc);
    void EndBufferedPaint(HPAINTBUFFER hBufferedPaint, BOOL updateTarget);

    HTHEME GetTheme() const { return m_hTheme; }
    // Notices a change of the module answering to "UXTHEME.DLL"; the cached entry points are then dropped.
    static void ReloadModule();

private:
    HTHEME m_hTheme = nullptr;
};
