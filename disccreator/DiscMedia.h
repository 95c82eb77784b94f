// The burning engine's media codes with their names and capacities.
#pragma once

#include <windows.h>

enum DiscTypeMode {
    DTM_CDR = 2,
    DTM_CDRW = 4,
    DTM_DVDPRW_DL = 16,
    DTM_DVDMRW_DL = 32,
    DTM_DVDMR = 128,
    DTM_DVDPR = 256,
    DTM_DVDMRW = 512,
    DTM_DVDPRW = 1024,
    DTM_DVDPR_DL = 4096,
    DTM_DVDMR_DL = 8192,
};

// Capacity in MiB: 8050 for the double-layer kinds, 4350 for the other DVD
// kinds, 640 for every other code.
int DiscTypeCapacityMB(int iType);
// The name of a code; null for a code without a name.
const wchar_t* DiscTypeName(int iType);
// The code of a name (compared without regard to case); DVD-R when unknown.
int DiscTypeFromName(const wchar_t* pwszName);
