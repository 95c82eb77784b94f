// The window rectangle of a window, or empty when it does not exist.
#pragma once
#include <afxwin.h>

class CUIXWindowRect : public CRect {
public:
    explicit CUIXWindowRect(HWND hWnd);
    explicit CUIXWindowRect(const CWnd* pWnd) : CUIXWindowRect(pWnd ? pWnd->m_hWnd : nullptr) {}
};
