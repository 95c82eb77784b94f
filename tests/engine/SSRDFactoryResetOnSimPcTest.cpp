// The factory reset from the factory disc set, end to end through the
// headless driver: Windows PE started from disc 1 of a three-disc factory
// set whose image is real (image-tree\1 and image-tree\boot beside the
// drives hold its sources). The disk still holds an older system: Windows
// on B:, the recovery partition on D:. The drive's queue holds a disc of
// another set, disc 2, disc 1 once more and disc 3.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CDumpMgr.h"
#include "CSBRMgr.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "SimPcTestEnv.h"
#include "RecoveryDriverRun.h"
#include "TestFiles.h"

namespace {

using SimPcTest::IsNotebook;
using namespace RecoveryTest;

const DWORD kDriverLimitMs = 180000;
const DWORD kWorkerLimitMs = 60000;
const wchar_t kOldWindowsFile[] = L"B:\\old-windows.txt";
const char kOldWindows[] = "the system before the reset\r\n";
const wchar_t kDrive = L'E';
const std::vector<std::wstring> kQueue = {L"other-set", L"ssrd2", L"wrong-number", L"ssrd3"};

// Where the set's discs lie: disc 1 in the drive, the others in the PC's folder.
std::wstring InDrive(const std::wstring& rel)
{
    return PcFolder() + L"\\drives\\E\\" + rel;
}

std::wstring OnDisc(const std::wstring& disc, const std::wstring& rel)
{
    return PcFolder() + L"\\discs\\" + disc + L"\\" + rel;
}

std::map<std::wstring, std::string> Tree(const std::wstring& root, const std::wstring& prefix = L"")
{
    std::map<std::wstring, std::string> out;
    for (const auto& e : TreeOf(root))
        out[prefix + e.first] = e.second;
    return out;
}

// The first difference between two trees, or "" when they match.
std::string Difference(const std::map<std::wstring, std::string>& expected,
                       const std::map<std::wstring, std::string>& actual)
{
    for (const auto& e : expected) {
        auto it = actual.find(e.first);
        if (it == actual.end())
            return "missing " + Narrow(e.first);
        if (it->second != e.second)
            return "different " + Narrow(e.first);
    }
    for (const auto& a : actual)
        if (!expected.count(a.first))
            return "unexpected " + Narrow(a.first);
    return "";
}

// The driver on this operation, given the longest it may take.
DriverRun RunDriver(const std::wstring& args)
{
    return RecoveryTest::RunDriver(L"--op ssrd-factory-reset" +
                                       std::wstring(IsNotebook() ? L" --vendor notebook " : L" --vendor desktop ") + args,
                                   kDriverLimitMs);
}

// The numbers after each "key " in the output, in order; with bChanges
// each only when it differs from the one before.
std::vector<DWORD> Numbers(const std::string& output, const std::string& key, bool bChanges)
{
    std::vector<DWORD> out;
    for (size_t pos = output.find(key); pos != std::string::npos; pos = output.find(key, pos + 1)) {
        DWORD dw = strtoul(output.c_str() + pos + key.size(), nullptr, 10);
        if (!bChanges || out.empty() || out.back() != dw)
            out.push_back(dw);
    }
    return out;
}

// Disc 1 in the drive, the tray closed and unlocked, the queue as laid out.
void ResetDrive()
{
    CSimPc pc(L"SSRDTest");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&pc](SimPcState& state) -> HRESULT {
        for (auto& drive : state.opticals) {
            if (drive.letter != kDrive)
                continue;
            drive.locked = false;
            drive.queue = kQueue;
            return pc.InsertDisc(state, drive, L"ssrd1");
        }
        return E_FAIL;
    }));
}

SimOptical Drive()
{
    CSimPc pc(L"SSRDTest");
    SimPcState state;
    if (pc.Open() && SUCCEEDED(pc.Read(state)))
        for (const auto& drive : state.opticals)
            if (drive.letter == kDrive)
                return drive;
    return SimOptical();
}

class SSRDFactoryResetOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LayOutProgram({L"MD.ini"}));
        ResetDrive();
        m_journalStart = Journal().size();
    }

    std::string Journal() { return TestFiles::ReadBytes(PcFolder() + L"\\journal.log"); }
    std::string NewJournal() { return Journal().substr(m_journalStart); }
    std::wstring ImageTree(const wchar_t* pwszName) { return PcFolder() + L"\\image-tree\\" + pwszName + L"\\"; }

    size_t m_journalStart = 0;
};

// ------------------------------------------------ failures before the disk changes

// A file of disc 1 (in the drive) replaced for one case, put back into the
// drive's disc when the object goes: disc 1 must be there again by then.
class CDiscFileChange {
public:
    CDiscFileChange(const std::wstring& rel, const std::string* pNewContent)
        : m_path(InDrive(rel)), m_old(TestFiles::ReadBytes(m_path))
    {
        m_ok = pNewContent ? TestFiles::WriteBytes(m_path, *pNewContent) : DeleteFileW(m_path.c_str()) != FALSE;
    }
    ~CDiscFileChange() { TestFiles::WriteBytes(m_path, m_old); }
    bool Ok() const { return m_ok && !m_old.empty(); }

private:
    std::wstring m_path;
    std::string m_old;
    bool m_ok = false;
};

const std::string kNoSizes = "[Recovery]\r\nSizeBP=300\r\n[SSRDPartition]\r\nPartition_1_Offset=1\r\n";
const std::string kSplitLogGarbage = std::string("\x01\x02\x03 no list", 12);
const std::string kSplitLogOutside = "base.wim=0 base2.wim=1 base3.wim=7\r\n";
const std::string kLayoutTooLarge =
    "[PART0001]\r\nStarting_Offset=1048576\r\nPartition_Size=644245094400\r\nPartition_Type=7\r\n"
    "[PART0002]\r\nStarting_Offset=644246142976\r\nPartition_Size=21474836480\r\nPartition_Type=7\r\n";

TEST_F(SSRDFactoryResetOnSimPc, FailuresBeforeTheDiskChangesLeaveItUntouched)
{
    struct Case {
        const char* name;
        const wchar_t* file; // on disc 1
        const std::string* content; // null: the file is removed
        const wchar_t* args;
        HRESULT hr;
    } cases[] = {
        {"no layout file", L"preload\\csp.dat", nullptr, L"", NV_E_PARTITION_INFO},
        {"no partition sizes", L"zq\\MLs\\BuildInfo.ini", &kNoSizes, L"", NV_E_PARTITION_INFO},
        {"no factory image", L"preload\\base.wim", nullptr, L"", NV_E_FAIL},
        {"no boot partition image", L"preload\\PART0002\\BootBP.wim", nullptr, L"", NV_E_FAIL},
        {"a layout larger than the disk", L"preload\\csp.dat", &kLayoutTooLarge, L"", NV_E_FAIL},
        // A disc that is no first disc is ejected and waited for; only the
        // user ends that wait.
        {"unreadable file list, then abort", L"preload\\SPLIT.LOG", &kSplitLogGarbage, L"--abort-at-status 28",
         NV_E_USER_CANCELLED},
        {"a disc outside the set, then abort", L"preload\\SPLIT.LOG", &kSplitLogOutside, L"--abort-at-status 28",
         NV_E_USER_CANCELLED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDrive();
        ASSERT_TRUE(Put(kOldWindowsFile, kOldWindows));
        m_journalStart = Journal().size();
        DriverRun run;
        {
            CDiscFileChange change(c.file, c.content);
            ASSERT_TRUE(change.Ok());
            run = RunDriver(c.args);
            // Disc 1 back into the drive before its file is put back.
            ResetDrive();
        }
        EXPECT_EQ(static_cast<DWORD>(c.hr), run.exitCode) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("dump file on")) << run.output;
        const std::string journal = NewJournal();
        EXPECT_EQ(std::string::npos, journal.find("SetPartition")) << journal;
        EXPECT_EQ(std::string::npos, journal.find("QSFormatEx")) << journal;
        EXPECT_EQ(kOldWindows, TestFiles::ReadBytes(kOldWindowsFile));
        EXPECT_TRUE(TestFiles::Exists(L"D:\\RPCONFIG.LOG")) << "the recovery partition stays";
        EXPECT_EQ(c.hr == NV_E_USER_CANCELLED, journal.find("EjectTray(TRUE)") != std::string::npos) << journal;
    }
}

// ------------------------------------------------ the dump file

class CQuickEnvironment : public CSystemControllerEnvironment {
public:
    class CNoSleepClock : public IClock {
    public:
        ULONGLONG TickCount64() override { return GetTickCount64(); }
        void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
        void Sleep(DWORD) override {}
    };
    std::wstring ProgramFolder() override { return kProgram; }
    IClock& Clock() override { return m_clock; }
    DWORD DiscPollMilliseconds() override { return 1; }
    CNoSleepClock m_clock;
};

// Without the burn object no disc can ever be read or become ready: the
// wait for the first disc ends at once, and the dump file, switched off by
// the start call, is on again.
TEST_F(SSRDFactoryResetOnSimPc, NoBurnObjectEndsTheWaitAndSwitchesTheDumpFileBackOn)
{
    CQuickEnvironment env;
    CSBRMgr mgr(&env);
    ASSERT_EQ(S_OK, mgr.Init());
    mgr.SetZQOSVer(ZQ_PLATFORM_WIN7);
    mgr.SetZQVendor(IsNotebook() ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
    mgr.SetSkipSaveFile(TRUE);
    ASSERT_EQ(S_OK, mgr.InitDisk());
    g_DumpMgr.SetEnabled(TRUE);
    ASSERT_EQ(S_OK, mgr.PerformZQSSRDFactoryReset());
    ASSERT_TRUE(mgr.WaitWorker(kWorkerLimitMs));
    DWORD dwStatus = 0, dwPercent = 0;
    ASSERT_EQ(S_OK, mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(OS_FAILED), dwStatus);
    EXPECT_EQ(NV_E_ALLOC, mgr.GetZQOpResult());
    EXPECT_TRUE(g_DumpMgr.IsEnabled());
    EXPECT_EQ(std::string::npos, NewJournal().find("SetPartition")) << NewJournal();
    EXPECT_EQ(std::string::npos, NewJournal().find("EjectTray")) << NewJournal();
}

// ------------------------------------------------ the whole reset

// Partition 1 after the reset: the image, the set's "preload" folders of all
// three discs, and the restore flag named after the build.
std::map<std::wstring, std::string> ExpectedPartition1(const std::wstring& imageTree)
{
    std::map<std::wstring, std::string> expected = Tree(imageTree);
    for (const wchar_t* disc : {L"ssrd1", L"ssrd2"})
        for (const auto& e : Tree(OnDisc(disc, L"preload\\"), L"preload\\"))
            expected[e.first] = e.second;
    for (const auto& e : Tree(InDrive(L"preload\\"), L"preload\\"))
        expected[e.first] = e.second;
    expected[L"preload\\"] = "";
    expected[L"base.restore"] = "";
    return expected;
}

TEST_F(SSRDFactoryResetOnSimPc, ResetFromTheThreeDiscs)
{
    const bool bDesktop = !IsNotebook();
    ASSERT_TRUE(Put(kOldWindowsFile, kOldWindows));
    const std::string keptReadme = TestFiles::ReadBytes(L"B:\\Users\\Public\\Documents\\readme.txt");
    ASSERT_FALSE(keptReadme.empty());
    // A copy an earlier run left on the RAM drive: it must not send the new
    // copy to the partition that is about to be wiped.
    const std::wstring kRamCopy = L"X:\\SystemRecovery\\RP\\zq\\recovery\\savefile\\Users\\Public\\Documents\\readme.txt";
    if (bDesktop) {
        ASSERT_TRUE(Put(kRamCopy, "an older copy\r\n"));
    }
    ASSERT_TRUE(Put(L"X:\\zq\\recovery\\patch\\postrecovery.cmd", "echo post> X:\\post.log\r\n"));
    DeleteFileW(L"X:\\post.log");

    DriverRun run = RunDriver(L"");
    ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
    const std::vector<DWORD> seen = Statuses(run.output);
    EXPECT_TRUE(InOrder(seen, {OS_REPARTITION, OS_SSRD_COPY_CDROM_FILE, OS_WAIT_DISC, OS_SSRD_COPY_CDROM_FILE,
                               OS_WAIT_DISC, OS_SSRD_COPY_CDROM_FILE, OS_SSRD_RESTORE_UP, OS_SSRD_RESTORE_SECOND}))
        << run.output;
    // A disc's copy can be shorter than the poll; the waits, a second each
    // at least, are seen, and the index between them shows a disc was taken.
    EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), static_cast<DWORD>(OS_WAIT_DISC))) << run.output;
    EXPECT_EQ((std::vector<DWORD>{1, 2}), Numbers(run.output, "waiting index ", false)) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("percent 100")) << run.output;

    // Each disc that came next was ejected: disc 1, the other set's, disc 2
    // and disc 1 once more; disc 3 stays in the drive.
    const std::string journal = NewJournal();
    EXPECT_EQ(4u, Count(journal, "EjectTray(TRUE)")) << journal;
    SimOptical drive = Drive();
    EXPECT_EQ(L"ssrd3", drive.disc);
    EXPECT_TRUE(drive.queue.empty());
    EXPECT_FALSE(drive.locked) << "the tray is unlocked at the end";

    // The new table: two partitions, Windows B: and the boot partition D:.
    EXPECT_NE(std::string::npos, journal.find("SetPartition")) << journal;
    EXPECT_EQ(std::string::npos, journal.find("REFUSED")) << journal;
    EXPECT_FALSE(TestFiles::Exists(kOldWindowsFile));
    EXPECT_EQ("", Difference(ExpectedPartition1(ImageTree(L"1")), Tree(L"B:\\")));

    std::map<std::wstring, std::string> part2 = Tree(ImageTree(L"boot"));
    if (bDesktop) {
        // The listed user file, saved on the RAM drive and then beside the boot files.
        const std::wstring saved = L"SystemRecovery\\RP\\zq\\recovery\\savefile\\Users\\Public\\Documents\\readme.txt";
        part2[saved] = keptReadme;
        for (size_t pos = saved.find(L'\\'); pos != std::wstring::npos; pos = saved.find(L'\\', pos + 1))
            part2[saved.substr(0, pos + 1)] = "";
    }
    EXPECT_EQ("", Difference(part2, Tree(L"D:\\")));
    EXPECT_EQ(bDesktop, TestFiles::Exists(L"X:\\post.log")) << "the post-recovery script runs on desktops only";
    EXPECT_EQ(bDesktop, TestFiles::Exists(L"X:\\SystemRecovery")) << "a notebook saves nothing";
    if (bDesktop) {
        EXPECT_EQ(keptReadme, TestFiles::ReadBytes(kRamCopy));
    }
}

// A damaged part on the last disc: the disk is laid out and the discs are
// copied, then the factory image cannot be applied. The operation ends with
// the apply's code; the boot partition gets nothing and no restore flag is
// written.
TEST_F(SSRDFactoryResetOnSimPc, DamagedImagePartEndsTheResetBeforeTheBootPartition)
{
    const std::wstring part = OnDisc(L"ssrd3", L"preload\\base3.wim");
    const std::string good = TestFiles::ReadBytes(part);
    ASSERT_FALSE(good.empty());
    ASSERT_TRUE(TestFiles::WriteBytes(part, "not a part of any image\r\n"));
    DriverRun run = RunDriver(L"--skip-save");
    ResetDrive();
    ASSERT_TRUE(TestFiles::WriteBytes(part, good));

    EXPECT_EQ(static_cast<DWORD>(NV_E_FAIL), run.exitCode) << run.output << NewJournal();
    EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("dump file on")) << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("status 31")) << run.output;
    EXPECT_NE(std::string::npos, NewJournal().find("SetPartition")) << NewJournal();
    EXPECT_TRUE(TestFiles::Exists(L"B:\\preload\\base3.wim")) << "the discs were copied";
    EXPECT_FALSE(TestFiles::Exists(L"B:\\base.restore"));
    EXPECT_EQ("", Difference({}, Tree(L"D:\\"))) << "the boot partition stays empty";
}

} // namespace
