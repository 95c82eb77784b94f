// Packing of the walked entries into disc sets.
#include "Splitter.h"

#include <algorithm>

#include "CAutoTrace.h"
#include "DiscErrorCode.h"
#include "ICollector.h"
#include "IEntry.h"
#include "ILog.h"
#include "IRule.h"
#include "NvErrorCode.h"

HRESULT ApplyRules(IEntry* pEntry, ICollector* pLevel, ISet* pSet, IRuleCollector* pRules, BOOL* pbDroppedRequired)
{
    if (!pEntry || !pLevel || !pSet || !pRules)
        return RD_E_NULL_ARG;
    if (!pEntry->IsFolder())
        return S_FALSE;
    HRESULT hr = S_FALSE;
    pRules->Reset();
    for (IRule* pRule = pRules->Next(); pRule; pRule = pRules->Next()) {
        hr = pRule->Apply(pLevel, pEntry, pSet);
        if (FAILED(hr)) {
            if (hr == RD_E_GROUP_TOO_BIG && pbDroppedRequired)
                *pbDroppedRequired = pRule->DroppedRequired();
            break;
        }
    }
    return hr;
}

HRESULT ApplyLogs(std::map<UINT, std::unique_ptr<ISet>>* pSets, ILogCollector* pLogs)
{
    if (!pSets || !pLogs) {
        DebugPrint(L"ApplyLogs : NULL pointer argument");
        return RD_E_NULL_ARG;
    }
    pLogs->Reset();
    for (ILog* pLog = pLogs->Next(); pLog; pLog = pLogs->Next()) {
        pLog->Init();
        for (auto& set : *pSets)
            pLog->Log(set.second.get());
    }
    return S_OK;
}

HRESULT Splitter::SetCollectors(ICollectors* pWalked)
{
    m_pWalked = pWalked;
    return S_OK;
}

HRESULT Splitter::SetRuleAndLogCollectors(IRuleCollector* pRules, ILogCollector* pLogs)
{
    m_pRules = pRules;
    m_pLogs = pLogs;
    return S_OK;
}

HRESULT Splitter::Split(ULONGLONG ullCapacity)
{
    return SplitImpl(ullCapacity, FALSE, m_pLogs, m_pRules);
}

HRESULT Splitter::Estimate(ULONGLONG ullCapacity)
{
    return SplitImpl(ullCapacity, TRUE, m_pLogs, m_pRules);
}

HRESULT Splitter::NewSet(ULONGLONG ullCapacity, BOOL bCounting)
{
    UINT uNumber = static_cast<UINT>(m_sets.size()) + 1;
    ISet* pSet = CreateSet(static_cast<int>(uNumber), ullCapacity, bCounting, FALSE);
    if (!pSet)
        return NV_E_ALLOC;
    m_sets[uNumber].reset(pSet);
    m_pCurrent = pSet;
    return S_OK;
}

// Places one unplaced entry E of a level: through the rules, else alone.
HRESULT Splitter::PackEntry(CAutoTrace& trace, IEntry* pEntry, ICollector* pLevel, ULONGLONG ullCapacity,
                            BOOL bCounting, IRuleCollector* pRules)
{
    BOOL bDroppedRequired = FALSE;
    HRESULT hr = ApplyRules(pEntry, pLevel, m_pCurrent, pRules, &bDroppedRequired);
    while (hr == RD_E_GROUP_NO_ROOM) {
        if (FAILED(NewSet(ullCapacity, bCounting))) {
            trace.Print(L"New FileSet failed");
            return NV_E_ALLOC;
        }
        hr = ApplyRules(pEntry, pLevel, m_pCurrent, pRules, &bDroppedRequired);
    }
    if (hr == RD_E_GROUP_TOO_BIG) {
        if (pEntry->IsMustProcess() || bDroppedRequired) {
            trace.Print(L"Atomic folder size exceed disc capacity");
            return RD_E_GROUP_TOO_BIG;
        }
        return S_OK;
    }
    if (hr != S_FALSE || pEntry->IsPlaced())
        return S_OK;
    if (m_pCurrent->EntryExceedsCapacity(pEntry)) {
        if (pEntry->IsMustProcess()) {
            trace.Print(L"File size exceed disc capacity");
            return RD_E_FILE_TOO_BIG;
        }
        // No disc can hold it: leave it out rather than plan a disc that fails.
        wchar_t wszFrom[kPathChars] = {};
        pEntry->GetFrom(wszFrom, _countof(wszFrom));
        trace.Print(L"File size exceed disc capacity, left out: %s", wszFrom);
        pEntry->SetPlaced(1);
        return S_OK;
    }
    if (!m_pCurrent->CanHold(pEntry) && FAILED(NewSet(ullCapacity, bCounting))) {
        trace.Print(L"New FileSet failed");
        return NV_E_ALLOC;
    }
    pEntry->SetPlaced(1);
    m_pCurrent->Add(pEntry);
    return S_OK;
}

HRESULT Splitter::SplitImpl(ULONGLONG ullCapacity, BOOL bCounting, ILogCollector* pLogs, IRuleCollector* pRules)
{
    CAutoTrace trace(L"Splitter", L"SplitImpl", this);
    if (!m_pWalked || !pLogs || !pRules) {
        trace.Print(L"NULL pointer arguments");
        return RD_E_MISSING;
    }
    m_pWalked->Reset();
    ClearSets();
    pRules->ResetRules();
    if (FAILED(NewSet(ullCapacity, bCounting))) {
        trace.Print(L"New FileSet failed");
        return NV_E_ALLOC;
    }
    ICollector* pLevel = nullptr;
    while (m_pWalked->Next(&pLevel) == S_OK) {
        pLevel->Reset();
        IEntry* pEntry = nullptr;
        while (pLevel->Next(&pEntry, TRUE) == S_OK) {
            HRESULT hr = PackEntry(trace, pEntry, pLevel, ullCapacity, bCounting, pRules);
            if (FAILED(hr))
                return hr;
        }
    }
    SetTotalOnAllSets();
    if (!bCounting)
        ApplyLogs(&m_sets, pLogs);
    return S_OK;
}

HRESULT Splitter::GetSet(int iNumber, ISet** ppSet)
{
    if (!ppSet)
        return RD_E_NULL_ARG;
    auto it = m_sets.find(static_cast<UINT>(iNumber));
    if (iNumber <= 0 || it == m_sets.end())
        return NV_E_NOT_FOUND;
    *ppSet = it->second.get();
    return S_OK;
}

HRESULT Splitter::MakeSet(int iNumber)
{
    if (iNumber <= 0)
        return NV_E_INVALID_ARG;
    std::unique_ptr<ISet>& set = m_sets[static_cast<UINT>(iNumber)];
    if (!set) {
        set.reset(CreateSet(iNumber, kResumeSetCapacity, FALSE, TRUE));
        if (!set) {
            m_sets.erase(static_cast<UINT>(iNumber));
            return NV_E_ALLOC;
        }
    }
    return S_OK;
}

HRESULT Splitter::AddEntryToSet(int iNumber, IEntry* pEntry)
{
    if (!pEntry)
        return RD_E_NULL_ARG;
    HRESULT hr = MakeSet(iNumber);
    return FAILED(hr) ? hr : m_sets[static_cast<UINT>(iNumber)]->Add(pEntry);
}

void Splitter::SetTotalOnAllSets()
{
    for (auto& set : m_sets)
        set.second->SetTotal(static_cast<int>(m_sets.size()));
}

HRESULT Splitter::RecordBurnedSet(int iNumber)
{
    if (std::find(m_burned.begin(), m_burned.end(), iNumber) != m_burned.end())
        return S_FALSE;
    m_burned.push_back(iNumber);
    return S_OK;
}
