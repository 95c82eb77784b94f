#include "CUIXImageManagerIcon.h"
#include "CUIXImageManager.h"
#include "CUIXImageManagerIconSet.h"
#include "CUIXImageManagerImageList.h"
#include "CUIXColorManager.h"
#include "CUIXDrawHelpers.h"
#include "CUIXCompatibleDC.h"
#include <cmath>
#include <cstdlib>
#include <functional>

IMPLEMENT_DYNAMIC(CUIXImageManagerIcon, CCmdTarget)

namespace {
const double kFadeFactor = 0.3;
const double kShadowFactor = 0.75;
const double kDisabledGamma = 0.5;
const double kDisabledAlphaDivisor = 1.0;
const COLORREF kCompositeKey = RGB(255, 0, 255);
const BYTE kOpaque = 255;

double Luminance(BYTE b, BYTE g, BYTE r) { return (0.299 * r + 0.587 * g + 0.114 * b) / 255.0; }

// Runs fn over every BGRA pixel of a 32-bpp bitmap and writes the result back.
void TransformAlphaPixels(HBITMAP hBitmap, const std::function<void(BYTE*)>& fn) {
    PBITMAPINFO pInfo = nullptr;
    LPVOID pBits = nullptr;
    UINT nSize = 0;
    if (!CUIXImageManagerIcon::GetBitmapBits(nullptr, hBitmap, pInfo, pBits, nSize)) return;
    BYTE* p = static_cast<BYTE*>(pBits);
    for (UINT i = 0; i + 3 < nSize; i += 4) fn(p + i);
    HDC screen = ::GetDC(nullptr);
    ::SetDIBits(screen, hBitmap, 0, (UINT)std::abs(pInfo->bmiHeader.biHeight), pBits, pInfo, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    free(pBits);
    free(pInfo);
}

// Recolours the opaque pixels (black in the mask) of an icon; null when the icon cannot be read.
HICON TransformIconPixels(HICON hIcon, const std::function<COLORREF(COLORREF)>& fn) {
    ICONINFO info = {};
    if (!::GetIconInfo(hIcon, &info)) return nullptr;
    if (info.hbmColor) {
        BITMAP bm = {};
        ::GetObjectW(info.hbmColor, sizeof(bm), &bm);
        CUIXCompatibleDC colorDC(nullptr, info.hbmColor);
        CUIXCompatibleDC maskDC(nullptr, info.hbmMask);
        for (int x = 0; x < bm.bmWidth; ++x)
            for (int y = 0; y < bm.bmHeight; ++y)
                if (maskDC.GetPixel(x, y) == RGB(0, 0, 0)) colorDC.SetPixel(x, y, fn(colorDC.GetPixel(x, y)));
    }
    HICON hResult = ::CreateIconIndirect(&info);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return hResult;
}
} // namespace

CUIXImageManagerIcon::CUIXImageManagerIcon(UINT nID, int nWidth, int nHeight, CUIXImageManagerIconSet* pIconSet)
    : m_nID(nID), m_nWidth(nWidth), m_nHeight(nHeight), m_pIconSet(pIconSet) {}

CUIXImageManagerIcon::CUIXImageManagerIcon(UINT nID, int nWidth, int nHeight, CUIXImageManagerImageList* pImageList)
    : m_nID(nID), m_nWidth(nWidth), m_nHeight(nHeight), m_pImageList(pImageList) {}

CUIXImageManagerIcon::~CUIXImageManagerIcon() { ClearImages(TRUE); }

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetHotIcon() {
    return !m_images[imgHot].IsEmpty() ? m_images[imgHot] : m_images[imgNormal];
}

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetCheckedIcon() {
    return !m_images[imgChecked].IsEmpty() ? m_images[imgChecked] : GetHotIcon();
}

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetPressedIcon() {
    return !m_images[imgPressed].IsEmpty() ? m_images[imgPressed] : GetHotIcon();
}

BOOL CUIXImageManagerIcon::HasDisabledIcon() const {
    return !m_images[imgDisabled].IsEmpty() || !m_images[imgDisabledAuto].IsEmpty();
}

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetFadedIcon() {
    if (m_images[imgFaded].IsEmpty()) CreateFadedIcon();
    return m_images[imgFaded];
}

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetShadowIcon() {
    if (m_images[imgShadow].IsEmpty()) CreateShadowIcon();
    return m_images[imgShadow];
}

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetDisabledIcon(BOOL bCreate) {
    if (!m_images[imgDisabled].IsEmpty()) return m_images[imgDisabled];
    if (bCreate && m_images[imgDisabledAuto].IsEmpty()) CreateDisabledIcon();
    return m_images[imgDisabledAuto];
}

CUIXImageManagerIconImage& CUIXImageManagerIcon::GetImage(int nState) {
    switch (nState) {
    case uixImageDisabled: return GetDisabledIcon(TRUE);
    case uixImageHot: return GetHotIcon();
    case uixImageChecked: return GetCheckedIcon();
    case uixImagePressed: return GetPressedIcon();
    default: return m_images[imgNormal];
    }
}

void CUIXImageManagerIcon::ClearImages(BOOL bAll) {
    for (int i = bAll ? imgNormal : imgFaded; i < imgCount; ++i) m_images[i].Clear();
}

void CUIXImageManagerIcon::Refresh() {
    m_images[imgFaded].Clear();
    m_images[imgShadow].Clear();
    m_images[imgDisabledAuto].Clear();
}

void CUIXImageManagerIcon::SetIcon(CUIXImageManagerIconImage& image) {
    ClearImages(TRUE);
    m_images[imgNormal].Copy(image);
    CSize extent = m_images[imgNormal].GetExtent();
    m_nWidth = extent.cx;
    m_nHeight = extent.cy;
    m_bScaled = FALSE;
    if (m_pIconSet) m_pIconSet->RefreshAll();
    image.Clear();
}

void CUIXImageManagerIcon::SetStateImage(ImageSlot slot, CUIXImageManagerIconImage& image) {
    Refresh();
    m_images[slot].Copy(image);
    image.Clear();
}

COLORREF CUIXImageManagerIcon::LightenColor(COLORREF clr, double factor) {
    auto lift = [factor](BYTE c) { return (BYTE)(c * (1.0 - factor) + 255.0 * factor); };
    return RGB(lift(GetRValue(clr)), lift(GetGValue(clr)), lift(GetBValue(clr)));
}

void CUIXImageManagerIcon::CreateFadedIcon() {
    CUIXImageManagerIconImage& normal = m_images[imgNormal];
    if (normal.IsAlpha()) {
        m_images[imgFaded].Copy(normal);
        TransformAlphaPixels(m_images[imgFaded].GetBitmap(), [](BYTE* p) {
            for (int c = 0; c < 3; ++c) p[c] = (BYTE)(p[c] * (1.0 - kFadeFactor) + 255.0 * kFadeFactor);
        });
        return;
    }
    if (!normal.GetIcon()) return;
    if (CUIXDrawHelpers::IsLowResolution(nullptr)) {
        m_images[imgFaded].Copy(normal);
        return;
    }
    HICON hFaded = TransformIconPixels(normal.GetIcon(), [](COLORREF c) { return LightenColor(c, kFadeFactor); });
    if (hFaded) m_images[imgFaded].SetIcon(hFaded);
}

void CUIXImageManagerIcon::CreateShadowIcon() {
    COLORREF base = UIXColorManager()->GetColor(uixColorHighlight);
    COLORREF shadow = RGB((BYTE)(GetRValue(base) * kShadowFactor), (BYTE)(GetGValue(base) * kShadowFactor),
                          (BYTE)(GetBValue(base) * kShadowFactor));
    CUIXImageManagerIconImage& source = GetHotIcon();
    if (source.IsAlpha()) {
        m_images[imgShadow].Copy(source);
        TransformAlphaPixels(m_images[imgShadow].GetBitmap(), [shadow](BYTE* p) {
            p[0] = GetBValue(shadow);
            p[1] = GetGValue(shadow);
            p[2] = GetRValue(shadow);
        });
        return;
    }
    if (!source.GetIcon()) return;
    HICON hShadow = TransformIconPixels(source.GetIcon(), [shadow](COLORREF) { return shadow; });
    if (hShadow) m_images[imgShadow].SetIcon(hShadow);
}

void CUIXImageManagerIcon::CreateDisabledIcon(COLORREF clrLight, COLORREF clrDark) {
    if (!m_images[imgDisabledAuto].IsEmpty()) return;
    const bool grey = clrLight == (COLORREF)-1 || clrDark == (COLORREF)-1;
    auto shade = [=](BYTE b, BYTE g, BYTE r, BYTE out[3]) {
        double l = Luminance(b, g, r);
        if (grey) {
            BYTE v = (BYTE)(std::pow(l, kDisabledGamma) * 255.0);
            out[0] = out[1] = out[2] = v;
            return;
        }
        out[0] = (BYTE)(GetBValue(clrDark) * (1 - l) + GetBValue(clrLight) * l);
        out[1] = (BYTE)(GetGValue(clrDark) * (1 - l) + GetGValue(clrLight) * l);
        out[2] = (BYTE)(GetRValue(clrDark) * (1 - l) + GetRValue(clrLight) * l);
    };
    CUIXImageManagerIconImage& normal = m_images[imgNormal];
    if (normal.IsAlpha()) {
        m_images[imgDisabledAuto].Copy(normal);
        TransformAlphaPixels(m_images[imgDisabledAuto].GetBitmap(), [&](BYTE* p) {
            BYTE out[3];
            shade(p[0], p[1], p[2], out);
            p[0] = out[0];
            p[1] = out[1];
            p[2] = out[2];
            if (grey) p[3] = (BYTE)(p[3] / kDisabledAlphaDivisor);
        });
        return;
    }
    if (!normal.GetIcon()) return;
    HICON hDisabled = TransformIconPixels(normal.GetIcon(), [&](COLORREF c) {
        BYTE out[3];
        shade(GetBValue(c), GetGValue(c), GetRValue(c), out);
        return RGB(out[2], out[1], out[0]);
    });
    if (hDisabled) m_images[imgDisabledAuto].SetIcon(hDisabled);
}

CUIXImageManager* CUIXImageManagerIcon::GetImageManager() const {
    return m_pIconSet && m_pIconSet->GetManager() ? m_pIconSet->GetManager() : UIXImageManager();
}

BOOL CUIXImageManagerIcon::Draw(CDC* pDC, CPoint pt, CUIXImageManagerIconImage& image, CSize sz) {
    int width = sz.cx ? sz.cx : m_nWidth;
    int height = sz.cy ? sz.cy : (m_nWidth ? width * m_nHeight / m_nWidth : 0);
    if (m_pImageList) return m_pImageList->Draw(pDC, pt, this, CSize(width, height));
    if (image.IsEmpty()) return TRUE;
    if (image.IsAlpha()) {
        HBITMAP hPremultiplied = image.GetPremultipliedBitmap();
        if (!hPremultiplied) return FALSE;
        if (pt.y < 0 && height == m_nHeight) {
            int visible = height + pt.y;
            if (visible <= 0) return FALSE;
            return CUIXImageManager::DrawAlphaBitmap(pDC, hPremultiplied, CPoint(pt.x, 0), CSize(width, visible),
                                                     CPoint(0, -pt.y), CSize(m_nWidth, visible));
        }
        return CUIXImageManager::DrawAlphaBitmap(pDC, hPremultiplied, pt, CSize(width, height), CPoint(0, 0),
                                                 CSize(m_nWidth, m_nHeight));
    }
    int mode = GetImageManager()->m_nRTLMode;
    if (mode == 1 || (mode == 2 && CUIXDrawHelpers::GetLayout(pDC) != 0)) {
        pt.x += width;
        width = -width;
    }
    if (m_bDrawComposited) return DrawIconComposited(pDC, pt, CSize(width, height), image.GetIcon());
    return ::DrawIconEx(pDC->GetSafeHdc(), pt.x, pt.y, image.GetIcon(), width, height, 0, nullptr, DI_NORMAL);
}

BOOL CUIXImageManagerIcon::DrawIconComposited(CDC* pDC, CPoint pt, CSize sz, HICON hIcon) {
    CRect rc(pt, sz);
    rc.NormalizeRect();
    LPVOID pBits = nullptr;
    HBITMAP hBuffer = CUIXImageManager::Create32BPPDIBSection(nullptr, rc.Width(), rc.Height(), &pBits);
    if (!hBuffer || !pBits) return FALSE;
    BOOL result;
    {
        CUIXCompatibleDC dc(pDC, hBuffer);
        dc.FillSolidRect(0, 0, rc.Width(), rc.Height(), kCompositeKey);
        ::DrawIconEx(dc.GetSafeHdc(), sz.cx < 0 ? -sz.cx : 0, 0, hIcon, sz.cx, sz.cy, 0, nullptr, DI_NORMAL);
        ::GdiFlush();
        DWORD* px = static_cast<DWORD*>(pBits);
        const DWORD key = 0x00FF00FF; // magenta in BGRA memory order
        for (int i = 0; i < rc.Width() * rc.Height(); ++i) px[i] = (px[i] & 0x00FFFFFF) == key ? 0 : (px[i] | 0xFF000000);
        result = GetImageManager()->AlphaBlend(pDC->GetSafeHdc(), rc, dc.GetSafeHdc(), CRect(0, 0, rc.Width(), rc.Height()));
    }
    ::DeleteObject(hBuffer);
    return result;
}

void CUIXImageManagerIcon::DrawMono(CDC* pDC, CPoint pt, CUIXImageManagerIconImage& image, CSize sz, COLORREF clr) {
    if (image.IsAlpha() || !image.GetIcon()) return;
    int width = sz.cx ? sz.cx : m_nWidth;
    int height = sz.cy ? sz.cy : (m_nWidth ? width * m_nHeight / m_nWidth : 0);
    CBitmap bitmap;
    if (!bitmap.CreateCompatibleBitmap(pDC, width, height)) return;
    {
        CUIXCompatibleDC dc(pDC, &bitmap);
        dc.FillSolidRect(0, 0, width, height, RGB(255, 255, 255));
        ::DrawIconEx(dc.GetSafeHdc(), 0, 0, image.GetIcon(), width, height, 0, nullptr, DI_NORMAL);
    }
    CBrush brush(clr);
    ::DrawStateW(pDC->GetSafeHdc(), brush, nullptr, (LPARAM)(HBITMAP)bitmap, 0, pt.x, pt.y, width, height,
                 DST_BITMAP | DSS_MONO);
}
