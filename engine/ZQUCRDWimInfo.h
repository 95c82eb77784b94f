// Layout file of a user-created disc set or of the recovery partition:
// four partitions with their roles, and the disk size.
#pragma once

#include <windows.h>

#include "ZQWimInfoPar.h"

class ZQUCRDWimInfo {
public:
    // 0; 0xE0EF001E for a null path; 0xE0EF0003 when the file is missing or
    // holds no partition section. A failed load changes nothing.
    HRESULT LoadFile(const wchar_t* pwszPath);

    ZQWimInfoPar m_WimInfoPar[5]; // by partition number 1 to 4; 0 stays zero
    ULONGLONG m_ullDiskSize = 0;
};
