#include "SearchPairs.h"

#include <algorithm>

#include "ContainsNoCase.h"
#include "DiscErrorCode.h"
#include "ICollector.h"
#include "IEntry.h"

HRESULT SearchPairs::Add(SearchPair* pPair)
{
    if (!pPair)
        return RD_E_NULL_ARG;
    if (std::find(m_pairs.begin(), m_pairs.end(), pPair) != m_pairs.end())
        return S_FALSE;
    m_pairs.push_back(pPair);
    m_cursor = m_pairs.begin();
    return S_OK;
}

HRESULT SearchPairs::Remove(SearchPair* pPair)
{
    auto it = std::find(m_pairs.begin(), m_pairs.end(), pPair);
    if (it == m_pairs.end())
        return S_FALSE;
    m_pairs.erase(it);
    m_cursor = m_pairs.begin();
    return S_OK;
}

SearchPair* SearchPairs::Next()
{
    return m_cursor == m_pairs.end() ? nullptr : *m_cursor++;
}

HRESULT SearchPairs::Clear()
{
    if (m_bOwns) {
        for (SearchPair* pPair : m_pairs)
            delete pPair;
    }
    m_pairs.clear();
    m_cursor = m_pairs.begin();
    return S_OK;
}

HRESULT SearchPairs::Apply(IEntry* pEntry)
{
    if (!pEntry)
        return S_FALSE;
    wchar_t wszPath[kPathChars];
    HRESULT hr = pEntry->GetFullPath(wszPath, _countof(wszPath));
    if (FAILED(hr))
        return hr;
    for (SearchPair* pPair : m_pairs) {
        if (pPair->pTarget && ContainsNoCase(wszPath, pPair->text.c_str()))
            pPair->pTarget->Add(pEntry);
    }
    return S_OK;
}
