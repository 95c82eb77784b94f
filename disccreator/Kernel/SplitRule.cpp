// Split rules: companion groups placed on one disc as a whole.
#include "SplitRule.h"

#include <shlwapi.h>

#include <new>

#include "ContainsNoCase.h"
#include "DiscErrorCode.h"
#include "IEntry.h"
#include "ISet.h"

namespace {

// The last component without its extension (from its last dot).
bool BaseName(IEntry& entry, wchar_t (&wszName)[kPathChars])
{
    if (FAILED(entry.GetFileName(wszName, _countof(wszName))))
        return false;
    PathRemoveExtensionW(wszName);
    return true;
}

} // namespace

SplitRule::SplitRule(int iType, const wchar_t* pwszApplyFolder, const wchar_t* pwszCompanionFolder)
    : m_iType(iType), m_applyFolder(pwszApplyFolder ? pwszApplyFolder : L""),
      m_companionFolder(pwszCompanionFolder ? pwszCompanionFolder : L"")
{
}

HRESULT SplitRule::GetType(int* piType)
{
    if (!piType)
        return RD_E_NULL_ARG;
    *piType = m_iType;
    return S_OK;
}

HRESULT SplitRule::Reset()
{
    m_applyList.Clear();
    m_companionList.Clear();
    return S_OK;
}

HRESULT SplitRule::Apply(ICollector* pLevel, IEntry* pEntry, ISet* pSet)
{
    if (!pLevel || !pEntry || !pSet)
        return RD_E_NULL_ARG;
    wchar_t wszFolder[kPathChars];
    if (FAILED(pEntry->GetFolderPath(wszFolder, _countof(wszFolder))) || !ContainsNoCase(wszFolder, m_applyFolder.c_str())
        || pEntry->IsPlaced())
        return S_FALSE;
    pLevel->PushPosition();
    HRESULT hr = Collect(*pLevel);
    if (SUCCEEDED(hr))
        hr = PlaceCompanionGroup(*pEntry, *pSet);
    pLevel->PopPosition();
    return hr;
}

HRESULT SplitRule::Collect(ICollector& level)
{
    if (m_applyList.GetCount() && m_companionList.GetCount())
        return S_FALSE;
    if (!m_pairs.GetCount()) {
        SearchPair* pApply = new (std::nothrow) SearchPair{m_applyFolder, &m_applyList};
        SearchPair* pCompanion = new (std::nothrow) SearchPair{m_companionFolder, &m_companionList};
        if (!pApply || !pCompanion) {
            delete pApply;
            delete pCompanion;
            return E_OUTOFMEMORY;
        }
        m_pairs.Add(pApply);
        m_pairs.Add(pCompanion);
    }
    level.PushPosition();
    level.ApplyPairs(&m_pairs);
    level.PopPosition();
    return S_OK;
}

IEntry* SplitRule::FindCompanion(const wchar_t* pwszFolderPath)
{
    m_companionList.Reset();
    IEntry* pCandidate = nullptr;
    while (m_companionList.Next(&pCandidate, TRUE) == S_OK) {
        wchar_t wszBase[kPathChars];
        if (BaseName(*pCandidate, wszBase) && ContainsNoCase(pwszFolderPath, wszBase))
            return pCandidate;
    }
    return nullptr;
}

HRESULT SplitRule::PlaceCompanionGroup(IEntry& entry, ISet& set)
{
    wchar_t wszFolder[kPathChars];
    if (FAILED(entry.GetFolderPath(wszFolder, _countof(wszFolder))))
        return S_FALSE;
    IEntry* pCompanion = FindCompanion(wszFolder);
    if (!pCompanion)
        return S_FALSE;
    FileCollector group(FALSE);
    wchar_t wszBase[kPathChars];
    if (!pCompanion->IsFolder() && BaseName(*pCompanion, wszBase)) {
        m_applyList.PushPosition();
        m_applyList.CollectContaining(wszBase, &group);
        m_applyList.PopPosition();
    }
    return PlaceGroup(group, set, &m_bDroppedRequired);
}

HRESULT SplitRule::PlaceGroup(ICollector& group, ISet& set, BOOL* pbDroppedRequired)
{
    ULONGLONG ullTotal = 0;
    BOOL bRequired = FALSE;
    IEntry* pEntry = nullptr;
    for (group.Reset(); group.Next(&pEntry, TRUE) == S_OK;) {
        ullTotal += pEntry->GetSize(FALSE);
        bRequired |= pEntry->IsMustProcess();
    }
    if (pbDroppedRequired)
        *pbDroppedRequired = FALSE;
    if (set.ExceedsCapacity(ullTotal)) {
        for (group.Reset(); group.Next(&pEntry, TRUE) == S_OK;)
            pEntry->SetPlaced(1);
        if (pbDroppedRequired)
            *pbDroppedRequired = bRequired;
        return RD_E_GROUP_TOO_BIG;
    }
    if (!set.CanHoldSize(ullTotal))
        return RD_E_GROUP_NO_ROOM;
    for (group.Reset(); group.Next(&pEntry, TRUE) == S_OK;) {
        pEntry->SetPlaced(1);
        set.Add(pEntry);
    }
    return S_OK;
}
