// The image manager's exchange format: icon sets as "IconSet" sections, the
// icons of a command as "Icon" sections with their width and stream.
#include "CUIXImageManager.h"
#include "CUIXPropExchangeArchive.h"
#include "CUIXPropExchangeEnumerator.h"
#include <memory>
#include <vector>

namespace {
const wchar_t* const kCheckSum = L"CUIXImageManagerIcons";

struct ReleasePropExchangeSection {
    void operator()(CUIXPropExchange* p) const {
        if (p) p->InternalRelease();
    }
};
typedef std::unique_ptr<CUIXPropExchange, ReleasePropExchangeSection> SectionHolder;
typedef std::unique_ptr<CUIXPropExchangeEnumerator> EnumeratorHolder; // DeletePropExchangeEnumerator
} // namespace

void CUIXImageManager::Serialize(CArchive& ar) {
    CUIXPropExchangeArchive px(ar);
    px.m_dwRef = 1;
    DoPropExchange(&px);
}

void CUIXImageManager::DoPropExchange(CUIXPropExchange* pPX) {
    EnumeratorHolder sets(pPX->GetEnumerator(L"IconSet"));
    if (pPX->IsLoading()) {
        RemoveAll();
        POSITION pos = sets->GetPosition(0);
        while (pos) {
            SectionHolder section(sets->GetNext(pos));
            int id = 0;
            PX_Int(section.get(), L"Id", id, 0);
            DoPropExchangeIcons((UINT)id, section.get());
        }
        return;
    }
    POSITION pos = sets->GetPosition((DWORD)m_mapIcons.GetCount());
    UINT key = 0;
    CUIXImageManagerIconSet* pSet = nullptr;
    POSITION mapPos = m_mapIcons.GetStartPosition();
    while (pos && mapPos) {
        m_mapIcons.GetNextAssoc(mapPos, key, pSet);
        SectionHolder section(sets->GetNext(pos));
        int id = (int)key;
        PX_Int(section.get(), L"Id", id, 0);
        DoPropExchangeIcons(key, section.get());
    }
}

void CUIXImageManager::DoPropExchangeIcons(UINT nCommand, CUIXPropExchange* pPX) {
    if (nCommand > m_nCustomID) m_nCustomID = nCommand;
    CString checkSum = kCheckSum;
    PX_String(pPX, L"CheckSum", checkSum, kCheckSum);
    if (pPX->IsLoading()) {
        if (checkSum != kCheckSum) AfxThrowArchiveException(CArchiveException::badClass);
        CUIXImageManagerIconSet* pSet = GetIconSet(nCommand);
        if (pSet) {
            pSet->RemoveAll();
        } else {
            pSet = new CUIXImageManagerIconSet(nCommand, this);
            m_mapIcons.SetAt(nCommand, pSet);
        }
        EnumeratorHolder icons(pPX->GetEnumerator(L"Icon"));
        POSITION pos = icons->GetPosition(0);
        while (pos) {
            SectionHolder section(icons->GetNext(pos));
            int width = 0;
            PX_Int(section.get(), L"Width", width, 0);
            auto* pIcon = new CUIXImageManagerIcon(nCommand, width, CUIXImageManagerIcon::kDefaultHeight, pSet);
            pSet->AddIcon((UINT)width, pIcon);
            PX_Serialize(section.get(), L"Data", pIcon);
        }
        return;
    }
    EnumeratorHolder icons(pPX->GetEnumerator(L"Icon"));
    CUIXImageManagerIconSet* pSet = GetIconSet(nCommand);
    if (!pSet) {
        icons->GetPosition(0);
        return;
    }
    std::vector<std::pair<UINT, CUIXImageManagerIcon*>> stored;
    UINT key = 0;
    CUIXImageManagerIcon* pIcon = nullptr;
    for (POSITION mapPos = pSet->GetIcons().GetStartPosition(); mapPos;) {
        pSet->GetIcons().GetNextAssoc(mapPos, key, pIcon);
        if (!pIcon->IsScaled()) stored.emplace_back(key, pIcon);
    }
    POSITION pos = icons->GetPosition((DWORD)stored.size());
    for (size_t i = 0; pos && i < stored.size(); ++i) {
        SectionHolder section(icons->GetNext(pos));
        int width = (int)stored[i].first;
        PX_Int(section.get(), L"Width", width, 0);
        PX_Serialize(section.get(), L"Data", stored[i].second);
    }
}
