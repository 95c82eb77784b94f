// PNG decoding through libpng and the toolkit's bitmap loading: fixtures
// generated at build time decode to the expected pixels or fail cleanly.
#include "CUIXGraphicBitmapPng.h"
#include "CUIXImageManager.h"
#include "UixImageFixtures.h"
#include "UixTestSupport.h"
#include <gtest/gtest.h>
#include <cstdlib>

using namespace uixtest;

namespace {

struct PngCase {
    const wchar_t* file;
    bool loads;
    LONG width, height;
    BOOL alpha;
    std::vector<DWORD> firstPixels; // BGRA in top-down order
};

TEST(PngBitmap, FixturesDecodeToTheExpectedPixels) {
    const PngCase cases[] = {
        {L"palette_trns.png", true, 2, 2, TRUE,
         {Bgra(0, 0, 255, 255), Bgra(0, 255, 0, 128), Bgra(255, 0, 0, 0), Bgra(255, 255, 255, 255)}},
        {L"rgba_bkgd.png", true, 2, 1, FALSE, {Bgra(0, 0, 255, 0), Bgra(0, 255, 0, 0)}},
        {L"rgba.png", true, 2, 1, TRUE, {Bgra(30, 20, 10, 40), Bgra(50, 100, 200, 255)}},
        {L"grey16.png", true, 3, 1, FALSE, {Bgra(0, 0, 0, 0), Bgra(0x80, 0x80, 0x80, 0), Bgra(255, 255, 255, 0)}},
        {L"grey1.png", true, 9, 1, FALSE, {Bgra(255, 255, 255, 0), Bgra(0, 0, 0, 0), Bgra(255, 255, 255, 0)}},
        {L"interlaced.png", true, 8, 8, FALSE, {Bgra(0, 0, 0, 0), Bgra(16, 0, 32, 0), Bgra(32, 0, 64, 0)}},
        {L"rgb16.png", true, 16, 16, FALSE, {Bgra(7, 0, 0, 0), Bgra(7, 0, 16, 0)}},
        {L"bad_signature.png", false, 0, 0, FALSE, {}},
        {L"truncated.png", false, 0, 0, FALSE, {}},
        {L"huge_claim.png", false, 0, 0, FALSE, {}},
        {L"bad_crc.png", false, 0, 0, FALSE, {}},
        {L"tiny9.bin", false, 0, 0, FALSE, {}},
        {L"no_such_file.png", false, 0, 0, FALSE, {}},
    };
    for (const PngCase& c : cases) {
        CUIXGraphicBitmapPng png;
        BOOL ok = png.LoadFromFile(Fixture(c.file).c_str());
        ASSERT_EQ(c.loads, ok != FALSE) << c.file;
        EXPECT_EQ(c.alpha, png.IsAlpha()) << c.file;
        if (!c.loads) {
            EXPECT_EQ(nullptr, png.GetSafeHandle()) << c.file;
            continue;
        }
        SIZE size = DibSize((HBITMAP)png.GetSafeHandle());
        EXPECT_EQ(c.width, size.cx) << c.file;
        EXPECT_EQ(c.height, std::abs(size.cy)) << c.file;
        std::vector<DWORD> px = Pixels((HBITMAP)png.GetSafeHandle());
        ASSERT_GE(px.size(), c.firstPixels.size()) << c.file;
        for (size_t i = 0; i < c.firstPixels.size(); ++i)
            EXPECT_EQ(c.firstPixels[i], px[i]) << c.file << " pixel " << i << std::hex << " got " << px[i];
    }
}

TEST(PngBitmap, InterlacedImageMatchesEveryPixel) {
    CUIXGraphicBitmapPng png;
    ASSERT_TRUE(png.LoadFromFile(Fixture(L"interlaced.png").c_str()));
    std::vector<DWORD> px = Pixels((HBITMAP)png.GetSafeHandle());
    ASSERT_EQ(64u, px.size());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Bgra((BYTE)((x + y) * 16), (BYTE)(y * 32), (BYTE)(x * 32), 0), px[(size_t)y * 8 + x]) << x << "," << y;
}

TEST(PngBitmap, ResourcesAndStreams) {
    HMODULE self = GetModuleHandleW(nullptr);
    struct Case {
        const wchar_t* name;
        BOOL loads;
    } cases[] = {{IDP_PALETTE, TRUE}, {IDP_TINY, FALSE}, {IDP_NOTPNG, FALSE}};
    for (const Case& c : cases) {
        CUIXGraphicBitmapPng png;
        EXPECT_EQ(c.loads, png.LoadFromResource(self, FindResourceW(self, c.name, L"PNG"))) << c.name;
    }
    CUIXGraphicBitmapPng png;
    EXPECT_FALSE(png.LoadFromResource(self, nullptr));
    EXPECT_FALSE(png.LoadFromStream(nullptr));
    // A failed load drops the bitmap held before.
    ASSERT_TRUE(png.LoadFromFile(Fixture(L"rgba.png").c_str()));
    EXPECT_FALSE(png.LoadFromFile(Fixture(L"truncated.png").c_str()));
    EXPECT_EQ(nullptr, png.GetSafeHandle());
    EXPECT_FALSE(png.IsAlpha());
}

TEST(ImageLoading, ProbesOfFilesAndResources) {
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_TRUE(CUIXImageManager::IsPngBitmapResource(self, IDP_PALETTE));
    EXPECT_FALSE(CUIXImageManager::IsPngBitmapResource(self, IDP_NOTPNG));
    EXPECT_FALSE(CUIXImageManager::IsPngBitmapResource(self, L"NOSUCH"));
    EXPECT_TRUE(CUIXImageManager::IsAlphaBitmapResource(self, IDB_ALPHA));
    EXPECT_TRUE(CUIXImageManager::IsPngBitmapFile(Fixture(L"rgba.png").c_str()));
    EXPECT_FALSE(CUIXImageManager::IsPngBitmapFile(Fixture(L"alpha32.bmp").c_str()));
    EXPECT_FALSE(CUIXImageManager::IsPngBitmapFile(Fixture(L"missing.png").c_str()));
    EXPECT_TRUE(CUIXImageManager::IsAlphaBitmapFile(Fixture(L"alpha32.bmp").c_str()));
    EXPECT_FALSE(CUIXImageManager::IsAlphaBitmapFile(Fixture(L"tiny9.bin").c_str()));
}

TEST(ImageLoading, AlphaBitmapResourcesRefuseHeadersThatClaimTooMuch) {
    HMODULE self = GetModuleHandleW(nullptr);
    struct Case {
        const wchar_t* name;
        bool loads;
        LONG height;
    } cases[] = {
        {IDB_ALPHA, true, 2},
        {IDB_TOPDOWN, true, 2},    // negative height: counted as its absolute value
        {IDB_SHORT, false, 0},     // claims 64 rows over 2 rows of data
        {IDB_HUGENEG, false, 0},   // a huge negative height
        {IDB_WIDE, false, 0},      // a width whose product overflows 32 bits
        {L"NOSUCH", false, 0},
    };
    for (const Case& c : cases) {
        HBITMAP h = CUIXImageManager::LoadAlphaBitmap(self, c.name);
        EXPECT_EQ(c.loads, h != nullptr) << c.name;
        if (!h) continue;
        EXPECT_EQ(c.height, std::abs(DibSize(h).cy)) << c.name;
        std::vector<DWORD> px = Pixels(h);
        ASSERT_EQ(4u, px.size());
        EXPECT_EQ(Bgra(255, 0, 0, 255), px[0]) << c.name;
        EXPECT_EQ(Bgra(0, 255, 0, 128), px[1]) << c.name;
        DeleteObject(h);
    }
}

TEST(ImageLoading, LoadersPickTheFormatAndReportAlpha) {
    HMODULE self = GetModuleHandleW(nullptr);
    struct Case {
        const wchar_t* what;
        bool file;
        const wchar_t* name;
        bool loads;
        BOOL alpha;
    } cases[] = {
        {L"PNG resource", false, IDP_PALETTE, true, TRUE},
        {L"broken PNG resource", false, IDP_TINY, false, FALSE},
        {L"32-bpp bitmap resource", false, IDB_ALPHA, true, TRUE},
        {L"PNG file with alpha", true, L"rgba.png", true, TRUE},
        {L"PNG file without alpha", true, L"rgb16.png", true, FALSE},
        {L"truncated PNG file", true, L"truncated.png", false, FALSE},
        {L"32-bpp BMP file", true, L"alpha32.bmp", true, TRUE},
    };
    for (const Case& c : cases) {
        BOOL alpha = 77;
        HBITMAP h = c.file ? CUIXImageManager::LoadBitmapFromFile(Fixture(c.name).c_str(), &alpha)
                           : CUIXImageManager::LoadBitmapFromResource(self, c.name, &alpha);
        EXPECT_EQ(c.loads, h != nullptr) << c.what;
        if (c.loads) {
            EXPECT_EQ(c.alpha, alpha) << c.what;
        }
        if (h) DeleteObject(h);
    }
    BOOL alpha = FALSE;
    HBITMAP bmp = CUIXImageManager::LoadBitmapFromFile(Fixture(L"alpha32.bmp").c_str(), &alpha);
    ASSERT_NE(nullptr, bmp);
    std::vector<DWORD> px = Pixels(bmp);
    ASSERT_EQ(4u, px.size()) << "a 32-bpp file stays a DIB section";
    EXPECT_EQ(Bgra(0, 255, 0, 128), px[1]) << "its alpha bytes survive";
    DeleteObject(bmp);
}

TEST(ImageLoading, PremultiplyDetectsRealAlpha) {
    struct Case {
        const char* name;
        DWORD first, second; // memory order
        bool askFlag;
        BOOL flag;
        DWORD outFirst, outSecond;
    } cases[] = {
        {"all opaque", Bgra(200, 100, 50, 255), Bgra(10, 20, 30, 255), true, FALSE, Bgra(200, 100, 50, 255), Bgra(10, 20, 30, 255)},
        {"all transparent", Bgra(200, 100, 50, 0), Bgra(10, 20, 30, 0), true, FALSE, Bgra(200, 100, 50, 0), Bgra(10, 20, 30, 0)},
        {"opaque before transparent", Bgra(200, 100, 50, 255), Bgra(10, 20, 30, 0), true, FALSE, Bgra(200, 100, 50, 255),
         Bgra(10, 20, 30, 0)},
        {"opaque after transparent", Bgra(200, 100, 50, 0), Bgra(10, 20, 30, 255), true, TRUE, Bgra(0, 0, 0, 0), Bgra(10, 20, 30, 255)},
        {"half alpha", Bgra(200, 100, 50, 128), Bgra(255, 255, 255, 255), true, TRUE, Bgra(100, 50, 25, 128),
         Bgra(255, 255, 255, 255)},
        {"no flag asked", Bgra(200, 100, 50, 0), Bgra(255, 0, 0, 255), false, FALSE, Bgra(0, 0, 0, 0), Bgra(255, 0, 0, 255)},
    };
    for (const Case& c : cases) {
        HBITMAP src = MakeBitmap(2, 1, {c.first, c.second});
        BOOL flag = FALSE;
        HBITMAP out = CUIXImageManagerIcon::PreMultiplyAlphaBitmap(src, c.askFlag ? &flag : nullptr);
        ASSERT_NE(nullptr, out) << c.name;
        EXPECT_EQ(c.flag, flag) << c.name;
        std::vector<DWORD> px = Pixels(out);
        ASSERT_EQ(2u, px.size());
        EXPECT_EQ(c.outFirst, px[0]) << c.name << std::hex << " got " << px[0];
        EXPECT_EQ(c.outSecond, px[1]) << c.name << std::hex << " got " << px[1];
        DeleteObject(out);
        DeleteObject(src);
    }
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 2, 2);
    ReleaseDC(nullptr, screen);
    BITMAP bm = {};
    GetObjectW(ddb, sizeof(bm), &bm);
    if (bm.bmBitsPixel != 32) {
        EXPECT_EQ(nullptr, CUIXImageManagerIcon::PreMultiplyAlphaBitmap(ddb, nullptr));
    }
    DeleteObject(ddb);
}

TEST(ImageLoading, MirrorReversesEveryRow) {
    HBITMAP src = MakeBitmap(3, 2, {1, 2, 3, 4, 5, 6});
    HBITMAP out = CUIXImageManagerIcon::MirrorBitmap(src);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(std::vector<DWORD>({3, 2, 1, 6, 5, 4}), Pixels(out));
    HBITMAP copy = CUIXImageManagerIcon::CopyAlphaBitmap(src);
    EXPECT_EQ(Pixels(src), Pixels(copy));
    DeleteObject(copy);
    DeleteObject(out);
    DeleteObject(src);
}

// A memory DC holding a 32-bpp section, for blits.
struct Surface {
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ old;
    Surface(int w, int h, const std::vector<DWORD>& px) : bitmap(MakeBitmap(w, h, px)), dc(CreateCompatibleDC(nullptr)) {
        old = SelectObject(dc, bitmap);
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    DWORD At(size_t i) { return Pixels(bitmap)[i] & 0x00FFFFFF; }
};

TEST(ImageLoading, SoftwareBlitsMatchTheirDefinitions) {
    {
        // 100 + 200 * (255 - 128) / 255 = 199
        Surface dst(2, 1, {Bgra(200, 200, 200, 255), Bgra(50, 50, 50, 255)});
        Surface src(2, 1, {Bgra(100, 100, 100, 128), Bgra(0, 0, 0, 0)});
        ASSERT_TRUE(CUIXImageManager::SoftAlphaBlend(dst.dc, CRect(0, 0, 2, 1), src.dc, CRect(0, 0, 2, 1)));
        EXPECT_EQ(Bgra(199, 199, 199, 0), dst.At(0));
        EXPECT_EQ(Bgra(50, 50, 50, 0), dst.At(1)) << "a transparent source leaves the destination";
    }
    struct Case {
        const char* name;
        COLORREF key;
        DWORD expectFirst, expectSecond;
    } cases[] = {
        {"black is transparent", RGB(0, 0, 0), Bgra(9, 9, 9, 0), Bgra(0, 0, 255, 0)},
        {"red is transparent", RGB(255, 0, 0), Bgra(0, 0, 0, 0), Bgra(9, 9, 9, 0)},
    };
    for (const Case& c : cases) {
        for (int fallback = 0; fallback < 2; ++fallback) {
            Surface dst(2, 1, {Bgra(9, 9, 9, 255), Bgra(9, 9, 9, 255)});
            Surface src(2, 1, {Bgra(0, 0, 0, 0), Bgra(0, 0, 255, 0)});
            BOOL ok = fallback ? CUIXImageManager::MaskedTransparentBlt(dst.dc, CRect(0, 0, 2, 1), src.dc, CRect(0, 0, 2, 1), c.key)
                               : UIXImageManager()->TransparentBlt(dst.dc, CRect(0, 0, 2, 1), src.dc, CRect(0, 0, 2, 1), c.key);
            EXPECT_TRUE(ok) << c.name << fallback;
            EXPECT_EQ(c.expectFirst, dst.At(0)) << c.name << " fallback " << fallback;
            EXPECT_EQ(c.expectSecond, dst.At(1)) << c.name << " fallback " << fallback;
        }
    }
    EXPECT_FALSE(CUIXImageManager::MaskedTransparentBlt(nullptr, CRect(0, 0, 1, 1), nullptr, CRect(0, 0, 1, 1), 0));
}

TEST(ImageLoading, SplitHandsOutCellsLeftToRight) {
    std::vector<DWORD> px;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) px.push_back((DWORD)(y * 100 + x));
    HBITMAP src = MakeBitmap(6, 2, px);
    HBITMAP cells[3] = {};
    ASSERT_TRUE(CUIXImageManager::SplitBitmap(src, 3, cells));
    EXPECT_EQ(std::vector<DWORD>({0, 1, 100, 101}), Pixels(cells[0]));
    EXPECT_EQ(std::vector<DWORD>({4, 5, 104, 105}), Pixels(cells[2]));
    for (HBITMAP h : cells) DeleteObject(h);
    EXPECT_FALSE(CUIXImageManager::SplitBitmap(src, 7, cells)) << "cells narrower than a pixel";
    DeleteObject(src);
}

} // namespace

#include "CUIXResourceManager.h"
#include "CUIXBufferDCEx.h"

namespace {

// Blue channel of an icon's top-left colour pixel: the fixture fills each size with its own size.
int IconMarker(HICON hIcon) {
    ICONINFO info = {};
    if (!GetIconInfo(hIcon, &info)) return -1;
    BITMAP bm = {};
    GetObjectW(info.hbmColor, sizeof(bm), &bm);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    COLORREF c = GetPixel(dc, 0, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return GetBValue(c);
}

TEST(ResourceIcons, IconOfASizeComesFromTheBestImage) {
    HMODULE self = GetModuleHandleW(nullptr);
    CUIXResourceManager rm;
    struct Case {
        int size;
        int marker;
    } cases[] = {{16, 16}, {32, 32}, {30, 32}};
    for (const Case& c : cases) {
        HICON fromDirectory = rm.CreateIconFromResource(self, IDI_TWO_SIZES, CSize(c.size, c.size));
        ASSERT_NE(nullptr, fromDirectory) << c.size;
        EXPECT_EQ(CSize(c.size, c.size), CUIXImageManagerIcon::GetExtent(fromDirectory)) << c.size;
        EXPECT_EQ(c.marker, IconMarker(fromDirectory)) << c.size << " picks the image of the nearest size";
        DestroyIcon(fromDirectory);
    }
    EXPECT_EQ(nullptr, rm.CreateIconFromResource(self, L"NOSUCH", CSize(16, 16)));
    HICON loaded = rm.LoadIcon(IDI_TWO_SIZES, CSize(16, 16));
    ASSERT_NE(nullptr, loaded) << "from the framework's resource module";
    EXPECT_EQ(CSize(16, 16), CUIXImageManagerIcon::GetExtent(loaded));
    DestroyIcon(loaded);
    EXPECT_EQ(nullptr, rm.LoadIconById(4321, CSize(16, 16)));
}

TEST(ResourceIcons, SmallBufferDrawsInDestinationCoordinates) {
    HBITMAP target = MakeBitmap(8, 8, std::vector<DWORD>(64, 0), true);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    {
        CUIXBufferDCEx buffer(dc, CRect(4, 4, 6, 6));
        buffer.FillSolidRect(4, 4, 2, 2, RGB(0, 255, 0));
        buffer.FillSolidRect(0, 0, 2, 2, RGB(255, 0, 0)); // outside the buffer: lost
    }
    GdiFlush();
    std::vector<DWORD> px = Pixels(target);
    EXPECT_EQ(Bgra(0, 255, 0, 0), px[4 * 8 + 4] & 0x00FFFFFF);
    EXPECT_EQ(Bgra(0, 255, 0, 0), px[5 * 8 + 5] & 0x00FFFFFF);
    EXPECT_EQ(0u, px[0] & 0x00FFFFFF);
    EXPECT_EQ(0u, px[6 * 8 + 6] & 0x00FFFFFF);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
}

} // namespace

namespace {

TEST(ImageStoreResources, IconsFromBitmapAndPngResources) {
    struct Case {
        const wchar_t* name;
        bool alphaImages;
    } cases[] = {{IDB_ALPHA, true}, {IDP_PALETTE, true}};
    for (const Case& c : cases) {
        CUIXImageManager manager;
        const UINT ids[] = {60, 61};
        ASSERT_TRUE(manager.SetIconsFromResource(c.name, ids, 2, CSize(0, 0), uixImageNormal)) << c.name;
        for (UINT id : ids) {
            CUIXImageManagerIcon* icon = manager.GetImage(id, 1);
            ASSERT_NE(nullptr, icon) << c.name << " " << id;
            EXPECT_EQ(c.alphaImages, icon->IsAlpha() != FALSE) << c.name;
            EXPECT_EQ(1, icon->GetWidth()) << "a 2-pixel strip of two cells";
        }
    }
    CUIXImageManager manager;
    EXPECT_FALSE(manager.SetIconsFromResource(IDP_TINY, nullptr, 2, CSize(0, 0), uixImageNormal));
    EXPECT_FALSE(manager.SetIcons(4242, nullptr, 2, CSize(16, 16)));
}

} // namespace
