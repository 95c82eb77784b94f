// The kiosk modes' black cover over the whole screen; a click on it brings
// the wizard back to the front.
#pragma once

#include <afxwin.h>

class CFullWnd : public CWnd {
public:
    CFullWnd() = default;
    ~CFullWnd() override;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    CDC* m_pDC = nullptr;
    int m_nScreenCX = 0;
    int m_nScreenCY = 0;
};
