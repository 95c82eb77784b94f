#include "PageSizing.h"

#include <cwchar>

namespace {
const UINT IDS_FONT_FACE = 9000;
const double kBaseDpi = 96.0;
const int kTenthsPerPoint = 10;
const UINT kMaxStringId = 0xFFFF;
}

double GetDPIScale()
{
    HDC hDC = ::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (!hDC)
        return 1.0;
    int nDpi = ::GetDeviceCaps(hDC, LOGPIXELSX);
    ::DeleteDC(hDC);
    return nDpi > 0 ? kBaseDpi / nDpi : 1.0;
}

CString LoadFrameString(UINT nId)
{
    CString str;
    if (!str.LoadString(nId))
        str.Empty();
    return str;
}

int FontPointsFromString(UINT nSizeStringId)
{
    CString str = LoadFrameString(nSizeStringId);
    int nPoints = 0;
    for (int i = 0; i < str.GetLength() && iswdigit(str[i]) && nPoints < 10000; ++i)
        nPoints = nPoints * 10 + (str[i] - L'0');
    return nPoints;
}

BOOL CreateFrameFont(CFont& font, UINT nSizeStringId, LONG nWeight)
{
    font.DeleteObject();
    int nTenths = static_cast<int>(FontPointsFromString(nSizeStringId) * kTenthsPerPoint * GetDPIScale());
    CString strFace = LoadFrameString(IDS_FONT_FACE);
    if (!font.CreatePointFont(nTenths, strFace))
        return FALSE;
    if (nWeight == FW_NORMAL)
        return TRUE;
    LOGFONTW lf = {};
    font.GetLogFont(&lf);
    lf.lfWeight = nWeight;
    font.DeleteObject();
    return font.CreateFontIndirect(&lf);
}

CString ProgramFolderPath(LPCWSTR pwszRelPath)
{
    wchar_t wszPath[MAX_PATH] = L"";
    DWORD n = ::GetModuleFileNameW(nullptr, wszPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return CString();
    CString strPath(wszPath);
    strPath = strPath.Left(strPath.ReverseFind(L'\\') + 1) + pwszRelPath;
    return strPath.GetLength() < MAX_PATH ? strPath : CString();
}

void SetWindowTextAutoSize(CWnd* pWnd, LPCWSTR pwszTextOrId)
{
    if (!pWnd || !pWnd->GetSafeHwnd())
        return;
    CString strText;
    if (IS_INTRESOURCE(pwszTextOrId) && pwszTextOrId != nullptr)
        strText = LoadFrameString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(pwszTextOrId) & kMaxStringId));
    else if (pwszTextOrId)
        strText = pwszTextOrId;
    if (strText.IsEmpty())
        pWnd->GetWindowText(strText);
    CSize size = TextExtentInWindowFont(pWnd, strText);
    pWnd->SetWindowPos(nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CSize TextExtentInWindowFont(CWnd* pWnd, const CString& strText)
{
    CClientDC dc(pWnd);
    HFONT hFont = reinterpret_cast<HFONT>(pWnd->SendMessage(WM_GETFONT));
    HGDIOBJ hOld = hFont ? ::SelectObject(dc.GetSafeHdc(), hFont) : nullptr;
    SIZE size = {};
    ::GetTextExtentPoint32W(dc.GetSafeHdc(), strText, strText.GetLength(), &size);
    if (hOld)
        ::SelectObject(dc.GetSafeHdc(), hOld);
    return CSize(size.cx, size.cy);
}

CRect RectInParent(CWnd* pWnd)
{
    CRect rc;
    pWnd->GetWindowRect(&rc);
    CWnd* pParent = pWnd->GetParent();
    if (pParent)
        pParent->ScreenToClient(&rc);
    return rc;
}

void RepaintUnder(CWnd* pWnd)
{
    CWnd* pParent = pWnd->GetParent();
    if (!pParent)
        return;
    CRect rc = RectInParent(pWnd);
    pParent->InvalidateRect(&rc, TRUE);
    pParent->UpdateWindow();
}
