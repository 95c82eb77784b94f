// The toolkit's colour table: the system colours, colours derived from them
// with a minimum contrast in a weighted colour space, and ten gradients.
#pragma once
#include "CUIXPaintManagerColorGradient.h"
#include "CUIXColorSystem.h"
#include <memory>

enum UIXSystemTheme {
    uixSystemThemeUnknown = 0,
    uixSystemThemeBlue = 1,
    uixSystemThemeOlive = 2,
    uixSystemThemeSilver = 3,
    uixSystemThemeAuto = 4,
};

enum UIXColorId {
    uixColorBarFace = 30,
    uixColorHighlight,
    uixColorHighlightBorder,
    uixColorHighlightPushed,
    uixColorIconShadow,
    uixColorDisabledText,
    uixColorHighlightChecked,
    uixColorHighlightCheckedBorder,
    uixColorGripper,
    uixColorSeparator,
    uixColorDisabled,
    uixColorMenuBackground,
    uixColorBarFaceShade,
    uixColorFrame,
    uixColorMenuText,
    uixColorHighlightText,
    uixColorBarText,
    uixColorPushedText,
    uixColorFaceLight,
    uixColorShadowDark,
    uixColorHighlightPushedBorder,
    uixColorBarFaceLight,
    uixColorBarShadow,
    uixColorBarFaceCopy,
    uixColorSchemeShadow,
    uixColorFaceSpare,
    uixColorGalleryBackground,
    uixColorControlBorder,
    uixColorDisabledCopy,
    uixColorShadowText,
    uixColorDisabledBarText,
    uixColorBarCorner,
    uixColorLast = 62,
};

class CUIXColorManager : public CCmdTarget {
public:
    static constexpr int kColorCount = uixColorLast + 1;
    static constexpr int kGradientCount = 10;

    // pSystem: where refreshes read the system; null for the real one.
    explicit CUIXColorManager(std::unique_ptr<CUIXColorSystem> pSystem = nullptr);

    COLORREF GetColor(int nIndex) const;
    void RefreshColors();
    UIXSystemTheme GetCurrentSystemTheme() const;
    UIXSystemTheme GetDetectedSystemTheme() const { return m_detectedTheme; }
    BOOL IsLunaColorsDisabled() const { return m_bDisableLunaColors; }
    const CUIXPaintManagerColorGradient& GetGradient(int i) const { return m_gradients[i]; }

    static BOOL IsLowResolution(HDC hDC);
    static BOOL IsLowResolutionBits(int bitsPerPixel);
    static COLORREF BlendColors(COLORREF a, COLORREF b, int weight);
    static double WeightedRed(COLORREF clr);
    static double WeightedGreen(COLORREF clr);
    static double WeightedBlue(COLORREF clr);
    static float ColorDistanceSquared(COLORREF a, COLORREF b);
    static float ColorDistance(COLORREF a, COLORREF b);
    static float ScaledThreshold(int brightness, int threshold);
    static BOOL HasContrast(COLORREF a, COLORREF b, BOOL scale, int threshold);
    static COLORREF AdjustContrast(COLORREF reference, COLORREF clr, int threshold);
    static COLORREF LimitContrast(COLORREF a, COLORREF b, int threshold);

private:
    UIXSystemTheme DetectSystemTheme();
    void AssignFirstValues();
    void BlendDerivedColors();
    void EnsureContrast();
    void FinishDerivedColors();
    void RefreshGradients();
    COLORREF Std(int id) const { return m_standard[id]; }

    CUIXPaintManagerColorGradient m_gradients[kGradientCount];
    BOOL m_bDisableLunaColors = FALSE;
    COLORREF m_standard[kColorCount] = {};
    COLORREF m_custom[kColorCount];
    UIXSystemTheme m_systemTheme = uixSystemThemeAuto;
    UIXSystemTheme m_detectedTheme = uixSystemThemeUnknown;
    std::unique_ptr<CUIXColorSystem> m_pSystem;
};

CUIXColorManager* UIXColorManager();
void UIXRefreshColors();
