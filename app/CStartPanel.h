// The detail panel under a main-page link: a stretched background, a
// word-wrapped description and a start button that sends the row's command.
#pragma once

#include "CAlphaButton.h"
#include "CAlphaStatic.h"

class CStartPanel : public CAlphaStatic {
    DECLARE_DYNAMIC(CStartPanel)
public:
    CStartPanel();
    ~CStartPanel() override;
    CStartPanel(const CStartPanel&) = delete;
    CStartPanel& operator=(const CStartPanel&) = delete;

    // Sets the description and sizes the panel's height to it.
    void SetText(LPCWSTR pwszText);

    int m_nCommandId = 0;
    int m_nTextMargin = 5;
    CAlphaButton m_btnStart;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnPaint();
    afx_msg void OnStartClicked();
    DECLARE_MESSAGE_MAP()

private:
    Gdiplus::Image* m_pImgPanelBg = nullptr;
    CFont m_fontPanel;
};
