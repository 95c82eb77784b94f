#include "CUIXBufferDC.h"
#include <algorithm>

CUIXBufferDC::CUIXBufferDC(HDC hDestDC, const CRect& rcPaint) : m_hDestDC(hDestDC), m_rect(rcPaint) {
    Create(m_rect.right, m_rect.bottom);
}

CUIXBufferDC::CUIXBufferDC(CPaintDC& paintDC) : m_hDestDC(paintDC.GetSafeHdc()), m_rect(paintDC.m_ps.rcPaint) {
    Create(std::max(m_rect.right, 1L), std::max(m_rect.bottom, 1L));
    if (!m_hDC) return;
    HRGN clip = ::CreateRectRgnIndirect(&m_rect);
    ::SelectClipRgn(m_hDC, clip);
    ::DeleteObject(clip);
}

void CUIXBufferDC::Create(int width, int height) {
    if (!Attach(::CreateCompatibleDC(m_hDestDC))) return;
    // A bitmap that cannot be made leaves nothing worth copying back.
    if (!m_bitmap.Attach(::CreateCompatibleBitmap(m_hDestDC, width, height))) {
        m_hDestDC = nullptr;
        return;
    }
    m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap.m_hObject);
}

CUIXBufferDC::~CUIXBufferDC() {
    if (!m_hDC) return;
    if (m_hDestDC)
        ::BitBlt(m_hDestDC, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), m_hDC, m_rect.left, m_rect.top,
                 SRCCOPY);
    if (m_hOldBitmap) ::SelectObject(m_hDC, m_hOldBitmap);
    m_bitmap.DeleteObject();
    DeleteDC();
}
