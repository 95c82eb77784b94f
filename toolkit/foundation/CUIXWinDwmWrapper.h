// The two desktop-composition calls the toolkit makes, looked up at run time.
#pragma once
#include <afxwin.h>

class CUIXWinDwmWrapper {
public:
    // DwmDefWindowProc; E_FAIL (result untouched) when composition is unavailable.
    HRESULT DefWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    HRESULT ExtendFrameIntoClientArea(HWND hWnd, int left, int right, int top, int bottom);
};
