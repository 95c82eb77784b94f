// The one button of both programs: paints a frame of a PNG face strip by
// its state, a text in a per-state colour, and does its own click, check
// and radio-group logic. Its parent repaints the area under it first, so the
// page background shows through the face.
#pragma once

#include <afxwin.h>

namespace Gdiplus {
class Image;
}

enum AlphaButtonState {
    ABS_NORMAL = 0,
    ABS_HOVER = 1,
    ABS_PRESSED = 2,
    ABS_DISABLED = 3,
};

// The strip frame drawn for a state: |base - state|, base by kind and check.
int AlphaButtonFrameIndex(BOOL bToggle, int nCheck, int nState, int nBasePush, int nBaseUnchecked, int nBaseChecked);
// Check boxes and radio buttons toggle; every other style is a push button.
BOOL IsToggleButtonStyle(DWORD dwStyle);

class CAlphaButton : public CButton {
    DECLARE_DYNAMIC(CAlphaButton)
public:
    CAlphaButton();
    ~CAlphaButton() override;
    CAlphaButton(const CAlphaButton&) = delete;
    CAlphaButton& operator=(const CAlphaButton&) = delete;

    BOOL LoadFaceImage(LPCWSTR pwszRelPath, BOOL bAllowMirror);
    void SetTextMargins(int x, int y, BOOL bCenterH, BOOL bCenterV);
    void SetTextColor(COLORREF cr);
    void SetLinkStyle(BOOL bLink) { m_bLinkStyle = bLink; }
    void SetButtonFont(CFont* pFont);
    void SetButtonText(LPCWSTR pwszText);
    void EnableButton(BOOL bEnable);
    void SizeToText(int nCapWidth);
    void FitHeightToText();
    void SetRTL(BOOL bRTL);

    int GetState() const { return m_nState; }
    int GetFrameIndex() const;
    int GetFrameWidth() const { return m_nFrameWidth; }
    BOOL IsToggle() const { return m_bToggle; }

    COLORREF m_crTextNormal = RGB(255, 255, 255);
    COLORREF m_crTextHover = RGB(255, 255, 255);
    COLORREF m_crTextPressed = RGB(255, 255, 255);
    COLORREF m_crTextDisabled = RGB(100, 100, 100);
    int m_nInsetX = 0;
    int m_nInsetY = 0;

protected:
    void PreSubclassWindow() override;
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnPaint();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnMouseLeave();
    afx_msg void OnEnable(BOOL bEnable);
    afx_msg LRESULT OnSetCheck(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnGetCheck(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ReplaceFace(Gdiplus::Image* pFace, BOOL bAllowMirror);
    void ApplyMirror();
    void ResizeToFace();
    void RepaintParentArea();
    void DrawFace(HDC hDC);
    void DrawLabel(CDC& dc);
    void CalcTextPosition(CDC& dc, const CString& strText);
    void SetUnderline(BOOL bUnderline);
    void UncheckGroup();
    BYTE ButtonType() const;
    COLORREF StateColor() const;

    Gdiplus::Image* m_pImgFace = nullptr;
    int m_nState = ABS_NORMAL;
    BOOL m_bToggle = FALSE;
    int m_nCheck = 0;
    BOOL m_bAutoRadio = FALSE;
    int m_nTextX = 0;
    int m_nTextY = 0;
    BOOL m_bCenterH = TRUE;
    BOOL m_bCenterV = TRUE;
    CFont m_font;
    UINT m_nTextFormat = DT_WORDBREAK;
    int m_nFrameWidth = 0;
    int m_nImageHeight = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    BOOL m_bRTL = FALSE;
    BOOL m_bAllowMirror = FALSE;
    BOOL m_bFaceFlipped = FALSE;
    int m_nFrameBasePush = 0;
    int m_nFrameBaseUnchecked = 0;
    int m_nFrameBaseChecked = -4;
    int m_nCapWidth = 0;
    BOOL m_bLinkStyle = FALSE;
};
