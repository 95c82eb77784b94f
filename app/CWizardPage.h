// The base of every wizard page of both programs: background, logos, title
// and three text blocks at fixed places, the Back, Next and Cancel buttons in
// the bottom right corner, a generic child layout, and Back, Next and
// Cancel through the host.
#pragma once

#include <afxwin.h>

#include <vector>

#include "CAlphaButton.h"
#include "CPageBitmapDC.h"
#include "CWizardHost.h"

namespace Gdiplus {
class Image;
}

const int IDT_PAGE_MAIN = 9547;
const int IDT_PAGE_AUX = 89757;
const int LAYOUT_KEEP_TEXT = -17;

struct LayoutItem {
    int ctrlId;
    int left;
    int top;
    int right;
    int bottom;
    int textId;
    int autoWidth;
};

class CWizardPage : public CDialog {
    DECLARE_DYNAMIC(CWizardPage)
public:
    explicit CWizardPage(UINT nPageId, CWnd* pParent = nullptr);
    ~CWizardPage() override;
    CWizardPage(const CWizardPage&) = delete;
    CWizardPage& operator=(const CWizardPage&) = delete;

    using CDialog::Create;
    // Every page stores its id and creates its dialog from that template.
    virtual BOOL Create(CWnd* pHostWnd);
    virtual void LayoutControls();
    virtual void InitControls() {}
    virtual void DrawContent(CDC* /*pDC*/) {}

    BOOL PreTranslateMessage(MSG* pMsg) override;

    void SetPageTexts(UINT nTitle, UINT nText1, UINT nText2, UINT nText3);
    void SetPageTextStrings(LPCWSTR pwszTitle, LPCWSTR pwszText1, LPCWSTR pwszText2, LPCWSTR pwszText3);
    void AddControlLayout(int nCtrlId, int nLeft, int nTop, int nRight, int nBottom, int nTextId, int nAutoWidth);
    void SetCtrlTextAndRedraw(CWnd* pCtrl, CString strText);
    void EnableCloseBox(BOOL bEnable);
    static CString FormatSize(ULONGLONG ullBytes);

    int m_nTimerMain = IDT_PAGE_MAIN;
    int m_nTimerAux = IDT_PAGE_AUX;
    BOOL m_bWinPE = FALSE;
    int m_nPageId;
    CWizardHost* m_pHost = nullptr;
    std::vector<LayoutItem> m_vecLayout;
    CString m_strTitle, m_strText1, m_strText2, m_strText3;
    COLORREF m_crText = RGB(255, 255, 255);
    CFont m_fontTitle;
    CFont m_fontHeading;
    CFont m_fontText;
    Gdiplus::Image* m_pImgBackground = nullptr;
    Gdiplus::Image* m_pImgBrandLogo = nullptr;
    Gdiplus::Image* m_pImgMakerLogo = nullptr;
    CPageBitmapDC m_dcBackground;
    CPageBitmapDC m_dcBrandLogo;
    CPageBitmapDC m_dcMakerLogo;
    CAlphaButton m_btnBack;
    CAlphaButton m_btnNext;
    CAlphaButton m_btnCancel;

    afx_msg void OnBnClickedBack();
    afx_msg void OnBnClickedNext();
    afx_msg void OnBnClickedCancel();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    afx_msg void OnPaint();
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    // The picture of the program folder through the host's cache; null without a host.
    Gdiplus::Image* PageImage(LPCWSTR pwszRelPath);
    DECLARE_MESSAGE_MAP()

private:
    void LoadImages();
    void CreateFonts();
    void CreateNavButtons();
    void ApplyLayoutItem(const LayoutItem& item);
    void ApplyControlLooks();
};
