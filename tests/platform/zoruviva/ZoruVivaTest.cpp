// The disk library over a simulated desktop booted into Windows PE: system
// partition A:, Windows B:, recovery partition D:, DVD writer E:.
#include "ZoruViva.h"

#include "CDriveLayout.h"
#include "CSimPc.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr ULONGLONG GiB = 1ULL << 30;
constexpr ULONGLONG MiB = 1ULL << 20;

using ToolRunner::Journal;
using ToolRunner::State;

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(ZoruViva, DiskQueries)
{
    EXPECT_EQ(0u, GetMainDiskIndexbyLocation());

    struct Case { DWORD disk; int removable; int type; int lengthResult; ULONGLONG length; };
    const Case cases[] = {
        {0, 0, 1, 0, 500 * GiB},
        {1, -1, -1, ERROR_INVALID_DRIVE, 0},
        {(DWORD)-1, -1, -1, ERROR_INVALID_DRIVE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("disk " + std::to_string(c.disk));
        EXPECT_EQ(c.removable, IsRemovalDevice(c.disk));
        EXPECT_EQ(c.type, DetectDriveType(c.disk));
        ULONGLONG length = 0;
        EXPECT_EQ(c.lengthResult, ZQGetDiskLength(c.disk, &length));
        EXPECT_EQ(c.length, length);
        ZV_DISK_LENGTH_INFO info = {};
        EXPECT_EQ(c.lengthResult, QueryDiskLengthInfo(c.disk, &info));
        EXPECT_EQ(c.length, (ULONGLONG)info.Length);
    }
    EXPECT_NE(0, ZQGetDiskLength(0, nullptr));
    EXPECT_NE(0, QueryDiskLengthInfo(0, nullptr));
}

TEST(ZoruViva, GeometryDescribesTheDisk)
{
    ZV_DISK_INFO info = {};
    ASSERT_EQ(0, QueryDiskInfo(0, &info));
    EXPECT_EQ(500 * GiB, info.DiskSize);
    EXPECT_EQ(512u, info.Geometry.BytesPerSector);
    EXPECT_EQ(63u, info.Geometry.SectorsPerTrack);
    EXPECT_EQ(255u, info.Geometry.TracksPerCylinder);
    EXPECT_EQ(FixedMedia, info.Geometry.MediaType);
    ULONGLONG cylinder = 512ULL * 63 * 255;
    EXPECT_EQ(500 * GiB / cylinder, (ULONGLONG)info.Geometry.Cylinders.QuadPart);
    EXPECT_NE(0, QueryDiskInfo(3, &info));
}

TEST(ZoruViva, LettersByDiskAndPartition)
{
    struct Case { DWORD disk, part; int result; WCHAR letter; };
    const Case cases[] = {
        {0, 1, 0, L'A'}, {0, 2, 0, L'B'}, {0, 3, 0, L'D'},
        {0, 4, ERROR_NOT_FOUND, 0}, {0, 0, ERROR_NOT_FOUND, 0}, {1, 1, ERROR_INVALID_DRIVE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("disk " + std::to_string(c.disk) + " partition " + std::to_string(c.part));
        WCHAR letter = L'?';
        EXPECT_EQ(c.result, DskPos2LogDskLetter(c.disk, c.part, &letter));
        EXPECT_EQ(c.letter, letter);
    }
    EXPECT_NE(0, DskPos2LogDskLetter(0, 1, nullptr));
}

TEST(ZoruViva, PartitionTableInTableOrder)
{
    CDriveLayout layout;
    ASSERT_EQ(0, GetPartitionInfo(0, layout.Get(), CDriveLayout::kBytes));
    EXPECT_EQ(4u, layout.Get()->PartitionCount);
    SimPcState state = State();
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE("entry " + std::to_string(k));
        const SimPartition& p = state.disks[0].slots[k];
        const PARTITION_INFORMATION& e = layout.Entry(k);
        EXPECT_EQ(p.start, (ULONGLONG)e.StartingOffset.QuadPart);
        EXPECT_EQ(p.size, (ULONGLONG)e.PartitionLength.QuadPart);
        EXPECT_EQ(p.type, e.PartitionType);
        EXPECT_EQ(p.active, e.BootIndicator != FALSE);
        EXPECT_EQ(p.IsUsed() ? (DWORD)k + 1 : 0u, e.PartitionNumber);
        EXPECT_EQ(p.start / 512, e.HiddenSectors);
    }
    EXPECT_TRUE(layout.Entry(0).BootIndicator);

    // The long form used when all partitions are listed.
    std::string big(10240, '\xAA');
    ASSERT_EQ(0, GetPartitionInfo(0, (DRIVE_LAYOUT_INFORMATION*)&big[0], (DWORD)big.size()));
    EXPECT_EQ(4u, ((DRIVE_LAYOUT_INFORMATION*)&big[0])->PartitionCount);

    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetPartitionInfo(0, layout.Get(), 135));
    EXPECT_NE(0, GetPartitionInfo(7, layout.Get(), CDriveLayout::kBytes));
}

TEST(ZoruViva, QuickFormatEmptiesTheVolume)
{
    ASSERT_TRUE(Exists(L"B:\\windows\\system32"));
    ASSERT_TRUE(QSFormatEx(L'B', L"ntfs", 0, 0));
    EXPECT_FALSE(Exists(L"B:\\windows"));
    EXPECT_FALSE(Exists(L"B:\\Users"));
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeW(L"B:\\"));
    SimPcState state = State();
    EXPECT_EQ(L"NTFS", state.disks[0].slots[1].fs);
    EXPECT_EQ(L"", state.disks[0].slots[1].label);
    EXPECT_NE(std::string::npos, Journal().find("QSFormatEx('B', \"ntfs\", 0, 0) -> TRUE"));

    struct Case { WCHAR letter; const WCHAR* fs; };
    const Case refused[] = {{L'Q', L"NTFS"}, {L'E', L"NTFS"}, {L'D', nullptr}, {L'D', L""}};
    for (const Case& c : refused) {
        SCOPED_TRACE(std::string("letter ") + (char)c.letter);
        EXPECT_FALSE(QSFormatEx(c.letter, c.fs, 0, 0));
    }
    EXPECT_TRUE(Exists(L"D:\\RPCONFIG.LOG"));
}

TEST(ZoruViva, SetPartitionThenLetters)
{
    // Keep the recovery partition, replace the first two by one new partition.
    CDriveLayout before;
    ASSERT_EQ(S_OK, before.Read(0));
    CDriveLayout layout;
    layout.SetEntry(0, MiB, 100 * GiB, 0x07, TRUE, 512);
    layout.Entry(1) = before.Entry(2);
    ASSERT_EQ(S_OK, layout.Write(0));

    WCHAR letter = 0;
    ASSERT_EQ(0, DskPos2LogDskLetter(0, 1, &letter));
    EXPECT_EQ(L'F', letter) << "the first free letter of the pool; E: is the DVD writer";
    ASSERT_EQ(0, DskPos2LogDskLetter(0, 2, &letter));
    EXPECT_EQ(L'D', letter);
    EXPECT_TRUE(Exists(L"D:\\RPCONFIG.LOG")) << "a kept partition keeps its files";
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(L"A:\\"));
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(L"B:\\"));
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeW(L"F:\\"));
    EXPECT_EQ(ERROR_NOT_FOUND, DskPos2LogDskLetter(0, 3, &letter));

    SimPcState state = State();
    EXPECT_EQ(L"RAW", state.disks[0].slots[0].fs);
    EXPECT_TRUE(state.disks[0].slots[0].active);
    EXPECT_TRUE(QSFormatEx(L'F', L"NTFS", 0, 0));
    EXPECT_EQ(L"NTFS", State().disks[0].slots[0].fs);
}

TEST(ZoruViva, LettersLagBehindANewTable)
{
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([](SimPcState& s) {
        s.pc[L"mount_delay"] = L"2";
        return S_OK;
    }));
    ASSERT_EQ(S_OK, CDriveLayout().Write(0));
    EXPECT_EQ(0u, State().disks[0].PartitionCount());
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(L"D:\\"));

    CDriveLayout layout;
    layout.SetEntry(0, MiB, 200 * MiB, 0x07, TRUE, 512);
    layout.SetEntry(1, MiB + 200 * MiB, 300 * GiB, 0x07, FALSE, 512);
    ASSERT_EQ(S_OK, layout.Write(0));
    WCHAR letter = 0;
    EXPECT_EQ(ERROR_NOT_READY, DskPos2LogDskLetter(0, 1, &letter));
    EXPECT_EQ(ERROR_NOT_READY, DskPos2LogDskLetter(0, 1, &letter));
    EXPECT_EQ(0, DskPos2LogDskLetter(0, 1, &letter));
    EXPECT_NE(0, letter);
    EXPECT_EQ(0, DskPos2LogDskLetter(0, 2, &letter));
    EXPECT_NE(0, letter);
}

TEST(ZoruViva, RejectsTablesThatDoNotFit)
{
    CDriveLayout before;
    ASSERT_EQ(S_OK, before.Read(0));
    struct Case { const char* name; ULONGLONG start1, size1, start2, size2; };
    const Case cases[] = {
        {"overlapping entries", MiB, 10 * GiB, 5 * GiB, 10 * GiB},
        {"beyond the disk's end", MiB, 10 * GiB, 499 * GiB, 2 * GiB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDriveLayout layout;
        layout.SetEntry(0, c.start1, c.size1, 0x07, FALSE, 512);
        layout.SetEntry(1, c.start2, c.size2, 0x07, FALSE, 512);
        EXPECT_EQ(ERROR_INVALID_PARAMETER, SetPartition(0, layout.Get(), CDriveLayout::kBytes));
        CDriveLayout after;
        ASSERT_EQ(S_OK, after.Read(0));
        EXPECT_EQ(0, memcmp(before.Get(), after.Get(), CDriveLayout::kBytes));
    }
    CDriveLayout layout;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, SetPartition(0, layout.Get(), 100));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, SetPartition(0, nullptr, CDriveLayout::kBytes));
}
