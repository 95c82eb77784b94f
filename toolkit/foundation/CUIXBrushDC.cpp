#include "CUIXBrushDC.h"

CUIXBrushDC::CUIXBrushDC(HDC hDC, COLORREF clr) : m_hDC(hDC) {
    if (m_brush.CreateSolidBrush(clr) && m_hDC) m_hOldBrush = ::SelectObject(m_hDC, m_brush.m_hObject);
}

CUIXBrushDC::~CUIXBrushDC() {
    if (m_hOldBrush) ::SelectObject(m_hDC, m_hOldBrush);
    m_brush.DeleteObject();
}
