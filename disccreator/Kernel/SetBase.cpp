#include "SetBase.h"

#include "DiscErrorCode.h"
#include "IEntry.h"

BOOL SetBase::CanHold(IEntry* pEntry)
{
    return !pEntry || m_ullUsed + pEntry->GetSize(FALSE) <= m_ullCapacity;
}

BOOL SetBase::EntryExceedsCapacity(IEntry* pEntry)
{
    return !pEntry || pEntry->GetSize(FALSE) > m_ullCapacity;
}

HRESULT SetBase::Count(IEntry* pEntry)
{
    if (!pEntry)
        return RD_E_NULL_ARG;
    m_ullUsed += pEntry->GetSize(FALSE);
    return S_OK;
}
