#include "CDC.h"
#include "CPen.h"
#include "CBrush.h"
#include "CFont.h"
#include "CBitmap.h"
#include "CRgn.h"
#include "CWnd.h"
#include "CMenu.h"
#include "CImageList.h"
#include "CHandleTable.h"
#include "AfxThreadState.h"
#include <mutex>

IMPLEMENT_DYNCREATE(CDC, CObject)

typedef CHandleTable<CDC> DcMap;

HDC AFXAPI CDC::AfxSafeHdc(const CDC* p) { return p ? p->m_hDC : nullptr; }

CDC::~CDC() {
    if (m_hDC && m_bOwned) {
        HDC h = Detach();
        ::DeleteDC(h);
    } else {
        Detach();
    }
}

CDC* PASCAL CDC::FromHandle(HDC hDC) {
    if (!hDC) return nullptr;
    if (CDC* p = DcMap::Permanent(hDC)) return p;
    if (CDC* p = DcMap::Temporary(hDC)) return p;
    CDC* p = new CDC;
    p->m_hDC = p->m_hAttribDC = hDC;
    p->m_bOwned = FALSE;
    DcMap::AddTemporary(hDC, p);
    return p;
}

void PASCAL CDC::DeleteTempMap() {
    DcMap::DeleteTemporaries([](CDC* p) { p->m_hDC = p->m_hAttribDC = nullptr; });
}

void AFXAPI AfxDeleteGdiTempMaps() {
    CDC::DeleteTempMap();
    CGdiObject::DeleteTempMap();
    CMenu::DeleteTempMap();
    CImageList::DeleteTempMap();
}

BOOL CDC::Attach(HDC hDC) {
    if (!hDC || m_hDC) return FALSE;
    m_hDC = m_hAttribDC = hDC;
    DcMap::AddPermanent(hDC, this);
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    if (h) DcMap::RemovePermanent(h, this);
    m_hDC = m_hAttribDC = nullptr;
    return h;
}

BOOL CDC::CreateDC(LPCTSTR lpszDriverName, LPCTSTR lpszDeviceName, LPCTSTR lpszOutput, const void* lpInitData) {
    m_bOwned = TRUE;
    return Attach(::CreateDCW(lpszDriverName, lpszDeviceName, lpszOutput, (const DEVMODEW*)lpInitData));
}

BOOL CDC::CreateIC(LPCTSTR lpszDriverName, LPCTSTR lpszDeviceName, LPCTSTR lpszOutput, const void* lpInitData) {
    m_bOwned = TRUE;
    return Attach(::CreateICW(lpszDriverName, lpszDeviceName, lpszOutput, (const DEVMODEW*)lpInitData));
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    m_bOwned = TRUE;
    HDC h = ::CreateCompatibleDC(pDC->GetSafeHdc());
    if (!h) AfxTrace(L"CDC::CreateCompatibleDC failed (%lu)\n", GetLastError());
    return Attach(h);
}

BOOL CDC::DeleteDC() {
    if (!m_hDC) return FALSE;
    return ::DeleteDC(Detach());
}

CWnd* CDC::GetWindow() const { return CWnd::FromHandle(::WindowFromDC(m_hDC)); }

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) { return hObject ? ::SelectObject(m_hDC, hObject) : nullptr; }

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    return CGdiObject::FromHandle(SelectObject(pObject->GetSafeHandle()));
}
CPen* CDC::SelectObject(CPen* pPen) { return static_cast<CPen*>(SelectObject(static_cast<CGdiObject*>(pPen))); }
CBrush* CDC::SelectObject(CBrush* pBrush) { return static_cast<CBrush*>(SelectObject(static_cast<CGdiObject*>(pBrush))); }
CFont* CDC::SelectObject(CFont* pFont) { return static_cast<CFont*>(SelectObject(static_cast<CGdiObject*>(pFont))); }
CBitmap* CDC::SelectObject(CBitmap* pBitmap) { return static_cast<CBitmap*>(SelectObject(static_cast<CGdiObject*>(pBitmap))); }
int CDC::SelectObject(CRgn* pRgn) { return ::SelectClipRgn(m_hDC, (HRGN)pRgn->GetSafeHandle()); }

CGdiObject* CDC::SelectStockObject(int nIndex) { return CGdiObject::FromHandle(SelectObject(::GetStockObject(nIndex))); }

CFont* CDC::GetCurrentFont() const { return CFont::FromHandle((HFONT)::GetCurrentObject(m_hDC, OBJ_FONT)); }
CBitmap* CDC::GetCurrentBitmap() const { return CBitmap::FromHandle((HBITMAP)::GetCurrentObject(m_hDC, OBJ_BITMAP)); }
CBrush* CDC::GetCurrentBrush() const { return CBrush::FromHandle((HBRUSH)::GetCurrentObject(m_hDC, OBJ_BRUSH)); }
CPen* CDC::GetCurrentPen() const { return CPen::FromHandle((HPEN)::GetCurrentObject(m_hDC, OBJ_PEN)); }

int CDC::SelectClipRgn(CRgn* pRgn) { return ::SelectClipRgn(m_hDC, (HRGN)pRgn->GetSafeHandle()); }
int CDC::SelectClipRgn(CRgn* pRgn, int nMode) { return ::ExtSelectClipRgn(m_hDC, (HRGN)pRgn->GetSafeHandle(), nMode); }

CSize CDC::GetTextExtent(LPCTSTR lpszString, int nCount) const {
    SIZE s = {0, 0};
    if (lpszString && nCount > 0) ::GetTextExtentPoint32W(m_hAttribDC ? m_hAttribDC : m_hDC, lpszString, nCount, &s);
    return s;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, dwRop);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
    return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, nSrcWidth, nSrcHeight, dwRop);
}

BOOL CDC::AlphaBlend(int xDest, int yDest, int nDestWidth, int nDestHeight, CDC* pSrcDC, int xSrc, int ySrc,
                     int nSrcWidth, int nSrcHeight, BLENDFUNCTION blend) {
    return ::GdiAlphaBlend(m_hDC, xDest, yDest, nDestWidth, nDestHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, nSrcWidth,
                           nSrcHeight, blend);
}

BOOL CDC::TransparentBlt(int xDest, int yDest, int nDestWidth, int nDestHeight, CDC* pSrcDC, int xSrc, int ySrc,
                         int nSrcWidth, int nSrcHeight, UINT clrTransparent) {
    return ::GdiTransparentBlt(m_hDC, xDest, yDest, nDestWidth, nDestHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc,
                               nSrcWidth, nSrcHeight, clrTransparent);
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) { ::FillRect(m_hDC, lpRect, (HBRUSH)pBrush->GetSafeHandle()); }

void CDC::FrameRect(LPCRECT lpRect, CBrush* pBrush) { ::FrameRect(m_hDC, lpRect, (HBRUSH)pBrush->GetSafeHandle()); }

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    // An opaque empty text run paints the rectangle in the background colour.
    COLORREF old = ::SetBkColor(m_hDC, clr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    RECT r = {x, y, x + cx, y + cy};
    FillSolidRect(&r, clr);
}

void CDC::Draw3dRect(LPCRECT r, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, clrTopLeft, clrBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx, y, -1, cy, clrBottomRight);
    FillSolidRect(x, y + cy, cx, -1, clrBottomRight);
}

BOOL CDC::FillRgn(CRgn* pRgn, CBrush* pBrush) {
    return ::FillRgn(m_hDC, (HRGN)pRgn->GetSafeHandle(), (HBRUSH)pBrush->GetSafeHandle());
}

BOOL CDC::FrameRgn(CRgn* pRgn, CBrush* pBrush, int nWidth, int nHeight) {
    return ::FrameRgn(m_hDC, (HRGN)pRgn->GetSafeHandle(), (HBRUSH)pBrush->GetSafeHandle(), nWidth, nHeight);
}

CBrush* PASCAL CDC::GetHalftoneBrush() {
    static std::once_flag once;
    static CBrush* brush = nullptr;
    std::call_once(once, [] {
        WORD pattern[8];
        for (int i = 0; i < 8; ++i) pattern[i] = (WORD)(0x5555 << (i & 1));
        HBITMAP hBitmap = ::CreateBitmap(8, 8, 1, 1, pattern);
        brush = new CBrush;
        if (hBitmap) {
            brush->Attach(::CreatePatternBrush(hBitmap));
            ::DeleteObject(hBitmap);
        }
    });
    return brush;
}
