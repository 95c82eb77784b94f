#include "CWizardPage.h"

#include "CRevantDlg.h"
#include "PageFlow.h"

namespace {
const UINT IDC_PAGE_BACK = 1024;
const UINT IDC_PAGE_NEXT = 1025;
const UINT IDC_PAGE_CANCEL = 6499;
const UINT IDS_NEXT = 5056;
const UINT IDS_BACK = 5057;
const UINT IDS_CANCEL = 5058;
// Fixed layout of the navigation row, in page pixels.
const int kNavRight = 765;
const int kNavTop = 526;
const int kNavWidth = 80;
const int kNavHeight = 24;
const int kNavGap = 6;
}

BEGIN_MESSAGE_MAP(CWizardPage, CDialog)
    ON_BN_CLICKED(IDC_PAGE_BACK, OnBnClickedBack)
    ON_BN_CLICKED(IDC_PAGE_NEXT, OnBnClickedNext)
    ON_BN_CLICKED(IDC_PAGE_CANCEL, OnBnClickedCancel)
END_MESSAGE_MAP()

CWizardPage::CWizardPage(UINT nPageId, CWnd* pParent) : CDialog(nPageId, pParent), m_nPageId(static_cast<int>(nPageId)) {}

CWizardPage::~CWizardPage() = default;

BOOL CWizardPage::Create(CWnd* pParentWnd) { return CDialog::Create(static_cast<UINT>(m_nPageId), pParentWnd); }

BOOL CWizardPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    CreateNavButtons();
    return TRUE;
}

BOOL CWizardPage::PreTranslateMessage(MSG* pMsg)
{
    // The page's own dialog handling would take the keys first: Windows PE's
    // hot-keys work on every page as on the host.
    if (m_pHost && m_pHost->HandlePEHotKey(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CWizardPage::CreateNavButtons()
{
    struct Button {
        CButton* pButton;
        UINT nId;
        UINT nTextId;
    } buttons[] = {
        {&m_btnBack, IDC_PAGE_BACK, IDS_BACK},
        {&m_btnNext, IDC_PAGE_NEXT, IDS_NEXT},
        {&m_btnCancel, IDC_PAGE_CANCEL, IDS_CANCEL},
    };
    int x = kNavRight - static_cast<int>(_countof(buttons)) * (kNavWidth + kNavGap) + kNavGap;
    for (const Button& b : buttons) {
        CString text;
        text.LoadString(b.nTextId);
        b.pButton->Create(text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(x, kNavTop, x + kNavWidth, kNavTop + kNavHeight),
                          this, b.nId);
        b.pButton->SetFont(GetFont());
        x += kNavWidth + kNavGap;
    }
}

void CWizardPage::OnBnClickedNext()
{
    if (!m_pHost)
        return;
    int nNext = m_pHost->GetFlowPageId(m_nPageId, PFC_NEXT);
    if (nNext != PAGE_NONE)
        m_pHost->GoToPage(static_cast<UINT>(nNext), TRUE);
}

void CWizardPage::OnBnClickedBack()
{
    if (!m_pHost)
        return;
    int nBack = m_pHost->GetFlowPageId(m_nPageId, PFC_BACK);
    if (nBack == PAGE_NONE)
        nBack = m_pHost->GetLastFromPageId();
    m_pHost->GoToPage(static_cast<UINT>(nBack), TRUE);
}

void CWizardPage::OnBnClickedCancel()
{
    // Closing is the host's decision (an operation may run, Windows PE asks first).
    if (m_pHost)
        m_pHost->PostMessage(WM_CLOSE);
}
