// The text control of both programs: a static whose text is drawn in its
// own colour straight over the page background.
#pragma once

#include <afxwin.h>

class CAlphaStatic : public CStatic {
    DECLARE_DYNAMIC(CAlphaStatic)
public:
    CAlphaStatic() = default;

    void SetTextColor(COLORREF cr);
    // 0 when the static has no window yet.
    int SetStaticText(LPCWSTR pwszText);

    COLORREF m_crText = RGB(255, 255, 255);

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    void RedrawOverParent();
    DECLARE_MESSAGE_MAP()
};
