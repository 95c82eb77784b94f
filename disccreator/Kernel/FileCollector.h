// The entries of one priority level, in order of addition, each once.
#pragma once

#include <list>
#include <unordered_set>
#include <vector>

#include "ICollector.h"

class FileCollector : public ICollector {
public:
    explicit FileCollector(BOOL bOwnsEntries) : m_bOwnsEntries(bOwnsEntries) {}
    ~FileCollector() override { Clear(); }
    FileCollector(const FileCollector&) = delete;
    FileCollector& operator=(const FileCollector&) = delete;

    HRESULT Add(IEntry* pEntry) override;
    HRESULT Remove(IEntry* pEntry) override;
    HRESULT Clear() override;
    void Reset() override { m_cursor = m_entries.begin(); }
    HRESULT Next(IEntry** ppEntry, BOOL bSkipPlaced) override;
    int GetKind() override { return 1; }
    HRESULT SetDriveLetters(wchar_t wcDefault, wchar_t wcRelocation) override;
    HRESULT ApplyPairs(ISearchPairs* pPairs) override;
    HRESULT CollectContaining(const wchar_t* pwszText, ICollector* pTarget) override;
    HRESULT PushPosition() override;
    HRESULT PopPosition() override;
    size_t GetCount() override { return m_entries.size(); }

private:
    std::list<IEntry*> m_entries;
    std::unordered_set<IEntry*> m_members;
    std::list<IEntry*>::iterator m_cursor = m_entries.begin();
    std::vector<std::list<IEntry*>::iterator> m_positions;
    BOOL m_bOwnsEntries;
};
