// Selects fonts into a DC for a scope and restores the one selected before.
#pragma once
#include <afxwin.h>

class CUIXFontDC {
public:
    CUIXFontDC(CDC* pDC, CFont* pFont = nullptr);
    CUIXFontDC(CDC* pDC, HFONT hFont);
    virtual ~CUIXFontDC() { ReleaseFont(); }
    CUIXFontDC(const CUIXFontDC&) = delete;
    CUIXFontDC& operator=(const CUIXFontDC&) = delete;

    void SetFont(CFont* pFont) { SetFont(pFont ? (HFONT)pFont->GetSafeHandle() : nullptr); }
    void SetFont(HFONT hFont);
    void ReleaseFont();

private:
    CDC* m_pDC;
    HGDIOBJ m_hOldFont = nullptr;
};
