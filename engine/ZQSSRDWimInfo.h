// Layout file of the factory disc set: two partitions, no roles.
#pragma once

#include <windows.h>

#include "ZQWimInfoPar.h"

class ZQSSRDWimInfo {
public:
    // The codes of ZQUCRDWimInfo::LoadFile.
    HRESULT LoadFile(const wchar_t* pwszPath);

    ZQWimInfoPar m_WimInfoPar[2]; // "PART0001", "PART0002"
};
