// Search texts, each with the collector that receives the entries whose
// full path contains it.
#pragma once

#include <windows.h>

#include <string>

class ICollector;
class IEntry;

struct SearchPair {
    std::wstring text;
    ICollector* pTarget = nullptr;
};

class ISearchPairs {
public:
    virtual ~ISearchPairs() = default;
    virtual HRESULT Add(SearchPair* pPair) = 0;
    virtual HRESULT Remove(SearchPair* pPair) = 0;
    virtual size_t GetCount() = 0;
    virtual SearchPair* Next() = 0;
    virtual void Reset() = 0;
    virtual HRESULT Clear() = 0;
    // Adds the entry to the target of every pair whose text its path holds.
    virtual HRESULT Apply(IEntry* pEntry) = 0;
};
