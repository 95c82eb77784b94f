#include "CBitmap.h"
#include "CDC.h"
#include "AfxFunctions.h"

IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)

BOOL CBitmap::LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEW(nIDResource)); }

BOOL CBitmap::LoadBitmap(LPCTSTR lpszResourceName) {
    HINSTANCE hInst = AfxFindResourceHandle(lpszResourceName, (LPCTSTR)RT_BITMAP);
    return Attach(::LoadBitmapW(hInst, lpszResourceName));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), nWidth, nHeight));
}

CSize CBitmap::GetBitmapDimension() const {
    SIZE s = {0, 0};
    ::GetBitmapDimensionEx((HBITMAP)m_hObject, &s);
    return s;
}
