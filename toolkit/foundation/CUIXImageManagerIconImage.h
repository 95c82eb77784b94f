// One picture of a command icon: a Windows icon or a straight 32-bpp alpha
// bitmap, with a premultiplied copy made for drawing.
#pragma once
#include <afxwin.h>

class CUIXImageManagerIconImage {
public:
    CUIXImageManagerIconImage() = default;
    // Wraps a handle without owning it.
    explicit CUIXImageManagerIconImage(HICON hIcon) : m_hIcon(hIcon), m_bOwns(FALSE) {}
    explicit CUIXImageManagerIconImage(HBITMAP hBitmap) : m_hBitmap(hBitmap), m_bOwns(FALSE) {}
    // Shares both handles without owning them and without the cache.
    CUIXImageManagerIconImage(const CUIXImageManagerIconImage& other)
        : m_hIcon(other.m_hIcon), m_hBitmap(other.m_hBitmap), m_bOwns(FALSE) {}
    CUIXImageManagerIconImage& operator=(const CUIXImageManagerIconImage&) = delete;
    ~CUIXImageManagerIconImage() { Clear(); }

    BOOL IsEmpty() const { return !m_hIcon && !m_hBitmap; }
    BOOL IsAlpha() const { return m_hBitmap != nullptr; }
    HICON GetIcon() const { return m_hIcon; }
    HBITMAP GetBitmap() const { return m_hBitmap; }

    void Clear();
    void SetIcon(HICON hIcon);
    void SetBitmap(HBITMAP hBitmap);
    // A deep copy that this holder owns.
    void Copy(const CUIXImageManagerIconImage& other);
    CSize GetExtent() const;
    // The premultiplied copy for drawing; null when it cannot be made.
    HBITMAP GetPremultipliedBitmap();

private:
    HICON m_hIcon = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HBITMAP m_hPremultiplied = nullptr;
    BOOL m_bOwns = TRUE;
};
