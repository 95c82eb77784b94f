// A Windows image list whose image i is the icon of command first id + i.
#pragma once
#include "CUIXImageManagerIcon.h"
#include <afxtempl.h>

class CUIXImageManagerImageList {
public:
    CUIXImageManagerImageList(HIMAGELIST hImageList, UINT nBaseCommand, BOOL bDestroy)
        : m_bDestroy(bDestroy), m_hImageList(hImageList), m_nBaseCommand(nBaseCommand) {}
    ~CUIXImageManagerImageList();
    CUIXImageManagerImageList(const CUIXImageManagerImageList&) = delete;
    CUIXImageManagerImageList& operator=(const CUIXImageManagerImageList&) = delete;

    BOOL HasCommand(UINT nCommand) const;
    CSize GetIconSize() const;
    BOOL Draw(CDC* pDC, CPoint pt, CUIXImageManagerIcon* pIcon, CSize sz);
    // The icon drawn for a command of the list, made on first request.
    CUIXImageManagerIcon* GetIcon(UINT nCommand);
    // Releases the cached icons.
    void RemoveAll();
    HIMAGELIST GetHandle() const { return m_hImageList; }
    BOOL m_bDestroy;

private:
    HIMAGELIST m_hImageList;
    UINT m_nBaseCommand;
    CMap<UINT, UINT, CUIXImageManagerIcon*, CUIXImageManagerIcon*> m_mapIcons;
};
