#include "RecoveryDiscQueries.h"

#include "CSBRMgr.h"

namespace {

// The letter by the drive's index, not by what the drive holds: the boot
// drive must be waited on even while it is empty.
wchar_t BootDriveLetter(CSBRMgr* pMgr)
{
    DWORD dwIndex = pMgr->GetBootCDROMIndex();
    if (dwIndex == INVALID_CDROM_INDEX)
        return 0;
    wchar_t wcLetter = 0;
    return SUCCEEDED(pMgr->GetDrvLetter(dwIndex, &wcLetter)) ? wcLetter : 0;
}

} // namespace

RecoveryDiscQueries RecoveryDiscQueries::FromController(CSBRMgr* pMgr)
{
    RecoveryDiscQueries queries;
    if (!pMgr)
        return queries;
    queries.bootDriveLetter = [pMgr] { return BootDriveLetter(pMgr); };
    queries.firstUserDiscPresent = [pMgr] { return pMgr->FirstUCRDIsExist(); };
    queries.factoryDiscLetter = [pMgr] { return pMgr->GetSSRDDrvLet(); };
    return queries;
}
