// A solid brush of a colour selected for a scope.
#pragma once
#include <afxwin.h>

class CUIXBrushDC {
public:
    CUIXBrushDC(HDC hDC, COLORREF clr);
    virtual ~CUIXBrushDC();
    CUIXBrushDC(const CUIXBrushDC&) = delete;
    CUIXBrushDC& operator=(const CUIXBrushDC&) = delete;

private:
    CBrush m_brush;
    HDC m_hDC;
    HGDIOBJ m_hOldBrush = nullptr;
};
