// The client rectangle of a window, or empty when it does not exist.
#pragma once
#include <afxwin.h>

class CUIXClientRect : public CRect {
public:
    explicit CUIXClientRect(HWND hWnd);
    explicit CUIXClientRect(const CWnd* pWnd) : CUIXClientRect(pWnd ? pWnd->m_hWnd : nullptr) {}
};
