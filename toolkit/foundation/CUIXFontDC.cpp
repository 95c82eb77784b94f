#include "CUIXFontDC.h"

CUIXFontDC::CUIXFontDC(CDC* pDC, CFont* pFont) : m_pDC(pDC) {
    if (pFont) SetFont(pFont);
}

CUIXFontDC::CUIXFontDC(CDC* pDC, HFONT hFont) : m_pDC(pDC) {
    if (hFont) SetFont(hFont);
}

void CUIXFontDC::SetFont(HFONT hFont) {
    if (!m_pDC || !hFont) return;
    HGDIOBJ old = ::SelectObject(m_pDC->GetSafeHdc(), hFont);
    // Only the first selection remembers: the DC goes back to its state before this object.
    if (!m_hOldFont) m_hOldFont = old;
}

void CUIXFontDC::ReleaseFont() {
    if (!m_pDC || !m_hOldFont) return;
    ::SelectObject(m_pDC->GetSafeHdc(), m_hOldFont);
    m_hOldFont = nullptr;
}
