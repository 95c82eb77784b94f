// Bitmaps from PNG and BMP files and resources, splitting, and the alpha and
// transparent blits with their fallbacks for systems without msimg32.
#include "CUIXImageManager.h"
#include "CUIXGraphicBitmapPng.h"
#include "CUIXSystemVersion.h"
#include "CUIXCompatibleDC.h"
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
const BYTE kPngMagic[4] = {0x89, 'P', 'N', 'G'};
const WCHAR* const kPngType = L"PNG";
const UINT kBitmapFileHeaderBytes = 14;
const UINT kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);
const UINT kBitfieldMaskBytes = 3 * sizeof(DWORD);
const BYTE kOpaque = 255;
const UINT kLoadFileFlags = LR_LOADFROMFILE | LR_DEFAULTSIZE;

const BYTE* LockResourceBytes(HMODULE hModule, LPCWSTR name, LPCWSTR type, DWORD* pSize) {
    HRSRC hRes = ::FindResourceW(hModule, name, type);
    HGLOBAL hData = hRes ? ::LoadResource(hModule, hRes) : nullptr;
    if (!hData) return nullptr;
    *pSize = ::SizeofResource(hModule, hRes);
    return static_cast<const BYTE*>(::LockResource(hData));
}

class CFileHandle {
public:
    explicit CFileHandle(LPCTSTR path)
        : m_h(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~CFileHandle() {
        if (IsValid()) ::CloseHandle(m_h);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE; }
    bool ReadExactly(void* p, DWORD n) {
        DWORD got = 0;
        return IsValid() && ::ReadFile(m_h, p, n, &got, nullptr) && got == n;
    }

private:
    HANDLE m_h;
};

struct GdiDeleter {
    void operator()(HGDIOBJ h) const {
        if (h) ::DeleteObject(h);
    }
};
} // namespace

HBITMAP CUIXImageManager::Create32BPPDIBSection(HDC hDC, int iWidth, int iHeight, LPVOID* pBits) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = kInfoHeaderBytes;
    bmi.bmiHeader.biWidth = iWidth;
    bmi.bmiHeader.biHeight = iHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    LPVOID bits = nullptr;
    HBITMAP h = ::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (pBits) *pBits = bits;
    return h;
}

BOOL CUIXImageManager::IsPngBitmapResource(HMODULE hModule, LPCTSTR lpszName) {
    DWORD size = 0;
    const BYTE* p = LockResourceBytes(hModule, lpszName, kPngType, &size);
    return p && size >= sizeof(kPngMagic) && memcmp(p, kPngMagic, sizeof(kPngMagic)) == 0;
}

BOOL CUIXImageManager::IsAlphaBitmapResource(HMODULE hModule, LPCTSTR lpszName) {
    DWORD size = 0;
    const BYTE* p = LockResourceBytes(hModule, lpszName, RT_BITMAP, &size);
    return p && size >= kInfoHeaderBytes && reinterpret_cast<const BITMAPINFOHEADER*>(p)->biBitCount == 32;
}

BOOL CUIXImageManager::IsPngBitmapFile(LPCTSTR lpszFileName) {
    CFileHandle file(lpszFileName);
    BYTE magic[sizeof(kPngMagic)];
    return file.ReadExactly(magic, sizeof(magic)) && memcmp(magic, kPngMagic, sizeof(magic)) == 0;
}

BOOL CUIXImageManager::IsAlphaBitmapFile(LPCTSTR lpszFileName) {
    CFileHandle file(lpszFileName);
    BYTE fileHeader[kBitmapFileHeaderBytes];
    BITMAPINFOHEADER info = {};
    return file.ReadExactly(fileHeader, sizeof(fileHeader)) && file.ReadExactly(&info, kInfoHeaderBytes) &&
           info.biBitCount == 32;
}

HBITMAP CUIXImageManager::LoadAlphaBitmap(HMODULE hModule, LPCTSTR lpszName) {
    DWORD size = 0;
    const BYTE* p = LockResourceBytes(hModule, lpszName, RT_BITMAP, &size);
    if (!p || size < kInfoHeaderBytes) return nullptr;
    BITMAPINFOHEADER header;
    memcpy(&header, p, kInfoHeaderBytes);
    if (header.biSize < kInfoHeaderBytes || header.biBitCount != 32 || header.biWidth <= 0 || header.biHeight == 0)
        return nullptr;
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS) return nullptr;
    // Heights of top-down bitmaps are negative; sizes are reckoned in 64 bits.
    ULONGLONG rows = (ULONGLONG)std::llabs((LONGLONG)header.biHeight);
    ULONGLONG pixelBytes = (ULONGLONG)header.biWidth * rows * 4;
    ULONGLONG offset = header.biSize + (header.biCompression == BI_BITFIELDS && header.biSize == kInfoHeaderBytes ? kBitfieldMaskBytes : 0);
    if (pixelBytes > 0x7FFFFFFF || offset + pixelBytes > size) return nullptr;
    header.biSize = kInfoHeaderBytes;
    header.biCompression = BI_RGB;
    header.biSizeImage = (DWORD)pixelBytes;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    void* bits = nullptr;
    HBITMAP h = ::CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory) ::DeleteDC(memory);
    if (h && bits) memcpy(bits, p + offset, (size_t)pixelBytes);
    return h;
}

HBITMAP CUIXImageManager::LoadBitmapFromResource(HMODULE hModule, LPCTSTR lpszName, BOOL* pbAlpha) {
    if (IsPngBitmapResource(hModule, lpszName)) {
        CUIXGraphicBitmapPng png;
        if (!png.LoadFromResource(hModule, ::FindResourceW(hModule, lpszName, kPngType))) return nullptr;
        if (pbAlpha) *pbAlpha = png.IsAlpha();
        return (HBITMAP)png.Detach();
    }
    BOOL alpha = IsAlphaBitmapResource(hModule, lpszName);
    if (pbAlpha) *pbAlpha = alpha;
    if (alpha) return LoadAlphaBitmap(hModule, lpszName);
    return static_cast<HBITMAP>(::LoadImageW(hModule, lpszName, IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE));
}

HBITMAP CUIXImageManager::LoadBitmapFromResource(LPCTSTR lpszName, BOOL* pbAlpha) {
    return LoadBitmapFromResource(AfxGetResourceHandle(), lpszName, pbAlpha);
}

HBITMAP CUIXImageManager::LoadBitmapFromFile(LPCTSTR lpszFileName, BOOL* pbAlpha) {
    if (IsPngBitmapFile(lpszFileName)) {
        CUIXGraphicBitmapPng png;
        if (!png.LoadFromFile(lpszFileName)) return nullptr;
        if (pbAlpha) *pbAlpha = png.IsAlpha();
        return (HBITMAP)png.Detach();
    }
    BOOL alpha = IsAlphaBitmapFile(lpszFileName);
    if (pbAlpha) *pbAlpha = alpha;
    UINT flags = kLoadFileFlags | (alpha ? LR_CREATEDIBSECTION : 0);
    return static_cast<HBITMAP>(::LoadImageW(nullptr, lpszFileName, IMAGE_BITMAP, 0, 0, flags));
}

BOOL CUIXImageManager::IsWin2KOrGreater() { return UIXSystemVersion()->IsWin2KOrGreater(); }

COLORREF CUIXImageManager::GetBitmapPixel(CBitmap* pBitmap, int x, int y) {
    CUIXCompatibleDC dc(nullptr, pBitmap);
    return dc.GetPixel(x, y);
}

BOOL CUIXImageManager::SplitBitmap(HBITMAP hBitmap, int nCount, HBITMAP* pCells) {
    if (nCount <= 0) return FALSE;
    PBITMAPINFO pInfo = nullptr;
    LPVOID pBits = nullptr;
    UINT nSize = 0;
    if (!CUIXImageManagerIcon::GetBitmapBits(nullptr, hBitmap, pInfo, pBits, nSize)) return FALSE;
    const int width = pInfo->bmiHeader.biWidth, rows = std::abs(pInfo->bmiHeader.biHeight);
    const int cellWidth = width / nCount;
    BOOL ok = cellWidth > 0;
    BITMAPINFOHEADER cellHeader = pInfo->bmiHeader;
    cellHeader.biWidth = cellWidth;
    cellHeader.biSizeImage = (DWORD)((ULONGLONG)cellWidth * rows * 4);
    std::unique_ptr<DWORD*[]> cellBits(new DWORD*[(size_t)nCount]());
    for (int i = 0; ok && i < nCount; ++i) {
        void* bits = nullptr;
        pCells[i] = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&cellHeader), DIB_RGB_COLORS, &bits, nullptr, 0);
        cellBits[(size_t)i] = static_cast<DWORD*>(bits);
        if (!pCells[i] || !bits) {
            for (int k = 0; k <= i; ++k)
                if (pCells[k]) ::DeleteObject(pCells[k]);
            ok = FALSE;
        }
    }
    if (ok) {
        const DWORD* src = static_cast<const DWORD*>(pBits);
        for (int y = 0; y < rows; ++y)
            for (int i = 0; i < nCount; ++i)
                memcpy(cellBits[(size_t)i] + (size_t)y * cellWidth, src + (size_t)y * width + (size_t)i * cellWidth,
                       (size_t)cellWidth * 4);
    }
    free(pBits);
    free(pInfo);
    return ok;
}

BOOL CUIXImageManager::AlphaBlend(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc) {
    if (m_pfnAlphaBlend && (IsWin2KOrGreater() || rcSrc.TopLeft() == CPoint(0, 0))) {
        BLENDFUNCTION bf = {AC_SRC_OVER, 0, kOpaque, AC_SRC_ALPHA};
        return m_pfnAlphaBlend(hdcDest, rcDest.left, rcDest.top, rcDest.Width(), rcDest.Height(), hdcSrc, rcSrc.left,
                               rcSrc.top, rcSrc.Width(), rcSrc.Height(), bf);
    }
    return SoftAlphaBlend(hdcDest, rcDest, hdcSrc, rcSrc);
}

BOOL CUIXImageManager::BlendDIBits(HBITMAP hbmDest, HBITMAP hbmSrc, HBITMAP hbmResult) {
    DIBSECTION d = {}, s = {}, r = {};
    if (::GetObjectW(hbmDest, sizeof(d), &d) != sizeof(d) || ::GetObjectW(hbmSrc, sizeof(s), &s) != sizeof(s) ||
        ::GetObjectW(hbmResult, sizeof(r), &r) != sizeof(r))
        return FALSE;
    const BITMAP& a = d.dsBm;
    for (const BITMAP* b : {&s.dsBm, &r.dsBm})
        if (b->bmWidth != a.bmWidth || b->bmHeight != a.bmHeight || b->bmPlanes != a.bmPlanes || b->bmBitsPixel != a.bmBitsPixel)
            return FALSE;
    if (a.bmBitsPixel != 32 || a.bmPlanes != 1 || !d.dsBm.bmBits || !s.dsBm.bmBits || !r.dsBm.bmBits) return FALSE;
    const BYTE* src = static_cast<const BYTE*>(s.dsBm.bmBits);
    const BYTE* dst = static_cast<const BYTE*>(d.dsBm.bmBits);
    BYTE* out = static_cast<BYTE*>(r.dsBm.bmBits);
    const size_t count = (size_t)a.bmWidth * a.bmHeight;
    for (size_t i = 0; i < count; ++i, src += 4, dst += 4, out += 4)
        for (int c = 0; c < 3; ++c) out[c] = (BYTE)(src[c] + dst[c] * (kOpaque - src[3]) / kOpaque);
    return TRUE;
}

BOOL CUIXImageManager::SoftAlphaBlend(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc) {
    const int w = rcDest.Width(), h = rcDest.Height();
    std::unique_ptr<void, GdiDeleter> src(Create32BPPDIBSection(hdcDest, w, h));
    std::unique_ptr<void, GdiDeleter> dst(Create32BPPDIBSection(hdcDest, w, h));
    std::unique_ptr<void, GdiDeleter> res(Create32BPPDIBSection(hdcDest, w, h));
    if (!src || !dst || !res) return FALSE;
    CUIXCompatibleDC srcDC(nullptr, (HBITMAP)src.get()), dstDC(nullptr, (HBITMAP)dst.get()), resDC(nullptr, (HBITMAP)res.get());
    if (!srcDC.GetSafeHdc() || !dstDC.GetSafeHdc() || !resDC.GetSafeHdc()) return FALSE;
    srcDC.SetStretchBltMode(COLORONCOLOR);
    dstDC.SetStretchBltMode(COLORONCOLOR);
    ::StretchBlt(srcDC, 0, 0, w, h, hdcSrc, rcSrc.left, rcSrc.top, rcSrc.Width(), rcSrc.Height(), SRCCOPY);
    ::StretchBlt(dstDC, 0, 0, w, h, hdcDest, rcDest.left, rcDest.top, w, h, SRCCOPY);
    ::GdiFlush();
    if (!BlendDIBits((HBITMAP)dst.get(), (HBITMAP)src.get(), (HBITMAP)res.get())) return FALSE;
    return ::BitBlt(hdcDest, rcDest.left, rcDest.top, w, h, resDC, 0, 0, SRCCOPY);
}

BOOL CUIXImageManager::TransparentBlt(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc, COLORREF clrTransparent) {
    if (IsWin2KOrGreater() && m_pfnTransparentBlt)
        return m_pfnTransparentBlt(hdcDest, rcDest.left, rcDest.top, rcDest.Width(), rcDest.Height(), hdcSrc, rcSrc.left,
                                   rcSrc.top, rcSrc.Width(), rcSrc.Height(), clrTransparent);
    return MaskedTransparentBlt(hdcDest, rcDest, hdcSrc, rcSrc, clrTransparent);
}

BOOL CUIXImageManager::MaskedTransparentBlt(HDC hdcDest, const CRect& rcDest, HDC hdcSrc, const CRect& rcSrc,
                                            COLORREF clrTransparent) {
    if (!hdcDest || !hdcSrc) return FALSE;
    const int sw = rcSrc.Width(), sh = rcSrc.Height();
    COLORREF oldBk = ::SetBkColor(hdcDest, RGB(255, 255, 255));
    COLORREF oldText = ::SetTextColor(hdcDest, RGB(0, 0, 0));
    std::unique_ptr<void, GdiDeleter> copy(::CreateCompatibleBitmap(hdcSrc, sw, sh));
    std::unique_ptr<void, GdiDeleter> mask(::CreateBitmap(sw, sh, 1, 1, nullptr));
    BOOL ok = copy && mask;
    if (ok) {
        CUIXCompatibleDC copyDC(CDC::FromHandle(hdcSrc), (HBITMAP)copy.get());
        CUIXCompatibleDC maskDC(CDC::FromHandle(hdcSrc), (HBITMAP)mask.get());
        ok = ::BitBlt(copyDC, 0, 0, sw, sh, hdcSrc, rcSrc.left, rcSrc.top, SRCCOPY);
        copyDC.SetBkColor(clrTransparent);
        ok = ok && ::BitBlt(maskDC, 0, 0, sw, sh, copyDC, 0, 0, SRCCOPY);
        if (ok && clrTransparent != RGB(0, 0, 0)) {
            copyDC.SetBkColor(RGB(0, 0, 0));
            copyDC.SetTextColor(RGB(255, 255, 255));
            ok = ::BitBlt(copyDC, 0, 0, sw, sh, maskDC, 0, 0, SRCAND);
        }
        const bool stretch = rcDest.Width() != sw || rcDest.Height() != sh;
        if (ok && stretch) {
            ok = ::StretchBlt(hdcDest, rcDest.left, rcDest.top, rcDest.Width(), rcDest.Height(), maskDC, 0, 0, sw, sh, SRCAND) &&
                 ::StretchBlt(hdcDest, rcDest.left, rcDest.top, rcDest.Width(), rcDest.Height(), copyDC, 0, 0, sw, sh, SRCPAINT);
        } else if (ok) {
            ok = ::BitBlt(hdcDest, rcDest.left, rcDest.top, sw, sh, maskDC, 0, 0, SRCAND) &&
                 ::BitBlt(hdcDest, rcDest.left, rcDest.top, sw, sh, copyDC, 0, 0, SRCPAINT);
        }
    }
    ::SetBkColor(hdcDest, oldBk);
    ::SetTextColor(hdcDest, oldText);
    return ok;
}

BOOL CUIXImageManager::DrawAlphaBitmap(CDC* pDC, HBITMAP hBitmap, CPoint ptDest, CSize szDest, CPoint ptSrc, CSize szSrc) {
    CUIXCompatibleDC dc(pDC, hBitmap);
    CRect rcDest(ptDest, szDest);
    CRect rcSrc(ptSrc, (szSrc.cx == 0 && szSrc.cy == 0) ? szDest : szSrc);
    return UIXImageManager()->AlphaBlend(pDC->GetSafeHdc(), rcDest, dc.GetSafeHdc(), rcSrc);
}
