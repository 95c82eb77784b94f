// The least of the page base the host needs: a child dialog from the page's
// own template, a pointer back to the host, and default Back, Next and
// Cancel buttons that follow the host's page table and history.
#pragma once

#include <afxwin.h>

class CRevantDlg;

class CWizardPage : public CDialog {
public:
    explicit CWizardPage(UINT nPageId, CWnd* pParent = nullptr);
    ~CWizardPage() override;

    using CDialog::Create;
    // Creates the page's window from its template, a child of the host.
    virtual BOOL Create(CWnd* pParentWnd);

    CRevantDlg* m_pHost = nullptr;
    int m_nPageId;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    afx_msg void OnBnClickedBack();
    afx_msg void OnBnClickedNext();
    afx_msg void OnBnClickedCancel();
    DECLARE_MESSAGE_MAP()

private:
    void CreateNavButtons();

    CButton m_btnBack;
    CButton m_btnNext;
    CButton m_btnCancel;
};

// A page no one has built yet: its template shows its id, Back and Next
// follow the page table.
template <int PageId>
class CPlaceholderPage : public CWizardPage {
public:
    explicit CPlaceholderPage(CWnd* pParent = nullptr) : CWizardPage(PageId, pParent) {}
};
