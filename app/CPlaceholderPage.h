// Pages no one has built yet, on the real page base: the look, the title
// (the name their template carries) and the navigation of their place.
#pragma once

#include "CMainPage.h"
#include "CWizardPage.h"

// The template's one static names the page; it becomes the title.
const int IDC_PLACEHOLDER_NAME = 1330;

template <typename Base, int PageId>
class CPlaceholderOf : public Base {
public:
    explicit CPlaceholderOf(CWnd* pParent = nullptr) : Base(PageId, pParent) {}

    BOOL Create(CWnd* pHostWnd) override
    {
        this->m_nPageId = PageId;
        return CDialog::Create(static_cast<UINT>(PageId), pHostWnd);
    }

    void InitControls() override
    {
        CWnd* pName = this->GetDlgItem(IDC_PLACEHOLDER_NAME);
        if (!pName)
            return;
        CString strName;
        pName->GetWindowText(strName);
        pName->ShowWindow(SW_HIDE);
        this->SetPageTextStrings(strName, nullptr, nullptr, nullptr);
    }
};

template <int PageId>
using CPlaceholderPage = CPlaceholderOf<CWizardPage, PageId>;
template <int PageId>
using CPlaceholderMainPage = CPlaceholderOf<CMainPage, PageId>;
