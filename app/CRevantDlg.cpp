// Host dialog: page registration, the factory, switching pages and the
// mouse handlers that keep the window in place in Windows PE and kiosk mode.
#include "CRevantDlg.h"

#include "CAutoTrace.h"
#include "CRevantApp.h"
#include "CSBRMgr.h"
#include "CUIXSkinManager.h"
#include "CWizardPage.h"

namespace {
const UINT IDD_HOST = 129;
const UINT IDI_HOST = 128;
const DWORD kSkinApplyBit = 0x2;
}

BEGIN_MESSAGE_MAP(CRevantDlg, CDialog)
    ON_WM_LBUTTONDOWN()
    ON_WM_CLOSE()
    ON_WM_ERASEBKGND()
    ON_WM_NCLBUTTONDOWN()
    ON_WM_NCRBUTTONDOWN()
    ON_WM_POWERBROADCAST()
END_MESSAGE_MAP()

CRevantDlg::CRevantDlg(CWnd* pParent) : CDialog(IDD_HOST, pParent)
{
    m_hIcon = AfxGetApp()->LoadIcon(IDI_HOST);
    if (CSBRMgr* pMgr = Controller()) {
        m_bWinPE = pMgr->IsUnderWinPE();
        m_bKioskMode = pMgr->m_bFinishDlg || pMgr->m_bCTOPanic;
    }
    if (m_bWinPE)
        SkinUnderWinPE();
}

CRevantDlg::~CRevantDlg()
{
    for (auto& entry : m_mapPages) {
        if (!entry.second)
            continue;
        entry.second->DestroyWindow();
        delete entry.second;
    }
    m_oHistory.Clear();
    m_mapPages.clear();
}

CSBRMgr* CRevantDlg::Controller() const
{
    CRevantApp* pApp = RevantApp();
    return pApp ? pApp->m_pSBRMgr : nullptr;
}

void CRevantDlg::SkinUnderWinPE()
{
    wchar_t wszPath[MAX_PATH] = L"";
    GetModuleFileNameW(AfxGetInstanceHandle(), wszPath, MAX_PATH);
    wszPath[MAX_PATH - 1] = L'\0';
    CString strFolder = L".";
    const wchar_t* pSlash = wcsrchr(wszPath, L'\\');
    if (pSlash && pSlash != wszPath)
        strFolder = CString(wszPath, static_cast<int>(pSlash - wszPath));
    CUIXSkinManager* pSkin = UIXSkinManager();
    pSkin->SetApplyOptions(UIXSkinManager()->m_dwApplyOptions | kSkinApplyBit);
    UIXSkinManager()->LoadSkin(strFolder + L"\\Vista.uixstyles", L"NormalBlue.ini");
}

HRESULT CRevantDlg::RegisterPage(UINT nPageId, CWizardPage* pPage)
{
    if (m_mapPages.count(nPageId))
        return E_FAIL;
    m_mapPages[nPageId] = pPage;
    return S_OK;
}

CWizardPage* CRevantDlg::CreatePage(UINT nPageId)
{
    CAutoTrace trace(L"CRevantDlg", L"CreatePage", this);
    CWizardPage* pPage = NewPage(nPageId);
    if (!pPage)
        return nullptr;
    pPage->m_pHost = this;
    if (!pPage->Create(this)) {
        // Without its template the page would leave an empty host.
        trace.Print(L"page %u cannot be created (missing template?)", nPageId);
        delete pPage;
        return nullptr;
    }
    int cx = m_rcWindow.Width() - 2 * GetSystemMetrics(SM_CXDLGFRAME);
    int cy = m_rcWindow.Height() - 2 * GetSystemMetrics(SM_CYDLGFRAME) - GetSystemMetrics(SM_CYCAPTION);
    pPage->SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    return pPage;
}

HRESULT CRevantDlg::GoToPage(UINT nPageId, BOOL bAddHistory)
{
    auto it = m_mapPages.find(nPageId);
    if (it == m_mapPages.end())
        return E_FAIL;
    if (!it->second)
        it->second = CreatePage(nPageId);
    if (!it->second)
        return E_POINTER;
    if (m_pCurPage)
        m_pCurPage->ShowWindow(SW_HIDE);
    it->second->ShowWindow(SW_SHOW);
    it->second->SendMessage(WM_SETFOCUS, 0, 0);
    m_pCurPage = it->second;
    if (bAddHistory)
        m_oHistory.Record(static_cast<int>(nPageId));
    if (CRevantApp* pApp = RevantApp())
        SetWindowText(pApp->GetAppName());
    return S_OK;
}

void CRevantDlg::OnLButtonDown(UINT nFlags, CPoint point)
{
    CDialog::OnLButtonDown(nFlags, point);
    SendMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
}

BOOL CRevantDlg::OnEraseBkgnd(CDC*) { return TRUE; }

void CRevantDlg::OnNcLButtonDown(UINT nHitTest, CPoint point)
{
    if (MayMoveWindow() || nHitTest == HTCLOSE)
        CDialog::OnNcLButtonDown(nHitTest, point);
}

void CRevantDlg::OnNcRButtonDown(UINT nHitTest, CPoint point)
{
    if (MayMoveWindow())
        CDialog::OnNcRButtonDown(nHitTest, point);
}
