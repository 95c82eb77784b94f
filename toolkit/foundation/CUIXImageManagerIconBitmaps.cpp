// Pixel-level helpers of command icons: reading, copying, premultiplying,
// mirroring and scaling 32-bpp bitmaps and icons.
#include "CUIXImageManagerIcon.h"
#include <cstdlib>
#include <cstring>

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

HBITMAP CUIXImageManagerIcon::CopyAlphaBitmap(HBITMAP hBitmap) {
    PBITMAPINFO pInfo = nullptr;
    LPVOID pBits = nullptr;
    UINT nSize = 0;
    if (!GetBitmapBits(nullptr, hBitmap, pInfo, pBits, nSize)) return nullptr;
    void* pDest = nullptr;
    HBITMAP hCopy = CreateSectionLike(pInfo, &pDest);
    if (hCopy && pDest) memcpy(pDest, pBits, nSize);
    free(pBits);
    free(pInfo);
    return hCopy;
}

HBITMAP CUIXImageManagerIcon::PreMultiplyAlphaBitmap(HBITMAP hBitmap, BOOL* pbAlpha) {
    PBITMAPINFO pInfo = nullptr;
    LPVOID pBits = nullptr;
    UINT nSize = 0;
    if (!GetBitmapBits(nullptr, hBitmap, pInfo, pBits, nSize)) return nullptr;
    void* pDest = nullptr;
    HBITMAP hResult = CreateSectionLike(pInfo, &pDest);
    if (hResult && pDest) {
        BYTE* dst = static_cast<BYTE*>(pDest);
        memcpy(dst, pBits, nSize);
        bool transparentSeen = false;
        for (UINT i = 0; i + 3 < nSize; i += 4) {
            BYTE a = dst[i + 3];
            for (int c = 0; c < 3; ++c) dst[i + c] = (BYTE)(dst[i + c] * a / kOpaque);
            if (!pbAlpha) continue;
            if (a == 0) transparentSeen = true;
            else if (a != kOpaque || transparentSeen) *pbAlpha = TRUE;
        }
        // Without real alpha the picture is returned as it was.
        if (pbAlpha && !*pbAlpha) memcpy(dst, pBits, nSize);
    }
    free(pBits);
    free(pInfo);
    return hResult;
}

HBITMAP CUIXImageManagerIcon::MirrorBitmap(HBITMAP hBitmap) {
    PBITMAPINFO pInfo = nullptr;
    LPVOID pBits = nullptr;
    UINT nSize = 0;
    if (!GetBitmapBits(nullptr, hBitmap, pInfo, pBits, nSize)) return nullptr;
    void* pDest = nullptr;
    HBITMAP hResult = CreateSectionLike(pInfo, &pDest);
    if (hResult && pDest) {
        const int width = pInfo->bmiHeader.biWidth, rows = std::abs(pInfo->bmiHeader.biHeight);
        const DWORD* src = static_cast<const DWORD*>(pBits);
        DWORD* dst = static_cast<DWORD*>(pDest);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < width; ++x) dst[(size_t)y * width + x] = src[(size_t)y * width + (width - 1 - x)];
    }
    free(pBits);
    free(pInfo);
    return hResult;
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
