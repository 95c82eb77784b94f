// diskpart.exe on a simulated desktop booted into Windows PE: system
// partition A:, Windows B: (300 GiB), recovery partition D: at the disk's end.
#include "ToolRunner.h"

#include <gtest/gtest.h>

using namespace ToolRunner;

namespace {
constexpr ULONGLONG MiB = 1ULL << 20;
constexpr ULONGLONG GiB = 1ULL << 30;
}

TEST(DiskPart, ShrinkCreateFormatAssign)
{
    ASSERT_EQ(300 * GiB, State().disks[0].slots[1].size);
    // The engine's scripts end lines with "\r\r\n" and indent them.
    const char* script =
        "select disk 0\r\r\n"
        "      select partition 2\r\r\n"
        "      shrink desired=1000\r\n"
        "create partition primary size=2000\r\n"
        "format fs=ntfs label=\"Data Disk\" quick\r\n"
        "assign letter=G\r\n"
        "exit\r\n";
    ASSERT_EQ(0, DiskPart(script));

    SimPcState state = State();
    const SimDisk& disk = state.disks[0];
    EXPECT_EQ(300 * GiB - 1000 * MiB, disk.slots[1].size) << "the Windows partition shrank";
    EXPECT_TRUE(Exists(L"B:\\windows\\system32")) << "shrinking keeps the files";
    const SimPartition& created = disk.slots[3];
    ASSERT_TRUE(created.IsUsed());
    EXPECT_EQ(2000 * MiB, created.size);
    EXPECT_EQ(0u, created.start % MiB);
    EXPECT_GE(created.start, disk.slots[1].start + disk.slots[1].size);
    EXPECT_LE(created.start + created.size, disk.slots[2].start);
    EXPECT_EQ(L'G', created.letter);
    EXPECT_EQ(L"NTFS", created.fs);
    EXPECT_EQ(L"Data Disk", created.label);
    EXPECT_EQ(DRIVE_FIXED, GetDriveTypeW(L"G:\\"));
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(L"F:\\")) << "the letter first given moved to G:";
    EXPECT_NE(std::string::npos, Journal().find("    | format fs=ntfs label=\"Data Disk\" quick"));
}

TEST(DiskPart, ActiveAndInactive)
{
    ASSERT_EQ(0, DiskPart("sel disk 0\r\nsel par 3\r\nactive\r\n"));
    SimPcState state = State();
    EXPECT_FALSE(state.disks[0].slots[0].active);
    EXPECT_TRUE(state.disks[0].slots[2].active);
    ASSERT_EQ(0, DiskPart("select disk 0\r\nselect partition 3\r\ninactive\r\nsel disk 0\r\nsel partition 1\r\nactive\r\n"));
    state = State();
    EXPECT_TRUE(state.disks[0].slots[0].active);
    EXPECT_FALSE(state.disks[0].slots[2].active);
}

TEST(DiskPart, FailuresStopTheScriptWithACode)
{
    struct Case { const char* name; const char* script; int code; };
    const Case cases[] = {
        {"unknown command", "select disk 0\r\nfrobnicate\r\nselect partition 1\r\ndelete partition\r\n", 5},
        {"missing disk", "select disk 7\r\nclean\r\n", 4},
        {"missing partition", "select disk 0\r\nselect partition 9\r\ndelete partition\r\n", 4},
        {"no selection", "format fs=ntfs quick\r\n", 4},
        {"letter in use", "select volume A\r\nassign letter=D\r\n", 4},
        {"shrink beyond the volume", "select volume A\r\nshrink desired=900000\r\n", 4},
        {"extend without free space", "select volume A\r\nextend\r\n", 4},
        {"missing volume", "select volume Q\r\ndelete volume\r\n", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimPcState before = State();
        EXPECT_EQ(c.code, DiskPart(c.script));
        SimPcState after = State();
        EXPECT_EQ(before.disks[0].PartitionCount(), after.disks[0].PartitionCount());
        EXPECT_EQ(before.disks[0].slots[0].size, after.disks[0].slots[0].size);
    }
    EXPECT_TRUE(Exists(L"A:\\bootmgr"));
}

TEST(DiskPart, DeleteRecoveryAndExtendWindows)
{
    // Volumes made by the tests above sit between Windows and the recovery
    // partition: take them away first.
    std::string script;
    for (const SimPartition& p : State().disks[0].slots)
        if (p.IsUsed() && p.letter && p.letter != L'A' && p.letter != L'B' && p.letter != L'D')
            script += std::string("select volume ") + (char)p.letter + "\ndelete volume\n";
    ASSERT_EQ(0, DiskPart(script));
    // What the removal of the recovery partition writes.
    ASSERT_EQ(0, DiskPart("sel volume D\ndel volume override\nsel volume B\nextend\n"));
    SimPcState state = State();
    const SimDisk& disk = state.disks[0];
    EXPECT_FALSE(disk.slots[2].IsUsed());
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(L"D:\\"));
    EXPECT_EQ(disk.size, disk.slots[1].start + disk.slots[1].size) << "Windows grew to the disk's end";
    EXPECT_TRUE(Exists(L"B:\\windows\\system32"));
}

TEST(DiskPart, CleanEmptiesTheDisk)
{
    ASSERT_EQ(0, DiskPart("select disk 0\nclean\n"));
    EXPECT_EQ(0u, State().disks[0].PartitionCount());
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(L"B:\\"));
    EXPECT_EQ(3, ToolRunner::Run(L"diskpart.exe /s Q:\\missing.txt"));
}

TEST(SessionTools, EndTheSimulatedSession)
{
    struct Case { const wchar_t* command; const wchar_t* session; };
    const Case cases[] = {
        {L"wpeutil.exe SetMuiLanguage en-US", L""},
        {L"wpeutil.exe Reboot", L"reboot"},
        {L"shutdown.exe -s -t 0", L"shutdown"},
        {L"wpeutil.exe Shutdown", L"shutdown"},
        {L"shutdown.exe -r -t 0", L"reboot"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command, c.command + wcslen(c.command)));
        CSimPc pc(L"test");
        ASSERT_TRUE(pc.Open());
        ASSERT_EQ(S_OK, pc.Update([](SimPcState& s) { s.pc.erase(L"session"); return S_OK; }));
        EXPECT_EQ(0, ToolRunner::Run(c.command));
        EXPECT_EQ(c.session, State().Value(L"session"));
    }
    EXPECT_NE(std::string::npos, Journal().find("[wpeutil.exe"));
    EXPECT_NE(std::string::npos, Journal().find("run SetMuiLanguage en-US"));
}
