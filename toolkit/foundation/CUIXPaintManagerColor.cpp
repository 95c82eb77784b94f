#include "CUIXPaintManagerColor.h"

void CUIXPaintManagerColor::Serialize(CArchive& ar) {
    if (ar.IsLoading()) {
        ar >> m_clrStandard >> m_clrCustom;
        return;
    }
    ar << m_clrStandard << m_clrCustom;
}
