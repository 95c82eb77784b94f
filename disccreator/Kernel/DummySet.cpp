// Counting set.
#include "DummySet.h"

#include <new>

#include "DiscErrorCode.h"
#include "FileSet.h"
#include "IEntry.h"

// A null entry weighs nothing here; the real set answers the same for it.
BOOL DummySet::CanHold(IEntry* pEntry)
{
    return !pEntry || m_ullUsed + pEntry->GetSize(FALSE) <= m_ullCapacity;
}

BOOL DummySet::EntryExceedsCapacity(IEntry* pEntry)
{
    return !pEntry || pEntry->GetSize(FALSE) > m_ullCapacity;
}

HRESULT DummySet::Add(IEntry* pEntry)
{
    if (!pEntry)
        return RD_E_NULL_ARG;
    m_ullUsed += pEntry->GetSize(FALSE);
    return S_OK;
}

ISet* CreateSet(int iNumber, ULONGLONG ullCapacity, BOOL bCounting, BOOL bOwnsEntries)
{
    if (bCounting)
        return new (std::nothrow) DummySet(iNumber, ullCapacity);
    return new (std::nothrow) FileSet(iNumber, ullCapacity, bOwnsEntries);
}
