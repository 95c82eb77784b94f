// A memory device context holding the GDI bitmap of one page picture for the
// page's lifetime, so painting is a plain blit. Frees both DC and bitmap.
#pragma once

#include <windows.h>

namespace Gdiplus {
class Image;
}

class CPageBitmapDC {
public:
    CPageBitmapDC() = default;
    ~CPageBitmapDC() { Reset(); }
    CPageBitmapDC(const CPageBitmapDC&) = delete;
    CPageBitmapDC& operator=(const CPageBitmapDC&) = delete;

    // Converts the picture (over opaque black) and selects it into a DC
    // compatible with hScreenDC. An image that failed to load leaves the DC
    // without a bitmap: nothing is drawn from it.
    void Load(HDC hScreenDC, Gdiplus::Image* pImage);
    void Reset();

    HDC Get() const { return m_hDC; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool HasBitmap() const { return m_hBitmap != nullptr; }

    // Copies the picture at its own size to (x, y).
    void Blit(HDC hTarget, int x, int y) const;
    // Blends the picture with its alpha at (x, y), at the given size (own size when 0).
    void Blend(HDC hTarget, int x, int y, int cx = 0, int cy = 0) const;

private:
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
};
