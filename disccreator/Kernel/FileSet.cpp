// Disc sets.
#include "FileSet.h"

#include "ContainsNoCase.h"
#include "DiscErrorCode.h"
#include "ICollector.h"
#include "IEntry.h"

FileSet::~FileSet()
{
    if (!m_bOwnsEntries)
        return;
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        delete *it;
}

HRESULT FileSet::Add(IEntry* pEntry)
{
    HRESULT hr = Count(pEntry);
    if (FAILED(hr))
        return hr;
    m_entries.push_back(pEntry);
    m_cursor = 0;
    return S_OK;
}

IEntry* FileSet::Next()
{
    return m_cursor < m_entries.size() ? m_entries[m_cursor++] : nullptr;
}

HRESULT FileSet::FindEntries(const wchar_t* pwszText, ICollector* pTarget)
{
    if (!pwszText || !pTarget)
        return RD_E_NULL_ARG;
    HRESULT hr = S_OK;
    for (IEntry* pEntry : m_entries) {
        wchar_t wszPath[kPathChars];
        hr = pEntry->GetFolderPath(wszPath, _countof(wszPath));
        if (FAILED(hr))
            continue;
        if (ContainsNoCase(wszPath, pwszText)) {
            pTarget->Add(pEntry);
            continue;
        }
        wchar_t wszName[kPathChars];
        if (SUCCEEDED(pEntry->GetFileName(wszName, _countof(wszName))) && ContainsNoCase(wszName, pwszText))
            pTarget->Add(pEntry);
    }
    return hr;
}
