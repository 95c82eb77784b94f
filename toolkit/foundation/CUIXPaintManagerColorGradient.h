// A light and a dark colour and the weight of the light one at the middle.
#pragma once
#include "CUIXPaintManagerColor.h"

class CUIXPaintManagerColorGradient {
public:
    virtual ~CUIXPaintManagerColorGradient() = default;
    // 20 bytes: light standard, light custom, dark standard, dark custom, factor.
    virtual void Serialize(CArchive& ar);

    void SetStandardValue(COLORREF clrLight, COLORREF clrDark, float fFactor = 0.5f);
    void SetStandardColor(COLORREF clr) { SetStandardValue(clr, clr, 0.5f); }
    void SetStandardValueFrom(const CUIXPaintManagerColorGradient& other);

    CUIXPaintManagerColor clrLight;
    CUIXPaintManagerColor clrDark;
    float fGradientFactor = 0.5f;
};
