// Pixel-level helpers of command icons: reading, copying, premultiplying,
// mirroring and scaling 32-bpp bitmaps and icons.
#include "CUIXImageManagerIcon.h"
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {
// The header buffer has room for three colour masks after the 40-byte header.
const size_t kHeaderBufferBytes = sizeof(BITMAPINFOHEADER) + 3 * sizeof(RGBQUAD);
const BYTE kOpaque = 255;

HBITMAP CreateSectionLike(const BITMAPINFO* pInfo, void** ppBits) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP h = ::CreateDIBSection(screen, pInfo, DIB_RGB_COLORS, ppBits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    return h;
}
} // namespace

BOOL CUIXImageManagerIcon::GetBitmapBits(CDC* pDC, HBITMAP hBitmap, PBITMAPINFO& pBitmapInfo, LPVOID& pBits, UINT& nSize) {
    pBitmapInfo = nullptr;
    pBits = nullptr;
    nSize = 0;
    if (!hBitmap) return FALSE;
    HDC hdc = pDC ? pDC->GetSafeHdc() : nullptr;
    HDC screen = hdc ? nullptr : ::GetDC(nullptr);
    HDC use = hdc ? hdc : screen;
    BITMAPINFO probe = {};
    probe.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    BOOL ok = ::GetDIBits(use, hBitmap, 0, 0, nullptr, &probe, DIB_RGB_COLORS) && probe.bmiHeader.biBitCount == 32;
    ULONGLONG bytes = ok ? (ULONGLONG)probe.bmiHeader.biWidth * (ULONGLONG)std::abs(probe.bmiHeader.biHeight) * 4 : 0;
    if (ok && (probe.bmiHeader.biWidth <= 0 || bytes == 0 || bytes > 0x7FFFFFFF)) ok = FALSE;
    if (ok) {
        pBitmapInfo = static_cast<PBITMAPINFO>(calloc(1, kHeaderBufferBytes));
        pBits = malloc((size_t)bytes);
        ok = pBitmapInfo && pBits;
    }
    if (ok) {
        memcpy(pBitmapInfo, &probe.bmiHeader, sizeof(BITMAPINFOHEADER));
        pBitmapInfo->bmiHeader.biCompression = BI_RGB;
        ok = ::GetDIBits(use, hBitmap, 0, (UINT)std::abs(probe.bmiHeader.biHeight), pBits, pBitmapInfo, DIB_RGB_COLORS) != 0;
    }
    if (screen) ::ReleaseDC(nullptr, screen);
    if (!ok) {
        free(pBits);
        free(pBitmapInfo);
        pBits = nullptr;
        pBitmapInfo = nullptr;
        return FALSE;
    }
    nSize = (UINT)bytes;
    return TRUE;
}

namespace {
typedef std::function<void(const BITMAPINFOHEADER&, const BYTE* src, BYTE* dst, UINT nSize)> PixelCopier;

// A new section in the format of a 32-bpp bitmap, its pixels made from the old ones.
HBITMAP TransformedCopy(HBITMAP hBitmap, const PixelCopier& copier) {
    PBITMAPINFO pInfo = nullptr;
    LPVOID pBits = nullptr;
    UINT nSize = 0;
    if (!CUIXImageManagerIcon::GetBitmapBits(nullptr, hBitmap, pInfo, pBits, nSize)) return nullptr;
    void* pDest = nullptr;
    HBITMAP hResult = CreateSectionLike(pInfo, &pDest);
    if (hResult && pDest) copier(pInfo->bmiHeader, static_cast<const BYTE*>(pBits), static_cast<BYTE*>(pDest), nSize);
    free(pBits);
    free(pInfo);
    return hResult;
}
} // namespace

HBITMAP CUIXImageManagerIcon::CopyAlphaBitmap(HBITMAP hBitmap) {
    return TransformedCopy(hBitmap, [](const BITMAPINFOHEADER&, const BYTE* src, BYTE* dst, UINT nSize) { memcpy(dst, src, nSize); });
}

HBITMAP CUIXImageManagerIcon::PreMultiplyAlphaBitmap(HBITMAP hBitmap, BOOL* pbAlpha) {
    return TransformedCopy(hBitmap, [pbAlpha](const BITMAPINFOHEADER&, const BYTE* src, BYTE* dst, UINT nSize) {
        memcpy(dst, src, nSize);
        bool transparentSeen = false;
        for (UINT i = 0; i + 3 < nSize; i += 4) {
            BYTE a = dst[i + 3];
            for (int c = 0; c < 3; ++c) dst[i + c] = (BYTE)(dst[i + c] * a / kOpaque);
            if (!pbAlpha) continue;
            if (a == 0) transparentSeen = true;
            else if (a != kOpaque || transparentSeen) *pbAlpha = TRUE;
        }
        // Without real alpha the picture is returned as it was.
        if (pbAlpha && !*pbAlpha) memcpy(dst, src, nSize);
    });
}

HBITMAP CUIXImageManagerIcon::MirrorBitmap(HBITMAP hBitmap) {
    return TransformedCopy(hBitmap, [](const BITMAPINFOHEADER& h, const BYTE* src, BYTE* dst, UINT) {
        const int width = h.biWidth, rows = std::abs(h.biHeight);
        const DWORD* from = reinterpret_cast<const DWORD*>(src);
        DWORD* to = reinterpret_cast<DWORD*>(dst);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < width; ++x) to[(size_t)y * width + x] = from[(size_t)y * width + (width - 1 - x)];
    });
}

CSize CUIXImageManagerIcon::GetExtent(HICON hIcon) {
    if (!hIcon) return CSize(0, 0);
    ICONINFO info = {};
    if (!::GetIconInfo(hIcon, &info)) return CSize(0, 0);
    BITMAP bm = {};
    CSize extent(0, 0);
    if (info.hbmMask && ::GetObjectW(info.hbmMask, sizeof(bm), &bm))
        extent = CSize(bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return extent;
}

HICON CUIXImageManagerIcon::ScaleToFit(HICON hIcon, CSize szExtent, int nWidth) {
    if (nWidth == 0 || (szExtent.cx == 0 && szExtent.cy == 0) || szExtent.cx == 0) return nullptr;
    if (nWidth == szExtent.cx) return ::CopyIcon(hIcon);
    int height = ::MulDiv(szExtent.cy, nWidth, szExtent.cx);
    CImageList list;
    if (!list.Create(nWidth, height, ILC_COLOR32 | ILC_MASK, 1, 1)) return nullptr;
    ImageList_ReplaceIcon(list.m_hImageList, -1, hIcon);
    return ImageList_GetIcon(list.m_hImageList, 0, ILD_NORMAL);
}
