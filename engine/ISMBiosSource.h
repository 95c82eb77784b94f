// Where the raw SMBIOS table comes from. Wine has no table of the machine,
// so tests replace the source.
#pragma once

#include <windows.h>

#include <vector>

class ISMBiosSource {
public:
    virtual ~ISMBiosSource() = default;
    // The SMBIOS version and a copy of the structure table; FALSE when they
    // cannot be read.
    virtual BOOL GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& vecTable) = 0;
};

// The real source: WMI, class "MSSMBios_RawSMBiosTables" in ROOT\WMI. COM must
// be initialised on the calling thread.
ISMBiosSource& SystemSMBiosSource();
