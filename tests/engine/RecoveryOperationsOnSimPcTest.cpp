// The recovery operations end to end through the headless driver, on
// simulated PCs whose recovery partition holds a real image (Windows PE
// started from the hard disk: Windows partition B:, recovery partition D:).
// The PC keeps the image's source trees in image-tree\N beside its drives.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "CSBRMgr.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "SimPcTestEnv.h"
#include "RecoveryDriverRun.h"
#include "TestFiles.h"

namespace {

using SimPcTest::IsNotebook;
using namespace RecoveryTest;

bool IsVista()
{
    return SimPcTest::Profile().find("vista") != std::string::npos;
}

const DWORD kDriverLimitMs = 120000;

// The driver, given the longest an operation of these tests may take.
DriverRun RunDriver(const std::wstring& args)
{
    return RecoveryTest::RunDriver(args, kDriverLimitMs);
}

// Windows PE started from a user-created disc.
bool FromDisc()
{
    return SimPcTest::Profile() == "pe-user-discs";
}

class RecoveryOperationsOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LayOutProgram({L"MD.ini", L"ReCreateWinRE.cmd"}));
        m_journalStart = Journal().size();
    }

    std::string Journal() { return TestFiles::ReadBytes(PcFolder() + L"\\journal.log"); }
    std::string NewJournal() { return Journal().substr(m_journalStart); }
    std::wstring ImageTree(int n) { return PcFolder() + L"\\image-tree\\" + std::to_wstring(n) + L"\\"; }
    std::wstring Vendor()
    {
        return std::wstring(IsNotebook() ? L" --vendor notebook" : L" --vendor desktop") +
               (IsVista() ? L" --windows vista" : L"");
    }

    size_t m_journalStart = 0;
};

// The user's listed files: one the image also holds, one it does not.
const struct {
    const wchar_t* path;
    std::string content;
} kKept[] = {
    {L"\\Users\\Public\\Documents\\readme.txt", "the user's own readme\r\n"},
    {L"\\Users\\me\\notes.bin", std::string("\x01\x02\x00\xff notes", 10)},
};

void ListKeptFiles()
{
    std::string list;
    for (const auto& k : kKept) {
        std::wstring path = std::wstring(L"B:") + k.path;
        ASSERT_TRUE(Put(path, k.content));
        list += std::string(k.path, k.path + wcslen(k.path)) + "\r\n";
    }
    ASSERT_TRUE(Put(L"D:\\zq\\recovery\\patch\\savefile.ini", list));
}

TEST_F(RecoveryOperationsOnSimPc, SystemRecoveryPutsTheImageBack)
{
    if (FromDisc())
        GTEST_SKIP() << "the image lies on the discs";
    struct Case {
        const char* name;
        bool notebook;
        bool vista;
        DWORD mode;
        bool noMinimal;
        std::vector<int> editions; // applied in order
    } cases[] = {
        {"desktop", false, false, 1, false, {1}},
        {"desktop vista", false, true, 1, false, {1}},
        {"notebook mode 1", true, false, 1, false, {1}},
        {"notebook mode 2", true, false, 2, false, {3}},
        {"notebook mode 2 without minimal", true, false, 2, true, {1}},
        {"notebook mode 5", true, false, 5, false, {1, 2}},
    };
    for (const auto& c : cases) {
        if (c.notebook != IsNotebook() || c.vista != IsVista())
            continue;
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(TestFiles::WriteBytes(L"B:\\old-windows.txt", "gone after the recovery\r\n"));
        ListKeptFiles();
        std::map<std::wstring, std::string> kept;
        for (const auto& k : kKept)
            kept[k.path + 1] = TestFiles::ReadBytes(std::wstring(L"B:") + k.path);
        ASSERT_TRUE(Put(L"D:\\zq\\recovery\\patch\\prerecovery.cmd", "echo pre> D:\\pre.log\r\n"));
        DeleteFileW(L"D:\\pre.log");
        const wchar_t kNoMin[] = L"D:\\system.sav\\Flags\\NoMinImgRecovery.flg";
        DeleteFileW(kNoMin);
        if (c.noMinimal) {
            ASSERT_TRUE(Put(kNoMin, ""));
        }
        m_journalStart = Journal().size();

        DriverRun run = RunDriver(L"--op system-recovery" + Vendor() + L" --mode " + std::to_wstring(c.mode));
        ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
        // A step shorter than the poll may go unseen; the order may not change.
        EXPECT_TRUE(InOrder(Statuses(run.output), {OS_FORMATTING, OS_REINSTALL})) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("percent 100")) << run.output;

        // The image, edition over edition, then the kept files over it.
        std::map<std::wstring, std::string> expected;
        for (int n : c.editions)
            for (const auto& e : TreeOf(ImageTree(n)))
                expected[e.first] = e.second;
        for (const auto& k : kept) {
            expected[k.first] = k.second;
            for (size_t pos = k.first.find(L'\\'); pos != std::wstring::npos; pos = k.first.find(L'\\', pos + 1))
                expected[k.first.substr(0, pos + 1)] = "";
        }
        std::map<std::wstring, std::string> actual = TreeOf(L"B:\\");
        for (const auto& e : expected) {
            auto it = actual.find(e.first);
            ASSERT_NE(actual.end(), it) << "missing " << std::string(e.first.begin(), e.first.end());
            EXPECT_EQ(e.second, it->second) << std::string(e.first.begin(), e.first.end());
        }
        std::set<std::wstring> extras;
        for (const auto& a : actual)
            if (!expected.count(a.first))
                extras.insert(a.first);
        // The markers a notebook's recovery leaves.
        std::set<std::wstring> markers;
        if (c.notebook)
            markers = {L"system.sav\\FLAGS\\HDD_RECOVERY.dat", L"system.sav\\FLAGS\\Rimage.flg",
                       L"system.sav\\FLAGS\\SystemRecoveryDone.flg"};
        if (c.mode == 5)
            markers.insert(L"system.sav\\FLAGS\\MDinImg.flg");
        // Without a system partition the boot store is made on Windows's own.
        if (c.vista)
            markers.insert({L"boot\\", L"boot\\bcd"});
        for (const auto& m : markers)
            EXPECT_TRUE(actual.count(m)) << "no marker " << std::string(m.begin(), m.end());
        for (const auto& e : extras)
            EXPECT_TRUE(markers.count(e)) << "unexpected " << std::string(e.begin(), e.end());

        std::string journal = NewJournal();
        EXPECT_NE(std::string::npos, journal.find("Bootmend")) << journal;
        EXPECT_EQ(!c.notebook, journal.find("bcdedit") != std::string::npos) << journal;
        // Vista has no system partition to rebuild.
        EXPECT_EQ(!c.notebook && !c.vista, journal.find("BCDBoot") != std::string::npos) << journal;
        EXPECT_EQ(!c.notebook, TestFiles::Exists(L"D:\\pre.log")) << "the pre-recovery script runs on desktops";
        EXPECT_FALSE(TestFiles::Exists(L"B:\\MDTemp"));
        EXPECT_FALSE(TestFiles::Exists(std::wstring(kProgram) + L"PreRecovery.bat"));
        DeleteFileW(kNoMin);
    }
}

} // namespace

namespace {

// With an SSD and a hard disk the image lies on the hard disk's RPDATA.
const std::wstring kImage =
    SimPcTest::Profile().find("ssd-hdd") != std::string::npos ? L"G:\\preload\\base.wim" : L"D:\\preload\\base.wim";
const std::wstring kImageAway = kImage + L".away";

// Before anything is formatted the operation finds its image; without one
// the Windows partition keeps every file.
TEST_F(RecoveryOperationsOnSimPc, SystemRecoveryWithoutImageTouchesNothing)
{
    if (FromDisc())
        GTEST_SKIP() << "the image lies on the discs";
    ASSERT_TRUE(Put(L"B:\\old-windows.txt", "still here\r\n"));
    const std::string image = TestFiles::ReadBytes(kImage);
    ASSERT_TRUE(MoveFileW(kImage.c_str(), kImageAway.c_str()));
    DriverRun run = RunDriver(L"--op system-recovery" + Vendor());
    MoveFileW(kImageAway.c_str(), kImage.c_str());
    EXPECT_EQ(static_cast<DWORD>(NV_E_FAIL), run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
    EXPECT_EQ("still here\r\n", TestFiles::ReadBytes(L"B:\\old-windows.txt"));
    std::string journal = NewJournal();
    EXPECT_EQ(std::string::npos, journal.find("QSFormatEx")) << journal;
    EXPECT_EQ(std::string::npos, journal.find("diskpart")) << journal;
    EXPECT_EQ(image, TestFiles::ReadBytes(kImage));
}

// Files enough that the capture lasts longer than the driver's poll.
void FillWindowsPartition()
{
    std::string block(64 * 1024, 'r');
    for (int i = 0; i < 300; ++i) {
        block[0] = static_cast<char>(i);
        ASSERT_TRUE(Put(L"B:\\Data\\file" + std::to_wstring(i) + L".bin", block));
    }
}

TEST_F(RecoveryOperationsOnSimPc, ReImageReplacesTheImageOnlyAfterTheCapture)
{
    if (FromDisc())
        GTEST_SKIP() << "the image lies on the discs";
    if (IsNotebook())
        return; // one platform is enough for the capture
    FillWindowsPartition();
    ASSERT_TRUE(Put(L"B:\\reimaged.txt", "captured\r\n"));
    const std::string old = TestFiles::ReadBytes(kImage);
    ASSERT_FALSE(old.empty());

    // An aborted capture keeps the factory image as it was.
    DriverRun aborted = RunDriver(L"--op reimage" + Vendor() + L" --abort-at-status 36");
    EXPECT_NE(0u, aborted.exitCode) << aborted.output;
    EXPECT_NE(std::string::npos, aborted.output.find("status 255")) << aborted.output;
    EXPECT_EQ(old, TestFiles::ReadBytes(kImage));
    EXPECT_TRUE(TestFiles::Exists(L"D:\\preload\\README.txt"));
    EXPECT_FALSE(TestFiles::Exists(L"D:\\preload.new"));

    DriverRun run = RunDriver(L"--op reimage" + Vendor());
    ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
    EXPECT_TRUE(InOrder(Statuses(run.output), {OS_REIMAGE_CAPTURE, OS_REIMAGE_APPLY})) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("percent 100")) << run.output;
    std::map<std::wstring, std::string> preload = TreeOf(L"D:\\preload\\");
    ASSERT_EQ(1u, preload.size()) << "the folder holds the new image only";
    EXPECT_NE(old, preload.begin()->second);
    EXPECT_EQ(L"base.wim", preload.begin()->first) << "the same name";
    EXPECT_FALSE(TestFiles::Exists(L"D:\\preload.new"));
    EXPECT_FALSE(TestFiles::Exists(L"D:\\preload.old"));

    // The new image is what a recovery puts back.
    ASSERT_TRUE(DeleteFileW(L"B:\\reimaged.txt"));
    DriverRun recovery = RunDriver(L"--op system-recovery --skip-save" + Vendor());
    ASSERT_EQ(0u, recovery.exitCode) << recovery.output;
    EXPECT_EQ("captured\r\n", TestFiles::ReadBytes(L"B:\\reimaged.txt"));
    EXPECT_EQ(300u, TreeOf(L"B:\\Data\\").size());
}

// An abort reaches the running apply through its callback: the format
// before it ran, the apply stops and the operation fails. (An abort before
// the format keeps the disk: RecoveryFaultsOnSimPc.)
TEST_F(RecoveryOperationsOnSimPc, AbortEndsTheApplyAsAFailure)
{
    if (FromDisc())
        GTEST_SKIP() << "the image lies on the discs";
    if (IsNotebook())
        return;
    ASSERT_TRUE(Put(L"B:\\old-windows.txt", "formatted away\r\n"));
    DriverRun run = RunDriver(L"--op system-recovery --skip-save" + Vendor() + L" --abort-at-status " +
                              std::to_wstring(OS_REINSTALL));
    EXPECT_NE(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("aborting")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("percent 100")) << run.output;
    EXPECT_FALSE(TestFiles::Exists(L"B:\\old-windows.txt")) << "the format ran before the abort\n" << run.output;
    EXPECT_EQ(std::string::npos, NewJournal().find("Bootmend")) << "no step after the apply ran";
}

// Last: the PC has no recovery partition afterwards.
TEST_F(RecoveryOperationsOnSimPc, RemovalOfTheRecoveryPartition)
{
    if (FromDisc())
        GTEST_SKIP() << "the image lies on the discs";
    if (IsNotebook())
        return; // the removal's scripts per platform are covered by the controller's tests
    ASSERT_TRUE(Put(L"D:\\Recovery\\WindowsRE\\Winre.wim", "recovery environment"));
    const std::wstring fail = std::wstring(kProgram) + L"ReCreateWinRE.fail";
    ASSERT_TRUE(Put(fail, ""));
    DriverRun failed = RunDriver(L"--op remove-rp" + Vendor());
    DeleteFileW(fail.c_str());
    EXPECT_EQ(static_cast<DWORD>(NV_E_FAIL), failed.exitCode) << failed.output;
    EXPECT_EQ(std::string::npos, failed.output.find("percent 100")) << failed.output;
    EXPECT_TRUE(TestFiles::Exists(L"D:\\RPCONFIG.LOG")) << "the recovery partition stays";

    DriverRun run = RunDriver(L"--op remove-rp" + Vendor());
    ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
    EXPECT_EQ((std::vector<DWORD>{OS_REMOVE_RP}), Statuses(run.output)) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("percent 100")) << run.output;
    EXPECT_FALSE(TestFiles::Exists(L"D:\\RPCONFIG.LOG"));
    EXPECT_NE(std::string::npos, NewJournal().find("del volume override")) << NewJournal();
}

} // namespace

namespace {

// This PC's disc set lists no image file (its parts are not named *.wim): a
// recovery started from it is refused before anything is formatted. The
// recovery from a set with a real image is UCRDRecoveryOnSimPcTest's.
TEST_F(RecoveryOperationsOnSimPc, RecoveryFromADiscIsRefusedUntouched)
{
    if (!FromDisc())
        GTEST_SKIP() << "started from the hard disk";
    ASSERT_TRUE(Put(L"B:\\old-windows.txt", "still here\r\n"));
    DriverRun run = RunDriver(L"--op system-recovery --vendor desktop");
    EXPECT_EQ(static_cast<DWORD>(NV_E_FAIL), run.exitCode) << run.output;
    EXPECT_EQ("still here\r\n", TestFiles::ReadBytes(L"B:\\old-windows.txt"));
    EXPECT_EQ(std::string::npos, NewJournal().find("QSFormatEx")) << NewJournal();
}

} // namespace
