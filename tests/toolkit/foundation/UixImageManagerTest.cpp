// Command icons, the image store and its exchange format, with a table of
// damaged streams and bitmap records that must fail cleanly.
#include "CUIXImageManager.h"
#include "CUIXColorManager.h"
#include "CUIXPropExchangeArchive.h"
#include "UixTestSupport.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>

using namespace uixtest;

namespace {

typedef std::vector<BYTE> Bytes;

// A 32-bpp alpha picture whose row y has blue = y * 10 and the given alpha.
HBITMAP RowsBitmap(int w, int h, BYTE alpha = 255) {
    std::vector<DWORD> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(Bgra((BYTE)(y * 10), 1, 2, alpha));
    return MakeBitmap(w, h, px, true);
}

HICON MakeIcon(int size, COLORREF clr) {
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateCompatibleBitmap(screen, size, size);
    ReleaseDC(nullptr, screen);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, color);
    HBRUSH brush = CreateSolidBrush(clr);
    RECT rc = {0, 0, size, size};
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
    SelectObject(dc, mask);
    PatBlt(dc, 0, 0, size, size, BLACKNESS); // all opaque
    SelectObject(dc, old);
    DeleteDC(dc);
    ICONINFO info = {TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(color);
    DeleteObject(mask);
    return icon;
}

// Stores an alpha image of the given width for a command.
void AddAlphaIcon(CUIXImageManager& manager, UINT id, int width, int state = uixImageNormal, BOOL* result = nullptr) {
    HBITMAP h = RowsBitmap(width, width);
    CUIXImageManagerIconImage image(h);
    BOOL ok = manager.SetIcon(image, id, CSize(width, width), state);
    if (result) *result = ok;
    DeleteObject(h);
}

TEST(CommandIcon, StatesFallBackToTheNormalImage) {
    CUIXImageManager manager;
    AddAlphaIcon(manager, 10, 16);
    CUIXImageManagerIcon* icon = manager.GetImage(10, 16);
    ASSERT_NE(nullptr, icon);
    HBITMAP normal = icon->GetIcon().GetBitmap();
    ASSERT_NE(nullptr, normal);
    EXPECT_EQ(normal, icon->GetImage(uixImageHot).GetBitmap());
    EXPECT_EQ(normal, icon->GetImage(uixImageChecked).GetBitmap());
    EXPECT_EQ(normal, icon->GetImage(uixImagePressed).GetBitmap());
    EXPECT_FALSE(icon->HasDisabledIcon());
    HBITMAP disabled = icon->GetImage(uixImageDisabled).GetBitmap();
    ASSERT_NE(nullptr, disabled);
    EXPECT_NE(normal, disabled) << "a generated grey image";
    EXPECT_TRUE(icon->HasDisabledIcon());
}

TEST(CommandIcon, GeneratedLooksFollowTheirFormulas) {
    struct Case {
        const char* name;
        DWORD in;
        int look; // 0 faded, 1 grey disabled, 2 coloured disabled
        DWORD out;
    } cases[] = {
        {"faded black", Bgra(0, 0, 0, 255), 0, Bgra(76, 76, 76, 255)},
        {"faded white", Bgra(255, 255, 255, 255), 0, Bgra(255, 255, 255, 255)},
        {"grey disabled of luminance 0.25", Bgra(64, 64, 64, 200), 1, Bgra(127, 127, 127, 200)},
        {"grey disabled of black", Bgra(0, 0, 0, 255), 1, Bgra(0, 0, 0, 255)},
        {"coloured disabled of white takes the light colour", Bgra(255, 255, 255, 255), 2, Bgra(0x30, 0x20, 0x10, 255)},
        {"coloured disabled of black takes the dark colour", Bgra(0, 0, 0, 255), 2, Bgra(0x03, 0x02, 0x01, 255)},
    };
    for (const Case& c : cases) {
        CUIXImageManager manager;
        HBITMAP h = MakeBitmap(1, 1, {c.in});
        CUIXImageManagerIconImage image(h);
        ASSERT_TRUE(manager.SetIcon(image, 1, CSize(1, 1)));
        DeleteObject(h);
        CUIXImageManagerIcon* icon = manager.GetImage(1, 1);
        ASSERT_NE(nullptr, icon);
        HBITMAP out = nullptr;
        if (c.look == 0) out = icon->GetFadedIcon().GetBitmap();
        if (c.look == 1) out = icon->GetDisabledIcon(TRUE).GetBitmap();
        if (c.look == 2) {
            icon->CreateDisabledIcon(RGB(0x10, 0x20, 0x30), RGB(0x01, 0x02, 0x03));
            out = icon->GetDisabledIcon(FALSE).GetBitmap();
        }
        ASSERT_NE(nullptr, out) << c.name;
        std::vector<DWORD> px = Pixels(out);
        ASSERT_EQ(1u, px.size());
        EXPECT_EQ(c.out, px[0]) << c.name << std::hex << " got " << px[0];
    }
}

TEST(CommandIcon, SetChoosesTheIconForAWidth) {
    CUIXImageManager manager;
    for (int w : {16, 24, 32}) AddAlphaIcon(manager, 5, w);
    CUIXImageManagerIconSet* set = manager.GetIconSet(5);
    ASSERT_NE(nullptr, set);
    struct Case {
        int width;
        BOOL scaled;
        std::vector<int> allowed; // widths any of which is right; empty for none
    } cases[] = {
        {16, TRUE, {16}}, {32, FALSE, {32}}, {0, TRUE, {16}}, {1, TRUE, {32}}, {20, TRUE, {16, 24}},
        {17, TRUE, {16}}, {40, TRUE, {32}}, {20, FALSE, {}},
    };
    for (const Case& c : cases) {
        CUIXImageManagerIcon* icon = set->GetIcon(c.width, c.scaled);
        if (c.allowed.empty()) {
            EXPECT_EQ(nullptr, icon) << c.width;
            continue;
        }
        ASSERT_NE(nullptr, icon) << c.width;
        EXPECT_NE(c.allowed.end(), std::find(c.allowed.begin(), c.allowed.end(), icon->GetWidth())) << c.width;
    }
    CUIXImageManagerIconSet empty(9, &manager);
    EXPECT_EQ(nullptr, empty.GetIcon(16));
}

TEST(CommandIcon, AlphaIconDrawsOnlyItsVisibleRows) {
    CUIXImageManager manager;
    HBITMAP h = RowsBitmap(16, 16);
    CUIXImageManagerIconImage image(h);
    ASSERT_TRUE(manager.SetIcon(image, 3, CSize(16, 16)));
    DeleteObject(h);
    CUIXImageManagerIcon* icon = manager.GetImage(3, 16);
    ASSERT_NE(nullptr, icon);

    HBITMAP target = MakeBitmap(16, 16, std::vector<DWORD>(256, Bgra(255, 255, 255, 0)), true);
    CDC dc;
    dc.Attach(CreateCompatibleDC(nullptr));
    HGDIOBJ old = dc.SelectObject(target);
    EXPECT_TRUE(icon->Draw(&dc, CPoint(0, -4), icon->GetIcon(), CSize(16, 16)));
    GdiFlush();
    std::vector<DWORD> px = Pixels(target);
    EXPECT_EQ(Bgra(40, 1, 2, 0), px[0] & 0x00FFFFFF) << "row 0 shows source row 4";
    EXPECT_EQ(Bgra(150, 1, 2, 0), px[11 * 16] & 0x00FFFFFF) << "row 11 shows source row 15";
    EXPECT_EQ(Bgra(255, 255, 255, 0), px[12 * 16] & 0x00FFFFFF) << "rows 12 on are untouched";
    EXPECT_FALSE(icon->Draw(&dc, CPoint(0, -16), icon->GetIcon(), CSize(16, 16))) << "nothing visible";
    CUIXImageManagerIconImage empty;
    EXPECT_TRUE(icon->Draw(&dc, CPoint(0, 0), empty)) << "an empty image draws nothing";
    dc.SelectObject(old);
    dc.DeleteDC();
    DeleteObject(target);
}

// The colour of pixel (x, y) of an icon's colour bitmap.
COLORREF IconPixel(HICON hIcon, int x, int y) {
    ICONINFO info = {};
    if (!GetIconInfo(hIcon, &info)) return CLR_INVALID;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return c;
}

TEST(CommandIcon, GeneratedLooksOfWindowsIcons) {
    CUIXImageManager manager;
    HICON black = MakeIcon(16, RGB(0, 0, 0));
    CUIXImageManagerIconImage image(black);
    ASSERT_TRUE(manager.SetIcon(image, 1, CSize(0, 0)));
    DestroyIcon(black);
    CUIXImageManagerIcon* icon = manager.GetImage(1, 16);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(16, icon->GetWidth()) << "the size comes from the icon";
    HICON faded = icon->GetFadedIcon().GetIcon();
    ASSERT_NE(nullptr, faded);
    EXPECT_EQ(RGB(76, 76, 76), IconPixel(faded, 3, 3));
    HICON disabled = icon->GetDisabledIcon(TRUE).GetIcon();
    ASSERT_NE(nullptr, disabled);
    EXPECT_EQ(RGB(0, 0, 0), IconPixel(disabled, 3, 3)) << "black stays black in the grey form";
    HICON shadow = icon->GetShadowIcon().GetIcon();
    ASSERT_NE(nullptr, shadow);
    COLORREF hl = UIXColorManager()->GetColor(uixColorHighlight);
    EXPECT_EQ(RGB((BYTE)(GetRValue(hl) * 0.75), (BYTE)(GetGValue(hl) * 0.75), (BYTE)(GetBValue(hl) * 0.75)), IconPixel(shadow, 3, 3));
    icon->Refresh();
    EXPECT_NE(nullptr, icon->GetIcon().GetIcon()) << "a refresh keeps the explicit image";
}

TEST(CommandIcon, ScaleToFit) {
    HICON src = MakeIcon(16, RGB(255, 0, 0));
    EXPECT_EQ(nullptr, CUIXImageManagerIcon::ScaleToFit(src, CSize(16, 16), 0));
    EXPECT_EQ(nullptr, CUIXImageManagerIcon::ScaleToFit(src, CSize(0, 0), 24));
    HICON same = CUIXImageManagerIcon::ScaleToFit(src, CSize(16, 16), 16);
    ASSERT_NE(nullptr, same);
    EXPECT_EQ(CSize(16, 16), CUIXImageManagerIcon::GetExtent(same));
    HICON wide = CUIXImageManagerIcon::ScaleToFit(src, CSize(16, 8), 32);
    ASSERT_NE(nullptr, wide);
    EXPECT_EQ(CSize(32, 16), CUIXImageManagerIcon::GetExtent(wide)) << "height scales with the width";
    EXPECT_EQ(CSize(0, 0), CUIXImageManagerIcon::GetExtent(nullptr));
    DestroyIcon(wide);
    DestroyIcon(same);
    DestroyIcon(src);
}

TEST(CommandIcon, CompositedAndSilhouetteDrawing) {
    CUIXImageManager manager;
    HICON red = MakeIcon(8, RGB(255, 0, 0));
    CUIXImageManagerIconImage image(red);
    ASSERT_TRUE(manager.SetIcon(image, 2, CSize(8, 8)));
    DestroyIcon(red);
    CUIXImageManagerIcon* icon = manager.GetImage(2, 8);
    ASSERT_NE(nullptr, icon);
    HBITMAP target = MakeBitmap(16, 8, std::vector<DWORD>(128, Bgra(255, 255, 255, 0)), true);
    CDC dc;
    dc.Attach(CreateCompatibleDC(nullptr));
    HGDIOBJ old = dc.SelectObject(target);
    icon->m_bDrawComposited = TRUE;
    EXPECT_TRUE(icon->Draw(&dc, CPoint(0, 0), icon->GetIcon()));
    icon->m_bDrawComposited = FALSE;
    icon->DrawMono(&dc, CPoint(8, 0), icon->GetIcon(), CSize(8, 8), RGB(0, 0, 255));
    GdiFlush();
    std::vector<DWORD> px = Pixels(target);
    EXPECT_EQ(Bgra(0, 0, 255, 0), px[2 * 16 + 2] & 0x00FFFFFF) << "the composited icon";
    EXPECT_EQ(Bgra(255, 0, 0, 0), px[2 * 16 + 10] & 0x00FFFFFF) << "the silhouette in its colour";
    dc.SelectObject(old);
    dc.DeleteDC();
    DeleteObject(target);
}

TEST(ImageStore, StatesNeedTheNormalImageFirst) {
    CUIXImageManager manager;
    BOOL ok = TRUE;
    AddAlphaIcon(manager, 7, 16, uixImageHot, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(nullptr, manager.GetIconSet(7)) << "nothing stored";
    AddAlphaIcon(manager, 7, 16, uixImageNormal, &ok);
    EXPECT_TRUE(ok);
    AddAlphaIcon(manager, 7, 16, uixImageHot, &ok);
    EXPECT_TRUE(ok);
    CUIXImageManagerIcon* icon = manager.GetImage(7, 16);
    ASSERT_NE(nullptr, icon);
    EXPECT_NE(icon->GetIcon().GetBitmap(), icon->GetHotIcon().GetBitmap());
    CUIXImageManagerIconImage empty;
    EXPECT_FALSE(manager.SetIcon(empty, 8, CSize(16, 16)));
    EXPECT_TRUE(manager.HasIcon(7, 16));
    EXPECT_FALSE(manager.HasIcon(7, 20));
    EXPECT_FALSE(manager.HasIcon(99, 0));
}

TEST(ImageStore, StripCellsGoToTheirIds) {
    // A strip of ten 16-pixel cells; cell i has blue i.
    std::vector<DWORD> px;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 160; ++x) px.push_back(Bgra((BYTE)(x / 16), 0, 0, 255));
    struct Case {
        const char* name;
        std::vector<UINT> ids;
        int width;
        bool ok;
        std::vector<std::pair<UINT, int>> expect; // id, cell
        std::vector<UINT> absent;
    } cases[] = {
        {"twelve ids with two separators", {100, 101, 0, 102, 103, 104, 0, 105, 106, 107, 108, 109}, 160, true,
         {{100, 0}, {102, 2}, {103, 3}, {105, 5}, {109, 9}}, {0}},
        {"ten ids, one of them zero", {200, 201, 0, 203, 204, 205, 206, 207, 208, 209}, 160, true, {{0, 2}, {209, 9}}, {}},
        {"width not a multiple of the cell", {1, 2, 3}, 150, false, {}, {1}},
    };
    for (const Case& c : cases) {
        CUIXImageManager manager;
        std::vector<DWORD> strip;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < c.width; ++x) strip.push_back(px[(size_t)y * 160 + x]);
        CBitmap bitmap;
        bitmap.Attach(MakeBitmap(c.width, 16, strip));
        BOOL ok = manager.SetIconsFromBitmap(&bitmap, c.ids.data(), (int)c.ids.size(), CSize(16, 16), uixImageNormal, TRUE);
        EXPECT_EQ(c.ok, ok != FALSE) << c.name;
        for (auto& e : c.expect) {
            CUIXImageManagerIcon* icon = manager.GetImage(e.first, 16);
            ASSERT_NE(nullptr, icon) << c.name << " id " << e.first;
            std::vector<DWORD> cell = Pixels(icon->GetIcon().GetBitmap());
            ASSERT_FALSE(cell.empty());
            EXPECT_EQ((DWORD)e.second, cell[0] & 0xFF) << c.name << " id " << e.first;
        }
        for (UINT id : c.absent) EXPECT_EQ(nullptr, manager.GetIconSet(id)) << c.name << " id " << id;
        if (c.ok) {
            EXPECT_EQ(10, manager.GetIconSetCount()) << c.name;
        }
    }
}

TEST(ImageStore, MagentaCornerBecomesTheMask) {
    CUIXImageManager manager;
    HDC screen = GetDC(nullptr);
    HBITMAP h = CreateCompatibleBitmap(screen, 32, 16);
    ReleaseDC(nullptr, screen);
    {
        CDC dc;
        dc.Attach(CreateCompatibleDC(nullptr));
        HGDIOBJ old = dc.SelectObject(h);
        dc.FillSolidRect(0, 0, 32, 16, RGB(255, 0, 255));
        dc.FillSolidRect(4, 4, 8, 8, RGB(0, 0, 255));
        dc.SelectObject(old);
        dc.DeleteDC();
    }
    CBitmap bitmap;
    bitmap.Attach(h);
    const UINT ids[] = {40, 41};
    ASSERT_TRUE(manager.SetIconsFromBitmap(&bitmap, ids, 2, CSize(16, 16), uixImageNormal, FALSE));
    CUIXImageManagerIcon* icon = manager.GetImage(40, 16);
    ASSERT_NE(nullptr, icon);
    ASSERT_NE(nullptr, icon->GetIcon().GetIcon());
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon->GetIcon().GetIcon(), &info));
    CDC dc;
    dc.Attach(CreateCompatibleDC(nullptr));
    HGDIOBJ old = dc.SelectObject(info.hbmMask);
    EXPECT_EQ(RGB(255, 255, 255), dc.GetPixel(0, 0)) << "magenta is transparent";
    EXPECT_EQ(RGB(0, 0, 0), dc.GetPixel(6, 6)) << "the blue square is opaque";
    dc.SelectObject(old);
    dc.DeleteDC();
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    ASSERT_NE(nullptr, manager.GetImage(41, 16));
}

TEST(ImageStore, NearestWidthForDrawing) {
    CUIXImageManager manager;
    AddAlphaIcon(manager, 11, 16);
    AddAlphaIcon(manager, 11, 32);
    CUIXImageManagerIcon* icon = manager.GetImage(11, 20);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(16, icon->GetWidth());
    EXPECT_EQ(nullptr, manager.GetImage(12, 16));
    manager.RefreshAll();
    EXPECT_EQ(icon, manager.GetImage(11, 16)) << "a refresh keeps the real icons";
    manager.RemoveAll();
    EXPECT_EQ(0, manager.GetIconSetCount());
}

TEST(ImageStore, ImageListElementsAnswerForTheirRange) {
    CUIXImageManager manager;
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 1);
    for (int i = 0; i < 3; ++i) {
        HICON icon = MakeIcon(16, RGB(10 * i, 0, 0));
        ImageList_AddIcon(list, icon);
        DestroyIcon(icon);
    }
    manager.AddImageList(list, 500, TRUE);
    EXPECT_NE(nullptr, manager.GetImageList(502));
    EXPECT_EQ(nullptr, manager.GetImageList(503));
    EXPECT_TRUE(manager.HasIcon(501, 0));
    EXPECT_TRUE(manager.HasIcon(501, 16));
    EXPECT_FALSE(manager.HasIcon(501, 24));
    CUIXImageManagerIcon* icon = manager.GetImage(500, 16);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(icon, manager.GetImage(500, 16)) << "made once";
    EXPECT_EQ(16, icon->GetWidth());
}

// ---- exchange format ----

Bytes StoreManager(CUIXImageManager& manager) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        manager.Serialize(ar);
    }
    ULONGLONG n = file.GetLength();
    BYTE* p = file.Detach();
    Bytes out(p, p + n);
    free(p);
    return out;
}

// "" on success, else what was thrown.
std::string LoadManager(CUIXImageManager& manager, Bytes data) {
    CMemFile file(data.empty() ? nullptr : data.data(), (UINT)data.size());
    CArchive ar(&file, CArchive::load);
    try {
        manager.Serialize(ar);
    } catch (CArchiveException* e) {
        std::string r = "archive:" + std::to_string(e->m_cause);
        e->Delete();
        return r;
    } catch (CMemoryException* e) {
        e->Delete();
        return "memory";
    }
    return "";
}

Bytes Utf16Ascii(const char* s) {
    Bytes out;
    for (; *s; ++s) {
        out.push_back((BYTE)*s);
        out.push_back(0);
    }
    return out;
}

Bytes CheckSumBytes() {
    Bytes out = {0xFF, 0xFE, 0xFF, 21};
    Bytes text = Utf16Ascii("CUIXImageManagerIcons");
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

TEST(ImageExchange, IconWithOnlyANormalIconIsStoredAsSpecified) {
    CUIXImageManager manager;
    HICON hIcon = MakeIcon(16, RGB(0, 128, 255));
    CUIXImageManagerIconImage image(hIcon);
    ASSERT_TRUE(manager.SetIcon(image, 0x1234, CSize(16, 16)));
    DestroyIcon(hIcon);
    Bytes stream = StoreManager(manager);

    Bytes head = {0x01, 0x00, 0x34, 0x12, 0x00, 0x00};
    Bytes check = CheckSumBytes();
    head.insert(head.end(), check.begin(), check.end());
    Bytes tail = {0x01, 0x00, 16, 0, 0, 0, 16, 0, 0, 0, 23, 0, 0, 0};
    head.insert(head.end(), tail.begin(), tail.end());
    ASSERT_GT(stream.size(), head.size() + 16);
    EXPECT_EQ(head, Bytes(stream.begin(), stream.begin() + head.size())) << "sets, id, checksum, icons, width, height, schema";
    EXPECT_EQ(52, stream[head.size()] | (stream[head.size() + 1] << 8)) << "the colour record's header size";
    EXPECT_EQ(Bytes(16, 0), Bytes(stream.end() - 16, stream.end())) << "eight empty records for the other four images";

    CUIXImageManager loaded;
    AddAlphaIcon(loaded, 77, 16);
    ASSERT_EQ("", LoadManager(loaded, stream));
    EXPECT_EQ(nullptr, loaded.GetIconSet(77)) << "loading replaces sets the stream does not mention";
    CUIXImageManagerIcon* icon = loaded.GetImage(0x1234, 16);
    ASSERT_NE(nullptr, icon);
    EXPECT_NE(nullptr, icon->GetIcon().GetIcon()) << "colour and mask come back as an icon";
    EXPECT_EQ(16, icon->GetHeight());
    EXPECT_EQ(0x1234u, loaded.GetLargestCommandId() > 0x1234 ? 0x1234u : 0u) << "ids below the first custom id keep it";
}

TEST(ImageExchange, AlphaIconsRoundTripTheirPixels) {
    CUIXImageManager manager;
    AddAlphaIcon(manager, 0x20000, 24);
    Bytes stream = StoreManager(manager);
    CUIXImageManager loaded;
    ASSERT_EQ("", LoadManager(loaded, stream));
    EXPECT_EQ(0x20000u, loaded.GetLargestCommandId()) << "a larger id raises the largest id";
    CUIXImageManagerIcon* a = manager.GetImage(0x20000, 24);
    CUIXImageManagerIcon* b = loaded.GetImage(0x20000, 24);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(b->IsAlpha());
    std::vector<DWORD> pa = Pixels(a->GetIcon().GetBitmap()), pb = Pixels(b->GetIcon().GetBitmap());
    ASSERT_EQ(pa.size(), pb.size());
    // The store writes rows bottom-up; compare as pictures.
    std::vector<DWORD> flipped;
    for (int y = 23; y >= 0; --y) flipped.insert(flipped.end(), pa.begin() + y * 24, pa.begin() + (y + 1) * 24);
    EXPECT_TRUE(pb == pa || pb == flipped);
}

TEST(ImageExchange, CommandWithoutASet) {
    CUIXImageManager manager;
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        CUIXPropExchangeArchive px(ar);
        manager.DoPropExchangeIcons(42, &px);
    }
    ULONGLONG n = file.GetLength();
    BYTE* p = file.Detach();
    Bytes stream(p, p + n);
    free(p);
    Bytes expected = CheckSumBytes();
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(expected, stream);

    CMemFile in(stream.data(), (UINT)stream.size());
    CArchive ar(&in, CArchive::load);
    CUIXPropExchangeArchive px(ar);
    manager.DoPropExchangeIcons(42, &px);
    ASSERT_NE(nullptr, manager.GetIconSet(42)) << "an empty set is made";
    EXPECT_EQ(nullptr, manager.GetImage(42, 16));
}

// An icon stream with a given schema and empty image records, then a sentinel.
Bytes IconStream(LONG schema, int records) {
    Bytes s = {15, 0, 0, 0};
    for (int i = 0; i < 4; ++i) s.push_back((BYTE)(schema >> (8 * i)));
    for (int i = 0; i < records * 2; ++i) {
        s.push_back(0);
        s.push_back(0);
    }
    s.insert(s.end(), {0xEE, 0xEE});
    return s;
}

TEST(ImageExchange, OlderSchemasHaveFewerRecords) {
    struct Case {
        LONG schema;
        int records;
    } cases[] = {{7, 3}, {16, 4}, {23, 5}};
    for (const Case& c : cases) {
        Bytes s = IconStream(c.schema, c.records);
        CMemFile file(s.data(), (UINT)s.size());
        CArchive ar(&file, CArchive::load);
        CUIXImageManagerIcon icon(1, 16, 15, (CUIXImageManagerIconSet*)nullptr);
        icon.Serialize(ar);
        WORD sentinel = 0;
        ar >> sentinel;
        EXPECT_EQ(0xEEEE, sentinel) << "schema " << c.schema << " reads exactly its records";
    }
}

TEST(ImageExchange, WrongCheckSumAbortsTheLoad) {
    Bytes s = {0x01, 0x00, 5, 0, 0, 0, 0xFF, 0xFE, 0xFF, 3, 'b', 0, 'a', 0, 'd', 0, 0, 0};
    CUIXImageManager manager;
    EXPECT_EQ("archive:6", LoadManager(manager, s));
}

// ---- damaged streams and bitmap records ----

Bytes Record(UINT headerBytes, const BITMAPINFOHEADER& h, UINT bitsBytes) {
    Bytes s;
    auto count = [&](UINT n) {
        if (n < 0xFFFF) {
            s.push_back((BYTE)n);
            s.push_back((BYTE)(n >> 8));
        } else {
            s.insert(s.end(), {0xFF, 0xFF});
            for (int i = 0; i < 4; ++i) s.push_back((BYTE)(n >> (8 * i)));
        }
    };
    count(headerBytes);
    Bytes header(headerBytes, 0);
    memcpy(header.data(), &h, std::min<size_t>(sizeof(h), headerBytes));
    s.insert(s.end(), header.begin(), header.end());
    count(bitsBytes);
    s.insert(s.end(), bitsBytes, 0x5A);
    return s;
}

TEST(ImageFuzz, BitmapRecordsWithDamagedHeadersFailCleanly) {
    const DWORD sizes[] = {0, 12, 39, 40, 108, 0xFFFFFFFF};
    const LONG widths[] = {-1, 0, 4, 0x7FFFFFFF};
    const LONG heights[] = {0, 4, -4, 0x7FFFFFFF, (LONG)0x80000001};
    const WORD bits[] = {0, 1, 8, 24, 32, 33};
    const DWORD used[] = {0, 2, 256, 0x7FFFFFFF};
    const DWORD compressions[] = {BI_RGB, BI_BITFIELDS, BI_RLE8, BI_JPEG};
    const UINT headerRecords[] = {52, 104, 1064};
    int cases = 0, made = 0;
    unsigned seed = 99;
    auto pick = [&seed](size_t n) {
        seed = seed * 1103515245u + 12345u;
        return (size_t)((seed >> 16) % n);
    };
    for (int k = 0; k < 400; ++k) {
        BITMAPINFOHEADER h = {};
        h.biSize = sizes[pick(6)];
        h.biWidth = widths[pick(4)];
        h.biHeight = heights[pick(5)];
        h.biPlanes = pick(4) ? 1 : 0;
        h.biBitCount = bits[pick(6)];
        h.biClrUsed = used[pick(4)];
        h.biCompression = compressions[pick(4)];
        h.biSizeImage = pick(2) ? 0 : 0x7FFFFFF0;
        UINT headerBytes = headerRecords[pick(3)];
        UINT bitsBytes = (UINT)pick(3) * 40;
        Bytes s = Record(headerBytes, h, bitsBytes);
        CMemFile file(s.data(), (UINT)s.size());
        CArchive ar(&file, CArchive::load);
        ++cases;
        try {
            HBITMAP hb = CUIXImageManagerIcon::ReadDIBSection(ar);
            if (hb) {
                ++made;
                DeleteObject(hb);
            }
        } catch (CArchiveException* e) {
            e->Delete();
        }
    }
    // Record sizes beyond the stream or the header limit.
    BITMAPINFOHEADER good = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    for (UINT headerBytes : {0u, 1u, 39u, 1065u, 0x10000u, 0xFFFFFFF0u}) {
        Bytes s = Record(std::min(headerBytes, 2000u), good, 16);
        s[0] = (BYTE)headerBytes;
        s[1] = (BYTE)(headerBytes >> 8);
        CMemFile file(s.data(), (UINT)s.size());
        CArchive ar(&file, CArchive::load);
        ++cases;
        try {
            HBITMAP hb = CUIXImageManagerIcon::ReadDIBSection(ar);
            if (hb) DeleteObject(hb);
        } catch (CArchiveException* e) {
            e->Delete();
        }
    }
    struct Sound {
        const char* name;
        UINT headerBytes;
        BITMAPINFOHEADER h;
        UINT bitsBytes;
        bool made;
    } sound[] = {
        {"32-bpp 2x2", 52, good, 16, true},
        {"8-bpp 4x2 with its palette", 1064, {sizeof(BITMAPINFOHEADER), 4, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0}, 8, true},
        {"8-bpp palette cut short", 104, {sizeof(BITMAPINFOHEADER), 4, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0}, 8, false},
        {"1-bpp mask 16x16", 52, {sizeof(BITMAPINFOHEADER), 16, 16, 1, 1, BI_RGB, 0, 0, 0, 0, 0}, 64, true},
        {"rows claimed beyond the bits", 52, {sizeof(BITMAPINFOHEADER), 16, 0x007F0010, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, 1024, false},
        {"top-down rows", 52, {sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, 16, true},
    };
    for (const Sound& c : sound) {
        Bytes rec = Record(c.headerBytes, c.h, c.bitsBytes);
        CMemFile f(rec.data(), (UINT)rec.size());
        CArchive a(&f, CArchive::load);
        HBITMAP hb = CUIXImageManagerIcon::ReadDIBSection(a);
        EXPECT_EQ(c.made, hb != nullptr) << c.name;
        if (hb) DeleteObject(hb);
    }
    Bytes s = Record(52, good, 16);
    s.resize(s.size() - 8);
    CMemFile file(s.data(), (UINT)s.size());
    CArchive ar(&file, CArchive::load);
    EXPECT_THROW(
        try { CUIXImageManagerIcon::ReadDIBSection(ar); } catch (CArchiveException* e) {
            e->Delete();
            throw 1;
        },
        int)
        << "bits shorter than their count";
    EXPECT_GT(cases, 400);
    EXPECT_LT(made, cases) << "most generated records are refused";
}

TEST(ImageFuzz, DamagedStoresFailCleanly) {
    CUIXImageManager manager;
    AddAlphaIcon(manager, 1, 16);
    HICON hIcon = MakeIcon(16, RGB(1, 2, 3));
    CUIXImageManagerIconImage image(hIcon);
    manager.SetIcon(image, 2, CSize(16, 16));
    DestroyIcon(hIcon);
    Bytes good = StoreManager(manager);
    CUIXImageManager probe;
    ASSERT_EQ("", LoadManager(probe, good));
    int cases = 0;
    for (size_t len = 0; len < good.size(); len += 7, ++cases) {
        CUIXImageManager target;
        if (getenv("UIX_FUZZ_TRACE")) fprintf(stderr, "cut %u\n", (unsigned)len);
        std::string r = LoadManager(target, Bytes(good.begin(), good.begin() + len));
        EXPECT_TRUE(r.rfind("archive:", 0) == 0 || r.empty()) << len << " " << r;
    }
    const BYTE probes[] = {0x00, 0x7F, 0xFF};
    for (size_t i = 0; i < good.size(); i += 3)
        for (BYTE v : probes) {
            Bytes bad = good;
            bad[i] = v;
            if (getenv("UIX_FUZZ_TRACE")) fprintf(stderr, "case %u %u\n", (unsigned)i, (unsigned)v);
            CUIXImageManager target;
            std::string r = LoadManager(target, bad);
            ++cases;
            EXPECT_TRUE(r.empty() || r.rfind("archive:", 0) == 0 || r == "memory") << i << " " << r;
        }
    EXPECT_GT(cases, 300);
}

} // namespace
