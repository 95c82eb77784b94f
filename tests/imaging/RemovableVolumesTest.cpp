// The removable volumes a backup may go to, on a notebook whose USB disk
// (disk 1, K: "USBSTICK") sits between its SSD and its hard disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CFileBackupMgr.h"
#include "CSimPc.h"

namespace {

const ULONGLONG kMiB = 1024ULL * 1024;
const DWORD kUsbDisk = 1;

std::wstring Letters(const RemovableVolumeList& list)
{
    std::wstring out;
    for (UINT i = 0; i < list.uCount && i < kMaxRemovableVolumes; i++)
        out += list.entries[i].wcLetter;
    return out;
}

// Fills the USB disk's other table entries: an extended entry, a data
// partition without a letter, and one with a letter that starts first.
bool AddPartitions()
{
    CSimPc pc(L"test");
    return pc.Open() && SUCCEEDED(pc.Update([&](SimPcState& s) -> HRESULT {
        SimDisk& disk = s.disks[kUsbDisk];
        SimPartition extended;
        extended.id = L"usbext";
        extended.type = 0x05;
        extended.start = 15500 * kMiB;
        extended.size = 200 * kMiB;
        SimPartition hidden = extended;
        hidden.id = L"usbnoletter";
        hidden.type = 0x07;
        hidden.start = 15800 * kMiB;
        hidden.fs = L"FAT32";
        hidden.label = L"NOLETTER";
        SimPartition first = hidden;
        first.id = L"usbfirst";
        first.start = 64 * 1024;
        first.size = 512 * 1024;
        first.label = L"FIRST";
        disk.slots[1] = extended;
        disk.slots[2] = hidden;
        disk.slots[3] = first;
        for (SimPartition* p : {&disk.slots[2], &disk.slots[3]})
            CreateDirectoryW(pc.PartitionFolder(*p).c_str(), nullptr);
        return pc.AssignLetter(disk.slots[3], L'H');
    }));
}

// Data volumes in the order of their start; an extended entry and a
// partition without a letter are left out, never asked for a root.
TEST(RemovableVolumes, DataVolumesWithLettersInStartOrder)
{
    CFileBackupMgr mgr(L'B');
    RemovableVolumeList list;
    memset(&list, 0xCD, sizeof list);
    ASSERT_EQ(S_OK, mgr.GetRemovableVolumes(&list));
    EXPECT_EQ(L"K", Letters(list));
    ASSERT_EQ(1u, list.uCount);
    EXPECT_EQ(std::wstring(L"USBSTICK"), list.entries[0].wszLabel);
    EXPECT_EQ(DRIVE_REMOVABLE, list.entries[0].nKind);
    EXPECT_GT(list.entries[0].ullTotalBytes, 0u);
    EXPECT_EQ(0, list.entries[1].wcLetter) << "unused entries are zero";

    ASSERT_TRUE(AddPartitions());
    ASSERT_EQ(S_OK, mgr.GetRemovableVolumes(&list));
    EXPECT_EQ(L"HK", Letters(list));
}

TEST(RemovableVolumes, NoRemovableDiskGivesAnEmptyList)
{
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    ASSERT_TRUE(SUCCEEDED(pc.Update([](SimPcState& s) {
        for (SimDisk& d : s.disks)
            d.removable = false;
        return S_OK;
    })));
    CFileBackupMgr mgr(L'B');
    RemovableVolumeList list;
    memset(&list, 0xCD, sizeof list);
    EXPECT_EQ(S_OK, mgr.GetRemovableVolumes(&list));
    EXPECT_EQ(0u, list.uCount);
}

} // namespace
