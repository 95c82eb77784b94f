// The matcher that sorts entries into a split rule's two lists.
#pragma once

#include <list>

#include "ISearchPairs.h"

class SearchPairs : public ISearchPairs {
public:
    explicit SearchPairs(BOOL bOwns) : m_bOwns(bOwns) {}
    ~SearchPairs() override { Clear(); }
    SearchPairs(const SearchPairs&) = delete;
    SearchPairs& operator=(const SearchPairs&) = delete;

    HRESULT Add(SearchPair* pPair) override;
    HRESULT Remove(SearchPair* pPair) override;
    size_t GetCount() override { return m_pairs.size(); }
    SearchPair* Next() override;
    void Reset() override { m_cursor = m_pairs.begin(); }
    HRESULT Clear() override;
    HRESULT Apply(IEntry* pEntry) override;

private:
    std::list<SearchPair*> m_pairs;
    std::list<SearchPair*>::iterator m_cursor = m_pairs.begin();
    BOOL m_bOwns;
};
