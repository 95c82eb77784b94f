// One partition of a recovery set's layout file ("csp.dat").
#pragma once

#include <windows.h>

enum ZQPartRole : DWORD {
    PR_NONE = 0,
    PR_UP = 1, // the Windows (user) partition
    PR_BP = 2,
    PR_RP = 3, // the recovery partition
};

struct ZQWimInfoPar {
    ULONGLONG ullStartingOffset = 0; // bytes from the start of the disk
    ULONGLONG ullPartitionSize = 0;  // bytes; 0 marks an empty entry
    DWORD dwPartitionType = 0;       // MBR type, low byte significant
    BOOL bPrimary = FALSE;
    BOOL bMountedVolume = FALSE;
    DWORD dwWindowsVersion = 0;
    BOOL bFixedSize = FALSE;
    ULONGLONG ullUsedSpace = 0;
    ZQPartRole enPartRole = PR_NONE; // user-created sets only
};
