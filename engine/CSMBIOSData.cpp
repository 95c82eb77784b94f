#include "CSMBIOSData.h"

#include <string.h>

namespace {

const DWORD kHeaderBytes = 4;

// Type-1 field offsets and the version that introduced them.
const DWORD kT1Manufacturer = 4;
const DWORD kT1ProductName = 5;
const DWORD kT1Version = 6;
const DWORD kT1SerialNumber = 7;
const DWORD kT1UUID = 8;
const DWORD kT1WakeUpType = 24;
const DWORD kT1SKUNumber = 25;
const DWORD kT1Family = 26;
const DWORD kT11Count = 4;

} // namespace

CSMBIOSData::CSMBIOSData(ISMBiosSource& source) : m_source(source) {}

BOOL CSMBIOSData::FetchSMBiosData()
{
    BYTE bMajor = 0;
    BYTE bMinor = 0;
    std::vector<BYTE> vecTable;
    if (!m_source.GetRawTable(&bMajor, &bMinor, vecTable))
        return FALSE;
    m_bMajorVersion = bMajor;
    m_bMinorVersion = bMinor;
    m_vecTable.swap(vecTable);
    return TRUE;
}

bool CSMBIOSData::Locate(DWORD dwOffset, Located& loc) const
{
    DWORD dwSize = static_cast<DWORD>(m_vecTable.size());
    if (dwOffset >= dwSize || dwSize - dwOffset < kHeaderBytes)
        return false;
    DWORD dwLength = m_vecTable[dwOffset + 1];
    if (dwLength < kHeaderBytes || dwLength > dwSize - dwOffset)
        return false;
    // The string set ends with two nulls, which must lie inside the table.
    DWORD i = dwOffset + dwLength;
    while (i + 1 < dwSize && !(m_vecTable[i] == 0 && m_vecTable[i + 1] == 0))
        ++i;
    if (i + 1 >= dwSize)
        return false;
    loc.dwOffset = dwOffset;
    loc.dwStrings = dwOffset + dwLength;
    loc.dwEnd = i;
    loc.dwNext = i + 2;
    return true;
}

bool CSMBIOSData::FindType(BYTE bType, Located& loc) const
{
    DWORD dwOffset = 0;
    while (Locate(dwOffset, loc)) {
        if (m_vecTable[loc.dwOffset] == bType)
            return true;
        dwOffset = loc.dwNext;
    }
    return false;
}

const char* CSMBIOSData::StringOf(const Located& loc, BYTE bNumber) const
{
    if (bNumber == 0)
        return nullptr;
    DWORD i = loc.dwStrings;
    for (BYTE n = 1; i < loc.dwEnd; ++n) {
        if (m_vecTable[i] == 0)
            return nullptr; // an empty string set
        if (n == bNumber)
            return reinterpret_cast<const char*>(&m_vecTable[i]);
        i += static_cast<DWORD>(strlen(reinterpret_cast<const char*>(&m_vecTable[i]))) + 1;
    }
    return nullptr;
}

bool CSMBIOSData::VersionAtLeast(BYTE bMajor, BYTE bMinor) const
{
    return m_bMajorVersion > bMajor || (m_bMajorVersion == bMajor && m_bMinorVersion >= bMinor);
}

BOOL CSMBIOSData::GetData(SMBiosType1* pType1) const
{
    Located loc;
    if (pType1 == nullptr || !FindType(1, loc))
        return FALSE;
    memset(pType1, 0, sizeof(*pType1));
    const BYTE* pb = &m_vecTable[loc.dwOffset];
    DWORD dwLength = pb[1];
    // Firmware may give a structure shorter than its version implies:
    // every field is taken only from inside the formatted area.
    auto has = [dwLength](DWORD dwField, DWORD cb) { return dwField + cb <= dwLength; };
    pType1->bType = pb[0];
    pType1->bLength = pb[1];
    pType1->wHandle = static_cast<WORD>(pb[2] | (pb[3] << 8));
    if (has(kT1Manufacturer, 1))
        pType1->bManufacturer = pb[kT1Manufacturer];
    if (has(kT1ProductName, 1))
        pType1->bProductName = pb[kT1ProductName];
    if (has(kT1Version, 1))
        pType1->bVersion = pb[kT1Version];
    if (has(kT1SerialNumber, 1))
        pType1->bSerialNumber = pb[kT1SerialNumber];
    if (VersionAtLeast(2, 1)) {
        if (has(kT1UUID, sizeof(pType1->abUUID)))
            memcpy(pType1->abUUID, pb + kT1UUID, sizeof(pType1->abUUID));
        if (has(kT1WakeUpType, 1))
            pType1->bWakeUpType = pb[kT1WakeUpType];
    }
    if (VersionAtLeast(2, 4)) {
        if (has(kT1SKUNumber, 1))
            pType1->bSKUNumber = pb[kT1SKUNumber];
        if (has(kT1Family, 1))
            pType1->bFamily = pb[kT1Family];
    }
    pType1->szManufacturer = StringOf(loc, pType1->bManufacturer);
    pType1->szProductName = StringOf(loc, pType1->bProductName);
    pType1->szVersion = StringOf(loc, pType1->bVersion);
    pType1->szSerialNumber = StringOf(loc, pType1->bSerialNumber);
    pType1->szSKUNumber = StringOf(loc, pType1->bSKUNumber);
    pType1->szFamily = StringOf(loc, pType1->bFamily);
    return TRUE;
}

BOOL CSMBIOSData::GetData(SMBiosType11* pType11) const
{
    Located loc;
    if (pType11 == nullptr || !FindType(11, loc))
        return FALSE;
    memset(pType11, 0, sizeof(*pType11));
    const BYTE* pb = &m_vecTable[loc.dwOffset];
    pType11->bType = pb[0];
    pType11->bLength = pb[1];
    pType11->wHandle = static_cast<WORD>(pb[2] | (pb[3] << 8));
    BYTE bCount = pb[1] > kT11Count ? pb[kT11Count] : 0;
    // A count beyond the strings present would hand out null entries.
    BYTE bPresent = 0;
    while (bPresent < bCount) {
        const char* psz = StringOf(loc, static_cast<BYTE>(bPresent + 1));
        if (psz == nullptr)
            break;
        pType11->szStrings[bPresent++] = psz;
    }
    pType11->bCount = bPresent;
    return TRUE;
}

void CSMBIOSData::EnumStructures(void* pvContext, SMBiosEnumCallback pfnCallback) const
{
    if (pfnCallback == nullptr)
        return;
    Located loc;
    DWORD dwOffset = 0;
    for (DWORD dwIndex = 0; Locate(dwOffset, loc); ++dwIndex) {
        SMBiosStructInfo info = {loc.dwOffset, loc.dwEnd - loc.dwOffset, dwIndex, m_vecTable[loc.dwOffset]};
        pfnCallback(pvContext, &info);
        dwOffset = loc.dwNext;
    }
}
