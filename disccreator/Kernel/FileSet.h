// The content of one disc: its entries in order of addition.
#pragma once

#include <vector>

#include "ISet.h"

class FileSet : public ISet {
public:
    FileSet(int iNumber, ULONGLONG ullCapacity, BOOL bOwnsEntries)
        : m_iNumber(iNumber), m_iTotal(iNumber), m_ullCapacity(ullCapacity), m_bOwnsEntries(bOwnsEntries) {}
    ~FileSet() override;
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    BOOL CanHold(IEntry* pEntry) override;
    BOOL CanHoldSize(ULONGLONG ullSize) override { return m_ullUsed + ullSize <= m_ullCapacity; }
    BOOL ExceedsCapacity(ULONGLONG ullSize) override { return ullSize > m_ullCapacity; }
    BOOL EntryExceedsCapacity(IEntry* pEntry) override;
    HRESULT Add(IEntry* pEntry) override;
    void ResetUsed() override { m_ullUsed = 0; }
    void Reset() override { m_cursor = 0; }
    IEntry* Next() override;
    int GetNumber() override { return m_iNumber; }
    int GetTotal() override { return m_iTotal; }
    BOOL IsLast() override { return m_iNumber == m_iTotal; }
    int GetIndex() override { return m_iNumber - 1; }
    ULONGLONG GetCapacity() override { return m_ullCapacity; }
    ULONGLONG GetUsed() override { return m_ullUsed; }
    ULONGLONG GetCount() override { return m_entries.size(); }
    HRESULT SetTotal(int iTotal) override
    {
        m_iTotal = iTotal;
        return S_OK;
    }
    HRESULT FindEntries(const wchar_t* pwszText, ICollector* pTarget) override;

private:
    int m_iNumber;
    int m_iTotal;
    ULONGLONG m_ullCapacity;
    ULONGLONG m_ullUsed = 0;
    BOOL m_bOwnsEntries;
    std::vector<IEntry*> m_entries;
    size_t m_cursor = 0;
};
