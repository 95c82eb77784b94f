// The disk library over the simulated PC. Every call is journalled; nothing
// here touches a file outside the PC's folder or Wine's C: drive.
#define ZORUVIVA_BUILD
#include "ZoruViva.h"

#include "SimPcText.h"

#include "CSimPc.h"

#include <string>

namespace {

using SimPcText::Format;

const wchar_t* Who()
{
    return sizeof(void*) == 8 ? L"ZoruViva.dll/64" : L"ZoruViva.dll/32";
}

int ToCode(HRESULT hr)
{
    if (SUCCEEDED(hr))
        return 0;
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? (int)HRESULT_CODE(hr) : ERROR_GEN_FAILURE;
}

// Reads the description for a query; the journal line is written by the caller.
HRESULT ReadDisk(CSimPc& pc, DWORD dwDisk, SimDisk& disk)
{
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    SimPcState state;
    HRESULT hr = pc.Read(state);
    if (FAILED(hr))
        return hr;
    if (dwDisk >= state.disks.size())
        return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
    disk = state.disks[dwDisk];
    return S_OK;
}

bool IsMountable(BYTE type)
{
    switch (type) {
    case 0x01: case 0x04: case 0x06: case 0x07: case 0x0B: case 0x0C: case 0x0E:
        return true;
    default:
        return false;
    }
}

// Checks the new table against the disk: inside it and without overlaps.
bool IsLayoutValid(const SimDisk& disk, const DRIVE_LAYOUT_INFORMATION* pLayout)
{
    for (int i = 0; i < ZV_LAYOUT_ENTRIES; ++i) {
        const PARTITION_INFORMATION& a = pLayout->PartitionEntry[i];
        if (a.PartitionLength.QuadPart == 0)
            continue;
        if (a.StartingOffset.QuadPart < 0 || a.PartitionLength.QuadPart < 0 ||
            (ULONGLONG)(a.StartingOffset.QuadPart + a.PartitionLength.QuadPart) > disk.size)
            return false;
        for (int j = 0; j < i; ++j) {
            const PARTITION_INFORMATION& b = pLayout->PartitionEntry[j];
            if (b.PartitionLength.QuadPart == 0)
                continue;
            bool apart = a.StartingOffset.QuadPart + a.PartitionLength.QuadPart <= b.StartingOffset.QuadPart ||
                         b.StartingOffset.QuadPart + b.PartitionLength.QuadPart <= a.StartingOffset.QuadPart;
            if (!apart)
                return false;
        }
    }
    return true;
}

std::wstring DescribeLayout(const DRIVE_LAYOUT_INFORMATION* pLayout)
{
    std::wstring text;
    for (int i = 0; i < ZV_LAYOUT_ENTRIES; ++i) {
        const PARTITION_INFORMATION& e = pLayout->PartitionEntry[i];
        text += Format(L" [%d: start=%llu size=%llu type=0x%02X boot=%d]", i + 1,
                       (ULONGLONG)e.StartingOffset.QuadPart, (ULONGLONG)e.PartitionLength.QuadPart,
                       e.PartitionType, e.BootIndicator ? 1 : 0);
    }
    return text;
}

// Builds the disk's new slots: an entry matching an existing partition keeps
// it (files, letter); every other old partition is destroyed.
HRESULT ApplyLayout(CSimPc& pc, SimPcState& state, DWORD dwDisk, const DRIVE_LAYOUT_INFORMATION* pLayout)
{
    SimDisk& disk = state.disks[dwDisk];
    SimPartition next[4];
    bool kept[4] = {};
    for (int i = 0; i < ZV_LAYOUT_ENTRIES; ++i) {
        const PARTITION_INFORMATION& e = pLayout->PartitionEntry[i];
        if (e.PartitionLength.QuadPart == 0)
            continue;
        for (int k = 0; k < 4; ++k) {
            const SimPartition& old = disk.slots[k];
            if (!kept[k] && old.IsUsed() && old.start == (ULONGLONG)e.StartingOffset.QuadPart &&
                old.size == (ULONGLONG)e.PartitionLength.QuadPart) {
                next[i] = old;
                kept[k] = true;
                break;
            }
        }
        if (!next[i].IsUsed()) {
            next[i].id = state.NewId(L"p");
            next[i].start = (ULONGLONG)e.StartingOffset.QuadPart;
            next[i].size = (ULONGLONG)e.PartitionLength.QuadPart;
            next[i].fs = L"RAW";
        }
        next[i].type = e.PartitionType;
        next[i].active = e.BootIndicator != FALSE;
    }
    for (int k = 0; k < 4; ++k) {
        const SimPartition& old = disk.slots[k];
        if (old.IsUsed() && !kept[k] && CSimPc::IsProtectedLetter(old.letter))
            return pc.Refuse(L"SetPartition would delete the partition of C:, Wine's system drive");
    }
    for (int k = 0; k < 4; ++k) {
        const SimPartition& old = disk.slots[k];
        if (!old.IsUsed() || kept[k])
            continue;
        HRESULT hr = pc.DeleteFolder(pc.PartitionFolder(old));
        if (FAILED(hr))
            return hr;
    }
    for (int i = 0; i < 4; ++i)
        disk.slots[i] = next[i];
    // The system mounts what it recognises; the letters show up after a while.
    for (SimPartition& p : disk.slots) {
        if (!p.IsUsed() || p.letter || !IsMountable(p.type))
            continue;
        wchar_t letter = state.FreeLetter();
        if (!letter)
            continue;
        HRESULT hr = pc.AssignLetter(p, letter);
        if (FAILED(hr))
            return hr;
    }
    disk.pendingMounts = (DWORD)_wtoi(state.Value(L"mount_delay", L"0").c_str());
    return S_OK;
}

} // namespace

extern "C" {

DWORD WINAPI GetMainDiskIndexbyLocation(void)
{
    CSimPc pc(Who());
    SimPcState state;
    DWORD index = (DWORD)-1;
    if (pc.Open() && SUCCEEDED(pc.Read(state))) {
        for (size_t d = 0; d < state.disks.size(); ++d) {
            if (state.disks[d].main) {
                index = (DWORD)d;
                break;
            }
        }
    }
    pc.Journal(Format(L"GetMainDiskIndexbyLocation() -> %ld", (long)index));
    return index;
}

int WINAPI DskPos2LogDskLetter(DWORD dwDisk, DWORD dwPartition, WCHAR* pwcLetter)
{
    CSimPc pc(Who());
    if (!pwcLetter || !pc.Open())
        return ERROR_INVALID_PARAMETER;
    *pwcLetter = 0;
    WCHAR letter = 0;
    HRESULT hr = pc.Update([&](SimPcState& state) -> HRESULT {
        if (dwDisk >= state.disks.size())
            return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
        SimDisk& disk = state.disks[dwDisk];
        int slot = disk.SlotOfPartition(dwPartition);
        if (slot < 0)
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        if (disk.pendingMounts > 0) {
            --disk.pendingMounts;
            return S_FALSE;
        }
        letter = disk.slots[slot].letter;
        return S_OK;
    });
    int code = hr == S_FALSE ? ERROR_NOT_READY : ToCode(hr);
    if (!code)
        *pwcLetter = letter;
    pc.Journal(Format(L"DskPos2LogDskLetter(%lu, %lu) -> %d, letter '%lc'", dwDisk, dwPartition, code,
                      letter ? letter : L' '));
    return code;
}

int WINAPI IsRemovalDevice(DWORD dwDisk)
{
    CSimPc pc(Who());
    SimDisk disk;
    HRESULT hr = ReadDisk(pc, dwDisk, disk);
    int result = FAILED(hr) ? -1 : (disk.removable ? 1 : 0);
    pc.Journal(Format(L"IsRemovalDevice(%lu) -> %d", dwDisk, result));
    return result;
}

int WINAPI DetectDriveType(DWORD dwDisk)
{
    CSimPc pc(Who());
    SimDisk disk;
    HRESULT hr = ReadDisk(pc, dwDisk, disk);
    int result = FAILED(hr) ? -1 : (disk.ssd ? 0 : 1);
    pc.Journal(Format(L"DetectDriveType(%lu) -> %d", dwDisk, result));
    return result;
}

int WINAPI QueryDiskLengthInfo(DWORD dwDisk, ZV_DISK_LENGTH_INFO* pInfo)
{
    CSimPc pc(Who());
    SimDisk disk;
    HRESULT hr = pInfo ? ReadDisk(pc, dwDisk, disk) : E_POINTER;
    int code = pInfo ? ToCode(hr) : ERROR_INVALID_PARAMETER;
    if (!code)
        pInfo->Length = (LONGLONG)disk.size;
    pc.Journal(Format(L"QueryDiskLengthInfo(%lu) -> %d, length %llu", dwDisk, code, code ? 0ULL : disk.size));
    return code;
}

int WINAPI ZQGetDiskLength(DWORD dwDisk, ULONGLONG* pullLength)
{
    CSimPc pc(Who());
    SimDisk disk;
    HRESULT hr = pullLength ? ReadDisk(pc, dwDisk, disk) : E_POINTER;
    int code = pullLength ? ToCode(hr) : ERROR_INVALID_PARAMETER;
    if (!code)
        *pullLength = disk.size;
    pc.Journal(Format(L"ZQGetDiskLength(%lu) -> %d, length %llu", dwDisk, code, code ? 0ULL : disk.size));
    return code;
}

int WINAPI GetPartitionInfo(DWORD dwDisk, DRIVE_LAYOUT_INFORMATION* pLayout, DWORD cbLayout)
{
    CSimPc pc(Who());
    if (!pLayout || cbLayout < ZV_LAYOUT_BYTES) {
        pc.Open();
        pc.Journal(Format(L"GetPartitionInfo(%lu, %lu bytes) -> %d", dwDisk, cbLayout, ERROR_INSUFFICIENT_BUFFER));
        return pLayout ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER;
    }
    SimDisk disk;
    int code = ToCode(ReadDisk(pc, dwDisk, disk));
    if (!code) {
        ZeroMemory(pLayout, ZV_LAYOUT_BYTES);
        pLayout->PartitionCount = ZV_LAYOUT_ENTRIES;
        pLayout->Signature = 0x5A560000 | dwDisk;
        DWORD number = 0;
        for (int k = 0; k < ZV_LAYOUT_ENTRIES; ++k) {
            const SimPartition& p = disk.slots[k];
            PARTITION_INFORMATION& e = pLayout->PartitionEntry[k];
            if (!p.IsUsed())
                continue;
            e.StartingOffset.QuadPart = (LONGLONG)p.start;
            e.PartitionLength.QuadPart = (LONGLONG)p.size;
            e.HiddenSectors = disk.bytesPerSector ? (DWORD)(p.start / disk.bytesPerSector) : 0;
            e.PartitionNumber = ++number;
            e.PartitionType = p.type;
            e.BootIndicator = p.active;
            e.RecognizedPartition = IsMountable(p.type);
        }
    }
    pc.Journal(Format(L"GetPartitionInfo(%lu, %lu bytes) -> %d", dwDisk, cbLayout, code) +
               (code ? std::wstring() : DescribeLayout(pLayout)));
    return code;
}

int WINAPI QueryDiskInfo(DWORD dwDisk, ZV_DISK_INFO* pInfo)
{
    CSimPc pc(Who());
    SimDisk disk;
    HRESULT hr = pInfo ? ReadDisk(pc, dwDisk, disk) : E_POINTER;
    int code = pInfo ? ToCode(hr) : ERROR_INVALID_PARAMETER;
    if (!code) {
        ZeroMemory(pInfo, sizeof(*pInfo));
        pInfo->DiskSize = disk.size;
        pInfo->Geometry.Cylinders.QuadPart = (LONGLONG)disk.Cylinders();
        pInfo->Geometry.MediaType = disk.removable ? RemovableMedia : FixedMedia;
        pInfo->Geometry.TracksPerCylinder = disk.tracksPerCylinder;
        pInfo->Geometry.SectorsPerTrack = disk.sectorsPerTrack;
        pInfo->Geometry.BytesPerSector = disk.bytesPerSector;
    }
    pc.Journal(Format(L"QueryDiskInfo(%lu) -> %d", dwDisk, code));
    return code;
}

int WINAPI SetPartition(DWORD dwDisk, const DRIVE_LAYOUT_INFORMATION* pLayout, DWORD cbLayout)
{
    CSimPc pc(Who());
    if (!pc.Open())
        return ERROR_PATH_NOT_FOUND;
    if (!pLayout || cbLayout < ZV_LAYOUT_BYTES || pLayout->PartitionCount < ZV_LAYOUT_ENTRIES) {
        pc.Journal(Format(L"SetPartition(%lu, %lu bytes) -> %d", dwDisk, cbLayout, ERROR_INVALID_PARAMETER));
        return ERROR_INVALID_PARAMETER;
    }
    HRESULT hr = pc.Update([&](SimPcState& state) -> HRESULT {
        if (dwDisk >= state.disks.size())
            return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
        if (!IsLayoutValid(state.disks[dwDisk], pLayout))
            return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
        return ApplyLayout(pc, state, dwDisk, pLayout);
    });
    int code = ToCode(hr);
    pc.Journal(Format(L"SetPartition(%lu, %lu bytes) -> %d", dwDisk, cbLayout, code) + DescribeLayout(pLayout));
    return code;
}

BOOL WINAPI QSFormatEx(WCHAR wcLetter, const WCHAR* pwszFileSystem, DWORD dwReserved1, DWORD dwReserved2)
{
    CSimPc pc(Who());
    if (!pc.Open())
        return FALSE;
    std::wstring fs = pwszFileSystem ? pwszFileSystem : L"";
    HRESULT hr = S_OK;
    if (CSimPc::IsProtectedLetter(wcLetter)) {
        hr = pc.Refuse(L"QSFormatEx of C:, Wine's system drive");
    } else if (fs.empty()) {
        hr = E_INVALIDARG;
    } else {
        hr = pc.Update([&](SimPcState& state) -> HRESULT {
            SimPartition* p = state.FindVolume(wcLetter);
            if (!p)
                return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
            HRESULT emptied = pc.EmptyFolder(pc.PartitionFolder(*p));
            if (FAILED(emptied))
                return emptied;
            p->fs = fs;
            for (wchar_t& c : p->fs)
                c = (wchar_t)towupper(c);
            p->label.clear();
            return pc.WriteLabel(pc.PartitionFolder(*p), p->label);
        });
    }
    pc.Journal(Format(L"QSFormatEx('%lc', \"%ls\", %lu, %lu) -> %ls", wcLetter ? wcLetter : L' ', fs.c_str(),
                      dwReserved1, dwReserved2, SUCCEEDED(hr) ? L"TRUE" : L"FALSE"));
    return SUCCEEDED(hr);
}

} // extern "C"
