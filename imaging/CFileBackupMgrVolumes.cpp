// The removable volumes a backup may go to: the data partitions of every
// removable disk that have a letter and answer for their label and space.
#include "CFileBackupMgr.h"

#include <winioctl.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "ZoruViva.h"

namespace {

const DWORD kLayoutBytes = 10240;
const DWORD kMaxDisks = 26;
const BYTE kTypeEmpty = 0x00;
const BYTE kTypeExtended = 0x05;
const BYTE kTypeExtendedLba = 0x0F;
// Records the buffer can hold after its count and signature.
const DWORD kMaxRecords =
    (kLayoutBytes - FIELD_OFFSET(DRIVE_LAYOUT_INFORMATION, PartitionEntry)) / sizeof(PARTITION_INFORMATION);

bool IsDataRecord(const PARTITION_INFORMATION& p)
{
    return p.PartitionType != kTypeEmpty && p.PartitionType != kTypeExtended && p.PartitionType != kTypeExtendedLba;
}

// Data records first, by their start; the others keep no order of their own.
bool ComparePartitionRecords(const PARTITION_INFORMATION& a, const PARTITION_INFORMATION& b)
{
    if (IsDataRecord(a) != IsDataRecord(b))
        return IsDataRecord(a);
    return IsDataRecord(a) && a.StartingOffset.QuadPart < b.StartingOffset.QuadPart;
}

bool FillVolume(wchar_t wcLetter, RemovableVolume* pVolume)
{
    wchar_t wszRoot[] = L"?:\\";
    wszRoot[0] = wcLetter;
    wchar_t wszLabel[MAX_PATH] = {};
    ULARGE_INTEGER free {}, total {};
    if (!GetVolumeInformationW(wszRoot, wszLabel, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0) ||
        !GetDiskFreeSpaceExW(wszRoot, &free, &total, nullptr))
        return false;
    wcsncpy(pVolume->wszLabel, wszLabel, MAX_PATH - 1);
    pVolume->wcLetter = wcLetter;
    pVolume->nKind = DRIVE_REMOVABLE;
    pVolume->ullTotalBytes = total.QuadPart;
    pVolume->ullFreeBytes = free.QuadPart;
    return true;
}

} // namespace

HRESULT CFileBackupMgr::GetRemovableVolumes(RemovableVolumeList* pList)
{
    if (!pList)
        return E_POINTER;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kLayoutBytes]);
    if (!buffer)
        return E_FAIL;
    ZeroMemory(pList, sizeof(*pList));
    auto* pLayout = reinterpret_cast<DRIVE_LAYOUT_INFORMATION*>(buffer.get());
    for (DWORD dwDisk = 0; dwDisk < kMaxDisks; dwDisk++) {
        if (IsRemovalDevice(dwDisk) != 1)
            continue;
        ZeroMemory(buffer.get(), kLayoutBytes);
        if (GetPartitionInfo(dwDisk, pLayout, kLayoutBytes) != 0)
            continue;
        // The count comes from the library: never past the buffer.
        DWORD dwCount = std::min<DWORD>(pLayout->PartitionCount, kMaxRecords);
        std::vector<PARTITION_INFORMATION> records(pLayout->PartitionEntry, pLayout->PartitionEntry + dwCount);
        std::stable_sort(records.begin(), records.end(), ComparePartitionRecords);
        for (const PARTITION_INFORMATION& record : records) {
            if (pList->uCount >= kMaxRemovableVolumes)
                return S_OK;
            WCHAR wcLetter = 0;
            // A partition without a letter answers 0: there is no root to ask.
            if (record.PartitionNumber == 0 || DskPos2LogDskLetter(dwDisk, record.PartitionNumber, &wcLetter) != 0 ||
                wcLetter < L'A' || wcLetter > L'Z')
                continue;
            if (FillVolume(wcLetter, &pList->entries[pList->uCount]))
                pList->uCount++;
        }
    }
    return S_OK;
}
