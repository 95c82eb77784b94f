// Free space of a drive. Wine reports the host's disk, so tests replace it.
#pragma once

#include <windows.h>

class IFreeSpace {
public:
    virtual ~IFreeSpace() = default;
    // Bytes available to the caller on the drive of root ("X:\"); FALSE with
    // the last error set on failure.
    virtual BOOL GetFreeBytes(const wchar_t* root, ULONGLONG* bytes) = 0;
};

// The real query (GetDiskFreeSpaceExW).
IFreeSpace& SystemFreeSpace();
