// The disc creator's dump: one file, every line stamped with the local time.
#include <gtest/gtest.h>

#include <windows.h>

#include "CDumpMgr.h"
#include "TestFiles.h"

using namespace TestFiles;

namespace {

const std::wstring kDump = L"L:\\ProgramData\\Recovery\\DiscoraDump.txt";

class CFakeClock : public IClock {
public:
    ULONGLONG TickCount64() override { return 0; }
    void LocalTime(SYSTEMTIME* pst) override { *pst = m_now; }
    SYSTEMTIME m_now{};
};

TEST(DiscoraDump, LinesStampedYearFirst)
{
    struct {
        WORD year, month, day, hour, minute, second;
        const char* stamp;
    } cases[] = {
        {2009, 3, 3, 14, 5, 9, "[09-03-03 14-05-09]"},
        {2000, 12, 31, 0, 0, 0, "[00-12-31 00-00-00]"},
        {2026, 1, 2, 23, 59, 58, "[26-01-02 23-59-58]"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ClearDrive(L'L'));
        CDumpMgr mgr;
        CFakeClock clock;
        mgr.SetClock(&clock);
        mgr.Initialize();
        mgr.SetDumpMode(DM_OS);
        mgr.PrepareDumpFilePath(L'L');
        clock.m_now = SYSTEMTIME{c.year, c.month, 0, c.day, c.hour, c.minute, c.second, 0};
        mgr.Write(L"CDiscCreator::Run text\n");
        EXPECT_EQ(std::string(c.stamp) + "CDiscCreator::Run text\r\n", ReadBytes(kDump)) << c.stamp;
        mgr.Uninitialize();
    }
}

TEST(DiscoraDump, NoPendingMergeAndNothingBeforePrepare)
{
    ASSERT_TRUE(ClearDrive(L'L'));
    CreateDirectoryW(L"L:\\ProgramData", nullptr);
    CreateDirectoryW(L"L:\\ProgramData\\Recovery", nullptr);
    ASSERT_TRUE(WriteBytes(L"L:\\ProgramData\\Recovery\\MendoraDumpNew.txt", "pending\r\n"));
    CDumpMgr mgr;
    mgr.Initialize();
    mgr.SetDumpMode(DM_OS);
    mgr.Write(L"too early\n");
    EXPECT_FALSE(Exists(kDump));
    mgr.PrepareDumpFilePath(L'L');
    EXPECT_TRUE(Exists(L"L:\\ProgramData\\Recovery\\MendoraDumpNew.txt"));
    wchar_t wsz[MAX_PATH];
    EXPECT_TRUE(mgr.GetDumpFilePath(wsz, MAX_PATH));
    EXPECT_EQ(kDump, wsz);
    mgr.Uninitialize();
}

} // namespace
