#include "CStartPanel.h"

#include <gdiplus.h>

#include "PageSizing.h"

namespace {
const UINT IDS_PANEL_TEXT_SIZE = 9004;
const UINT IDS_START = 5317;
const UINT IDC_START = 5317;
const int kBgSourceWidth = 173;
const int kBgSourceHeight = 79;
// Start button: from the right edge, and below the text.
const int kStartFromRight = 66;
const int kStartFromBottom = 25;
const int kStartBelowText = 10;
const int kHeightBesideText = 35;
}

IMPLEMENT_DYNAMIC(CStartPanel, CAlphaStatic)

BEGIN_MESSAGE_MAP(CStartPanel, CAlphaStatic)
    ON_WM_CREATE()
    ON_WM_PAINT()
    ON_BN_CLICKED(IDC_START, OnStartClicked)
END_MESSAGE_MAP()

CStartPanel::CStartPanel()
{
    CreateFrameFont(m_fontPanel, IDS_PANEL_TEXT_SIZE);
    CString strPath = ProgramFolderPath(L"Image\\bg_start.png");
    m_pImgPanelBg = new Gdiplus::Image(strPath.IsEmpty() ? L"" : strPath.GetString(), TRUE);
}

CStartPanel::~CStartPanel() { delete m_pImgPanelBg; }

int CStartPanel::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CAlphaStatic::OnCreate(lpCreateStruct) == -1)
        return -1;
    int x = lpCreateStruct->cx - kStartFromRight;
    int y = lpCreateStruct->cy - kStartFromBottom;
    m_btnStart.Create(LoadFrameString(IDS_START), WS_CHILD | WS_VISIBLE, CRect(x, y, x, y), this, IDC_START);
    m_btnStart.LoadFaceImage(L"Image\\btn_start.png", TRUE);
    m_btnStart.SetTextColor(RGB(0, 0, 0));
    m_btnStart.SetButtonFont(&m_fontPanel);
    return 0;
}

void CStartPanel::SetText(LPCWSTR pwszText)
{
    if (!GetSafeHwnd())
        return;
    SetStaticText(pwszText);
    CRect rc;
    GetWindowRect(&rc);
    int nWidth = rc.Width();
    rc.DeflateRect(m_nTextMargin, m_nTextMargin);
    CRect rcText(0, 0, rc.Width(), rc.Height());
    CClientDC dcScreen(this);
    CDC dc;
    dc.CreateCompatibleDC(&dcScreen);
    CFont* pOld = dc.SelectObject(&m_fontPanel);
    dc.DrawText(pwszText ? pwszText : L"", &rcText, DT_CALCRECT | DT_WORDBREAK);
    dc.SelectObject(pOld);
    int nTextHeight = rcText.Height();
    SetWindowPos(nullptr, 0, 0, nWidth, nTextHeight + kHeightBesideText, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_btnStart.GetSafeHwnd())
        m_btnStart.SetWindowPos(nullptr, nWidth - kStartFromRight, nTextHeight + kStartBelowText, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CStartPanel::OnPaint()
{
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    {
        Gdiplus::Graphics g(dc.GetSafeHdc());
        g.DrawImage(m_pImgPanelBg, Gdiplus::Rect(rc.left, rc.top, rc.Width(), rc.Height()), 0, 0, kBgSourceWidth,
                    kBgSourceHeight, Gdiplus::UnitPixel);
    }
    CString strText;
    GetWindowText(strText);
    if (strText.IsEmpty())
        return;
    rc.DeflateRect(m_nTextMargin, m_nTextMargin);
    dc.SetTextColor(m_crText);
    CFont* pOld = dc.SelectObject(&m_fontPanel);
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(strText, &rc, DT_WORDBREAK | DT_END_ELLIPSIS);
    dc.SelectObject(pOld);
}

void CStartPanel::OnStartClicked()
{
    CWnd* pParent = GetParent();
    if (pParent)
        pParent->PostMessage(WM_COMMAND, static_cast<WPARAM>(m_nCommandId), reinterpret_cast<LPARAM>(m_hWnd));
}
