// The content of one disc: its entries in order of addition.
#pragma once

#include <vector>

#include "SetBase.h"

class FileSet : public SetBase {
public:
    FileSet(int iNumber, ULONGLONG ullCapacity, BOOL bOwnsEntries)
        : SetBase(iNumber, ullCapacity), m_bOwnsEntries(bOwnsEntries) {}
    ~FileSet() override;
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    HRESULT Add(IEntry* pEntry) override;
    void ResetUsed() override { ClearUsed(); }
    void Reset() override { m_cursor = 0; }
    IEntry* Next() override;
    ULONGLONG GetCount() override { return m_entries.size(); }
    HRESULT FindEntries(const wchar_t* pwszText, ICollector* pTarget) override;

private:
    BOOL m_bOwnsEntries;
    std::vector<IEntry*> m_entries;
    size_t m_cursor = 0;
};
