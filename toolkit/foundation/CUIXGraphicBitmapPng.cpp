#include "CUIXGraphicBitmapPng.h"
#include <png.h>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace {
const size_t kSignatureBytes = 8;
const ULONGLONG kResourceMinimum = 9; // a resource of 9 bytes or fewer is not a PNG
const png_uint_32 kMaxDimension = 16384;
// Deflate inflates at most about 1032 times; a one-bit image then grows 32
// times more on its way to RGBA, so a stream cannot honestly claim more.
const ULONGLONG kMaxInflation = 1032ULL * 32ULL;
const ULONGLONG kInflationSlack = 1 << 20;
const double kScreenGamma = 2.2;

struct ReadContext {
    CFile* file;
    ULONGLONG streamBytes; // 0 when unknown
};

void ReadDataCallback(png_structp png, png_bytep data, png_size_t length) {
    auto* ctx = static_cast<ReadContext*>(png_get_io_ptr(png));
    UINT got = 0;
    try {
        got = ctx->file->Read(data, (UINT)length);
    } catch (CException* e) {
        e->Delete();
    }
    if (got != length) png_error(png, "end of file");
}

void ErrorCallback(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void WarningCallback(png_structp, png_const_charp) {}

void SetTransforms(png_structp png, png_infop info) {
    int bitDepth = png_get_bit_depth(png, info);
    int colorType = png_get_color_type(png, info);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_expand(png);
    if (bitDepth < 8) png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_expand(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background)) png_set_background(png, background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    double fileGamma = 0;
    if (png_get_gAMA(png, info, &fileGamma)) png_set_gamma(png, kScreenGamma, fileGamma);
    png_set_interlace_handling(png);
}

// Everything that may be left behind by a long jump lives here, not on the C++ stack.
struct DecodeState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    BYTE* pixels = nullptr;
    png_bytep* rows = nullptr;
};

void ReleaseState(DecodeState& s) {
    png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
    free(s.rows);
    s.rows = nullptr;
}

bool DecodeRows(DecodeState& s, const ReadContext& ctx, CUIXGraphicBitmapPng::Decoded& out) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_fn(s.png, const_cast<ReadContext*>(&ctx), ReadDataCallback);
    png_set_sig_bytes(s.png, (int)kSignatureBytes);
    png_set_user_limits(s.png, kMaxDimension, kMaxDimension);
    png_read_info(s.png, s.info);
    SetTransforms(s.png, s.info);
    png_read_update_info(s.png, s.info);
    png_uint_32 width = png_get_image_width(s.png, s.info), height = png_get_image_height(s.png, s.info);
    png_size_t rowBytes = png_get_rowbytes(s.png, s.info);
    int channels = png_get_channels(s.png, s.info);
    ULONGLONG total = (ULONGLONG)rowBytes * height;
    if ((channels != 3 && channels != 4) || rowBytes != (png_size_t)width * channels || total == 0) return false;
    if (ctx.streamBytes && total > ctx.streamBytes * kMaxInflation + kInflationSlack) return false;
    s.pixels = static_cast<BYTE*>(malloc((size_t)total));
    s.rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * height));
    if (!s.pixels || !s.rows) return false;
    for (png_uint_32 y = 0; y < height; ++y) s.rows[y] = s.pixels + (size_t)y * rowBytes;
    png_read_image(s.png, s.rows);
    png_read_end(s.png, nullptr);
    out.width = width;
    out.height = height;
    out.channels = channels;
    return true;
}
} // namespace

BOOL CUIXGraphicBitmapPng::ReadPng(CFile* pFile, Decoded& out) {
    out = Decoded();
    BYTE signature[kSignatureBytes];
    UINT got = 0;
    try {
        got = pFile->Read(signature, (UINT)kSignatureBytes);
    } catch (CException* e) {
        e->Delete();
        return FALSE;
    }
    if (got != kSignatureBytes || png_sig_cmp(signature, 0, kSignatureBytes) != 0) return FALSE;

    ReadContext ctx = {pFile, 0};
    try {
        ULONGLONG length = pFile->GetLength(), position = pFile->GetPosition();
        ctx.streamBytes = length > position ? length - position : 1;
    } catch (CException* e) {
        e->Delete();
    }
    DecodeState s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorCallback, WarningCallback);
    if (!s.png) return FALSE;
    s.info = png_create_info_struct(s.png);
    if (!s.info) {
        ReleaseState(s);
        return FALSE;
    }
    bool ok = DecodeRows(s, ctx, out);
    ReleaseState(s);
    if (!ok) {
        free(s.pixels);
        out = Decoded();
        return FALSE;
    }
    out.pixels = s.pixels;
    return TRUE;
}

HBITMAP CUIXGraphicBitmapPng::CreateDibFromRows(const Decoded& image) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = (LONG)image.width;
    bmi.bmiHeader.biHeight = -(LONG)image.height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hBitmap || !bits) return hBitmap;
    const BYTE* src = image.pixels;
    BYTE* dst = static_cast<BYTE*>(bits);
    const size_t count = (size_t)image.width * image.height;
    for (size_t i = 0; i < count; ++i, src += image.channels, dst += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = image.channels == 4 ? src[3] : 0;
    }
    return hBitmap;
}

BOOL CUIXGraphicBitmapPng::LoadFromStream(CFile* pFile) {
    m_bAlpha = FALSE;
    DeleteObject();
    if (!pFile) return FALSE;
    Decoded image;
    if (!ReadPng(pFile, image)) return FALSE;
    HBITMAP hBitmap = CreateDibFromRows(image);
    free(image.pixels);
    if (!hBitmap) return FALSE;
    Attach(hBitmap);
    m_bAlpha = image.channels == 4;
    return TRUE;
}

BOOL CUIXGraphicBitmapPng::LoadFromFile(LPCTSTR lpszFileName) {
    CFile file;
    if (!file.Open(lpszFileName, CFile::modeRead | CFile::shareDenyWrite)) {
        m_bAlpha = FALSE;
        DeleteObject();
        return FALSE;
    }
    BOOL ok = LoadFromStream(&file);
    file.Close();
    return ok;
}

BOOL CUIXGraphicBitmapPng::LoadFromResource(HMODULE hModule, HRSRC hRes) {
    m_bAlpha = FALSE;
    DeleteObject();
    if (!hRes) return FALSE;
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    BYTE* data = hData ? static_cast<BYTE*>(::LockResource(hData)) : nullptr;
    DWORD size = ::SizeofResource(hModule, hRes);
    if (!data || size <= kResourceMinimum) return FALSE;
    CMemFile file(data, size, 0);
    BOOL ok = LoadFromStream(&file);
    file.Detach();
    return ok;
}
