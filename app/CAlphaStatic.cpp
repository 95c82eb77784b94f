#include "CAlphaStatic.h"

#include "PageSizing.h"

IMPLEMENT_DYNAMIC(CAlphaStatic, CStatic)

BEGIN_MESSAGE_MAP(CAlphaStatic, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

// A hollow brush, not a black one: the static fills its area with the
// brush, and the page background must show through around the text.
HBRUSH CAlphaStatic::CtlColor(CDC* pDC, UINT)
{
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(m_crText);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

BOOL CAlphaStatic::OnEraseBkgnd(CDC*) { return TRUE; }

void CAlphaStatic::RedrawOverParent()
{
    RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
    RepaintUnder(this);
}

void CAlphaStatic::SetTextColor(COLORREF cr)
{
    m_crText = cr;
    if (GetSafeHwnd())
        RedrawOverParent();
}

int CAlphaStatic::SetStaticText(LPCWSTR pwszText)
{
    if (!GetSafeHwnd())
        return 0;
    SetWindowText(pwszText);
    RedrawOverParent();
    return 1;
}
