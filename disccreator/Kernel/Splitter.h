// Packs the walked entries, lowest priority level first and in walk
// order, into disc-sized sets, keeping companion groups together, and
// lets the image logs write themselves into the sets.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "ISet.h"

class CAutoTrace;
class ICollector;
class ICollectors;
class IEntry;
class ILogCollector;
class IRuleCollector;

class Splitter {
public:
    Splitter() = default;
    ~Splitter() = default;
    Splitter(const Splitter&) = delete;
    Splitter& operator=(const Splitter&) = delete;

    HRESULT SetCollectors(ICollectors* pWalked);
    HRESULT SetRuleAndLogCollectors(IRuleCollector* pRules, ILogCollector* pLogs);
    // Real sets, then the logs.
    HRESULT Split(ULONGLONG ullCapacity);
    // The same packing into counting sets; no logs.
    HRESULT Estimate(ULONGLONG ullCapacity);
    HRESULT SplitImpl(ULONGLONG ullCapacity, BOOL bCounting, ILogCollector* pLogs, IRuleCollector* pRules);

    int GetSetCount() const { return static_cast<int>(m_sets.size()); }
    HRESULT GetSet(int iNumber, ISet** ppSet);
    // Files an entry into set n (made, owning, when missing); for resuming.
    HRESULT AddEntryToSet(int iNumber, IEntry* pEntry);
    // Makes set n (owning its entries) when missing, so an empty set of a
    // resumed plan keeps its number.
    HRESULT MakeSet(int iNumber);
    void SetTotalOnAllSets();
    void ClearSets() { m_sets.clear(); }
    HRESULT RecordBurnedSet(int iNumber);

private:
    HRESULT NewSet(ULONGLONG ullCapacity, BOOL bCounting);
    HRESULT PackEntry(CAutoTrace& trace, IEntry* pEntry, ICollector* pLevel, ULONGLONG ullCapacity, BOOL bCounting,
                      IRuleCollector* pRules);

    ICollectors* m_pWalked = nullptr;
    IRuleCollector* m_pRules = nullptr;
    ILogCollector* m_pLogs = nullptr;
    std::map<UINT, std::unique_ptr<ISet>> m_sets;
    std::vector<int> m_burned;
    ISet* m_pCurrent = nullptr;
};

// Runs the split rules on a folder entry. *pbDroppedRequired (when given)
// tells whether a group dropped as too big held a required entry.
HRESULT ApplyRules(IEntry* pEntry, ICollector* pLevel, ISet* pSet, IRuleCollector* pRules,
                   BOOL* pbDroppedRequired = nullptr);
HRESULT ApplyLogs(std::map<UINT, std::unique_ptr<ISet>>* pSets, ILogCollector* pLogs);
