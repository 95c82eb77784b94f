// The icons of one command, keyed by width.
#pragma once
#include "CUIXImageManagerIcon.h"
#include <afxtempl.h>

class CUIXImageManagerIconSet : public CCmdTarget {
public:
    typedef CMap<UINT, UINT, CUIXImageManagerIcon*, CUIXImageManagerIcon*> CIconsMap;

    CUIXImageManagerIconSet(UINT nID, CUIXImageManager* pManager) : m_nID(nID), m_pManager(pManager) {}
    ~CUIXImageManagerIconSet() override { RemoveAll(); }

    // Exact width; 0 the smallest and 1 the largest; else the nearest when bScaled.
    CUIXImageManagerIcon* GetIcon(int nWidth, BOOL bScaled = TRUE);
    // The icon of that width, made when missing.
    CUIXImageManagerIcon* CreateIcon(int nWidth);
    void SetIcon(CUIXImageManagerIconImage& image, int nWidth);
    void SetDisabledIcon(CUIXImageManagerIconImage& image, int nWidth);
    void SetHotIcon(CUIXImageManagerIconImage& image, int nWidth);
    void SetCheckedIcon(CUIXImageManagerIconImage& image, int nWidth);
    void SetPressedIcon(CUIXImageManagerIconImage& image, int nWidth);
    void RefreshAll();
    void RemoveAll();
    // Files an icon made elsewhere (the exchange) under a width; the set owns it.
    void AddIcon(UINT nWidth, CUIXImageManagerIcon* pIcon);

    UINT GetID() const { return m_nID; }
    CUIXImageManager* GetManager() const { return m_pManager; }
    CIconsMap& GetIcons() { return m_mapIcons; }

private:
    CIconsMap m_mapIcons;
    UINT m_nID;
    CUIXImageManager* m_pManager;
};
