#include "CDriveLayout.h"

#include "NvErrorCode.h"

#include <cstring>

static_assert(CDriveLayout::kBytes == 136, "four MBR entries after the count and signature");

CDriveLayout::CDriveLayout()
{
    memset(m_bytes, 0, sizeof(m_bytes));
    Get()->PartitionCount = kEntries;
    for (int k = 0; k < kEntries; ++k)
        Entry(k).RewritePartition = TRUE;
}

PARTITION_INFORMATION& CDriveLayout::Entry(int k)
{
    // Addressed through the buffer: the header declares the array with one entry.
    return *reinterpret_cast<PARTITION_INFORMATION*>(m_bytes + FIELD_OFFSET(DRIVE_LAYOUT_INFORMATION, PartitionEntry) +
                                                     k * sizeof(PARTITION_INFORMATION));
}

const PARTITION_INFORMATION& CDriveLayout::Entry(int k) const
{
    return const_cast<CDriveLayout*>(this)->Entry(k);
}

void CDriveLayout::SetEntry(int k, ULONGLONG start, ULONGLONG length, BYTE type, BOOL boot, DWORD bytesPerSector)
{
    PARTITION_INFORMATION& e = Entry(k);
    e.StartingOffset.QuadPart = (LONGLONG)start;
    e.PartitionLength.QuadPart = (LONGLONG)length;
    e.HiddenSectors = bytesPerSector ? (DWORD)(start / bytesPerSector) : 0;
    e.PartitionNumber = 0;
    e.PartitionType = type;
    e.BootIndicator = boot ? TRUE : FALSE;
    e.RecognizedPartition = TRUE;
    e.RewritePartition = TRUE;
}

DWORD CDriveLayout::UsedCount() const
{
    DWORD n = 0;
    for (int k = 0; k < kEntries; ++k)
        n += Entry(k).PartitionLength.QuadPart != 0 ? 1 : 0;
    return n;
}

HRESULT CDriveLayout::Read(DWORD dwDisk)
{
    return GetPartitionInfo(dwDisk, Get(), kBytes) == 0 ? S_OK : NV_E_PARTITION_INFO;
}

HRESULT CDriveLayout::Write(DWORD dwDisk) const
{
    return SetPartition(dwDisk, Get(), kBytes) == 0 ? S_OK : NV_E_FAIL;
}
