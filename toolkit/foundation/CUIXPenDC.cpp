#include "CUIXPenDC.h"

CUIXPenDC::CUIXPenDC(HDC hDC, COLORREF clr) : m_hDC(hDC) {
    if (m_pen.CreatePen(PS_SOLID, 1, clr) && m_hDC) m_hOldPen = ::SelectObject(m_hDC, m_pen.m_hObject);
}

CUIXPenDC::~CUIXPenDC() {
    if (m_hOldPen) ::SelectObject(m_hDC, m_hOldPen);
    m_pen.DeleteObject();
}
