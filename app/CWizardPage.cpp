#include "CWizardPage.h"

#include <gdiplus.h>

#include <algorithm>

#include "BrandLogo.h"
#include "CAlphaStatic.h"
#include "NvSysUtil.h"
#include "PageSizing.h"

namespace {
const UINT IDC_PAGE_BACK = 1024;
const UINT IDC_PAGE_NEXT = 1025;
const UINT IDC_PAGE_CANCEL = 6499;
const UINT IDS_NEXT = 5056;
const UINT IDS_BACK = 5057;
const UINT IDS_CANCEL = 5058;
const UINT IDS_TITLE_SIZE = 9001;
const UINT IDS_HEADING_SIZE = 9002;
const UINT IDS_TEXT_SIZE = 9003;
const int kFlowNext = 1;
const int kFlowBack = 2;
// The navigation row ends at x 765 with 6 pixels between buttons.
const int kNavRight = 765;
const int kNavTop = 526;
const int kNavGap = 6;
const int kNavCapWidth = 4;
const POINT kMakerLogoAt = {42, 523};
const POINT kBrandLogoAt = {42, 25};
const RECT kTitleRect = {115, 19, 750, 200};
const RECT kText1Rect = {168, 140, 668, 350};
const RECT kText2Rect = {168, 200, 668, 410};
const RECT kText3Rect = {168, 475, 668, 685};
// The generic layout: one column of children.
const int kColumnLeft = 168;
const int kColumnWidth = 500;
const int kAutoWidthLeft = 115;
const int kAutoWidthExtra = 10;

const ULONGLONG kKB = 1ULL << 10;
const ULONGLONG kMB = 1ULL << 20;
const ULONGLONG kGB = 1ULL << 30;
const ULONGLONG kTB = 1ULL << 40;
} // namespace

IMPLEMENT_DYNAMIC(CWizardPage, CDialog)

BEGIN_MESSAGE_MAP(CWizardPage, CDialog)
    ON_WM_PAINT()
    ON_WM_SETFOCUS()
    ON_WM_ERASEBKGND()
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
    ON_BN_CLICKED(IDC_PAGE_BACK, OnBnClickedBack)
    ON_BN_CLICKED(IDC_PAGE_NEXT, OnBnClickedNext)
    ON_BN_CLICKED(IDC_PAGE_CANCEL, OnBnClickedCancel)
END_MESSAGE_MAP()

CWizardPage::CWizardPage(UINT nPageId, CWnd* pParent) : CDialog(nPageId, pParent), m_nPageId(static_cast<int>(nPageId))
{
    if (FAILED(NvIsWinPE(&m_bWinPE)))
        m_bWinPE = FALSE;
}

CWizardPage::~CWizardPage() = default;

BOOL CWizardPage::Create(CWnd*) { return FALSE; }

BOOL CWizardPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetPageTextStrings(L"", L"", L"", L"");
    LoadImages();
    CreateFonts();
    CreateNavButtons();
    return TRUE;
}

Gdiplus::Image* CWizardPage::PageImage(LPCWSTR pwszRelPath)
{
    return m_pHost ? m_pHost->GetPageImage(pwszRelPath) : nullptr;
}

void CWizardPage::LoadImages()
{
    CClientDC dcScreen(this);
    m_pImgBackground = PageImage(L"Image\\bg.png");
    m_dcBackground.Load(dcScreen.GetSafeHdc(), m_pImgBackground);
    m_pImgMakerLogo = PageImage(L"Image\\logo_nv.png");
    m_dcMakerLogo.Load(dcScreen.GetSafeHdc(), m_pImgMakerLogo);
    m_pImgBrandLogo = PageImage(BrandLogoForPage(m_pHost ? m_pHost->GetPageVendor() : 0));
    m_dcBrandLogo.Load(dcScreen.GetSafeHdc(), m_pImgBrandLogo);
}

void CWizardPage::CreateFonts()
{
    CreateFrameFont(m_fontTitle, IDS_TITLE_SIZE);
    CreateFrameFont(m_fontHeading, IDS_HEADING_SIZE, FW_BOLD);
    CreateFrameFont(m_fontText, IDS_TEXT_SIZE);
}

void CWizardPage::CreateNavButtons()
{
    struct NavButton {
        CAlphaButton* pButton;
        UINT nId;
        UINT nTextId;
    } buttons[] = {
        {&m_btnBack, IDC_PAGE_BACK, IDS_BACK},
        {&m_btnNext, IDC_PAGE_NEXT, IDS_NEXT},
        {&m_btnCancel, IDC_PAGE_CANCEL, IDS_CANCEL},
    };
    int nWidest = 0;
    for (const NavButton& b : buttons) {
        // Created empty: the face decides the size.
        b.pButton->Create(LoadFrameString(b.nTextId), WS_CHILD | WS_VISIBLE, CRect(492, kNavTop, 492, kNavTop), this,
                          b.nId);
        b.pButton->LoadFaceImage(L"Image\\btn.png", TRUE);
        b.pButton->SizeToText(kNavCapWidth);
        nWidest = std::max(nWidest, RectInParent(b.pButton).Width());
    }
    int nHeight = RectInParent(&m_btnCancel).Height();
    int x = kNavRight - static_cast<int>(_countof(buttons)) * (nWidest + kNavGap) + kNavGap;
    for (const NavButton& b : buttons) {
        b.pButton->SetWindowPos(nullptr, x, kNavTop, nWidest, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        x += nWidest + kNavGap;
    }
}

BOOL CWizardPage::OnEraseBkgnd(CDC*) { return TRUE; }

void CWizardPage::OnPaint()
{
    CPaintDC dc(this);
    HDC hDC = dc.GetSafeHdc();
    m_dcBackground.Blit(hDC, 0, 0);
    m_dcMakerLogo.Blend(hDC, kMakerLogoAt.x, kMakerLogoAt.y);
    m_dcBrandLogo.Blend(hDC, kBrandLogoAt.x, kBrandLogoAt.y);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(m_crText);
    struct Block {
        const CString* pText;
        CFont* pFont;
        RECT rc;
    } blocks[] = {
        {&m_strTitle, &m_fontTitle, kTitleRect},
        {&m_strText1, &m_fontHeading, kText1Rect},
        {&m_strText2, &m_fontText, kText2Rect},
        {&m_strText3, &m_fontText, kText3Rect},
    };
    for (Block& b : blocks) {
        CFont* pOld = dc.SelectObject(b.pFont);
        dc.DrawText(*b.pText, &b.rc, DT_WORDBREAK);
        dc.SelectObject(pOld);
    }
    DrawContent(&dc);
}

void CWizardPage::OnSetFocus(CWnd* pOldWnd)
{
    CDialog::OnSetFocus(pOldWnd);
    EnableCloseBox(TRUE);
    InitControls();
    LayoutControls();
    ApplyControlLooks();
}

void CWizardPage::ApplyControlLooks()
{
    BOOL bRTL = m_pHost ? m_pHost->IsPageRTL() : FALSE;
    for (CWnd* pChild = GetWindow(GW_CHILD); pChild; pChild = pChild->GetWindow(GW_HWNDNEXT)) {
        CWnd* pKnown = CWnd::FromHandlePermanent(pChild->GetSafeHwnd());
        if (CAlphaButton* pButton = dynamic_cast<CAlphaButton*>(pKnown))
            pButton->SetRTL(bRTL);
        else if (dynamic_cast<CAlphaStatic*>(pKnown))
            pKnown->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontText.GetSafeHandle()), TRUE);
    }
}

void CWizardPage::LayoutControls()
{
    const int nFixedId = m_pHost ? m_pHost->GetLayoutFixedId() : 1330;
    for (CWnd* pChild = GetWindow(GW_CHILD); pChild; pChild = pChild->GetWindow(GW_HWNDNEXT)) {
        int nId = pChild->GetDlgCtrlID();
        if (nId == static_cast<int>(IDC_PAGE_BACK) || nId == static_cast<int>(IDC_PAGE_NEXT) || nId == nFixedId ||
            nId == static_cast<int>(IDC_PAGE_CANCEL))
            continue;
        CRect rc = RectInParent(pChild);
        pChild->MoveWindow(kColumnLeft, rc.top, kColumnWidth, rc.Height(), TRUE);
    }
    for (const LayoutItem& item : m_vecLayout)
        ApplyLayoutItem(item);
}

// Auto width measures with the font the control draws with.
void CWizardPage::ApplyLayoutItem(const LayoutItem& item)
{
    CWnd* pCtrl = GetDlgItem(item.ctrlId);
    if (!pCtrl)
        return;
    if (item.textId != LAYOUT_KEEP_TEXT)
        pCtrl->SetWindowText(item.textId ? LoadFrameString(static_cast<UINT>(item.textId)) : CString());
    int nHeight = item.bottom - item.top;
    if (!item.autoWidth) {
        pCtrl->MoveWindow(item.left, item.top, item.right - item.left, nHeight, TRUE);
        return;
    }
    CString strText;
    pCtrl->GetWindowText(strText);
    CSize size = TextExtentInWindowFont(pCtrl, strText);
    pCtrl->MoveWindow(kAutoWidthLeft, item.top, size.cx + kAutoWidthExtra, nHeight, TRUE);
}

void CWizardPage::SetPageTexts(UINT nTitle, UINT nText1, UINT nText2, UINT nText3)
{
    struct Entry {
        UINT nId;
        CString* pText;
    } entries[] = {{nTitle, &m_strTitle}, {nText1, &m_strText1}, {nText2, &m_strText2}, {nText3, &m_strText3}};
    for (const Entry& e : entries) {
        CString str;
        if (e.nId == 0)
            e.pText->Empty();
        else if (str.LoadString(e.nId))
            *e.pText = str;
    }
}

void CWizardPage::SetPageTextStrings(LPCWSTR pwszTitle, LPCWSTR pwszText1, LPCWSTR pwszText2, LPCWSTR pwszText3)
{
    m_strTitle = pwszTitle ? pwszTitle : L"";
    m_strText1 = pwszText1 ? pwszText1 : L"";
    m_strText2 = pwszText2 ? pwszText2 : L"";
    m_strText3 = pwszText3 ? pwszText3 : L"";
}

void CWizardPage::AddControlLayout(int nCtrlId, int nLeft, int nTop, int nRight, int nBottom, int nTextId,
                                   int nAutoWidth)
{
    m_vecLayout.push_back({nCtrlId, nLeft, nTop, nRight, nBottom, nTextId, nAutoWidth});
}

void CWizardPage::SetCtrlTextAndRedraw(CWnd* pCtrl, CString strText)
{
    if (!pCtrl || !pCtrl->GetSafeHwnd())
        return;
    CRect rc = RectInParent(pCtrl);
    InvalidateRect(&rc, TRUE);
    pCtrl->SetWindowText(strText);
    UpdateWindow();
}

void CWizardPage::EnableCloseBox(BOOL bEnable)
{
    CWnd* pHostWnd = GetParent();
    CMenu* pMenu = pHostWnd ? pHostWnd->GetSystemMenu(FALSE) : nullptr;
    if (pMenu)
        pMenu->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_DISABLED));
}

CString CWizardPage::FormatSize(ULONGLONG ullBytes)
{
    CString str;
    if (ullBytes < kKB) {
        str.Format(L"%dBytes", static_cast<int>(ullBytes));
    } else if (ullBytes < kMB) {
        str.Format(L"%dKB", static_cast<int>(ullBytes / kKB));
    } else if (ullBytes < kGB) {
        str.Format(L"%dMB", static_cast<int>(ullBytes / kMB));
    } else if (ullBytes < kTB) {
        double x = static_cast<double>(ullBytes) / static_cast<double>(kGB);
        str.Format(x < 10 ? L"%.2fGB" : (x < 100 ? L"%.1fGB" : L"%.0fGB"), x);
    } else {
        str.Format(L"%dTB", static_cast<int>(ullBytes / kTB));
    }
    return str;
}

// Enter and Esc stop here: the dialog manager would hand them to the
// outermost dialog, the host, whose default answer ends the program.
BOOL CWizardPage::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    if (m_pHost && m_pHost->HandlePageHotKey(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CWizardPage::OnBnClickedNext()
{
    if (!m_pHost)
        return;
    int nNext = m_pHost->GetFlowPageId(m_nPageId, kFlowNext);
    if (nNext != -1)
        m_pHost->GoToPage(static_cast<UINT>(nNext), TRUE);
}

void CWizardPage::OnBnClickedBack()
{
    if (!m_pHost)
        return;
    int nBack = m_pHost->GetFlowPageId(m_nPageId, kFlowBack);
    if (nBack == -1)
        nBack = m_pHost->GetLastFromPageId();
    m_pHost->GoToPage(static_cast<UINT>(nBack), TRUE);
}

void CWizardPage::OnBnClickedCancel()
{
    if (m_pHost)
        m_pHost->OnPageCancel();
}
