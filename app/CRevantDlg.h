// The recovery program's one top-level window: hosts the wizard pages as
// child dialogs, one at a time, with the page table and a history for Back.
#pragma once

#include <afxwin.h>

#include <map>

#include "CWizardHost.h"
#include "PageFlow.h"

class CWizardPage;
class CSBRMgr;

enum PendingOperation {
    PENDING_NONE = 0,
    PENDING_FACTORY_RESET = 1,
    PENDING_SYSTEM_RECOVERY = 2,
};

class CRevantDlg : public CDialog, public CWizardHost {
public:
    explicit CRevantDlg(CWnd* pParent = nullptr);
    ~CRevantDlg() override;

    HRESULT RegisterPage(UINT nPageId, CWizardPage* pPage);
    int GetFlowPageId(int nPageId, int nColumn) const override { return FlowPageId(nPageId, nColumn); }
    CWizardPage* CreatePage(UINT nPageId);
    HRESULT GoToPage(UINT nPageId, BOOL bAddHistory) override;
    void SetPendingOperation(int nOperation) { m_nPendingOperation = nOperation; }
    int GetPendingOperation() const { return m_nPendingOperation; }
    void PopHistoryUntil(int nPageId) { m_oHistory.PopUntil(nPageId); }
    // Origin of the newest move (Back's fall-back); PAGE_NONE when none.
    int GetLastFromPageId() const override { return m_oHistory.LastFrom(); }
    // Target of the newest move; PAGE_NONE when none.
    int GetLastHistoryTarget() const { return m_oHistory.LastTo(); }
    const CPageHistory& History() const { return m_oHistory; }
    CWizardPage* CurrentPage() const { return m_pCurPage; }

    BOOL GoToSpecialPage();
    void DeleteRecoveryTypeFlags();
    BOOL CheckACPower();
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Windows PE's Alt+D, Alt+X and Alt+Q; TRUE when the message was one.
    BOOL HandlePEHotKey(MSG* pMsg);
    // What the pages ask of their host.
    void OnPageCancel() override;
    BOOL HandlePageHotKey(MSG* pMsg) override { return HandlePEHotKey(pMsg); }
    Gdiplus::Image* GetPageImage(const CString& strRelPath) override;
    BOOL IsPageRTL() const override;
    DWORD GetPageVendor() const override;
    CString GetDSCAppName() override;
    // The page class of an id, made but not created; null for an id without one.
    static CWizardPage* NewPage(UINT nPageId);

protected:
    BOOL OnInitDialog() override;
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnClose();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnNcLButtonDown(UINT nHitTest, CPoint point);
    afx_msg void OnNcRButtonDown(UINT nHitTest, CPoint point);
    afx_msg UINT OnPowerBroadcast(UINT nPowerEvent, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    CSBRMgr* Controller() const;
    void SkinUnderWinPE();
    void FitToBackground();
    void ShowFirstPage();
    BOOL RunOutsideProgramAndQuit(const wchar_t* pwszFile, const wchar_t* pwszParameters, const wchar_t* pwszDoneLine);
    BOOL RunDiscCreatorAndQuit();
    BOOL ShowRecoveryReport();
    bool MayMoveWindow() const { return !m_bWinPE && !m_bKioskMode; }

    HICON m_hIcon;
    std::map<UINT, CWizardPage*> m_mapPages;
    CWizardPage* m_pCurPage = nullptr;
    int m_nPendingOperation = PENDING_NONE;
    CPageHistory m_oHistory;
    BOOL m_bWinPE = FALSE;
    BOOL m_bKioskMode = FALSE;
    CRect m_rcWindow;
};
