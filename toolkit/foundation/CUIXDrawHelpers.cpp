#include "CUIXDrawHelpers.h"
#include "CUIXExitSingleton.h"
#include "CUIXColorManager.h"
#include "CUIXSystemVersion.h"
#include "CUIXPenDC.h"
#include "CUIXBrushDC.h"
#include <algorithm>
#include <cstdlib>

namespace {
const int kVertexShift = 8; // a channel fills the high byte of a vertex colour
}

CUIXDrawHelpers::CUIXDrawHelpers() {
    m_hMsImg32 = ::LoadLibraryW(L"msimg32.dll");
    if (m_hMsImg32)
        m_pfnGradientFill = reinterpret_cast<decltype(m_pfnGradientFill)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(m_hMsImg32, "GradientFill")));
}

CUIXDrawHelpers::~CUIXDrawHelpers() {
    if (m_hMsImg32) ::FreeLibrary(m_hMsImg32);
}

BOOL CUIXDrawHelpers::CallGradientFill(HDC hdc, PTRIVERTEX pVertices, ULONG nVertices, PVOID pMesh, ULONG nMeshes,
                                       ULONG mode) {
    return m_pfnGradientFill ? m_pfnGradientFill(hdc, pVertices, nVertices, pMesh, nMeshes, mode) : FALSE;
}

void CUIXDrawHelpers::GradientFill(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz) {
    if (!lpRect || ::IsRectEmpty(lpRect)) return;
    if (IsLowResolution(pDC->GetSafeHdc()) || crFrom == crTo) {
        pDC->FillSolidRect(lpRect, crFrom);
        return;
    }
    if (m_pfnGradientFill) GradientFillFast(pDC, lpRect, crFrom, crTo, bHorz);
    else GradientFillSlow(pDC, lpRect, crFrom, crTo, bHorz);
}

void CUIXDrawHelpers::GradientFillFast(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz) {
    TRIVERTEX vert[2] = {};
    vert[0].x = lpRect->left;
    vert[0].y = lpRect->top;
    vert[0].Red = (COLOR16)(GetRValue(crFrom) << kVertexShift);
    vert[0].Green = (COLOR16)(GetGValue(crFrom) << kVertexShift);
    vert[0].Blue = (COLOR16)(GetBValue(crFrom) << kVertexShift);
    vert[1].x = lpRect->right;
    vert[1].y = lpRect->bottom;
    vert[1].Red = (COLOR16)(GetRValue(crTo) << kVertexShift);
    vert[1].Green = (COLOR16)(GetGValue(crTo) << kVertexShift);
    vert[1].Blue = (COLOR16)(GetBValue(crTo) << kVertexShift);
    GRADIENT_RECT mesh = {0, 1};
    CallGradientFill(pDC->GetSafeHdc(), vert, 2, &mesh, 1, bHorz ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

void CUIXDrawHelpers::GradientFillSlow(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz) {
    CRect rc(lpRect), clip;
    pDC->GetClipBox(&clip);
    CRect area = rc;
    if (!clip.IsRectEmpty()) area.IntersectRect(&rc, &clip);
    if (bHorz) {
        int w = rc.Width() > 0 ? rc.Width() : 1;
        for (int x = area.left; x < area.right; ++x)
            pDC->FillSolidRect(x, area.top, 1, area.Height(), BlendColors(crFrom, crTo, 1.0f - (float)(x - rc.left) / w));
        return;
    }
    int h = rc.Height() > 0 ? rc.Height() : 1;
    for (int y = area.top; y < area.bottom; ++y)
        pDC->FillSolidRect(area.left, y, area.Width(), 1, BlendColors(crFrom, crTo, 1.0f - (float)(y - rc.top) / h));
}

void CUIXDrawHelpers::GradientFillClip(CDC* pDC, LPCRECT lpRect, COLORREF crFrom, COLORREF crTo, BOOL bHorz,
                                       LPCRECT lpClip) {
    if (!lpClip) {
        GradientFill(pDC, lpRect, crFrom, crTo, bHorz);
        return;
    }
    CRect rc(lpRect);
    const CRect clip(lpClip);
    COLORREF from = crFrom, to = crTo;
    if (bHorz) {
        rc.top = std::max(rc.top, clip.top);
        rc.bottom = std::min(rc.bottom, clip.bottom);
        if (clip.right <= lpRect->left || clip.left >= lpRect->right) return;
        float width = (float)(lpRect->right - lpRect->left);
        if (rc.left < clip.left) {
            rc.left = clip.left;
            from = BlendColors(crFrom, crTo, (float)(lpRect->right - clip.left) / width);
        }
        if (rc.right > clip.right) {
            rc.right = clip.right;
            to = BlendColors(crFrom, crTo, (float)(lpRect->right - clip.right) / width);
        }
    } else {
        rc.left = std::max(rc.left, clip.left);
        rc.right = std::min(rc.right, clip.right);
        if (clip.bottom <= lpRect->top || clip.top >= lpRect->bottom) return;
        float height = (float)(lpRect->bottom - lpRect->top);
        if (rc.top < clip.top) {
            rc.top = clip.top;
            from = BlendColors(crFrom, crTo, (float)(lpRect->bottom - clip.top) / height);
        }
        if (rc.bottom > clip.bottom) {
            rc.bottom = clip.bottom;
            to = BlendColors(crFrom, crTo, (float)(lpRect->bottom - clip.bottom) / height);
        }
    }
    GradientFill(pDC, rc, from, to, bHorz);
}

void CUIXDrawHelpers::GradientFillGradient(CDC* pDC, LPCRECT lpRect, const CUIXPaintManagerColorGradient& grc, BOOL bHorz,
                                           LPCRECT lpClip) {
    COLORREF light = grc.clrLight.GetColor(), dark = grc.clrDark.GetColor();
    if (grc.fGradientFactor == 0.5f) {
        GradientFillClip(pDC, lpRect, light, dark, bHorz, lpClip);
        return;
    }
    COLORREF middle = BlendColors(light, dark, grc.fGradientFactor);
    CRect first(lpRect), second(lpRect);
    if (bHorz) {
        first.right = lpRect->right + (lpRect->right - lpRect->left) / -2;
        second.left = first.right;
    } else {
        first.bottom = lpRect->bottom + (lpRect->bottom - lpRect->top) / -2;
        second.top = first.bottom;
    }
    GradientFillClip(pDC, first, light, middle, bHorz, lpClip);
    GradientFillClip(pDC, second, middle, dark, bHorz, lpClip);
}

COLORREF CUIXDrawHelpers::BlendColors(COLORREF crA, COLORREF crB, float fFactor) {
    auto mix = [fFactor](int a, int b) {
        int v = (int)((float)b * (1.0f - fFactor) + (float)a * fFactor);
        return std::min(v, 255);
    };
    return RGB(mix(GetRValue(crA), GetRValue(crB)), mix(GetGValue(crA), GetGValue(crB)), mix(GetBValue(crA), GetBValue(crB)));
}

void CUIXDrawHelpers::ExcludeCorners(CDC* pDC, const CRect& rc) {
    pDC->ExcludeClipRect(rc.left, rc.top, rc.left + 1, rc.top + 1);
    pDC->ExcludeClipRect(rc.right - 1, rc.top, rc.right, rc.top + 1);
    pDC->ExcludeClipRect(rc.left, rc.bottom - 1, rc.left + 1, rc.bottom);
    pDC->ExcludeClipRect(rc.right - 1, rc.bottom - 1, rc.right, rc.bottom);
}

void CUIXDrawHelpers::StripMnemonicsBuffer(LPWSTR lpszClear) {
    if (!lpszClear || lpszClear == reinterpret_cast<LPWSTR>(-1)) return;
    // Each ampersand is judged by its successor in the original text.
    LPWSTR out = lpszClear;
    for (LPCWSTR in = lpszClear; *in; ++in) {
        if (*in == L'&' && in[1] != L'&') continue;
        *out++ = *in;
    }
    *out = 0;
}

void CUIXDrawHelpers::StripMnemonics(CString& strClear) {
    std::wstring buffer(strClear.GetString());
    StripMnemonicsBuffer(&buffer[0]);
    strClear = buffer.c_str();
}

BOOL CUIXDrawHelpers::IsLowResolution(HDC hDC) { return CUIXColorManager::IsLowResolution(hDC); }

BOOL CUIXDrawHelpers::IsTopParentActive(HWND hWnd) {
    HWND top = hWnd;
    for (HWND next = top; next;) {
        top = next;
        next = (::GetWindowLongW(top, GWL_STYLE) & WS_CHILD) ? ::GetParent(top) : ::GetWindow(top, GW_OWNER);
    }
    return ::GetForegroundWindow() == ::GetLastActivePopup(top);
}

void CUIXDrawHelpers::BlendPixels(CDC* pDC, const POINT* pPoints, int nCount) {
    for (int i = 0; i + 1 < nCount; i += 2) {
        CPoint pt = pPoints[i];
        CPoint other(pt.x + pPoints[i + 1].x, pt.y + pPoints[i + 1].y);
        COLORREF a = pDC->GetPixel(pt), b = pDC->GetPixel(other);
        pDC->SetPixel(pt, RGB((GetRValue(a) + GetRValue(b)) >> 1, (GetGValue(a) + GetGValue(b)) >> 1,
                              (GetBValue(a) + GetBValue(b)) >> 1));
    }
}

namespace {
// Looked up on every call: systems before Windows 2000 lack the layout functions.
template <class FN>
FN Gdi32Function(const char* name) {
    HMODULE gdi = ::GetModuleHandleA("GDI32.DLL");
    return gdi ? reinterpret_cast<FN>(reinterpret_cast<void (*)()>(::GetProcAddress(gdi, name))) : nullptr;
}
} // namespace

DWORD CUIXDrawHelpers::GetLayout(CDC* pDC) {
    auto pfn = Gdi32Function<DWORD(WINAPI*)(HDC)>("GetLayout");
    return pfn ? pfn(pDC ? pDC->GetSafeHdc() : nullptr) : 0;
}

DWORD CUIXDrawHelpers::SetLayout(CDC* pDC, DWORD dwLayout) {
    auto pfn = Gdi32Function<DWORD(WINAPI*)(HDC, DWORD)>("SetLayout");
    return pfn ? pfn(pDC ? pDC->GetSafeHdc() : nullptr, dwLayout) : 0;
}

void CUIXDrawHelpers::KeyToLayout(const CWnd* pWnd, UINT& nChar) {
    if (!pWnd || !::IsWindow(pWnd->m_hWnd)) return;
    if (!(::GetWindowLongW(pWnd->m_hWnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) return;
    if (nChar == VK_LEFT) nChar = VK_RIGHT;
    else if (nChar == VK_RIGHT) nChar = VK_LEFT;
}

void CUIXDrawHelpers::ScreenToWindow(const CWnd* pWnd, LPPOINT lpPoint) {
    CRect rc;
    ::GetWindowRect(pWnd->m_hWnd, &rc);
    lpPoint->y -= rc.top;
    if (::GetWindowLongW(pWnd->m_hWnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) lpPoint->x = rc.right - lpPoint->x;
    else lpPoint->x -= rc.left;
}

BOOL CUIXDrawHelpers::RegisterWndClass(HINSTANCE hInstance, LPCTSTR lpszClassName, UINT nClassStyle) {
    WNDCLASS wc = {};
    wc.style = nClassStyle;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = hInstance ? hInstance : AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = lpszClassName;
    return AfxRegisterClass(&wc);
}

void CUIXDrawHelpers::Triangle(CDC* pDC, CPoint pt0, CPoint pt1, CPoint pt2, COLORREF clr) {
    CUIXPenDC pen(pDC->GetSafeHdc(), clr);
    CUIXBrushDC brush(pDC->GetSafeHdc(), clr);
    const POINT pts[] = {pt0, pt1, pt2};
    pDC->Polygon(pts, 3);
}

int CALLBACK CUIXDrawHelpers::EnumFontFamExProc(const LOGFONTW* pelf, const TEXTMETRICW*, DWORD, LPARAM lParam) {
    return _wcsicmp(pelf->lfFaceName, reinterpret_cast<LPCWSTR>(lParam)) == 0 ? 0 : 1;
}

BOOL CUIXDrawHelpers::FontExists(LPCTSTR lpszFaceName) {
    HDC screen = ::GetDC(nullptr);
    if (!screen) return FALSE;
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    int r = ::EnumFontFamiliesExW(screen, &lf, reinterpret_cast<FONTENUMPROCW>(EnumFontFamExProc),
                                  reinterpret_cast<LPARAM>(lpszFaceName), 0);
    ::ReleaseDC(nullptr, screen);
    return r == 0;
}

CString CUIXDrawHelpers::GetVerticalFontName(BOOL bUseTahoma) {
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    bool nt5 = UIXSystemVersion()->dwPlatformId == VER_PLATFORM_WIN32_NT && UIXSystemVersion()->dwMajorVersion >= 5;
    if ((lf.lfCharSet > SYMBOL_CHARSET && nt5) || !FontExists(L"Arial")) return lf.lfFaceName;
    if (bUseTahoma && FontExists(L"Tahoma")) return L"Tahoma";
    return L"Arial";
}

CUIXDrawHelpers* UIXDrawHelpers() { return CUIXExitSingleton<CUIXDrawHelpers>::Get(); }
