// What real and counting sets share: number, total, capacity and the bytes
// used, and every answer that depends on them alone, so both always agree.
#pragma once

#include "ISet.h"

class SetBase : public ISet {
public:
    SetBase(int iNumber, ULONGLONG ullCapacity) : m_iNumber(iNumber), m_iTotal(iNumber), m_ullCapacity(ullCapacity) {}

    // A null entry: CanHold and EntryExceedsCapacity are both TRUE.
    BOOL CanHold(IEntry* pEntry) override;
    BOOL CanHoldSize(ULONGLONG ullSize) override { return m_ullUsed + ullSize <= m_ullCapacity; }
    BOOL ExceedsCapacity(ULONGLONG ullSize) override { return ullSize > m_ullCapacity; }
    BOOL EntryExceedsCapacity(IEntry* pEntry) override;
    int GetNumber() override { return m_iNumber; }
    int GetTotal() override { return m_iTotal; }
    BOOL IsLast() override { return m_iNumber == m_iTotal; }
    int GetIndex() override { return m_iNumber - 1; }
    ULONGLONG GetCapacity() override { return m_ullCapacity; }
    ULONGLONG GetUsed() override { return m_ullUsed; }
    HRESULT SetTotal(int iTotal) override
    {
        m_iTotal = iTotal;
        return S_OK;
    }

protected:
    // Adds the entry's size to the bytes used.
    HRESULT Count(IEntry* pEntry);
    void ClearUsed() { m_ullUsed = 0; }

private:
    int m_iNumber;
    int m_iTotal;
    ULONGLONG m_ullCapacity;
    ULONGLONG m_ullUsed = 0;
};
