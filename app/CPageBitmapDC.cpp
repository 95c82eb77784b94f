#include "CPageBitmapDC.h"

#include <gdiplus.h>

namespace {
const Gdiplus::ARGB kOpaqueBlack = 0xFF000000;

// A right-to-left page mirrors its layout, but pictures and logos keep
// their own orientation, as in every mirrored window.
class CKeepBitmapOrientation {
public:
    explicit CKeepBitmapOrientation(HDC hDC) : m_hDC(hDC), m_dwLayout(::GetLayout(hDC))
    {
        if (m_dwLayout != GDI_ERROR && (m_dwLayout & LAYOUT_RTL))
            ::SetLayout(m_hDC, m_dwLayout | LAYOUT_BITMAPORIENTATIONPRESERVED);
    }
    ~CKeepBitmapOrientation()
    {
        if (m_dwLayout != GDI_ERROR && (m_dwLayout & LAYOUT_RTL))
            ::SetLayout(m_hDC, m_dwLayout);
    }
    CKeepBitmapOrientation(const CKeepBitmapOrientation&) = delete;
    CKeepBitmapOrientation& operator=(const CKeepBitmapOrientation&) = delete;

private:
    HDC m_hDC;
    DWORD m_dwLayout;
};
} // namespace

void CPageBitmapDC::Load(HDC hScreenDC, Gdiplus::Image* pImage)
{
    Reset();
    m_hDC = ::CreateCompatibleDC(hScreenDC);
    if (!m_hDC || !pImage || pImage->GetLastStatus() != Gdiplus::Ok)
        return;
    // Pictures of the program folder are bitmaps; the cache hands them out as images.
    Gdiplus::Bitmap* pBitmap = static_cast<Gdiplus::Bitmap*>(pImage);
    HBITMAP hBitmap = nullptr;
    if (pBitmap->GetHBITMAP(Gdiplus::Color(kOpaqueBlack), &hBitmap) != Gdiplus::Ok || !hBitmap)
        return;
    m_hBitmap = hBitmap;
    m_hOldBitmap = ::SelectObject(m_hDC, m_hBitmap);
    m_nWidth = static_cast<int>(pImage->GetWidth());
    m_nHeight = static_cast<int>(pImage->GetHeight());
}

void CPageBitmapDC::Reset()
{
    if (m_hDC && m_hOldBitmap)
        ::SelectObject(m_hDC, m_hOldBitmap);
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    if (m_hDC)
        ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    m_nWidth = m_nHeight = 0;
}

void CPageBitmapDC::Blit(HDC hTarget, int x, int y) const
{
    CKeepBitmapOrientation keep(hTarget);
    if (HasBitmap())
        ::BitBlt(hTarget, x, y, m_nWidth, m_nHeight, m_hDC, 0, 0, SRCCOPY);
}

void CPageBitmapDC::Blend(HDC hTarget, int x, int y, int cx, int cy) const
{
    if (!HasBitmap())
        return;
    CKeepBitmapOrientation keep(hTarget);
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(hTarget, x, y, cx ? cx : m_nWidth, cy ? cy : m_nHeight, m_hDC, 0, 0, m_nWidth, m_nHeight, bf);
}
