// A set that only adds up sizes: how many discs a run needs, without
// building the real sets.
#pragma once

#include "ISet.h"

class DummySet : public ISet {
public:
    DummySet(int iNumber, ULONGLONG ullCapacity) : m_iNumber(iNumber), m_iTotal(iNumber), m_ullCapacity(ullCapacity) {}

    BOOL CanHold(IEntry* pEntry) override;
    BOOL CanHoldSize(ULONGLONG ullSize) override { return m_ullUsed + ullSize <= m_ullCapacity; }
    BOOL ExceedsCapacity(ULONGLONG ullSize) override { return ullSize > m_ullCapacity; }
    BOOL EntryExceedsCapacity(IEntry* pEntry) override;
    HRESULT Add(IEntry* pEntry) override;
    void ResetUsed() override {}
    void Reset() override {}
    IEntry* Next() override { return nullptr; }
    int GetNumber() override { return m_iNumber; }
    int GetTotal() override { return m_iTotal; }
    BOOL IsLast() override { return m_iNumber == m_iTotal; }
    int GetIndex() override { return m_iNumber - 1; }
    ULONGLONG GetCapacity() override { return m_ullCapacity; }
    ULONGLONG GetUsed() override { return m_ullUsed; }
    ULONGLONG GetCount() override { return 0; }
    HRESULT SetTotal(int iTotal) override
    {
        m_iTotal = iTotal;
        return S_OK;
    }
    HRESULT FindEntries(const wchar_t*, ICollector*) override { return E_NOTIMPL; }

private:
    int m_iNumber;
    int m_iTotal;
    ULONGLONG m_ullCapacity;
    ULONGLONG m_ullUsed = 0;
};
