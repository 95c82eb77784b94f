#include "CUIXPaintManagerColorGradient.h"

void CUIXPaintManagerColorGradient::Serialize(CArchive& ar) {
    clrLight.Serialize(ar);
    clrDark.Serialize(ar);
    if (ar.IsLoading()) ar >> fGradientFactor;
    else ar << fGradientFactor;
}

void CUIXPaintManagerColorGradient::SetStandardValue(COLORREF light, COLORREF dark, float fFactor) {
    clrLight.SetStandardValue(light);
    clrDark.SetStandardValue(dark);
    fGradientFactor = fFactor;
}

void CUIXPaintManagerColorGradient::SetStandardValueFrom(const CUIXPaintManagerColorGradient& other) {
    SetStandardValue(other.clrLight.GetColor(), other.clrDark.GetColor(), other.fGradientFactor);
}
