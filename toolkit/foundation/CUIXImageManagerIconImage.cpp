#include "CUIXImageManagerIconImage.h"
#include "CUIXImageManagerIcon.h"

void CUIXImageManagerIconImage::Clear() {
    if (m_bOwns) {
        if (m_hIcon) ::DestroyIcon(m_hIcon);
        if (m_hBitmap) ::DeleteObject(m_hBitmap);
    }
    if (m_hPremultiplied) ::DeleteObject(m_hPremultiplied);
    m_hIcon = nullptr;
    m_hBitmap = nullptr;
    m_hPremultiplied = nullptr;
}

void CUIXImageManagerIconImage::SetIcon(HICON hIcon) {
    Clear();
    m_hIcon = hIcon;
    m_bOwns = TRUE;
}

void CUIXImageManagerIconImage::SetBitmap(HBITMAP hBitmap) {
    Clear();
    m_hBitmap = hBitmap;
    m_bOwns = TRUE;
}

void CUIXImageManagerIconImage::Copy(const CUIXImageManagerIconImage& other) {
    Clear();
    m_bOwns = TRUE;
    if (other.m_hIcon) m_hIcon = ::CopyIcon(other.m_hIcon);
    if (other.m_hBitmap) m_hBitmap = CUIXImageManagerIcon::CopyAlphaBitmap(other.m_hBitmap);
}

CSize CUIXImageManagerIconImage::GetExtent() const {
    if (m_hIcon) return CUIXImageManagerIcon::GetExtent(m_hIcon);
    BITMAP bm = {};
    if (m_hBitmap && ::GetObjectW(m_hBitmap, sizeof(bm), &bm)) return CSize(bm.bmWidth, bm.bmHeight);
    return CSize(0, 0);
}

HBITMAP CUIXImageManagerIconImage::GetPremultipliedBitmap() {
    if (m_hPremultiplied) return m_hPremultiplied;
    if (m_hBitmap) {
        m_hPremultiplied = CUIXImageManagerIcon::PreMultiplyAlphaBitmap(m_hBitmap, nullptr);
    } else if (m_hIcon) {
        ICONINFO info = {};
        if (::GetIconInfo(m_hIcon, &info)) {
            if (info.hbmColor) m_hPremultiplied = CUIXImageManagerIcon::PreMultiplyAlphaBitmap(info.hbmColor, nullptr);
            if (info.hbmColor) ::DeleteObject(info.hbmColor);
            if (info.hbmMask) ::DeleteObject(info.hbmMask);
        }
    }
    return m_hPremultiplied;
}
