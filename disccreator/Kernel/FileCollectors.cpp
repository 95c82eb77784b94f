// Collectors by level.
#include "FileCollectors.h"

#include <new>

#include "DiscErrorCode.h"
#include "IEntry.h"
#include "NvErrorCode.h"

HRESULT FileCollectors::Clear()
{
    m_levels.clear();
    m_cursor = m_levels.begin();
    return S_OK;
}

HRESULT FileCollectors::Add(IEntry* pEntry)
{
    if (!pEntry)
        return RD_E_NULL_ARG;
    std::unique_ptr<FileCollector>& level = m_levels[pEntry->GetPriorityLevel()];
    if (!level) {
        level.reset(new (std::nothrow) FileCollector(TRUE));
        if (!level) {
            m_levels.erase(pEntry->GetPriorityLevel());
            return NV_E_ALLOC;
        }
    }
    level->Add(pEntry);
    return S_OK;
}

HRESULT FileCollectors::Remove(IEntry* pEntry)
{
    if (!pEntry)
        return RD_E_NULL_ARG;
    auto it = m_levels.find(pEntry->GetPriorityLevel());
    return it == m_levels.end() ? E_FAIL : it->second->Remove(pEntry);
}

HRESULT FileCollectors::Next(ICollector** ppCollector)
{
    if (!ppCollector)
        return RD_E_NULL_ARG;
    if (m_cursor == m_levels.end())
        return NV_E_NOT_FOUND;
    *ppCollector = (m_cursor++)->second.get();
    return S_OK;
}

HRESULT FileCollectors::Find(UINT uLevel, ICollector** ppCollector)
{
    if (!ppCollector)
        return RD_E_NULL_ARG;
    auto it = m_levels.find(uLevel);
    if (it == m_levels.end())
        return NV_E_NOT_FOUND;
    *ppCollector = it->second.get();
    return S_OK;
}

HRESULT FileCollectors::SetDriveLetters(wchar_t wcDefault, wchar_t wcRelocation)
{
    for (auto& level : m_levels)
        level.second->SetDriveLetters(wcDefault, wcRelocation);
    return S_OK;
}
