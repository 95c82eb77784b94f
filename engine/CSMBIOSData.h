// Decodes the SMBIOS structure table: System Information (type 1), OEM
// Strings (type 11) and a walk over all structures. Every read stays inside
// the table and inside each structure's own length.
#pragma once

#include <windows.h>

#include <vector>

#include "ISMBiosSource.h"

struct SMBiosType1 {
    BYTE bType;
    BYTE bLength;
    WORD wHandle;
    BYTE bManufacturer;
    BYTE bProductName;
    BYTE bVersion;
    BYTE bSerialNumber;
    BYTE abUUID[16];
    BYTE bWakeUpType;
    BYTE bSKUNumber;
    BYTE bFamily;
    // Into the table; null when the number is 0 or names no string.
    const char* szManufacturer;
    const char* szProductName;
    const char* szVersion;
    const char* szSerialNumber;
    const char* szSKUNumber;
    const char* szFamily;
};

struct SMBiosType11 {
    BYTE bType;
    BYTE bLength;
    WORD wHandle;
    // The strings actually present, at most the structure's own count.
    BYTE bCount;
    const char* szStrings[255];
};

// What EnumStructures reports of each structure.
struct SMBiosStructInfo {
    DWORD dwOffset; // from the start of the table
    DWORD dwSize;   // formatted area and strings, up to the first terminating null
    DWORD dwIndex;  // from 0
    DWORD dwType;
};

typedef void (*SMBiosEnumCallback)(void* pvContext, const SMBiosStructInfo* pInfo);

class CSMBIOSData {
public:
    explicit CSMBIOSData(ISMBiosSource& source = SystemSMBiosSource());
    CSMBIOSData(const CSMBIOSData&) = delete;
    CSMBIOSData& operator=(const CSMBIOSData&) = delete;

    // TRUE when version and table were read; on failure the object keeps
    // what it had.
    BOOL FetchSMBiosData();
    BOOL GetData(SMBiosType1* pType1) const;
    BOOL GetData(SMBiosType11* pType11) const;
    void EnumStructures(void* pvContext, SMBiosEnumCallback pfnCallback) const;

    BYTE GetMajorVersion() const { return m_bMajorVersion; }
    BYTE GetMinorVersion() const { return m_bMinorVersion; }

private:
    struct Located {
        DWORD dwOffset;   // formatted area
        DWORD dwStrings;  // first string
        DWORD dwEnd;      // first of the two terminating nulls
        DWORD dwNext;     // next structure
    };
    // The structure at dwOffset; false when it is cut or malformed.
    bool Locate(DWORD dwOffset, Located& loc) const;
    bool FindType(BYTE bType, Located& loc) const;
    const char* StringOf(const Located& loc, BYTE bNumber) const;
    bool VersionAtLeast(BYTE bMajor, BYTE bMinor) const;

    ISMBiosSource& m_source;
    BYTE m_bMajorVersion = 0;
    BYTE m_bMinorVersion = 0;
    std::vector<BYTE> m_vecTable;
};
