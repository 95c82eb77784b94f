// The icon stream of the image manager's exchange format: the height, the
// schema and one record of two bitmaps per explicit image.
#include "CUIXImageManagerIcon.h"
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
const int kCheckedSinceSchema = 7;  // checked images are stored above this schema
const int kPressedSinceSchema = 16; // pressed images above this one
const UINT kHeaderBytes = sizeof(BITMAPINFOHEADER);
const UINT kMaxColorEntries = 256;
const UINT kMaskEntries = 3;
const UINT kMaxHeaderRecord = kHeaderBytes + kMaxColorEntries * sizeof(RGBQUAD);

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
typedef std::unique_ptr<BYTE, FreeDeleter> Buffer;

UINT ColorEntriesFor(WORD bitCount) {
    if (bitCount == 4) return 16;
    if (bitCount == 8) return kMaxColorEntries;
    return kMaskEntries;
}

// Bytes of the pixel rows a header describes, or 0 when the header cannot
// describe a bitmap this format carries.
ULONGLONG CheckedImageBytes(const BITMAPINFOHEADER& h, UINT headerRecordBytes) {
    if (h.biSize < kHeaderBytes || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return 0;
    switch (h.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return 0;
    }
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return 0;
    if (h.biCompression == BI_BITFIELDS && h.biBitCount != 16 && h.biBitCount != 32) return 0;
    ULONGLONG colors = h.biClrUsed;
    if (h.biBitCount <= 8) {
        if (colors == 0) colors = 1ULL << h.biBitCount;
        if (colors > (1ULL << h.biBitCount)) return 0;
    } else if (colors > kMaxColorEntries) {
        return 0;
    }
    ULONGLONG needed = h.biSize + colors * sizeof(RGBQUAD) + (h.biCompression == BI_BITFIELDS ? kMaskEntries * 4 : 0);
    // GDI reads the colour table from the header record: it must all be there.
    if (needed > headerRecordBytes) return 0;
    ULONGLONG stride = (((ULONGLONG)h.biWidth * h.biBitCount + 31) / 32) * 4;
    ULONGLONG rows = (ULONGLONG)(h.biHeight < 0 ? -(LONGLONG)h.biHeight : (LONGLONG)h.biHeight);
    return stride * rows;
}
} // namespace

void CUIXImageManagerIcon::WriteDIBSection(CArchive& ar, HBITMAP hBitmap) {
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    BITMAPINFOHEADER h = {};
    h.biSize = kHeaderBytes;
    Buffer header, bits;
    UINT headerBytes = 0, bitsBytes = 0;
    if (hBitmap && memory && ::GetDIBits(memory, hBitmap, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS)) {
        ULONGLONG size = h.biSizeImage ? h.biSizeImage : (ULONGLONG)h.biWidth * std::abs(h.biHeight) * 4;
        headerBytes = kHeaderBytes + ColorEntriesFor(h.biBitCount) * (UINT)sizeof(RGBQUAD);
        header.reset(static_cast<BYTE*>(calloc(1, headerBytes)));
        bits.reset(size && size < 0x7FFFFFFF ? static_cast<BYTE*>(malloc((size_t)size)) : nullptr);
        if (header && bits) {
            memcpy(header.get(), &h, kHeaderBytes);
            bitsBytes = (UINT)size;
            if (!::GetDIBits(memory, hBitmap, 0, (UINT)std::abs(h.biHeight), bits.get(),
                             reinterpret_cast<BITMAPINFO*>(header.get()), DIB_RGB_COLORS))
                bits.reset();
        }
    }
    if (memory) ::DeleteDC(memory);
    if (!header || !bits) {
        ar.WriteCount(0);
        return;
    }
    ar.WriteCount(headerBytes);
    ar.Write(header.get(), headerBytes);
    ar.WriteCount(bitsBytes);
    ar.Write(bits.get(), bitsBytes);
}

HBITMAP CUIXImageManagerIcon::ReadDIBSection(CArchive& ar) {
    ULONGLONG headerBytes = ar.ReadCount64();
    if (headerBytes == 0) return nullptr;
    if (headerBytes < kHeaderBytes || headerBytes > kMaxHeaderRecord)
        AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
    Buffer header(static_cast<BYTE*>(calloc(1, (size_t)headerBytes)));
    if (!header) AfxThrowMemoryException();
    ar.EnsureRead(header.get(), (UINT)headerBytes);
    ULONGLONG bitsBytes = ar.ReadCount64();
    ar.CheckAvailable(bitsBytes);
    if (bitsBytes > 0x7FFFFFFF) AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
    Buffer bits(bitsBytes ? static_cast<BYTE*>(malloc((size_t)bitsBytes)) : nullptr);
    if (bitsBytes && !bits) AfxThrowMemoryException();
    if (bitsBytes) ar.EnsureRead(bits.get(), (UINT)bitsBytes);
    if (bitsBytes == 0) return nullptr;

    BITMAPINFOHEADER& h = *reinterpret_cast<BITMAPINFOHEADER*>(header.get());
    ULONGLONG imageBytes = CheckedImageBytes(h, (UINT)headerBytes);
    // A header that claims more pixels than the record carries is not trusted with an allocation.
    if (imageBytes == 0 || imageBytes > bitsBytes) return nullptr;
    if (h.biSizeImage == 0) h.biSizeImage = (DWORD)bitsBytes;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    void* pDest = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(header.get()), DIB_RGB_COLORS, &pDest, nullptr, 0);
    if (memory) ::DeleteDC(memory);
    if (!hBitmap || !pDest) {
        if (hBitmap) ::DeleteObject(hBitmap);
        return nullptr;
    }
    // The section holds what its header describes, whatever the header's image size says.
    memcpy(pDest, bits.get(), (size_t)imageBytes);
    return hBitmap;
}

void CUIXImageManagerIcon::SerializeImage(CArchive& ar, CUIXImageManagerIconImage& image) {
    if (ar.IsStoring()) {
        if (image.GetIcon()) {
            ICONINFO info = {};
            if (::GetIconInfo(image.GetIcon(), &info)) {
                WriteDIBSection(ar, info.hbmColor);
                WriteDIBSection(ar, info.hbmMask);
                if (info.hbmColor) ::DeleteObject(info.hbmColor);
                if (info.hbmMask) ::DeleteObject(info.hbmMask);
                return;
            }
        } else if (image.GetBitmap()) {
            WriteDIBSection(ar, image.GetBitmap());
            WriteDIBSection(ar, nullptr);
            return;
        }
        WriteDIBSection(ar, nullptr);
        WriteDIBSection(ar, nullptr);
        return;
    }
    HBITMAP hFirst = ReadDIBSection(ar);
    HBITMAP hSecond = nullptr;
    try {
        hSecond = ReadDIBSection(ar);
    } catch (...) {
        if (hFirst) ::DeleteObject(hFirst);
        throw;
    }
    if (!hFirst) {
        if (hSecond) ::DeleteObject(hSecond);
        return;
    }
    if (!hSecond) {
        image.SetBitmap(hFirst);
        return;
    }
    BITMAP bm = {};
    ::GetObjectW(hFirst, sizeof(bm), &bm);
    CImageList list;
    if (list.Create(bm.bmWidth, bm.bmHeight, ILC_COLOR24 | ILC_MASK, 0, 1)) {
        ImageList_Add(list.m_hImageList, hFirst, hSecond);
        HICON hIcon = ImageList_GetIcon(list.m_hImageList, 0, ILD_NORMAL);
        if (hIcon) image.SetIcon(hIcon);
    }
    ::DeleteObject(hFirst);
    ::DeleteObject(hSecond);
}

void CUIXImageManagerIcon::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << (LONG)m_nHeight << (LONG)kStreamSchema;
        SerializeImage(ar, m_images[imgNormal]);
        SerializeImage(ar, m_images[imgDisabled]);
        SerializeImage(ar, m_images[imgHot]);
        SerializeImage(ar, m_images[imgChecked]);
        SerializeImage(ar, m_images[imgPressed]);
        return;
    }
    LONG height, schema;
    ar >> height >> schema;
    m_nHeight = height;
    SerializeImage(ar, m_images[imgNormal]);
    SerializeImage(ar, m_images[imgDisabled]);
    SerializeImage(ar, m_images[imgHot]);
    if (schema > kCheckedSinceSchema) SerializeImage(ar, m_images[imgChecked]);
    if (schema > kPressedSinceSchema) SerializeImage(ar, m_images[imgPressed]);
}
