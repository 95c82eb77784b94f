#include "CImageList.h"
#include "CBitmap.h"
#include "CDC.h"
#include "CHandleTable.h"

IMPLEMENT_DYNCREATE(CImageList, CObject)

typedef CHandleTable<CImageList> ImageListMap;

CImageList::~CImageList() {
    if (m_bOwned) DeleteImageList();
    else Detach();
}

CImageList* PASCAL CImageList::FromHandle(HIMAGELIST h) {
    if (!h) return nullptr;
    if (CImageList* p = ImageListMap::Permanent(h)) return p;
    if (CImageList* p = ImageListMap::Temporary(h)) return p;
    CImageList* p = new CImageList;
    p->m_hImageList = h;
    p->m_bOwned = FALSE;
    ImageListMap::AddTemporary(h, p);
    return p;
}

void PASCAL CImageList::DeleteTempMap() {
    ImageListMap::DeleteTemporaries([](CImageList* p) { p->m_hImageList = nullptr; });
}

BOOL CImageList::Attach(HIMAGELIST h) {
    if (!h || m_hImageList) return FALSE;
    m_hImageList = h;
    m_bOwned = TRUE;
    ImageListMap::AddPermanent(h, this);
    return TRUE;
}

HIMAGELIST CImageList::Detach() {
    HIMAGELIST h = m_hImageList;
    if (h) ImageListMap::RemovePermanent(h, this);
    m_hImageList = nullptr;
    return h;
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
    return Attach(ImageList_Create(cx, cy, nFlags, nInitial, nGrow));
}

BOOL CImageList::DeleteImageList() {
    if (!m_hImageList) return FALSE;
    return ImageList_Destroy(Detach());
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask) {
    return ImageList_Add(m_hImageList, (HBITMAP)pbmImage->GetSafeHandle(), (HBITMAP)pbmMask->GetSafeHandle());
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
    return ImageList_AddMasked(m_hImageList, (HBITMAP)pbmImage->GetSafeHandle(), crMask);
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) {
    return ImageList_Draw(m_hImageList, nImage, pDC->GetSafeHdc(), pt.x, pt.y, nStyle);
}
