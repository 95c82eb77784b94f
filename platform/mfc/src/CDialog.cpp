#include "CDialog.h"
#include "CWinApp.h"
#include "AfxFunctions.h"
#include "AfxThreadState.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)), m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    // Destroy while the object is still a dialog, so its own handlers see the end.
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    CDialog* pDlg = static_cast<CDialog*>(AfxDynamicDownCast(RUNTIME_CLASS(CDialog), FromHandlePermanent(hWnd)));
    return pDlg ? pDlg->OnInitDialog() : TRUE;
}

LPCDLGTEMPLATE CDialog::LoadTemplate(LPCTSTR lpszTemplateName, HINSTANCE* phInst) const {
    HINSTANCE hInst = AfxFindResourceHandle(lpszTemplateName, (LPCTSTR)RT_DIALOG);
    HRSRC hRes = ::FindResourceW(hInst, lpszTemplateName, (LPCTSTR)RT_DIALOG);
    if (!hRes) {
        AfxTrace(L"CDialog: template %u not found (%lu)\n", (unsigned)(ULONG_PTR)lpszTemplateName, GetLastError());
        return nullptr;
    }
    HGLOBAL hGlobal = ::LoadResource(hInst, hRes);
    LPCDLGTEMPLATE lpTemplate = hGlobal ? (LPCDLGTEMPLATE)::LockResource(hGlobal) : nullptr;
    if (!lpTemplate) AfxTrace(L"CDialog: template could not be loaded (%lu)\n", GetLastError());
    *phInst = hInst;
    return lpTemplate;
}

BOOL CDialog::CreateDlgIndirect(LPCDLGTEMPLATE lpDialogTemplate, HWND hWndParent, HINSTANCE hInst) {
    AfxInitCommonControls();
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParamW(hInst, lpDialogTemplate, hWndParent, DialogProc, 0);
    DWORD err = ::GetLastError();
    AfxUnhookWindowCreate();
    if (!hWnd) {
        AfxTrace(L"CDialog: CreateDialogIndirectParam failed (%lu)\n", err);
        // A failure after the window was attached left it destroyed and detached.
        return FALSE;
    }
    return m_hWnd == hWnd;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) { return Create(MAKEINTRESOURCEW(nIDTemplate), pParentWnd); }

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
    m_lpszTemplateName = lpszTemplateName;
    if (IS_INTRESOURCE(lpszTemplateName) && m_nIDHelp == 0) m_nIDHelp = (UINT)(ULONG_PTR)lpszTemplateName;
    HINSTANCE hInst = nullptr;
    LPCDLGTEMPLATE lpTemplate = LoadTemplate(lpszTemplateName, &hInst);
    if (!lpTemplate) return FALSE;
    if (!pParentWnd) pParentWnd = AfxGetMainWnd();
    m_pParentWnd = pParentWnd;
    if (!CreateDlgIndirect(lpTemplate, pParentWnd->GetSafeHwnd(), hInst)) return FALSE;
    if ((GetStyle() & WS_CHILD) && IS_INTRESOURCE(lpszTemplateName))
        SetDlgCtrlID((int)(ULONG_PTR)lpszTemplateName);
    return TRUE;
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
    if (!pParentWnd) pParentWnd = AfxGetMainWnd();
    m_pParentWnd = pParentWnd;
    return CreateDlgIndirect(lpDialogTemplate, pParentWnd->GetSafeHwnd(), AfxGetResourceHandle());
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd) {
    m_lpDialogTemplate = lpDialogTemplate;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

// The owner of a modal dialog: the given parent or the main window, as a top-level window.
HWND CDialog::PreModal() {
    CWnd* pParent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    HWND hWnd = pParent->GetSafeHwnd();
    if (hWnd == m_hWnd) hWnd = nullptr;
    while (hWnd && (::GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD)) hWnd = ::GetParent(hWnd);
    if (hWnd && !::IsWindow(hWnd)) hWnd = nullptr;
    return hWnd;
}

INT_PTR CDialog::DoModal() {
    HINSTANCE hInst = AfxGetResourceHandle();
    LPCDLGTEMPLATE lpTemplate = m_lpDialogTemplate;
    if (!lpTemplate) lpTemplate = LoadTemplate(m_lpszTemplateName, &hInst);
    if (!lpTemplate) return -1;
    HWND hWndOwner = PreModal();
    BOOL bEnableOwner = FALSE;
    if (hWndOwner && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        bEnableOwner = TRUE;
    }
    m_nModalResult = -1;
    m_nFlags |= WF_CONTINUEMODAL;
    if (CreateDlgIndirect(lpTemplate, hWndOwner, hInst) && (m_nFlags & WF_CONTINUEMODAL)) {
        DWORD dwFlags = MLF_SHOWONIDLE;
        if (GetStyle() & DS_NOIDLEMSG) dwFlags |= MLF_NOIDLEMSG;
        RunModalLoop(dwFlags);
    }
    m_nFlags &= ~WF_CONTINUEMODAL;
    // Hide first, so enabling the owner does not flash it behind us.
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (bEnableOwner) ::EnableWindow(hWndOwner, TRUE);
    if (hWndOwner && m_hWnd && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(hWndOwner);
    if (m_hWnd) DestroyWindow();
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL)) EndModalLoop(nResult);
    else m_nModalResult = nResult;
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    // Controls get their values (and DDX_Control its subclassing) before showing.
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    if (!m_hWnd) return FALSE;
    return PreTranslateInput(pMsg);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    // Commands nobody in the dialog handles may still be the application's.
    if ((UINT)nCode != CN_COMMAND && (UINT)nCode != CN_UPDATE_COMMAND_UI) return FALSE;
    CWinApp* pApp = AfxGetApp();
    return pApp && pApp->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}
