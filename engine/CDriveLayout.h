// The four-entry MBR drive layout that the disk library ZoruViva.dll fills
// (GetPartitionInfo) and writes (SetPartition): 136 bytes, zero-filled, with
// RewritePartition set in every entry, used or empty.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include "ZoruViva.h"

class CDriveLayout {
public:
    static constexpr int kEntries = ZV_LAYOUT_ENTRIES;
    static constexpr DWORD kBytes = ZV_LAYOUT_BYTES;

    CDriveLayout();

    DRIVE_LAYOUT_INFORMATION* Get() { return reinterpret_cast<DRIVE_LAYOUT_INFORMATION*>(m_bytes); }
    const DRIVE_LAYOUT_INFORMATION* Get() const { return reinterpret_cast<const DRIVE_LAYOUT_INFORMATION*>(m_bytes); }
    // Entry k (0..3) in table order.
    PARTITION_INFORMATION& Entry(int k);
    const PARTITION_INFORMATION& Entry(int k) const;

    // Fills entry k as a used, recognised entry; HiddenSectors is the start
    // in sectors of bytesPerSector.
    void SetEntry(int k, ULONGLONG start, ULONGLONG length, BYTE type, BOOL boot, DWORD bytesPerSector);
    // Entries with a non-zero length.
    DWORD UsedCount() const;

    // The disk's table through GetPartitionInfo: 0 or 0xE0EF0038.
    HRESULT Read(DWORD dwDisk);
    // SetPartition with this table: 0 or 0xE0EF0003.
    HRESULT Write(DWORD dwDisk) const;

private:
    alignas(8) BYTE m_bytes[kBytes];
};
