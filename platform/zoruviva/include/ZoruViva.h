// ZoruViva.dll, the disk library: disks by index from 0, partitions by
// number from 1 in partition-table order. Bound through the import table.
// Every function is __stdcall with an undecorated export name.
#pragma once

#include <windows.h>
#include <winioctl.h>

#ifdef ZORUVIVA_BUILD
#define ZORUVIVA_API __declspec(dllexport)
#else
#define ZORUVIVA_API __declspec(dllimport)
#endif

// First field of the QueryDiskLengthInfo record.
typedef struct _ZV_DISK_LENGTH_INFO {
    LONGLONG Length;            // bytes
} ZV_DISK_LENGTH_INFO;

// QueryDiskInfo record: a leading 64-bit value (the disk's size in bytes
// here), then the disk geometry.
typedef struct _ZV_DISK_INFO {
    ULONGLONG DiskSize;
    DISK_GEOMETRY Geometry;
} ZV_DISK_INFO;

// A drive layout of four MBR entries, as GetPartitionInfo fills it and
// SetPartition takes it: 136 bytes.
#define ZV_LAYOUT_ENTRIES 4
#define ZV_LAYOUT_BYTES (FIELD_OFFSET(DRIVE_LAYOUT_INFORMATION, PartitionEntry) + \
                         ZV_LAYOUT_ENTRIES * sizeof(PARTITION_INFORMATION))

#ifdef __cplusplus
extern "C" {
#endif

// Index of the main (boot) disk; (DWORD)-1 when none.
ZORUVIVA_API DWORD WINAPI GetMainDiskIndexbyLocation(void);
// Drive letter of a partition; 0 = success (the letter may still be 0).
ZORUVIVA_API int WINAPI DskPos2LogDskLetter(DWORD dwDisk, DWORD dwPartition, WCHAR* pwcLetter);
// 1 removable, 0 fixed, -1 error.
ZORUVIVA_API int WINAPI IsRemovalDevice(DWORD dwDisk);
// 0 SSD, 1 hard disk; any other value neither (-1: no such disk).
ZORUVIVA_API int WINAPI DetectDriveType(DWORD dwDisk);
// 0 = success.
ZORUVIVA_API int WINAPI QueryDiskLengthInfo(DWORD dwDisk, ZV_DISK_LENGTH_INFO* pInfo);
ZORUVIVA_API int WINAPI ZQGetDiskLength(DWORD dwDisk, ULONGLONG* pullLength);
// Fills the partition count (4) and the entries in table order; cbLayout is
// the buffer's size in bytes, at least ZV_LAYOUT_BYTES. 0 = success.
ZORUVIVA_API int WINAPI GetPartitionInfo(DWORD dwDisk, DRIVE_LAYOUT_INFORMATION* pLayout, DWORD cbLayout);
ZORUVIVA_API int WINAPI QueryDiskInfo(DWORD dwDisk, ZV_DISK_INFO* pInfo);
// Writes the partition table from four entries; 0 = written. New partitions
// get letters once the system has mounted them.
ZORUVIVA_API int WINAPI SetPartition(DWORD dwDisk, const DRIVE_LAYOUT_INFORMATION* pLayout, DWORD cbLayout);
// Quick format of a volume; TRUE = done. The last two arguments are reserved (0).
ZORUVIVA_API BOOL WINAPI QSFormatEx(WCHAR wcLetter, const WCHAR* pwszFileSystem, DWORD dwReserved1, DWORD dwReserved2);

#ifdef __cplusplus
}
#endif
