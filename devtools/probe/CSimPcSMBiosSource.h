// An SMBIOS source built from the simulated PC's description: one System
// Information structure with its manufacturer, product and serial strings.
#pragma once

#include "ISMBiosSource.h"

class CSimPcSMBiosSource : public ISMBiosSource {
public:
    BOOL GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& vecTable) override;
};
