// Small drawing routines shared by the skin framework, the command bars and
// the themes: gradients, mnemonics, colour blends, layout helpers, triangles
// and the font face for vertical text.
#pragma once
#include "CUIXPaintManagerColorGradient.h"

class CUIXDrawHelpers {
public:
    CUIXDrawHelpers();
    virtual ~CUIXDrawHelpers();
    CUIXDrawHelpers(const CUIXDrawHelpers&) = delete;
    CUIXDrawHelpers& operator=(const CUIXDrawHelpers&) = delete;

    BOOL CallGradientFill(HDC hdc, PTRIVERTEX pVertices, ULONG nVertices, PVOID pMesh, ULONG nMeshes, ULONG mode);
    BOOL HasGradientFill() const { return m_pfnGradientFill != nullptr; }

    void GradientFill(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz);
    void GradientFillFast(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz);
    static void GradientFillSlow(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz);
    void GradientFillClip(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz, LPCRECT lpClip);
    void GradientFillGradient(CDC* pDC, LPCRECT lpRect, const CUIXPaintManagerColorGradient& grc, BOOL bHorz,
                              LPCRECT lpClip);

    static COLORREF BlendColors(COLORREF crA, COLORREF crB, float fFactor);
    static void ExcludeCorners(CDC* pDC, const CRect& rc);
    static void StripMnemonics(CString& strClear);
    static void StripMnemonicsBuffer(LPWSTR lpszClear);
    static BOOL IsLowResolution(HDC hDC);
    static BOOL IsTopParentActive(HWND hWnd);
    static void BlendPixels(CDC* pDC, const POINT* pPoints, int nCount);
    static DWORD GetLayout(CDC* pDC);
    static DWORD SetLayout(CDC* pDC, DWORD dwLayout);
    static void KeyToLayout(const CWnd* pWnd, UINT& nChar);
    static void ScreenToWindow(const CWnd* pWnd, LPPOINT lpPoint);
    static BOOL RegisterWndClass(HINSTANCE hInstance, LPCTSTR lpszClassName, UINT nClassStyle);
    static void Triangle(CDC* pDC, CPoint pt0, CPoint pt1, CPoint pt2, COLORREF clr);
    static BOOL FontExists(LPCTSTR lpszFaceName);
    static CString GetVerticalFontName(BOOL bUseTahoma);

private:
    static int CALLBACK EnumFontFamExProc(const LOGFONTW* pelf, const TEXTMETRICW*, DWORD, LPARAM lParam);

    HMODULE m_hMsImg32 = nullptr;
    BOOL(WINAPI* m_pfnGradientFill)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG) = nullptr;
};

CUIXDrawHelpers* UIXDrawHelpers();
