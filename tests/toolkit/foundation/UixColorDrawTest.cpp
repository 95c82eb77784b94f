// The colour table with injected system colours, the drawing helpers and the
// device-context scope objects, checked on pixels of 32-bpp DIB sections.
#include "CUIXColorManager.h"
#include "CUIXDrawHelpers.h"
#include "CUIXBufferDC.h"
#include "CUIXFontDC.h"
#include "CUIXPenDC.h"
#include "CUIXBrushDC.h"
#include "CUIXClientRect.h"
#include "CUIXWindowRect.h"
#include "CUIXEmptyRect.h"
#include "UixTestSupport.h"
#include <gtest/gtest.h>
#include <cmath>
#include <map>

using namespace uixtest;

namespace {

// System colours, depth and visual style as a test wants them.
class CFakeColorSystem : public CUIXColorSystem {
public:
    std::map<int, COLORREF> colors;
    BOOL low = FALSE;
    BOOL active = FALSE;
    CString file, color;
    COLORREF border = (COLORREF)-1;
    COLORREF GetSysColor(int index) override {
        auto it = colors.find(index);
        return it != colors.end() ? it->second : RGB(index, index, index);
    }
    BOOL IsLowResolution() override { return low; }
    BOOL IsThemeActive() override { return active; }
    BOOL GetCurrentThemeName(CString& f, CString& c) override {
        f = file;
        c = color;
        return !file.IsEmpty();
    }
    BOOL GetTreeViewBorderColor(COLORREF& clr) override {
        if (border == (COLORREF)-1) return FALSE;
        clr = border;
        return TRUE;
    }
};

// Classic Windows colours.
std::unique_ptr<CFakeColorSystem> Classic() {
    auto s = std::make_unique<CFakeColorSystem>();
    s->colors = {{COLOR_BTNFACE, RGB(212, 208, 200)}, {COLOR_WINDOW, RGB(255, 255, 255)}, {COLOR_HIGHLIGHT, RGB(10, 36, 106)},
                 {COLOR_BTNSHADOW, RGB(128, 128, 128)}, {COLOR_GRAYTEXT, RGB(128, 128, 128)},
                 {COLOR_WINDOWTEXT, RGB(0, 0, 0)}, {COLOR_BTNTEXT, RGB(0, 0, 0)}, {COLOR_MENUTEXT, RGB(0, 0, 0)},
                 {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}};
    return s;
}

TEST(ColorManager, IntegerBlend) {
    struct Case {
        COLORREF a, b;
        int w;
        COLORREF out;
    } cases[] = {
        {RGB(200, 0, 0), RGB(0, 0, 0), 100, RGB(20, 0, 0)},    // per mille: 10 % of A
        {RGB(200, 0, 0), RGB(0, 0, 0), 99, RGB(198, 0, 0)},    // per cent: 99 % of A
        {RGB(1, 0, 0), RGB(0, 0, 0), 50, RGB(1, 0, 0)},        // a half rounds up
        {RGB(255, 255, 255), RGB(0, 0, 0), 0, RGB(0, 0, 0)},
        {RGB(10, 20, 30), RGB(110, 120, 130), 500, RGB(60, 70, 80)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.out, CUIXColorManager::BlendColors(c.a, c.b, c.w)) << c.w;
}

TEST(ColorManager, IdsAndColours) {
    CUIXColorManager cm(Classic());
    EXPECT_EQ(0u, cm.GetColor(62));
    EXPECT_EQ(63u, cm.GetColor(63)) << "above 62 a value is a colour";
    EXPECT_EQ(RGB(0xFF, 0x00, 0x00), cm.GetColor(RGB(0xFF, 0, 0)));
    EXPECT_EQ(RGB(212, 208, 200), cm.GetColor(COLOR_BTNFACE));
    EXPECT_EQ(0u, cm.GetColor(0));
    EXPECT_EQ(cm.GetColor(uixColorBarFace), cm.GetColor(uixColorBarFaceCopy));
    EXPECT_EQ(cm.GetColor(uixColorDisabled), cm.GetColor(uixColorDisabledCopy));
    EXPECT_EQ(cm.GetColor(uixColorDisabled), cm.GetColor(uixColorDisabledBarText));
    COLORREF hl = cm.GetColor(uixColorHighlight);
    EXPECT_EQ(RGB((int)(GetRValue(hl) * 0.75), (int)(GetGValue(hl) * 0.75), (int)(GetBValue(hl) * 0.75)),
              cm.GetColor(uixColorIconShadow));
    EXPECT_EQ(RGB(227, 223, 215), cm.GetColor(COLOR_3DLIGHT)) << "face + 15";
    EXPECT_EQ(RGB(128, 128, 128), cm.GetColor(uixColorControlBorder)) << "no visual style";
    for (int row : {uixColorHighlight, uixColorGripper, uixColorSeparator, uixColorDisabled})
        EXPECT_TRUE(CUIXColorManager::HasContrast(cm.GetColor(uixColorBarFace), cm.GetColor(row), TRUE, 30)) << row;
}

TEST(ColorManager, FaceLightAndShadowDark) {
    struct Case {
        const char* name;
        COLORREF face, shadow;
        COLORREF light3d, faceLight, shadowDark;
    } cases[] = {
        {"black face", RGB(0, 0, 0), RGB(128, 128, 128), RGB(15, 15, 15), 0x232323, 0x7F7F7F},
        {"grey 192", RGB(192, 192, 192), RGB(128, 128, 128), RGB(207, 207, 207), RGB(227, 227, 227), RGB(85, 85, 85)},
        {"grey 240", RGB(240, 240, 240), RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 255, 255), 0},
    };
    for (const Case& c : cases) {
        auto sys = Classic();
        sys->colors[COLOR_BTNFACE] = c.face;
        sys->colors[COLOR_BTNSHADOW] = c.shadow;
        CUIXColorManager cm(std::move(sys));
        EXPECT_EQ(c.light3d, cm.GetColor(COLOR_3DLIGHT)) << c.name;
        EXPECT_EQ(c.faceLight, cm.GetColor(uixColorFaceLight)) << c.name;
        EXPECT_EQ(c.shadowDark, cm.GetColor(uixColorShadowDark)) << c.name;
    }
}

TEST(ColorManager, LowColourDisplayKeepsFirstAssignments) {
    auto sys = Classic();
    sys->low = TRUE;
    CUIXColorManager cm(std::move(sys));
    struct Case {
        int id;
        int from;
    } cases[] = {{30, COLOR_BTNFACE}, {31, COLOR_WINDOW}, {35, COLOR_GRAYTEXT}, {44, COLOR_WINDOWTEXT},
                 {48, COLOR_BTNSHADOW}, {49, COLOR_HIGHLIGHTTEXT}, {61, COLOR_BTNSHADOW}};
    for (const Case& c : cases) EXPECT_EQ(cm.GetColor(c.from), cm.GetColor(c.id)) << c.id;
    EXPECT_EQ(0u, cm.GetColor(uixColorShadowText));
    for (int g : {1, 3}) {
        EXPECT_EQ(RGB(212, 208, 200), cm.GetGradient(g).clrLight.GetColor()) << g;
        EXPECT_EQ(RGB(212, 208, 200), cm.GetGradient(g).clrDark.GetColor()) << g;
    }
}

TEST(ColorManager, LunaSchemesAndTheirGradients) {
    struct Case {
        const char* name;
        BOOL active;
        const wchar_t* file;
        const wchar_t* color;
        UIXSystemTheme scheme;
    } cases[] = {
        {"blue", TRUE, L"C:\\Windows\\Resources\\Themes\\Luna\\Luna.msstyles", L"NormalColor", uixSystemThemeBlue},
        {"olive", TRUE, L"C:\\Windows\\Resources\\Themes\\Luna\\LUNA.MSSTYLES", L"HomeStead", uixSystemThemeOlive},
        {"silver skin", TRUE, L"X:\\winxp.luna.uixstyles", L"Metallic", uixSystemThemeSilver},
        {"other style", TRUE, L"C:\\Themes\\Royale.msstyles", L"NormalColor", uixSystemThemeUnknown},
        {"other colour", TRUE, L"C:\\Luna.msstyles", L"Pink", uixSystemThemeUnknown},
        {"styles off", FALSE, L"C:\\Luna.msstyles", L"NormalColor", uixSystemThemeUnknown},
    };
    for (const Case& c : cases) {
        auto sys = Classic();
        sys->active = c.active;
        sys->file = c.file;
        sys->color = c.color;
        CUIXColorManager cm(std::move(sys));
        EXPECT_EQ(c.scheme, cm.GetDetectedSystemTheme()) << c.name;
        EXPECT_EQ(c.scheme, cm.GetCurrentSystemTheme()) << c.name;
    }
    auto sys = Classic();
    sys->active = TRUE;
    sys->file = L"Luna.msstyles";
    sys->color = L"homestead";
    CUIXColorManager olive(std::move(sys));
    for (int g = 0; g < 7; ++g)
        EXPECT_FLOAT_EQ(g >= 3 && g <= 5 ? 0.3f : 0.5f, olive.GetGradient(g).fGradientFactor) << g;
    EXPECT_EQ(0x588060u, olive.GetColor(uixColorSchemeShadow));
    EXPECT_EQ(0x82C0AFu, olive.GetGradient(0).clrLight.GetColor());
    EXPECT_EQ(0x8CD5FFu, olive.GetGradient(7).clrLight.GetColor()) << "fixed gradients";
    EXPECT_EQ(0x97D4FFu, olive.GetGradient(9).clrDark.GetColor());
}

TEST(ColorManager, ThemedTreeViewBorder) {
    auto sys = Classic();
    sys->border = RGB(1, 2, 3);
    CUIXColorManager cm(std::move(sys));
    EXPECT_EQ(RGB(1, 2, 3), cm.GetColor(uixColorControlBorder));
}

TEST(ColorManager, ContrastArithmetic) {
    EXPECT_FLOAT_EQ(100.0f, CUIXColorManager::ScaledThreshold(0, 50)) << "black doubles";
    EXPECT_FLOAT_EQ(50.0f, CUIXColorManager::ScaledThreshold(220, 50));
    EXPECT_FLOAT_EQ(50.0f, CUIXColorManager::ScaledThreshold(400, 50));
    EXPECT_NEAR(441.0, CUIXColorManager::ColorDistance(RGB(255, 255, 255), 0), 1.0);
    // Exactly at the threshold is not enough.
    EXPECT_FALSE(CUIXColorManager::HasContrast(RGB(0, 0, 0), RGB(0, 0, 255), FALSE, 65));
    EXPECT_TRUE(CUIXColorManager::HasContrast(RGB(0, 0, 0), RGB(0, 0, 255), FALSE, 64));
    struct Case {
        COLORREF reference, color;
        int t;
    } cases[] = {{RGB(255, 255, 255), RGB(250, 250, 250), 50}, {RGB(0, 0, 0), RGB(5, 5, 5), 60},
                 {RGB(212, 208, 200), RGB(200, 200, 200), 100}, {RGB(10, 36, 106), RGB(20, 40, 100), 80}};
    for (const Case& c : cases) {
        COLORREF adjusted = CUIXColorManager::AdjustContrast(c.reference, c.color, c.t);
        double want = CUIXColorManager::ScaledThreshold((int)CUIXColorManager::ColorDistance(c.reference, 0), c.t);
        EXPECT_NEAR(want, CUIXColorManager::ColorDistance(c.reference, adjusted), 4.0) << std::hex << c.color;
    }
    COLORREF limited = CUIXColorManager::LimitContrast(RGB(212, 208, 200), RGB(0, 0, 0), 35);
    double d = CUIXColorManager::ScaledThreshold((int)CUIXColorManager::ColorDistance(RGB(212, 208, 200), 0), 35);
    EXPECT_NEAR(d, CUIXColorManager::ColorDistance(RGB(212, 208, 200), limited), 2.0);
}

TEST(ColorManager, GradientArchiveFormIsTwentyBytes) {
    CUIXPaintManagerColorGradient g;
    g.SetStandardValue(0x112233, 0x445566, 0.75f);
    g.clrDark.SetCustomValue(0x010203);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        g.Serialize(ar);
    }
    ULONGLONG n = file.GetLength();
    BYTE* p = file.Detach();
    std::vector<BYTE> bytes(p, p + n);
    free(p);
    std::vector<BYTE> expected = {0x33, 0x22, 0x11, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x66, 0x55, 0x44, 0, 3, 2, 1, 0, 0, 0, 0x40, 0x3F};
    EXPECT_EQ(expected, bytes);
    CMemFile in(bytes.data(), (UINT)bytes.size());
    CArchive ar(&in, CArchive::load);
    CUIXPaintManagerColorGradient back;
    back.Serialize(ar);
    EXPECT_EQ(0x112233u, back.clrLight.GetColor());
    EXPECT_EQ(0x010203u, back.clrDark.GetColor()) << "the custom value wins";
    EXPECT_FLOAT_EQ(0.75f, back.fGradientFactor);
    CUIXPaintManagerColorGradient copy;
    copy.SetStandardValueFrom(back);
    EXPECT_EQ(0x010203u, copy.clrDark.GetStandardColor());
}

TEST(ColorManager, LowResolutionTest) {
    struct Case {
        int bits;
        BOOL low;
    } cases[] = {{0, FALSE}, {1, TRUE}, {8, TRUE}, {16, FALSE}, {32, FALSE}};
    for (const Case& c : cases) EXPECT_EQ(c.low, CUIXColorManager::IsLowResolutionBits(c.bits)) << c.bits;
}

// ---- drawing helpers ----

struct Canvas {
    HBITMAP bitmap;
    CDC dc;
    HGDIOBJ old;
    int w, h;
    Canvas(int width, int height, DWORD fill = 0) : w(width), h(height) {
        bitmap = MakeBitmap(w, h, std::vector<DWORD>((size_t)w * h, fill), true);
        dc.Attach(CreateCompatibleDC(nullptr));
        old = dc.SelectObject(bitmap);
    }
    ~Canvas() {
        dc.SelectObject(old);
        dc.DeleteDC();
        DeleteObject(bitmap);
    }
    COLORREF At(int x, int y) {
        DWORD p = Pixels(bitmap)[(size_t)y * w + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

TEST(DrawHelpers, LineByLineGradient) {
    Canvas c(10, 2);
    CRect rc(0, 0, 10, 2);
    CUIXDrawHelpers::GradientFillSlow(&c.dc, rc, RGB(200, 0, 0), RGB(0, 0, 100), TRUE);
    EXPECT_EQ(RGB(200, 0, 0), c.At(0, 0)) << "first column is exactly A";
    EXPECT_EQ(RGB(20, 0, 90), c.At(9, 1)) << "last column is 90 % B and 10 % A";
    Canvas v(2, 4);
    CUIXDrawHelpers::GradientFillSlow(&v.dc, CRect(0, 0, 2, 4), RGB(0, 0, 0), RGB(0, 200, 0), FALSE);
    EXPECT_EQ(RGB(0, 0, 0), v.At(1, 0));
    EXPECT_EQ(RGB(0, 150, 0), v.At(1, 3));
}

TEST(DrawHelpers, GradientFromAColourGradientSplitsAtTheMiddleColour) {
    // Factor 0.75 over 5 columns: 3 columns from light to middle, 2 from middle to dark.
    Canvas c(5, 1, 0x00FFFFFF);
    CUIXPaintManagerColorGradient g;
    g.SetStandardValue(RGB(0, 0, 0), RGB(200, 200, 200), 0.75f);
    CUIXDrawHelpers helpers;
    helpers.GradientFillGradient(&c.dc, CRect(0, 0, 5, 1), g, TRUE, nullptr);
    COLORREF middle = CUIXDrawHelpers::BlendColors(RGB(0, 0, 0), RGB(200, 200, 200), 0.75f);
    EXPECT_EQ(RGB(50, 50, 50), middle);
    EXPECT_EQ(RGB(0, 0, 0), c.At(0, 0));
    EXPECT_EQ(middle, c.At(3, 0)) << "column 3 starts the second part";
    EXPECT_LT(GetRValue(c.At(2, 0)), GetRValue(middle)) << "column 2 still belongs to the first part";
}

TEST(DrawHelpers, ClippedGradientShowsTheUnclippedColours) {
    Canvas full(10, 1), clipped(10, 1, 0x00FFFFFF);
    CUIXDrawHelpers::GradientFillSlow(&full.dc, CRect(0, 0, 10, 1), RGB(200, 0, 0), RGB(0, 0, 200), TRUE);
    CUIXDrawHelpers helpers;
    CRect clip(4, 0, 7, 1);
    helpers.GradientFillClip(&clipped.dc, CRect(0, 0, 10, 1), RGB(200, 0, 0), RGB(0, 0, 200), TRUE, clip);
    EXPECT_EQ(RGB(255, 255, 255), clipped.At(3, 0)) << "outside the clip";
    EXPECT_EQ(RGB(255, 255, 255), clipped.At(7, 0));
    for (int x = 4; x < 7; ++x) {
        COLORREF want = full.At(x, 0), got = clipped.At(x, 0);
        EXPECT_NEAR(GetRValue(want), GetRValue(got), 3) << x;
        EXPECT_NEAR(GetBValue(want), GetBValue(got), 3) << x;
    }
}

TEST(DrawHelpers, StripMnemonics) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"&File", L"File"},        {L"Save && Exit", L"Save & Exit"}, {L"a&&&b", L"a&&b"}, {L"End&", L"End"},
        {L"&&&&", L"&&&"},           {L"", L""},                        {L"No mnemonic", L"No mnemonic"},
    };
    for (const Case& c : cases) {
        CString s = c.in;
        CUIXDrawHelpers::StripMnemonics(s);
        EXPECT_EQ(CString(c.out), s) << c.in;
    }
    CUIXDrawHelpers::StripMnemonicsBuffer(nullptr);
    CUIXDrawHelpers::StripMnemonicsBuffer(reinterpret_cast<LPWSTR>(-1));
}

TEST(DrawHelpers, FloatBlendAndPixelAverages) {
    EXPECT_EQ(RGB(75, 0, 255), CUIXDrawHelpers::BlendColors(RGB(100, 0, 255), RGB(0, 0, 255), 0.75f));
    Canvas c(4, 1);
    c.dc.SetPixel(0, 0, RGB(100, 50, 10));
    c.dc.SetPixel(2, 0, RGB(200, 151, 20));
    POINT pairs[] = {{0, 0}, {2, 0}};
    CUIXDrawHelpers::BlendPixels(&c.dc, pairs, 2);
    EXPECT_EQ(RGB(150, 100, 15), c.At(0, 0));
}

TEST(DrawHelpers, CornersTrianglesAndLayoutKeys) {
    Canvas c(6, 6, 0);
    CUIXDrawHelpers::ExcludeCorners(&c.dc, CRect(0, 0, 6, 6));
    c.dc.FillSolidRect(0, 0, 6, 6, RGB(0, 255, 0));
    EXPECT_EQ(RGB(0, 0, 0), c.At(0, 0));
    EXPECT_EQ(RGB(0, 0, 0), c.At(5, 5));
    EXPECT_EQ(RGB(0, 255, 0), c.At(1, 0));
    Canvas t(10, 10, 0);
    CUIXDrawHelpers::Triangle(&t.dc, CPoint(0, 0), CPoint(9, 0), CPoint(0, 9), RGB(255, 0, 0));
    EXPECT_EQ(RGB(255, 0, 0), t.At(2, 2)) << "filled";
    EXPECT_EQ(RGB(255, 0, 0), t.At(0, 5)) << "outlined";
    EXPECT_EQ(RGB(0, 0, 0), t.At(8, 8));

    for (DWORD ex : {0ul, (unsigned long)WS_EX_LAYOUTRTL}) {
        CWnd wnd;
        wnd.Attach(CreateWindowExW(ex, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
        struct Case {
            UINT in, ltr, rtl;
        } keys[] = {{VK_LEFT, VK_LEFT, VK_RIGHT}, {VK_RIGHT, VK_RIGHT, VK_LEFT}, {VK_UP, VK_UP, VK_UP}, {VK_DOWN, VK_DOWN, VK_DOWN}};
        for (const Case& k : keys) {
            UINT key = k.in;
            CUIXDrawHelpers::KeyToLayout(&wnd, key);
            EXPECT_EQ(ex ? k.rtl : k.ltr, key) << k.in << " ex " << ex;
        }
        DestroyWindow(wnd.Detach());
    }
}

int CALLBACK FirstFace(const LOGFONTW* f, const TEXTMETRICW*, DWORD, LPARAM p) {
    *reinterpret_cast<std::wstring*>(p) = f->lfFaceName;
    return 0;
}

TEST(DrawHelpers, FontsAndTopParents) {
    // Any installed face, asked for in lower case.
    std::wstring face;
    HDC screen = GetDC(nullptr);
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(screen, &lf, FirstFace, reinterpret_cast<LPARAM>(&face), 0);
    ReleaseDC(nullptr, screen);
    ASSERT_FALSE(face.empty());
    for (wchar_t& ch : face) ch = towlower(ch);
    EXPECT_TRUE(CUIXDrawHelpers::FontExists(face.c_str())) << "compared without case";
    EXPECT_FALSE(CUIXDrawHelpers::FontExists(L"No Such Font Face"));
    EXPECT_FALSE(CUIXDrawHelpers::GetVerticalFontName(TRUE).IsEmpty());
    HWND top = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetForegroundWindow() == GetLastActivePopup(top), CUIXDrawHelpers::IsTopParentActive(child) != FALSE);
    EXPECT_TRUE(CUIXDrawHelpers::RegisterWndClass(nullptr, L"UIXTestBar", CS_DBLCLKS));
    WNDCLASSW wc = {};
    EXPECT_TRUE(GetClassInfoW(AfxGetInstanceHandle(), L"UIXTestBar", &wc));
    EXPECT_EQ((UINT)CS_DBLCLKS, wc.style);
    DestroyWindow(top);
}

// ---- device-context helpers ----

TEST(DeviceContext, BufferCopiesUnlessDiscarded) {
    for (int discard = 0; discard < 2; ++discard) {
        Canvas dest(8, 8, 0);
        {
            CUIXBufferDC buffer(dest.dc.GetSafeHdc(), CRect(2, 2, 6, 6));
            buffer.FillSolidRect(0, 0, 8, 8, RGB(0, 0, 255));
            if (discard) buffer.Discard();
        }
        EXPECT_EQ(discard ? RGB(0, 0, 0) : RGB(0, 0, 255), dest.At(3, 3)) << discard;
        EXPECT_EQ(RGB(0, 0, 0), dest.At(1, 1)) << "outside the rectangle";
        EXPECT_EQ(RGB(0, 0, 0), dest.At(6, 6));
    }
}

SIZE g_paintBuffer = {-1, -1};

LRESULT CALLBACK PaintProbeProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcW(hWnd, msg, wParam, lParam);
    CPaintDC paint(CWnd::FromHandle(hWnd));
    CUIXBufferDC buffer(paint);
    BITMAP bm = {};
    GetObjectW(GetCurrentObject(buffer.GetSafeHdc(), OBJ_BITMAP), sizeof(bm), &bm);
    g_paintBuffer = SIZE{bm.bmWidth, bm.bmHeight};
    return 0;
}

TEST(DeviceContext, BufferOfAnEmptyPaintRectangleIsOnePixel) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"UixPaintProbe";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, L"UixPaintProbe", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, h);
    ValidateRect(h, nullptr);
    SendMessageW(h, WM_PAINT, 0, 0); // nothing invalid: the paint rectangle is empty
    EXPECT_EQ(1, g_paintBuffer.cx);
    EXPECT_EQ(1, g_paintBuffer.cy);
    DestroyWindow(h);
}

TEST(DeviceContext, ScopesRestoreWhatWasSelected) {
    Canvas c(4, 4);
    HGDIOBJ font0 = GetCurrentObject(c.dc, OBJ_FONT);
    HGDIOBJ pen0 = GetCurrentObject(c.dc, OBJ_PEN);
    HGDIOBJ brush0 = GetCurrentObject(c.dc, OBJ_BRUSH);
    CFont a, b;
    a.CreatePointFont(80, L"Tahoma");
    b.CreatePointFont(120, L"Tahoma");
    {
        CUIXFontDC fonts(&c.dc, &a);
        fonts.SetFont(&b);
        EXPECT_EQ((HGDIOBJ)b.GetSafeHandle(), GetCurrentObject(c.dc, OBJ_FONT));
        CUIXPenDC pen(c.dc.GetSafeHdc(), RGB(1, 2, 3));
        CUIXBrushDC brush(c.dc.GetSafeHdc(), RGB(4, 5, 6));
        LOGPEN lp = {};
        GetObjectW(GetCurrentObject(c.dc, OBJ_PEN), sizeof(lp), &lp);
        EXPECT_EQ(RGB(1, 2, 3), lp.lopnColor);
        EXPECT_NE(brush0, GetCurrentObject(c.dc, OBJ_BRUSH));
    }
    EXPECT_EQ(font0, GetCurrentObject(c.dc, OBJ_FONT)) << "two selections, the first font comes back";
    EXPECT_EQ(pen0, GetCurrentObject(c.dc, OBJ_PEN));
    EXPECT_EQ(brush0, GetCurrentObject(c.dc, OBJ_BRUSH));
}

TEST(DeviceContext, RectanglesOfWindowsThatMayNotExist) {
    HWND h = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 20, 30, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(CRect(0, 0, 30, 40), CUIXClientRect(h));
    EXPECT_EQ(CRect(10, 20, 40, 60), CUIXWindowRect(h));
    DestroyWindow(h);
    EXPECT_TRUE(CUIXClientRect(h).IsRectEmpty()) << "destroyed";
    EXPECT_TRUE(CUIXWindowRect((CWnd*)nullptr).IsRectEmpty());
    EXPECT_TRUE(CUIXEmptyRect().IsRectNull());
}

} // namespace
