// A colour with a standard value and an optional custom one that wins.
#pragma once
#include <afxwin.h>

// "No colour" throughout the toolkit.
const COLORREF UIX_COLOR_NONE = (COLORREF)-1;

class CUIXPaintManagerColor {
public:
    virtual ~CUIXPaintManagerColor() = default;
    virtual void Serialize(CArchive& ar);

    COLORREF GetStandardColor() const { return m_clrStandard; }
    COLORREF GetCustomColor() const { return m_clrCustom; }
    void SetStandardValue(COLORREF clr) { m_clrStandard = clr; }
    void SetCustomValue(COLORREF clr) { m_clrCustom = clr; }
    COLORREF GetColor() const { return m_clrCustom != UIX_COLOR_NONE ? m_clrCustom : m_clrStandard; }
    operator COLORREF() const { return GetColor(); }

private:
    COLORREF m_clrStandard = UIX_COLOR_NONE;
    COLORREF m_clrCustom = UIX_COLOR_NONE;
};
