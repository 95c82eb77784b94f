#include "CFullWnd.h"

BEGIN_MESSAGE_MAP(CFullWnd, CWnd)
    ON_WM_ERASEBKGND()
    ON_WM_CREATE()
    ON_WM_LBUTTONDOWN()
    ON_WM_RBUTTONDOWN()
END_MESSAGE_MAP()

CFullWnd::~CFullWnd() = default;

int CFullWnd::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    // The class has CS_OWNDC: this context stays the window's own.
    m_pDC = GetDC();
    if (m_pDC) {
        m_nScreenCX = m_pDC->GetDeviceCaps(HORZRES);
        m_nScreenCY = m_pDC->GetDeviceCaps(VERTRES);
    }
    SetWindowPos(&wndTopMost, 0, 0, m_nScreenCX, m_nScreenCY, SWP_SHOWWINDOW);
    return 0;
}

BOOL CFullWnd::OnEraseBkgnd(CDC* pDC)
{
    CBrush black(RGB(0, 0, 0));
    CBrush* pOld = pDC->SelectObject(&black);
    pDC->PatBlt(0, 0, m_nScreenCX, m_nScreenCY, PATCOPY);
    pDC->SelectObject(pOld);
    return TRUE;
}

void CFullWnd::OnLButtonDown(UINT, CPoint)
{
    if (CWnd* pMain = AfxGetMainWnd())
        pMain->SetForegroundWindow();
}

void CFullWnd::OnRButtonDown(UINT nFlags, CPoint point) { OnLButtonDown(nFlags, point); }
