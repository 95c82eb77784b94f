// The disk- and burn-management COM objects of the machine maker: the
// interfaces as the recovery controller calls them, in slot order. Both are
// registered in-process servers and free-threaded: pointers made on one
// thread are used from others.
#pragma once

#include <windows.h>
#include <unknwn.h>

// {C4AD02DF-943B-4735-A7F8-BA417D1B047D}
static const CLSID CLSID_DiskMgmt = {0xC4AD02DF, 0x943B, 0x4735, {0xA7, 0xF8, 0xBA, 0x41, 0x7D, 0x1B, 0x04, 0x7D}};
// {B4C8A296-4D4C-402C-A870-D5F739745ADE}
static const IID IID_IDiskMgmt = {0xB4C8A296, 0x4D4C, 0x402C, {0xA8, 0x70, 0xD5, 0xF7, 0x39, 0x74, 0x5A, 0xDE}};
// {A77E5D8F-8A2A-43EB-8728-8CE95B5FC1C4}
static const CLSID CLSID_BurnMgmt = {0xA77E5D8F, 0x8A2A, 0x43EB, {0x87, 0x28, 0x8C, 0xE9, 0x5B, 0x5F, 0xC1, 0xC4}};
// {2A3C5564-8BB2-4568-AB73-EB9976312F63}
static const IID IID_IBurnMgmt = {0x2A3C5564, 0x8BB2, 0x4568, {0xAB, 0x73, 0xEB, 0x99, 0x76, 0x31, 0x2F, 0x63}};

// As GetDiskInfo reports a disk; callers keep it without interpreting it.
struct DiskMgmtDiskInfo {
    DWORD dwValue1;
    WORD wValue2;
    BYTE byValue3;
    BYTE byValue4;
    ULONGLONG ullValue5;
};

// File-system codes of DiskMgmtPartitionInfo::dwFileSystem.
enum DiskMgmtFileSystem : DWORD {
    DMFS_UNKNOWN = 0,
    DMFS_FAT16 = 1,
    DMFS_FAT32 = 2,
    DMFS_NTFS = 3,
};

struct DiskMgmtPartitionInfo {
    ULONGLONG ullStartingOffset; // bytes
    ULONGLONG ullLength;         // bytes
    DWORD dwFileSystem;          // DiskMgmtFileSystem
    DWORD dwExtra;
};

// The auxiliary object of IDiskMgmt; Rescan(-1) refreshes all disks.
struct IDiskMgmtAux : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Rescan(DWORD dwDisk) = 0;
};

struct IDiskMgmt : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAuxiliary(IDiskMgmtAux** ppAux) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDiskCount(DWORD* pdwCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDiskInfo(DWORD dwDisk, DiskMgmtDiskInfo* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPartitionCount(DWORD dwDisk, DWORD* pdwCount) = 0;
    // dwPartition counts from 1.
    virtual HRESULT STDMETHODCALLTYPE GetPartitionInfo(DWORD dwDisk, DWORD dwPartition, DiskMgmtPartitionInfo* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    // *pwcLetter is 0 when the partition has no letter.
    virtual HRESULT STDMETHODCALLTYPE GetDriveLetter(DWORD dwDisk, DWORD dwPartition, WCHAR* pwcLetter) = 0;
};

// GetDiscInfo: the fourth value is the capacity in 2048-byte sectors.
struct BurnDiscInfo {
    DWORD dwMediaType;
    DWORD dwDiscStatus; // 0 blank, 1 written
    DWORD dwFreeSectors;
    DWORD dwCapacitySectors;
};

struct BurnDiscLabel {
    DWORD dwValue; // the label's length in characters
    WCHAR wszLabel[33];
};

// Methods without a drive argument act on the drive selected last; the
// selection is shared by every thread that holds the object.
struct IBurnMgmt : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(DWORD dwReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDriveCount(DWORD* pdwCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDrvLetter(DWORD dwDrive, WCHAR* pwcLetter) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectDrive(DWORD dwDrive) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDiscLabel(BurnDiscLabel* pLabel) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDiscInfo(BurnDiscInfo* pInfo) = 0;
    // S_OK when the current drive holds a readable disc.
    virtual HRESULT STDMETHODCALLTYPE IsDrvReady() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockTray(BOOL bLock) = 0;
    // TRUE opens the tray.
    virtual HRESULT STDMETHODCALLTYPE EjectTray(BOOL bOpen) = 0;
};
