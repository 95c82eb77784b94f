#include "CUIXImageManagerImageList.h"
#include "UIXReleaseMapValues.h"

CUIXImageManagerImageList::~CUIXImageManagerImageList() {
    RemoveAll();
    if (m_bDestroy && m_hImageList) ImageList_Destroy(m_hImageList);
}

BOOL CUIXImageManagerImageList::HasCommand(UINT nCommand) const {
    return nCommand >= m_nBaseCommand && nCommand < m_nBaseCommand + (UINT)ImageList_GetImageCount(m_hImageList);
}

CSize CUIXImageManagerImageList::GetIconSize() const {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(m_hImageList, &cx, &cy);
    return CSize(cx, cy);
}

BOOL CUIXImageManagerImageList::Draw(CDC* pDC, CPoint pt, CUIXImageManagerIcon* pIcon, CSize sz) {
    return ImageList_DrawEx(m_hImageList, (int)(pIcon->GetID() - m_nBaseCommand), pDC->GetSafeHdc(), pt.x, pt.y, sz.cx, sz.cy,
                            CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
}

CUIXImageManagerIcon* CUIXImageManagerImageList::GetIcon(UINT nCommand) {
    CUIXImageManagerIcon* pIcon = nullptr;
    if (m_mapIcons.Lookup(nCommand, pIcon)) return pIcon;
    CSize size = GetIconSize();
    pIcon = new CUIXImageManagerIcon(nCommand, size.cx, size.cy, this);
    m_mapIcons.SetAt(nCommand, pIcon);
    return pIcon;
}

void CUIXImageManagerImageList::RemoveAll() { UIXReleaseMapValues(m_mapIcons); }
