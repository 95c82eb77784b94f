#include "CMainPage.h"

#include <gdiplus.h>

#include <algorithm>

#include "PageSizing.h"

namespace {
const UINT IDC_CONTACT = 7015;
const UINT IDS_CONTACT = 7015;
const UINT IDS_FIRST_HEADING = 264;
const int kTiles = 3;
const int kDscLinkId = 7502;
const UINT IDC_PANEL = 0xFFFF;
const int kContactRight = 749;
const int kContactTop = 526;
const int kContactCapWidth = 8;
// A tile's column: icon, heading, arrows and links, from its left edge.
const int kTileWidth = 240;
const int kIconX = 54;
const int kIconY = 122;
const int kHeadingLeft = 91;
const int kHeadingRight = 260;
const int kHeadingTop = 118;
const int kHeadingMeasureBottom = 168;
const int kListBelowHeading = 132;
const int kLinkLeft = 86;
const int kLinkRight = 260;
const int kArrowLeft = 64;
const int kArrowBelowRowTop = 2;
const int kRowGap = 12;
const int kLinkInsetX = 5;
const int kPanelGap = 5;
const int kArrowBelowPanel = 7;
const RECT kPanelCreateRect = {0, 0, 173, 79};
const RECT kTitleRect = {115, 19, 750, 200};

int TileLeft(int nTile) { return kTileWidth * nTile; }
} // namespace

IMPLEMENT_DYNAMIC(CMainPage, CWizardPage)

BEGIN_MESSAGE_MAP(CMainPage, CWizardPage)
    ON_WM_SETFOCUS()
END_MESSAGE_MAP()

CMainPage::CMainPage(UINT nPageId, CWnd* pParent) : CWizardPage(nPageId, pParent) {}

CMainPage::~CMainPage() = default;

BOOL CMainPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    CreateContactButton();
    m_btnBack.ShowWindow(SW_HIDE);
    m_btnNext.ShowWindow(SW_HIDE);
    m_btnCancel.ShowWindow(SW_HIDE);
    MeasureHeadings();
    LoadMainImages();
    return FALSE;
}

void CMainPage::CreateContactButton()
{
    m_btnContact.Create(LoadFrameString(IDS_CONTACT), WS_CHILD | WS_VISIBLE, CRect(591, kContactTop, 591, kContactTop),
                        this, IDC_CONTACT);
    m_btnContact.LoadFaceImage(L"Image\\btn_contact.png", TRUE);
    m_btnContact.SizeToText(kContactCapWidth);
    CRect rc = RectInParent(&m_btnContact);
    m_btnContact.SetWindowPos(nullptr, kContactRight - rc.Width(), kContactTop, 0, 0,
                              SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainPage::MeasureHeadings()
{
    CClientDC dcPage(this);
    CDC dc;
    dc.CreateCompatibleDC(&dcPage);
    CFont* pOld = dc.SelectObject(&m_fontHeading);
    m_nHeadingHeight = 0;
    for (int i = 0; i < kTiles; ++i) {
        CRect rc(kHeadingLeft, kHeadingTop, kHeadingRight, kHeadingMeasureBottom);
        dc.DrawText(LoadFrameString(IDS_FIRST_HEADING + i), &rc, DT_CALCRECT | DT_WORDBREAK);
        m_nHeadingHeight = std::max(m_nHeadingHeight, rc.Height());
    }
    dc.SelectObject(pOld);
    m_nLinkListTop = m_nHeadingHeight + kListBelowHeading;
}

void CMainPage::LoadMainImages()
{
    CClientDC dcScreen(this);
    HDC hDC = dcScreen.GetSafeHdc();
    m_pImgBackground = PageImage(L"Image\\bg_mainpage.png");
    m_dcBackground.Load(hDC, m_pImgBackground);
    m_pImgIconHelp = PageImage(L"Image\\icon_help.png");
    m_dcIconHelp.Load(hDC, m_pImgIconHelp);
    m_pImgIconIdentify = PageImage(L"Image\\icon_identify.png");
    m_dcIconIdentify.Load(hDC, m_pImgIconIdentify);
    m_pImgIconPrecaution = PageImage(L"Image\\icon_precaution.png");
    m_dcIconPrecaution.Load(hDC, m_pImgIconPrecaution);
}

// Each icon is blended at its own size: one icon of another size must not
// make the others fail to draw.
void CMainPage::DrawContent(CDC* pDC)
{
    const CPageBitmapDC* icons[kTiles] = {&m_dcIconHelp, &m_dcIconIdentify, &m_dcIconPrecaution};
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(m_crText);
    CFont* pOld = pDC->SelectObject(&m_fontHeading);
    for (int i = 0; i < kTiles; ++i) {
        icons[i]->Blend(pDC->GetSafeHdc(), TileLeft(i) + kIconX, kIconY);
        CRect rc(TileLeft(i) + kHeadingLeft, kHeadingTop, TileLeft(i) + kHeadingRight, kHeadingTop + m_nHeadingHeight);
        pDC->DrawText(LoadFrameString(IDS_FIRST_HEADING + i), &rc, DT_WORDBREAK);
    }
    pDC->SelectObject(pOld);
}

BOOL CMainPage::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN &&
        (pMsg->wParam == VK_LEFT || pMsg->wParam == VK_UP || pMsg->wParam == VK_RIGHT || pMsg->wParam == VK_DOWN))
        return TRUE;
    return CWizardPage::PreTranslateMessage(pMsg);
}

void CMainPage::OnSetFocus(CWnd* pOldWnd)
{
    UpdateWindow();
    CWizardPage::OnSetFocus(pOldWnd);
    InvalidateRect(&kTitleRect, TRUE);
}

void CMainPage::CreateLinkList(int nTile, int nCount, CAlphaButton* pArrows, CAlphaButton* pLinks,
                               CStartPanel* pPanel, const LinkRow* pRows)
{
    int nTop = m_nLinkListTop;
    for (int r = 0; r < nCount; ++r) {
        CString strText;
        if (pRows[r].linkId == kDscLinkId && m_pHost)
            strText = m_pHost->GetDSCAppName();
        else if (pRows[r].linkId)
            strText = LoadFrameString(static_cast<UINT>(pRows[r].linkId));
        CAlphaButton& link = pLinks[r];
        link.Create(strText, WS_CHILD | WS_VISIBLE,
                    CRect(TileLeft(nTile) + kLinkLeft, nTop, TileLeft(nTile) + kLinkRight, nTop), this,
                    static_cast<UINT>(pRows[r].linkId));
        link.LoadFaceImage(L"Image\\btn_focusbar.png", TRUE);
        link.SetTextMargins(0, 0, FALSE, FALSE);
        link.m_nInsetX = kLinkInsetX;
        link.m_nInsetY = 0;
        link.FitHeightToText();
        int x = TileLeft(nTile) + kArrowLeft;
        pArrows[r].Create(L"", WS_CHILD | WS_VISIBLE | BS_CHECKBOX,
                          CRect(x, nTop + kArrowBelowRowTop, x, nTop + kArrowBelowRowTop), this,
                          static_cast<UINT>(pRows[r].arrowId));
        pArrows[r].LoadFaceImage(L"Image\\btn_arrow.png", TRUE);
        nTop = RectInParent(&link).bottom + kRowGap;
    }
    pPanel->Create(L"", WS_CHILD | WS_CLIPSIBLINGS, kPanelCreateRect, this, IDC_PANEL);
}

// Moves every row to its plain place; the tops of the rows, in order.
int CMainPage::RestackRows(int nTile, int nItem, int nCount, CAlphaButton* pArrows, CAlphaButton* pLinks,
                           std::vector<int>& vecTops)
{
    int nTop = m_nLinkListTop;
    vecTops.assign(static_cast<size_t>(nCount), 0);
    for (int r = 0; r < nCount; ++r) {
        if (r > nItem) {
            pLinks[r].ShowWindow(SW_HIDE);
            pArrows[r].ShowWindow(SW_HIDE);
        }
        vecTops[static_cast<size_t>(r)] = nTop;
        pLinks[r].SetWindowPos(nullptr, TileLeft(nTile) + kLinkLeft, nTop, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pArrows[r].SetWindowPos(nullptr, TileLeft(nTile) + kArrowLeft, nTop + kArrowBelowRowTop, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        nTop = RectInParent(&pLinks[r]).bottom + kRowGap;
    }
    for (int r = nItem + 1; r < nCount; ++r) {
        pLinks[r].ShowWindow(SW_SHOW);
        pArrows[r].ShowWindow(SW_SHOW);
    }
    return nTop;
}

void CMainPage::UpdateLinkList(int nTile, int nItem, int nCount, CAlphaButton* pArrows, CAlphaButton* pLinks,
                               CStartPanel* pPanel, const LinkRow* pRows)
{
    if (nItem < 0 || nItem >= nCount)
        return;
    pPanel->ShowWindow(SW_HIDE);
    std::vector<int> vecTops;
    RestackRows(nTile, nItem, nCount, pArrows, pLinks, vecTops);
    if (pArrows[nItem].SendMessage(BM_GETCHECK) == 0)
        return;
    int nDetail = pRows[nItem].detailTextId;
    pPanel->SetText(nDetail ? LoadFrameString(static_cast<UINT>(nDetail)).GetString() : L"");
    pPanel->m_nCommandId = pRows[nItem].linkId;
    int nPanelHeight = RectInParent(pPanel).Height();
    for (int r = 0; r < nCount; ++r) {
        if (r == nItem)
            continue;
        if (pArrows[r].SendMessage(BM_GETCHECK))
            pArrows[r].SendMessage(BM_SETCHECK, 0);
        if (r < nItem)
            continue;
        pLinks[r].ShowWindow(SW_HIDE);
        pArrows[r].ShowWindow(SW_HIDE);
        int nTop = vecTops[static_cast<size_t>(r)];
        pLinks[r].SetWindowPos(nullptr, TileLeft(nTile) + kLinkLeft, nTop + nPanelHeight + kPanelGap, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pArrows[r].SetWindowPos(nullptr, TileLeft(nTile) + kArrowLeft, nTop + nPanelHeight + kArrowBelowPanel, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pLinks[r].ShowWindow(SW_SHOW);
        pArrows[r].ShowWindow(SW_SHOW);
    }
    CRect rcLink = RectInParent(&pLinks[nItem]);
    pPanel->SetWindowPos(nullptr, rcLink.left, rcLink.bottom + kPanelGap, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    pPanel->ShowWindow(SW_SHOW);
}
