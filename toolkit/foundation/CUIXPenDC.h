// A solid one-pixel pen of a colour selected for a scope.
#pragma once
#include <afxwin.h>

class CUIXPenDC {
public:
    CUIXPenDC(HDC hDC, COLORREF clr);
    virtual ~CUIXPenDC();
    CUIXPenDC(const CUIXPenDC&) = delete;
    CUIXPenDC& operator=(const CUIXPenDC&) = delete;

private:
    CPen m_pen;
    HDC m_hDC;
    HGDIOBJ m_hOldPen = nullptr;
};
