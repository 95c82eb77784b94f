#include "CAlphaButton.h"

#include <gdiplus.h>

#include <cstdlib>

#include "PageSizing.h"

namespace {
const UINT IDS_TEXT_SIZE = 9003;
const int kPushFrames = 4;
const int kToggleFrames = 8;
const int kCheckedOffset = 4;
const int kMirroredBasePush = 3;
const int kMirroredBaseUnchecked = 3;
const int kMirroredBaseChecked = 7;
const int kPlainBaseChecked = -4;
const int kTextPadding = 20;
const int kToggleTextGap = 10;
const int kPressedShift = 2;
const int kFitHeightExtra = 4;
const int kIconSize = 16;
const int kIconX = 4;
const int kToggleTextY = 2;
const wchar_t kCheckFace[] = L"Image\\btn_check.png";
const wchar_t kRadioFace[] = L"Image\\btn_radio.png";

Gdiplus::Image* LoadImageFile(LPCWSTR pwszRelPath)
{
    CString strPath = ProgramFolderPath(pwszRelPath);
    return new Gdiplus::Image(strPath.IsEmpty() ? L"" : strPath.GetString(), TRUE);
}

bool FaceUsable(Gdiplus::Image* pImage)
{
    return pImage && pImage->GetLastStatus() == Gdiplus::Ok && pImage->GetWidth() > 0;
}
} // namespace

int AlphaButtonFrameIndex(BOOL bToggle, int nCheck, int nState, int nBasePush, int nBaseUnchecked, int nBaseChecked)
{
    int nBase = !bToggle ? nBasePush : (nCheck ? nBaseChecked : nBaseUnchecked);
    return std::abs(nBase - nState);
}

BOOL IsToggleButtonStyle(DWORD dwStyle)
{
    switch (dwStyle & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return TRUE;
    default:
        return FALSE;
    }
}

IMPLEMENT_DYNAMIC(CAlphaButton, CButton)

BEGIN_MESSAGE_MAP(CAlphaButton, CButton)
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSELEAVE()
    ON_WM_ENABLE()
    ON_MESSAGE(BM_SETCHECK, OnSetCheck)
    ON_MESSAGE(BM_GETCHECK, OnGetCheck)
END_MESSAGE_MAP()

CAlphaButton::CAlphaButton() { CreateFrameFont(m_font, IDS_TEXT_SIZE); }

CAlphaButton::~CAlphaButton() { delete m_pImgFace; }

BYTE CAlphaButton::ButtonType() const { return static_cast<BYTE>(GetStyle() & BS_TYPEMASK); }

void CAlphaButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    m_bToggle = IsToggleButtonStyle(GetStyle());
    if (!m_bToggle)
        return;
    BYTE bType = ButtonType();
    if (bType == BS_CHECKBOX || bType == BS_AUTOCHECKBOX) {
        ReplaceFace(LoadImageFile(kCheckFace), FALSE);
    } else {
        ReplaceFace(LoadImageFile(kRadioFace), TRUE);
        m_bAutoRadio = bType == BS_AUTORADIOBUTTON;
    }
    SetTextMargins(0, kToggleTextY, FALSE, FALSE);
}

BOOL CAlphaButton::LoadFaceImage(LPCWSTR pwszRelPath, BOOL bAllowMirror)
{
    ReplaceFace(LoadImageFile(pwszRelPath), bAllowMirror);
    return TRUE;
}

// The old face is freed, and a new face is mirrored like the old one was,
// so a face loaded after a switch to right-to-left draws the right frames.
void CAlphaButton::ReplaceFace(Gdiplus::Image* pFace, BOOL bAllowMirror)
{
    delete m_pImgFace;
    m_pImgFace = pFace;
    m_bAllowMirror = bAllowMirror;
    m_bFaceFlipped = FALSE;
    ApplyMirror();
    ResizeToFace();
}

void CAlphaButton::ApplyMirror()
{
    BOOL bMirror = m_bRTL && m_bAllowMirror;
    if (m_pImgFace && bMirror != m_bFaceFlipped && m_pImgFace->RotateFlip(Gdiplus::RotateNoneFlipX) == Gdiplus::Ok)
        m_bFaceFlipped = bMirror;
    m_nFrameBasePush = bMirror ? kMirroredBasePush : 0;
    m_nFrameBaseUnchecked = bMirror ? kMirroredBaseUnchecked : 0;
    m_nFrameBaseChecked = bMirror ? kMirroredBaseChecked : kPlainBaseChecked;
}

void CAlphaButton::SetRTL(BOOL bRTL)
{
    if ((bRTL != FALSE) == (m_bRTL != FALSE))
        return;
    m_bRTL = bRTL;
    ApplyMirror();
}

void CAlphaButton::ResizeToFace()
{
    if (FaceUsable(m_pImgFace)) {
        m_nFrameWidth = static_cast<int>(m_pImgFace->GetWidth()) / (m_bToggle ? kToggleFrames : kPushFrames);
        m_nImageHeight = static_cast<int>(m_pImgFace->GetHeight());
    }
    if (!GetSafeHwnd())
        return;
    CRect rc;
    GetWindowRect(&rc);
    m_nWidth = rc.Width() > 0 ? rc.Width() : m_nFrameWidth;
    m_nHeight = rc.Height() > 0 ? rc.Height() : m_nImageHeight;
    SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CAlphaButton::GetFrameIndex() const
{
    return AlphaButtonFrameIndex(m_bToggle, m_nCheck, m_nState, m_nFrameBasePush, m_nFrameBaseUnchecked,
                                 m_nFrameBaseChecked);
}

void CAlphaButton::SetTextMargins(int x, int y, BOOL bCenterH, BOOL bCenterV)
{
    m_nTextX = x;
    m_nTextY = y;
    m_bCenterH = bCenterH;
    m_bCenterV = bCenterV;
}

void CAlphaButton::SetTextColor(COLORREF cr) { m_crTextNormal = m_crTextHover = m_crTextPressed = cr; }

void CAlphaButton::SetButtonFont(CFont* pFont)
{
    LOGFONTW lf = {};
    if (!pFont || !pFont->GetLogFont(&lf))
        return;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
}

void CAlphaButton::SetButtonText(LPCWSTR pwszText)
{
    SetWindowText(pwszText);
    RepaintParentArea();
}

void CAlphaButton::EnableButton(BOOL bEnable)
{
    if ((m_nState != ABS_DISABLED) == (bEnable != FALSE))
        return;
    m_nState = bEnable ? ABS_NORMAL : ABS_DISABLED;
    EnableWindow(bEnable);
    RepaintParentArea();
}

void CAlphaButton::SizeToText(int nCapWidth)
{
    m_nCapWidth = nCapWidth;
    CString strText;
    GetWindowText(strText);
    CClientDC dc(this);
    CFont* pOld = dc.SelectObject(&m_font);
    CSize size = dc.GetTextExtent(strText);
    dc.SelectObject(pOld);
    if (m_nWidth < size.cx + kTextPadding)
        m_nWidth = size.cx + kTextPadding;
    SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAlphaButton::FitHeightToText()
{
    CString strText;
    GetWindowText(strText);
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    CRect rc(0, 0, rcWnd.Width() - 2 * m_nInsetX, rcWnd.Height() - 2 * m_nInsetY);
    CClientDC dc(this);
    CFont* pOld = dc.SelectObject(&m_font);
    dc.DrawText(strText, &rc, DT_CALCRECT | DT_WORDBREAK);
    dc.SelectObject(pOld);
    m_nWidth = rcWnd.Width();
    m_nHeight = rc.Height() + kFitHeightExtra;
    SetWindowPos(nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CAlphaButton::RepaintParentArea()
{
    if (GetSafeHwnd())
        RepaintUnder(this);
}

BOOL CAlphaButton::OnEraseBkgnd(CDC*) { return TRUE; }

void CAlphaButton::OnPaint()
{
    CPaintDC dc(this);
    if (m_pImgFace) {
        CRect rc;
        GetClientRect(&rc);
        m_nWidth = rc.Width();
        m_nHeight = rc.Height();
        DrawFace(dc.GetSafeHdc());
    }
    dc.SetBkMode(TRANSPARENT);
    DrawLabel(dc);
}

void CAlphaButton::DrawFace(HDC hDC)
{
    if (!FaceUsable(m_pImgFace) || m_nFrameWidth <= 0)
        return;
    Gdiplus::Graphics g(hDC);
    const int f = GetFrameIndex();
    const int fw = m_nFrameWidth;
    const int h = m_nImageHeight;
    const int c = m_nCapWidth;
    auto draw = [&](int dx, int dy, int dw, int dh, int sx, int sw) {
        g.DrawImage(m_pImgFace, Gdiplus::Rect(dx, dy, dw, dh), sx, 0, sw, h, Gdiplus::UnitPixel);
    };
    if (m_bToggle) {
        draw(m_bRTL ? m_nWidth - fw : 0, 0, fw, h, f * fw, fw);
    } else if (c > 0 && fw > 2 * c) {
        draw(0, 0, c, m_nHeight, f * fw, c);
        draw(c, 0, m_nWidth - 2 * c, m_nHeight, f * fw + c, fw - 2 * c);
        draw(m_nWidth - c, 0, c, m_nHeight, (f + 1) * fw - c, c);
    } else {
        draw(0, 0, m_nWidth, m_nHeight, f * fw, fw);
    }
}

COLORREF CAlphaButton::StateColor() const
{
    switch (m_nState) {
    case ABS_HOVER: return m_crTextHover;
    case ABS_PRESSED: return m_crTextPressed;
    case ABS_DISABLED: return m_crTextDisabled;
    default: return m_crTextNormal;
    }
}

void CAlphaButton::DrawLabel(CDC& dc)
{
    CString strText;
    GetWindowText(strText);
    int nShift = (!m_bToggle && m_nState == ABS_PRESSED) ? kPressedShift : 0;
    if (!strText.IsEmpty()) {
        COLORREF crOld = dc.SetTextColor(StateColor());
        CFont* pOld = dc.SelectObject(&m_font);
        CalcTextPosition(dc, strText);
        CRect rc(m_nInsetX + m_nTextX, m_nInsetY + m_nTextY + nShift, m_nWidth - m_nInsetX, m_nHeight - m_nInsetY);
        dc.DrawText(strText, &rc, m_nTextFormat);
        dc.SelectObject(pOld);
        dc.SetTextColor(crOld);
    }
    HICON hIcon = GetIcon();
    if (hIcon)
        ::DrawIconEx(dc.GetSafeHdc(), kIconX, nShift + m_nTextY, hIcon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
}

void CAlphaButton::CalcTextPosition(CDC& dc, const CString& strText)
{
    m_nTextX = m_nTextY = 0;
    CSize size = dc.GetTextExtent(strText);
    bool bMultiLine = strText.Find(L'\n') >= 0;
    int x = 0;
    if (m_bCenterH)
        x = size.cx >= m_nWidth ? 0 : (m_nWidth - size.cx) / 2;
    else if (m_bToggle)
        x = m_nFrameWidth + kToggleTextGap;
    int y = 0;
    if (m_bCenterV) {
        if (bMultiLine || size.cx > m_nWidth - x) {
            CRect rc(0, 0, m_nWidth - x, m_nHeight);
            dc.DrawText(strText, &rc, DT_CALCRECT | DT_WORDBREAK);
            y = rc.Height() > m_nHeight ? 0 : (m_nHeight - rc.Height()) / 2;
        } else {
            y = size.cy >= m_nHeight ? 0 : (m_nHeight - size.cy) / 2;
        }
    }
    m_nTextX = x;
    m_nTextY = y;
}

void CAlphaButton::SetUnderline(BOOL bUnderline)
{
    LOGFONTW lf = {};
    if (!m_font.GetLogFont(&lf))
        return;
    lf.lfUnderline = bUnderline ? 1 : 0;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&lf);
}

void CAlphaButton::OnLButtonDown(UINT, CPoint)
{
    m_nState = ABS_PRESSED;
    RepaintParentArea();
}

void CAlphaButton::OnMouseMove(UINT, CPoint)
{
    POINT pt = {};
    ::GetCursorPos(&pt);
    if (::WindowFromPoint(pt) == m_hWnd) {
        if (m_nState != ABS_NORMAL)
            return;
        m_nState = ABS_HOVER;
        if (m_bLinkStyle)
            SetUnderline(TRUE);
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&tme);
    } else {
        m_nState = ABS_NORMAL;
        ::ReleaseCapture();
    }
    RepaintParentArea();
}

void CAlphaButton::OnMouseLeave()
{
    if (m_nState == ABS_DISABLED)
        return;
    m_nState = ABS_NORMAL;
    if (m_bLinkStyle)
        SetUnderline(FALSE);
    RepaintParentArea();
}

void CAlphaButton::OnLButtonUp(UINT, CPoint)
{
    if (m_nState != ABS_PRESSED)
        return;
    if (m_bToggle) {
        m_nState = ABS_HOVER;
        BYTE bType = ButtonType();
        if (bType == BS_CHECKBOX || bType == BS_AUTOCHECKBOX)
            m_nCheck = m_nCheck ? 0 : 1;
        else
            m_nCheck = 1;
        OnSetCheck(static_cast<WPARAM>(m_nCheck), 0);
    } else {
        m_nState = ABS_NORMAL;
    }
    CWnd* pParent = GetParent();
    if (pParent)
        pParent->PostMessage(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CAlphaButton::OnSetCheck(WPARAM wParam, LPARAM)
{
    if (!m_bToggle)
        return 0;
    m_nCheck = static_cast<int>(wParam);
    if (m_nCheck && m_bAutoRadio)
        UncheckGroup();
    m_nState = ABS_NORMAL;
    RepaintParentArea();
    return 0;
}

LRESULT CAlphaButton::OnGetCheck(WPARAM, LPARAM) { return m_nCheck; }

// The group walk stops when it comes back, ends or repeats a window.
void CAlphaButton::UncheckGroup()
{
    HWND hParent = ::GetParent(m_hWnd);
    if (!hParent)
        return;
    const int kMaxGroup = 256;
    HWND visited[kMaxGroup] = {};
    int nVisited = 0;
    for (HWND h = ::GetNextDlgGroupItem(hParent, m_hWnd, FALSE); h && h != m_hWnd && nVisited < kMaxGroup;
         h = ::GetNextDlgGroupItem(hParent, h, FALSE)) {
        for (int i = 0; i < nVisited; ++i)
            if (visited[i] == h)
                return;
        visited[nVisited++] = h;
        ::SendMessageW(h, BM_SETCHECK, 0, 0);
    }
}

void CAlphaButton::OnEnable(BOOL bEnable)
{
    int nNew = bEnable ? ABS_NORMAL : ABS_DISABLED;
    if (nNew == m_nState)
        return;
    m_nState = nNew;
    Default();
    RepaintParentArea();
}
