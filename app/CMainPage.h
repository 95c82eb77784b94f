// The base of the two welcome menus: three tiles side by side, each with an
// icon, a heading and a list of links that fold out a detail panel. The
// navigation buttons give way to a contact button.
#pragma once

#include "CStartPanel.h"
#include "CWizardPage.h"

struct LinkRow {
    int arrowId;
    int linkId;
    int detailTextId;
};

class CMainPage : public CWizardPage {
    DECLARE_DYNAMIC(CMainPage)
public:
    explicit CMainPage(UINT nPageId, CWnd* pParent = nullptr);
    ~CMainPage() override;

    void CreateLinkList(int nTile, int nCount, CAlphaButton* pArrows, CAlphaButton* pLinks, CStartPanel* pPanel,
                        const LinkRow* pRows);
    void UpdateLinkList(int nTile, int nItem, int nCount, CAlphaButton* pArrows, CAlphaButton* pLinks,
                        CStartPanel* pPanel, const LinkRow* pRows);
    void DrawContent(CDC* pDC) override;
    void LayoutControls() override {}
    BOOL PreTranslateMessage(MSG* pMsg) override;

    Gdiplus::Image* m_pImgIconHelp = nullptr;
    Gdiplus::Image* m_pImgIconIdentify = nullptr;
    Gdiplus::Image* m_pImgIconPrecaution = nullptr;
    CPageBitmapDC m_dcIconHelp;
    CPageBitmapDC m_dcIconIdentify;
    CPageBitmapDC m_dcIconPrecaution;
    CAlphaButton m_btnContact;
    int m_nLinkListTop = 0;
    int m_nHeadingHeight = 0;

protected:
    BOOL OnInitDialog() override;
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    DECLARE_MESSAGE_MAP()

private:
    void CreateContactButton();
    void MeasureHeadings();
    void LoadMainImages();
    int RestackRows(int nTile, int nItem, int nCount, CAlphaButton* pArrows, CAlphaButton* pLinks,
                    std::vector<int>& vecTops);
};
