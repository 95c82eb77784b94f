#include "CUIXColorManager.h"
#include "CUIXExitSingleton.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// The weighted colour space: white lies at (195, 390, 65).
const double kMaxRed = 195.0, kMaxGreen = 390.0, kMaxBlue = 65.0;
const double kLargestDistance = 442.0;
const double kBrightnessKeepsThreshold = 220.0;
const double kShortestRay = 0.001;
const int kLightStep = 35, kDarkStep = 43, kLight3DStep = 15;
const COLORREF kBlackFaceLight = 0x232323, kBlackFaceShadow = 0x7F7F7F;
const int kLastSystemColor = COLOR_MENUHILIGHT; // ids 1 to 29 are the system colours

struct Point3 {
    double r, g, b;
};
Point3 ToPoint(COLORREF c) {
    return {CUIXColorManager::WeightedRed(c), CUIXColorManager::WeightedGreen(c), CUIXColorManager::WeightedBlue(c)};
}
Point3 Complement(Point3 p) { return {kMaxRed - p.r, kMaxGreen - p.g, kMaxBlue - p.b}; }
double Dot(Point3 a, Point3 b) { return a.r * b.r + a.g * b.g + a.b * b.b; }
int ToChannel(double v, double max) {
    v = std::min(std::max(v, 0.0), max);
    int c = (int)(v * 255.0 / max + 0.5);
    return std::min(std::max(c, 0), 255);
}
COLORREF FromPoint(Point3 p) { return RGB(ToChannel(p.r, kMaxRed), ToChannel(p.g, kMaxGreen), ToChannel(p.b, kMaxBlue)); }
int Brightness(COLORREF c) { return (int)CUIXColorManager::ColorDistance(c, 0); }

// Each channel scaled so that the largest moves by step (toward white when step > 0).
COLORREF ScaleChannels(COLORREF c, int m, int n) {
    return RGB(GetRValue(c) * n / m, GetGValue(c) * n / m, GetBValue(c) * n / m);
}

struct SchemeGradient {
    COLORREF light, dark;
    float factor;
};
// Gradients 0 to 6 of the blue, olive and silver schemes.
const SchemeGradient kSchemeGradients[3][7] = {
    {{0xD68759, 0x962D00, 0.5f}, {0xF5BE9E, 0xFADAC4, 0.5f}, {0xD68759, 0x962D00, 0.5f}, {0xFEECDD, 0xE2A981, 0.75f},
     {0xFFEFE3, 0xE4AD87, 0.5f}, {0xF6DDCB, 0xDCA179, 0.5f}, {0xFFEFE3, 0xE7B593, 0.5f}},
    {{0x82C0AF, 0x447A63, 0.5f}, {0xA7D9D9, 0xE4F1F2, 0.5f}, {0x6F8E78, 0x435B49, 0.5f}, {0xDEF7F4, 0x91C6B7, 0.3f},
     {0xEDFFFF, 0x92C7B8, 0.3f}, {0xD1E6E6, 0x78B4A4, 0.3f}, {0xD5F0EC, 0x9FCEC2, 0.5f}},
    {{0xBFA7A8, 0x916F70, 0.5f}, {0xE5D7D7, 0xF7F3F3, 0.5f}, {0xBFA7A8, 0x977677, 0.5f}, {0xFFF9F9, 0xB79B9C, 0.75f},
     {0xFFF9F9, 0xB99D9F, 0.75f}, {0xE2D7D7, 0x9E7E80, 0.75f}, {0xF1E7E9, 0xCDB9BA, 0.5f}},
};
const COLORREF kSchemeShadow[3] = {0x962D00, 0x588060, 0x947C7C};
const SchemeGradient kFixedGradients[3] = {
    {0x8CD5FF, 0x55ADFF, 0.5f}, {0x4B8EFE, 0x8BCFFF, 0.5f}, {0xC8F2FF, 0x97D4FF, 0.5f}};
const int kFirstFixedGradient = 7;
} // namespace

CUIXColorManager::CUIXColorManager(std::unique_ptr<CUIXColorSystem> pSystem)
    : m_pSystem(pSystem ? std::move(pSystem) : std::make_unique<CUIXColorSystem>()) {
    std::fill(std::begin(m_custom), std::end(m_custom), UIX_COLOR_NONE);
    RefreshColors();
    for (int i = 0; i < 3; ++i)
        m_gradients[kFirstFixedGradient + i].SetStandardValue(kFixedGradients[i].light, kFixedGradients[i].dark,
                                                              kFixedGradients[i].factor);
}

COLORREF CUIXColorManager::GetColor(int nIndex) const {
    if ((UINT)nIndex > (UINT)uixColorLast) return (COLORREF)nIndex;
    return m_custom[nIndex] != UIX_COLOR_NONE ? m_custom[nIndex] : m_standard[nIndex];
}

UIXSystemTheme CUIXColorManager::GetCurrentSystemTheme() const {
    return m_systemTheme == uixSystemThemeAuto ? m_detectedTheme : m_systemTheme;
}

BOOL CUIXColorManager::IsLowResolutionBits(int bitsPerPixel) { return bitsPerPixel >= 1 && bitsPerPixel <= 8; }

BOOL CUIXColorManager::IsLowResolution(HDC hDC) {
    if (hDC) return IsLowResolutionBits(::GetDeviceCaps(hDC, BITSPIXEL));
    HWND desktop = ::GetDesktopWindow();
    HDC screen = ::GetDC(desktop);
    if (!screen) return FALSE;
    BOOL low = IsLowResolutionBits(::GetDeviceCaps(screen, BITSPIXEL));
    ::ReleaseDC(desktop, screen);
    return low;
}

COLORREF CUIXColorManager::BlendColors(COLORREF a, COLORREF b, int w) {
    const int d = w < 100 ? 100 : 1000;
    auto mix = [&](int ca, int cb) { return ((ca * w + cb * (d - w) + d / 2) / d) & 0xFF; };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

double CUIXColorManager::WeightedRed(COLORREF c) { return GetRValue(c) * kMaxRed / 255.0; }
double CUIXColorManager::WeightedGreen(COLORREF c) { return GetGValue(c) * kMaxGreen / 255.0; }
double CUIXColorManager::WeightedBlue(COLORREF c) { return GetBValue(c) * kMaxBlue / 255.0; }

float CUIXColorManager::ColorDistanceSquared(COLORREF a, COLORREF b) {
    double dg = WeightedGreen(a) - WeightedGreen(b);
    double dr = WeightedRed(a) - WeightedRed(b);
    double db = WeightedBlue(a) - WeightedBlue(b);
    return (float)(dg * dg + dr * dr + db * db);
}

float CUIXColorManager::ColorDistance(COLORREF a, COLORREF b) { return std::sqrt(ColorDistanceSquared(a, b)); }

float CUIXColorManager::ScaledThreshold(int brightness, int threshold) {
    return (float)((2.0 - std::min((double)brightness, kBrightnessKeepsThreshold) / kBrightnessKeepsThreshold) * threshold);
}

BOOL CUIXColorManager::HasContrast(COLORREF a, COLORREF b, BOOL scale, int threshold) {
    float t = scale ? ScaledThreshold(Brightness(a), threshold) : (float)threshold;
    return ColorDistanceSquared(a, b) > t * t;
}

COLORREF CUIXColorManager::AdjustContrast(COLORREF reference, COLORREF clr, int threshold) {
    double c = ColorDistance(reference, 0);
    double d = ScaledThreshold((int)c, threshold);
    double x = ColorDistance(clr, 0);
    bool towardWhite = (x > c && c <= kLargestDistance - d) || (x <= c && c <= d);
    Point3 p = ToPoint(clr), f = ToPoint(reference);
    if (towardWhite) {
        p = Complement(p);
        f = Complement(f);
    }
    double l = std::max(std::sqrt(Dot(p, p)), kShortestRay);
    double fp = Dot(f, p);
    double k = fp / (l * l);
    Point3 foot = {k * p.r - f.r, k * p.g - f.g, k * p.b - f.b};
    double rest = d * d - Dot(foot, foot);
    if (rest < 0) return RGB(0, 0, 0);
    double tau = fp / l - std::sqrt(rest);
    Point3 q = {tau * p.r / l, tau * p.g / l, tau * p.b / l};
    return FromPoint(towardWhite ? Complement(q) : q);
}

COLORREF CUIXColorManager::LimitContrast(COLORREF a, COLORREF b, int threshold) {
    double dist = std::sqrt((double)ColorDistanceSquared(a, b));
    if (dist <= 0) return b;
    double d = ScaledThreshold(Brightness(a), threshold);
    double f = (dist - d) / dist;
    Point3 pa = ToPoint(a), pb = ToPoint(b);
    return FromPoint({pb.r + f * (pa.r - pb.r), pb.g + f * (pa.g - pb.g), pb.b + f * (pa.b - pb.b)});
}

UIXSystemTheme CUIXColorManager::DetectSystemTheme() {
    if (!m_pSystem->IsThemeActive() || m_pSystem->IsLowResolution()) return uixSystemThemeUnknown;
    CString file, color;
    if (!m_pSystem->GetCurrentThemeName(file, color)) return uixSystemThemeUnknown;
    file.MakeLower();
    color.MakeLower();
    if (file.Find(L"luna.msstyles") < 0 && file.Find(L"winxp.luna.uixstyles") < 0) return uixSystemThemeUnknown;
    if (color == L"normalcolor") return uixSystemThemeBlue;
    if (color == L"homestead") return uixSystemThemeOlive;
    if (color == L"metallic") return uixSystemThemeSilver;
    return uixSystemThemeUnknown;
}

void CUIXColorManager::AssignFirstValues() {
    struct First {
        int id;
        int from; // a system colour index, or -1 for black
    };
    static const First kFirst[] = {
        {30, COLOR_BTNFACE},   {31, COLOR_WINDOW},        {32, COLOR_HIGHLIGHT},  {33, COLOR_HIGHLIGHT},
        {34, COLOR_BTNSHADOW}, {35, COLOR_GRAYTEXT},      {36, COLOR_WINDOW},     {37, COLOR_HIGHLIGHT},
        {38, COLOR_BTNSHADOW}, {39, COLOR_BTNSHADOW},     {40, COLOR_BTNSHADOW},  {41, COLOR_WINDOW},
        {42, COLOR_BTNSHADOW}, {43, COLOR_BTNSHADOW},     {44, COLOR_WINDOWTEXT}, {45, COLOR_MENUTEXT},
        {46, COLOR_BTNTEXT},   {47, COLOR_HIGHLIGHTTEXT}, {48, COLOR_BTNSHADOW},  {49, COLOR_HIGHLIGHTTEXT},
        {50, COLOR_HIGHLIGHT}, {51, COLOR_BTNFACE},       {52, COLOR_BTNSHADOW},  {53, COLOR_BTNFACE},
        {54, COLOR_BTNSHADOW}, {55, COLOR_BTNFACE},       {56, COLOR_BTNFACE},    {57, COLOR_BTNSHADOW},
        {58, COLOR_GRAYTEXT},  {59, -1},                  {60, COLOR_BTNSHADOW},  {61, COLOR_BTNSHADOW},
    };
    for (const First& f : kFirst) m_standard[f.id] = f.from < 0 ? 0 : Std(f.from);
}

void CUIXColorManager::BlendDerivedColors() {
    m_standard[30] = BlendColors(Std(COLOR_WINDOW), Std(COLOR_BTNFACE), 165);
    m_standard[31] = BlendColors(Std(COLOR_HIGHLIGHT), Std(COLOR_WINDOW), 30);
    m_standard[33] = BlendColors(Std(COLOR_HIGHLIGHT), Std(COLOR_WINDOW), 50);
    m_standard[41] = BlendColors(Std(COLOR_BTNFACE), Std(COLOR_WINDOW), 143);
    m_standard[35] = BlendColors(Std(COLOR_GRAYTEXT), Std(COLOR_WINDOW), 70);
    m_standard[38] = BlendColors(Std(COLOR_BTNSHADOW), Std(COLOR_WINDOW), 75);
    m_standard[39] = BlendColors(Std(COLOR_BTNSHADOW), Std(COLOR_WINDOW), 70);
    m_standard[43] = BlendColors(Std(46), Std(COLOR_BTNSHADOW), 20);
    m_standard[61] = BlendColors(Std(46), Std(COLOR_BTNSHADOW), 15);
    m_standard[40] = BlendColors(Std(COLOR_BTNSHADOW), Std(COLOR_WINDOW), 90);
    m_standard[42] = BlendColors(Std(COLOR_BTNFACE), Std(COLOR_BTNSHADOW), 90);
}

void CUIXColorManager::EnsureContrast() {
    if (HasContrast(Std(COLOR_BTNFACE), Std(30), TRUE, 35)) m_standard[30] = LimitContrast(Std(COLOR_BTNFACE), Std(30), 35);
    struct Row {
        int target, reference, threshold;
    };
    static const Row kRows[] = {{31, 30, 50}, {32, 30, 100}, {33, 30, 30},  {35, 41, 80},  {37, 33, 100},
                                {38, 30, 85}, {39, 30, 50},  {43, 41, 100}, {61, 30, 100}, {40, 30, 80},
                                {44, 41, 180}, {45, 31, 180}, {46, 30, 180}, {47, 33, 180}};
    for (const Row& r : kRows) {
        COLORREF clr = r.target == 32 ? Std(COLOR_HIGHLIGHT) : Std(r.target);
        if (!HasContrast(Std(r.reference), clr, TRUE, r.threshold))
            m_standard[r.target] = AdjustContrast(Std(r.reference), clr, r.threshold);
    }
    if (HasContrast(Std(41), Std(35), TRUE, 145)) m_standard[35] = LimitContrast(Std(41), Std(35), 145);
}

void CUIXColorManager::FinishDerivedColors() {
    auto part = [](COLORREF c, int percent) {
        return RGB(GetRValue(c) * percent / 100, GetGValue(c) * percent / 100, GetBValue(c) * percent / 100);
    };
    COLORREF a = part(Std(30), 50), b = part(Std(COLOR_WINDOW), 40), c = part(Std(COLOR_HIGHLIGHT), 10);
    m_standard[36] = RGB(GetRValue(a) + GetRValue(b) + GetRValue(c), GetGValue(a) + GetGValue(b) + GetGValue(c),
                         GetBValue(a) + GetBValue(b) + GetBValue(c));

    COLORREF face = Std(COLOR_BTNFACE);
    int m = std::max({GetRValue(face), GetGValue(face), GetBValue(face)});
    m_standard[48] = m == 0 ? kBlackFaceLight : ScaleChannels(face, m, m + std::min(kLightStep, 255 - m));

    COLORREF shadow = Std(COLOR_BTNSHADOW);
    int ms = std::max({GetRValue(shadow), GetGValue(shadow), GetBValue(shadow)});
    if (face == 0) m_standard[49] = kBlackFaceShadow;
    else m_standard[49] = ms == 0 ? 0 : ScaleChannels(shadow, ms, std::max(ms - kDarkStep, 0));

    COLORREF hl = Std(31);
    m_standard[34] = RGB((int)(GetRValue(hl) * 0.75), (int)(GetGValue(hl) * 0.75), (int)(GetBValue(hl) * 0.75));
    m_standard[22] = RGB(std::min(GetRValue(face) + kLight3DStep, 255), std::min(GetGValue(face) + kLight3DStep, 255),
                         std::min(GetBValue(face) + kLight3DStep, 255));
    m_standard[53] = Std(30);
    m_standard[58] = Std(40);
    m_standard[60] = Std(40);
}

void CUIXColorManager::RefreshGradients() {
    int scheme = m_bDisableLunaColors ? uixSystemThemeUnknown : GetCurrentSystemTheme();
    if (scheme >= uixSystemThemeBlue && scheme <= uixSystemThemeSilver) {
        for (int i = 0; i < 7; ++i) {
            const SchemeGradient& g = kSchemeGradients[scheme - 1][i];
            m_gradients[i].SetStandardValue(g.light, g.dark, g.factor);
        }
        m_standard[uixColorSchemeShadow] = kSchemeShadow[scheme - 1];
    } else {
        COLORREF face = Std(COLOR_BTNFACE), window = Std(COLOR_WINDOW), shadow = Std(COLOR_BTNSHADOW);
        m_gradients[0].SetStandardValue(shadow, shadow);
        m_gradients[1].SetStandardValue(face, BlendColors(face, window, 215));
        m_gradients[2].SetStandardValue(face, shadow);
        m_gradients[3].SetStandardValue(BlendColors(face, window, 205), face);
        m_gradients[4].SetStandardValue(BlendColors(face, window, 145), BlendColors(face, window, 93));
        m_gradients[5].SetStandardValue(BlendColors(face, window, 40), BlendColors(face, shadow, 95));
        m_gradients[6].SetStandardValue(BlendColors(face, window, 165), BlendColors(face, window, 42));
    }
    if (m_pSystem->IsLowResolution()) {
        m_gradients[3].SetStandardColor(Std(COLOR_BTNFACE));
        m_gradients[1].SetStandardColor(Std(COLOR_BTNFACE));
    }
}

void CUIXColorManager::RefreshColors() {
    m_detectedTheme = DetectSystemTheme();
    BOOL low = m_pSystem->IsLowResolution();
    m_standard[0] = 0;
    for (int i = 1; i <= kLastSystemColor; ++i) m_standard[i] = m_pSystem->GetSysColor(i);
    AssignFirstValues();
    if (low) {
        RefreshGradients();
        return;
    }
    BlendDerivedColors();
    EnsureContrast();
    FinishDerivedColors();
    RefreshGradients();
    COLORREF border;
    if (m_pSystem->GetTreeViewBorderColor(border)) m_standard[uixColorControlBorder] = border;
}

CUIXColorManager* UIXColorManager() { return CUIXExitSingleton<CUIXColorManager>::Get(); }

void UIXRefreshColors() { UIXColorManager()->RefreshColors(); }
