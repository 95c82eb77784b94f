// Collectors of one priority level.
#include "FileCollector.h"

#include <algorithm>

#include "ContainsNoCase.h"
#include "DiscErrorCode.h"
#include "IEntry.h"
#include "ISearchPairs.h"

HRESULT FileCollector::Add(IEntry* pEntry)
{
    if (!pEntry)
        return RD_E_NULL_ARG;
    if (!m_members.insert(pEntry).second)
        return S_FALSE;
    m_entries.push_back(pEntry);
    m_cursor = m_entries.begin();
    return S_OK;
}

HRESULT FileCollector::Remove(IEntry* pEntry)
{
    if (!m_members.erase(pEntry))
        return S_FALSE;
    m_entries.remove(pEntry);
    m_positions.clear(); // a saved position may have pointed at it
    m_cursor = m_entries.begin();
    return S_OK;
}

HRESULT FileCollector::Clear()
{
    if (m_bOwnsEntries) {
        for (IEntry* pEntry : m_entries)
            delete pEntry;
    }
    m_entries.clear();
    m_members.clear();
    m_positions.clear();
    m_cursor = m_entries.begin();
    return S_OK;
}

HRESULT FileCollector::Next(IEntry** ppEntry, BOOL bSkipPlaced)
{
    if (!ppEntry)
        return RD_E_NULL_ARG;
    while (bSkipPlaced && m_cursor != m_entries.end() && (*m_cursor)->IsPlaced())
        ++m_cursor;
    if (m_cursor == m_entries.end()) {
        *ppEntry = nullptr;
        return S_FALSE;
    }
    *ppEntry = *m_cursor++;
    return S_OK;
}

HRESULT FileCollector::SetDriveLetters(wchar_t wcDefault, wchar_t wcRelocation)
{
    for (IEntry* pEntry : m_entries) {
        wchar_t wszName[kPathChars];
        bool bPreload = wcRelocation && SUCCEEDED(pEntry->GetFileName(wszName, _countof(wszName)))
                        && _wcsicmp(wszName, L"preload\\") == 0;
        pEntry->SetDriveLetter(bPreload ? wcRelocation : wcDefault);
    }
    return S_OK;
}

HRESULT FileCollector::ApplyPairs(ISearchPairs* pPairs)
{
    if (!pPairs)
        return RD_E_NULL_ARG;
    for (; m_cursor != m_entries.end(); ++m_cursor) {
        if (!(*m_cursor)->IsPlaced())
            pPairs->Apply(*m_cursor);
    }
    return S_OK;
}

HRESULT FileCollector::CollectContaining(const wchar_t* pwszText, ICollector* pTarget)
{
    if (!pwszText || !pTarget)
        return RD_E_NULL_ARG;
    for (; m_cursor != m_entries.end(); ++m_cursor) {
        IEntry* pEntry = *m_cursor;
        wchar_t wszPath[kPathChars];
        if (!pEntry->IsPlaced() && SUCCEEDED(pEntry->GetFullPath(wszPath, _countof(wszPath)))
            && ContainsNoCase(wszPath, pwszText))
            pTarget->Add(pEntry);
    }
    return S_OK;
}

HRESULT FileCollector::PushPosition()
{
    m_positions.push_back(m_cursor);
    return S_OK;
}

HRESULT FileCollector::PopPosition()
{
    if (!m_positions.empty()) {
        m_cursor = m_positions.back();
        m_positions.pop_back();
    }
    return S_FALSE;
}
