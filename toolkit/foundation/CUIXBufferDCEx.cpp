#include "CUIXBufferDCEx.h"

CUIXBufferDCEx::CUIXBufferDCEx(HDC hDestDC, const CRect& rcPaint) : m_hDestDC(hDestDC), m_rect(rcPaint) {
    if (!Attach(::CreateCompatibleDC(hDestDC))) return;
    m_hBitmap = ::CreateCompatibleBitmap(hDestDC, m_rect.Width(), m_rect.Height());
    if (!m_hBitmap) return;
    m_hOldBitmap = ::SelectObject(m_hDC, m_hBitmap);
    ::SetViewportOrgEx(m_hDC, -m_rect.left, -m_rect.top, nullptr);
}

CUIXBufferDCEx::~CUIXBufferDCEx() {
    if (!m_hDC) return;
    ::SetViewportOrgEx(m_hDC, 0, 0, nullptr);
    if (m_hBitmap) {
        ::BitBlt(m_hDestDC, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), m_hDC, 0, 0, SRCCOPY);
        ::SelectObject(m_hDC, m_hOldBitmap);
        ::DeleteObject(m_hBitmap);
    }
    DeleteDC();
}
