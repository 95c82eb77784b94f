#include "CUIXImageManagerIconSet.h"
#include "UIXReleaseMapValues.h"
#include <cstdlib>
#include <vector>

namespace {
const int kSmallestWidth = 0;
const int kLargestWidth = 1;
} // namespace

CUIXImageManagerIcon* CUIXImageManagerIconSet::GetIcon(int nWidth, BOOL bScaled) {
    if (m_mapIcons.IsEmpty()) return nullptr;
    UINT key = 0;
    CUIXImageManagerIcon* pIcon = nullptr;
    CUIXImageManagerIcon* pBest = nullptr;
    UINT bestKey = 0;
    if (nWidth == kSmallestWidth || nWidth == kLargestWidth) {
        for (POSITION pos = m_mapIcons.GetStartPosition(); pos;) {
            m_mapIcons.GetNextAssoc(pos, key, pIcon);
            if (pIcon->IsScaled()) continue;
            bool better = nWidth == kSmallestWidth ? key < bestKey : key > bestKey;
            if (!pBest || better) {
                pBest = pIcon;
                bestKey = key;
            }
        }
        return pBest;
    }
    if (m_mapIcons.Lookup((UINT)nWidth, pIcon)) return pIcon;
    if (!bScaled) return nullptr;
    long bestDistance = 0;
    for (POSITION pos = m_mapIcons.GetStartPosition(); pos;) {
        m_mapIcons.GetNextAssoc(pos, key, pIcon);
        long distance = std::labs((long)key - nWidth);
        if (!pBest || distance < bestDistance) {
            pBest = pIcon;
            bestDistance = distance;
        }
    }
    return pBest;
}

CUIXImageManagerIcon* CUIXImageManagerIconSet::CreateIcon(int nWidth) {
    CUIXImageManagerIcon* pIcon = nullptr;
    if (m_mapIcons.Lookup((UINT)nWidth, pIcon)) return pIcon;
    pIcon = new CUIXImageManagerIcon(m_nID, nWidth, CUIXImageManagerIcon::kDefaultHeight, this);
    m_mapIcons.SetAt((UINT)nWidth, pIcon);
    return pIcon;
}

void CUIXImageManagerIconSet::AddIcon(UINT nWidth, CUIXImageManagerIcon* pIcon) {
    CUIXImageManagerIcon* pOld;
    if (m_mapIcons.Lookup(nWidth, pOld) && pOld != pIcon) pOld->InternalRelease();
    m_mapIcons.SetAt(nWidth, pIcon);
}

void CUIXImageManagerIconSet::SetIcon(CUIXImageManagerIconImage& image, int nWidth) { CreateIcon(nWidth)->SetIcon(image); }
void CUIXImageManagerIconSet::SetDisabledIcon(CUIXImageManagerIconImage& image, int nWidth) {
    CreateIcon(nWidth)->SetDisabledIcon(image);
}
void CUIXImageManagerIconSet::SetHotIcon(CUIXImageManagerIconImage& image, int nWidth) { CreateIcon(nWidth)->SetHotIcon(image); }
void CUIXImageManagerIconSet::SetCheckedIcon(CUIXImageManagerIconImage& image, int nWidth) {
    CreateIcon(nWidth)->SetCheckedIcon(image);
}
void CUIXImageManagerIconSet::SetPressedIcon(CUIXImageManagerIconImage& image, int nWidth) {
    CreateIcon(nWidth)->SetPressedIcon(image);
}

void CUIXImageManagerIconSet::RefreshAll() {
    std::vector<UINT> scaled;
    UINT key = 0;
    CUIXImageManagerIcon* pIcon = nullptr;
    for (POSITION pos = m_mapIcons.GetStartPosition(); pos;) {
        m_mapIcons.GetNextAssoc(pos, key, pIcon);
        if (pIcon->IsScaled()) scaled.push_back(key);
        else pIcon->Refresh();
    }
    for (UINT k : scaled) {
        if (m_mapIcons.Lookup(k, pIcon)) pIcon->InternalRelease();
        m_mapIcons.RemoveKey(k);
    }
}

void CUIXImageManagerIconSet::RemoveAll() { UIXReleaseMapValues(m_mapIcons); }
