// Platform and vendor codes that steer the recovery steps and the pages.
#pragma once

#include <windows.h>

enum ZQPlatform : DWORD {
    ZQ_PLATFORM_VISTA = 2,
    ZQ_PLATFORM_WIN7 = 4,
};

enum ZQVendor : DWORD {
    ZQ_VENDOR_DOZ = 2, // desktop
    ZQ_VENDOR_CNB = 4, // notebook
};
