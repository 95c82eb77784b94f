#include "CUIXCompatibleDC.h"

CUIXCompatibleDC::CUIXCompatibleDC(CDC* pDC, CBitmap* pBitmap)
    : CUIXCompatibleDC(pDC, pBitmap ? (HBITMAP)pBitmap->GetSafeHandle() : nullptr) {}

CUIXCompatibleDC::CUIXCompatibleDC(CDC* pDC, HBITMAP hBitmap) {
    if (!Attach(::CreateCompatibleDC(pDC ? pDC->GetSafeHdc() : nullptr))) return;
    if (hBitmap) m_hOldBitmap = ::SelectObject(m_hDC, hBitmap);
}

CUIXCompatibleDC::~CUIXCompatibleDC() {
    if (!m_hDC) return;
    if (m_hOldBitmap) ::SelectObject(m_hDC, m_hOldBitmap);
    DeleteDC();
}
