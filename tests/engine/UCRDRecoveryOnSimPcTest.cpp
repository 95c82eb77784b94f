// Recovery from a user-created disc set end to end through the headless
// driver: Windows PE booted from disc 1 of a set of two whose discs hold a
// real image split into parts (the PC keeps the image's source trees in
// image-tree\N). The Windows partition is B: before and after a reset.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
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

const DWORD kDriverLimitMs = 180000;
const ULONGLONG kMiB = 1ull << 20;
const ULONGLONG kGiB = 1ull << 30;

// The driver, given the longest an operation of these tests may take.
DriverRun RunDriver(const std::wstring& args)
{
    return RecoveryTest::RunDriver(args, kDriverLimitMs);
}

struct Part {
    ULONGLONG start, size;
    wchar_t letter;
    bool active;
    bool operator==(const Part& o) const
    {
        return start == o.start && size == o.size && letter == o.letter && active == o.active;
    }
};
using Table = std::vector<std::vector<Part>>; // by disk

SimPcState PcState()
{
    CSimPc pc(L"UCRDRecoveryTest");
    SimPcState state;
    EXPECT_TRUE(pc.Open());
    EXPECT_HRESULT_SUCCEEDED(pc.Read(state));
    return state;
}

Table Partitions()
{
    Table table;
    for (const SimDisk& d : PcState().disks) {
        table.emplace_back();
        for (const SimPartition& p : d.slots)
            if (p.IsUsed())
                table.back().push_back({p.start, p.size, p.letter, p.active});
    }
    return table;
}

std::string Describe(const Table& table)
{
    std::string s;
    for (size_t d = 0; d < table.size(); ++d)
        for (const Part& p : table[d])
            s += "disk " + std::to_string(d) + ": start " + std::to_string(p.start) + " size " +
                 std::to_string(p.size) + " letter " + std::string(1, p.letter ? static_cast<char>(p.letter) : '-') +
                 (p.active ? " active" : "") + "\n";
    return s;
}

void ChangePc(const std::function<void(CSimPc&, SimPcState&)>& change)
{
    CSimPc pc(L"UCRDRecoveryTest");
    ASSERT_TRUE(pc.Open());
    ASSERT_HRESULT_SUCCEEDED(pc.Update([&](SimPcState& state) -> HRESULT {
        change(pc, state);
        return S_OK;
    }));
}

// The hard disk as the profile laid it out: its table, its letters
// folders and the image folder that makes G: the image partition.
void RestoreHardDisk(const SimDisk& saved)
{
    ChangePc([&](CSimPc&, SimPcState& s) { s.disks.at(1) = saved; });
    CreateDirectoryW((PcFolder() + L"\\drives\\F").c_str(), nullptr);
    CreateDirectoryW((PcFolder() + L"\\drives\\G").c_str(), nullptr);
    CreateDirectoryW((PcFolder() + L"\\drives\\G\\preload").c_str(), nullptr);
}

// Disc 1 in the drive, then the given discs in turn.
void LoadDiscs(const std::vector<std::wstring>& queue)
{
    ChangePc([&](CSimPc& pc, SimPcState& state) {
        SimOptical& drive = state.opticals.at(0);
        drive.locked = false;
        EXPECT_HRESULT_SUCCEEDED(pc.InsertDisc(state, drive, L"ucrd1"));
        drive.queue = queue;
    });
}

// The user's listed files (savefile.ini on disc 1 lists both): one the image
// also holds, one it does not.
const struct {
    const wchar_t* path;
    std::string content;
} kKept[] = {
    {L"Users\\Public\\Documents\\readme.txt", "the user's own readme\r\n"},
    {L"Users\\me\\notes.bin", std::string("\x01\x02\x00\xff notes", 10)},
};

class UCRDRecoveryOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LayOutProgram({L"MD.ini", L"ReCreateWinRE.cmd"}));
        // The hard disk as laid out, before any test changed it.
        static const SimDisk s_hardDisk = PcState().disks.back();
        m_hardDisk = s_hardDisk;
        LoadDiscs({L"ucrd2"});
        DeleteFileW(L"X:\\pre.log");
        DeleteFileW(L"X:\\post.log");
        m_journalStart = Journal().size();
    }

    std::string Journal() { return TestFiles::ReadBytes(PcFolder() + L"\\journal.log"); }
    std::string NewJournal() { return Journal().substr(m_journalStart); }
    std::wstring ImageTree(int n) { return PcFolder() + L"\\image-tree\\" + std::to_wstring(n) + L"\\"; }
    std::wstring Vendor() { return IsNotebook() ? L" --vendor notebook" : L" --vendor desktop"; }
    bool SsdProfile() { return SimPcTest::Profile().find("ssd-hdd") != std::string::npos; }

    void PutKeptFiles()
    {
        for (const auto& k : kKept)
            ASSERT_TRUE(Put(std::wstring(L"B:\\") + k.path, k.content));
        ASSERT_TRUE(Put(L"B:\\old-windows.txt", "gone after the recovery\r\n"));
    }

    // B: holds the editions applied in order, the kept files over them, and
    // besides only what may lie below the allowed prefixes.
    void ExpectWindowsPartition(const std::vector<int>& editions, const std::set<std::wstring>& allowed)
    {
        Tree expected;
        for (int n : editions)
            for (const auto& e : TreeOf(ImageTree(n)))
                expected[e.first] = e.second;
        for (const auto& k : kKept) {
            std::wstring path = k.path;
            expected[path] = k.content;
            for (size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
                expected[path.substr(0, pos + 1)] = "";
        }
        Tree actual = TreeOf(L"B:\\");
        for (const auto& e : expected) {
            auto it = actual.find(e.first);
            ASSERT_NE(actual.end(), it) << "missing " << Narrow(e.first);
            EXPECT_EQ(e.second, it->second) << Narrow(e.first);
        }
        for (const auto& a : actual) {
            if (expected.count(a.first))
                continue;
            bool ok = false;
            for (const auto& prefix : allowed)
                ok = ok || a.first.compare(0, prefix.size(), prefix) == 0;
            EXPECT_TRUE(ok) << "unexpected " << Narrow(a.first);
        }
    }

    // The image parts of the set as they lie on its two discs.
    Tree DiscParts()
    {
        Tree parts;
        for (const std::wstring disc : {L"ucrd1", L"ucrd2"}) {
            SimPcState state = PcState();
            const bool bInDrive = state.opticals.at(0).disc == disc;
            std::wstring folder = bInDrive ? L"E:\\preload\\" : PcFolder() + L"\\discs\\" + disc + L"\\preload\\";
            for (const auto& e : TreeOf(folder))
                if (e.first.size() > 4 && e.first.compare(e.first.size() - 4, 4, L".wim") == 0)
                    parts[e.first] = e.second;
        }
        return parts;
    }

    size_t m_journalStart = 0;
    SimDisk m_hardDisk;
};

// What a recovery leaves beside the image: the markers, the disc's marker
// in ProgramData, and the later discs' "zq" folder.
const std::set<std::wstring> kMarkerPrefixes = {L"system.sav\\", L"ProgramData\\", L"zq\\"};

TEST_F(UCRDRecoveryOnSimPc, SystemRecoveryCopiesTheSetAndAppliesIt)
{
    if (SsdProfile())
        GTEST_SKIP() << "the reset covers this PC";
    PutKeptFiles();
    const Tree parts = DiscParts();
    ASSERT_GE(parts.size(), 2u);

    DriverRun run = RunDriver(L"--op system-recovery" + Vendor());
    ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
    EXPECT_TRUE(InOrder(Statuses(run.output), {OS_FORMATTING, OS_PREPARE_UCRD_COPY, OS_COPY_FILE_FROM_CDROM,
                                               OS_WAIT_DISC, OS_COPY_FILE_FROM_CDROM, OS_REINSTALL}))
        << run.output;
    EXPECT_NE(std::string::npos, run.output.find("percent 100")) << run.output;

    // The image folder's parent may stay behind, empty.
    std::set<std::wstring> allowed = kMarkerPrefixes;
    allowed.insert(L"MD\\");
    ExpectWindowsPartition({1}, allowed);
    EXPECT_EQ("from the second disc\r\n", TestFiles::ReadBytes(L"B:\\zq\\disc2.txt")) << "disc 2's zq folder";
    EXPECT_FALSE(TestFiles::Exists(L"B:\\preload")) << "the copied image is deleted after the apply";
    EXPECT_FALSE(TestFiles::Exists(L"B:\\MD\\Image"));
    EXPECT_FALSE(TestFiles::Exists(L"B:\\MDTemp"));
    EXPECT_TRUE(TestFiles::Exists(L"B:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc"));
    if (IsNotebook()) {
        for (const wchar_t* m : {L"B:\\system.sav\\FLAGS\\CDROM_RECOVERY.dat", L"B:\\system.sav\\FLAGS\\Rimage.flg",
                                 L"B:\\system.sav\\FLAGS\\SystemRecoveryDone.flg"})
            EXPECT_TRUE(TestFiles::Exists(m)) << Narrow(m);
    }

    const std::string journal = NewJournal();
    EXPECT_NE(std::string::npos, journal.find("QSFormatEx")) << journal;
    EXPECT_EQ(std::string::npos, journal.find("SetPartition")) << "the table stays";
    EXPECT_NE(std::string::npos, journal.find("Bootmend")) << journal;
    EXPECT_EQ(!IsNotebook(), journal.find("bcdedit") != std::string::npos) << journal;
    EXPECT_EQ(!IsNotebook(), journal.find("BCDBoot") != std::string::npos) << journal;
    EXPECT_NE(std::string::npos, journal.find("EjectTray(TRUE)")) << "disc 1 goes out for disc 2";
    EXPECT_EQ(!IsNotebook(), TestFiles::Exists(L"X:\\pre.log")) << "the disc's pre-recovery script on desktops";
    EXPECT_EQ(!IsNotebook(), TestFiles::Exists(L"X:\\post.log"));
    EXPECT_EQ(L"ucrd2", PcState().opticals.at(0).disc);
}

TEST_F(UCRDRecoveryOnSimPc, WrongDiscsAreEjectedUntilTheRightOneComes)
{
    if (IsNotebook())
        return; // the disc checks do not depend on the vendor
    // Another set's disc 2, then disc 1 of this set again, then its disc 2.
    LoadDiscs({L"other", L"wrongnum", L"ucrd2"});
    m_journalStart = Journal().size();
    DriverRun run = RunDriver(L"--op system-recovery --skip-save" + Vendor());
    ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
    const std::string journal = NewJournal();
    EXPECT_EQ(3u, Count(journal, "EjectTray(TRUE)")) << "disc 1 out, then the two wrong discs\n" << journal;
    EXPECT_EQ(L"ucrd2", PcState().opticals.at(0).disc);
    EXPECT_TRUE(PcState().opticals.at(0).queue.empty());
    // Nothing of the foreign disc reached the image.
    Tree expected = TreeOf(ImageTree(1));
    Tree actual = TreeOf(L"B:\\");
    for (const auto& e : expected)
        EXPECT_EQ(e.second, actual[e.first]) << Narrow(e.first);
}

// With no disc 2 to come the wait for it holds until the user gives up;
// the operation then ends as cancelled, not as a hang.
TEST_F(UCRDRecoveryOnSimPc, AbortEndsTheWaitForTheNextDisc)
{
    if (IsNotebook())
        return;
    LoadDiscs({});
    m_journalStart = Journal().size();
    DriverRun run = RunDriver(L"--op system-recovery --skip-save" + Vendor() + L" --abort-at-status 28");
    EXPECT_EQ(static_cast<DWORD>(NV_E_USER_CANCELLED), run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("status 28 ")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
    EXPECT_TRUE(PcState().opticals.at(0).disc.empty()) << "disc 1 went out and nothing came";
}

TEST_F(UCRDRecoveryOnSimPc, FactoryResetLaysOutTheDiskFromTheSet)
{
    if (SsdProfile())
        GTEST_SKIP() << "see the shrink and wipe test";
    PutKeptFiles();
    const Tree parts = DiscParts();
    DriverRun run = RunDriver(L"--op factory-reset" + Vendor());
    ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
    EXPECT_TRUE(InOrder(Statuses(run.output), {OS_REPARTITION, OS_PREPARE_UCRD_COPY, OS_COPY_FILE_FROM_CDROM,
                                               OS_WAIT_DISC, OS_COPY_FILE_FROM_CDROM, OS_REINSTALL}))
        << run.output;
    EXPECT_NE(std::string::npos, run.output.find("percent 100")) << run.output;

    Table table = Partitions();
    ASSERT_EQ(1u, table.size());
    const std::string journal = NewJournal();
    if (IsNotebook()) {
        // Only the Windows partition; the minimal edition (no flag against it).
        ASSERT_EQ(1u, table[0].size()) << Describe(table);
        EXPECT_EQ((Part{kMiB, 280 * kGiB, L'B', true}), table[0][0]) << Describe(table);
        std::set<std::wstring> allowed = kMarkerPrefixes;
        allowed.insert(L"MD\\");
        ExpectWindowsPartition({3}, allowed);
        for (const auto& p : parts)
            EXPECT_EQ(p.second, TestFiles::ReadBytes(L"B:\\MD\\Image\\" + p.first)) << Narrow(p.first);
        EXPECT_TRUE(TestFiles::Exists(L"B:\\system.sav\\FLAGS\\CDROM_RECOVERY.dat"));
        EXPECT_NE(std::string::npos, journal.find("Bootmend")) << journal;
        EXPECT_EQ(std::string::npos, journal.find("bcdedit")) << journal;
    } else {
        // System partition first and active, the Windows partition of the
        // build's size after it, the recovery partition at the disk's end.
        ASSERT_EQ(3u, table[0].size()) << Describe(table);
        EXPECT_EQ((Part{kMiB, 200 * kMiB, L'A', true}), table[0][0]) << Describe(table);
        EXPECT_EQ((Part{201 * kMiB, 40 * kGiB, L'B', false}), table[0][1]) << Describe(table);
        EXPECT_EQ(20 * kGiB - kMiB, table[0][2].size) << Describe(table);
        const wchar_t rp = table[0][2].letter;
        ASSERT_NE(0, rp);
        ExpectWindowsPartition({1}, kMarkerPrefixes);
        const std::wstring root = std::wstring(1, rp) + L":\\";
        for (const auto& p : parts)
            EXPECT_EQ(p.second, TestFiles::ReadBytes(root + L"preload\\" + p.first)) << Narrow(p.first);
        for (const wchar_t* f : {L"Recovery\\WindowsRE\\winre.wim", L"boot\\bcd", L"boot\\boot.sdi", L"bootmgr",
                                 L"CSP.dat", L"RPCONFIG.LOG", L"zq\\MLs\\BuildInfo.ini", L"zq\\disc2.txt"})
            EXPECT_TRUE(TestFiles::Exists(root + f)) << Narrow(f);
        EXPECT_NE(std::string::npos, journal.find("BCDBoot")) << journal;
        EXPECT_NE(std::string::npos, journal.find("bcdedit")) << journal;
        EXPECT_TRUE(TestFiles::Exists(L"X:\\pre.log"));
        EXPECT_TRUE(TestFiles::Exists(L"X:\\post.log"));
    }
    EXPECT_NE(std::string::npos, journal.find("SetPartition")) << journal;
    EXPECT_TRUE(TestFiles::Exists(L"B:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc"));
}

// The notebook's hard disk gives way before the SSD is laid out anew.
TEST_F(UCRDRecoveryOnSimPc, NotebookResetShrinksOrWipesTheHardDisk)
{
    if (!SsdProfile())
        GTEST_SKIP() << "a notebook with an SSD and a hard disk";
    struct Case {
        const char* name;
        const wchar_t* option;
        size_t hddPartitions;
    } cases[] = {
        {"shrink", L" --shrink", 1},
        {"wipe", L" --wipe", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RestoreHardDisk(m_hardDisk);
        LoadDiscs({L"ucrd2"});
        PutKeptFiles();
        const Table before = Partitions();
        ASSERT_EQ(2u, before.size());
        m_journalStart = Journal().size();
        DriverRun run = RunDriver(L"--op factory-reset --skip-save" + Vendor() + c.option);
        ASSERT_EQ(0u, run.exitCode) << run.output << NewJournal();
        const std::string journal = NewJournal();
        Table after = Partitions();
        ASSERT_EQ(1u, after[0].size()) << Describe(after);
        EXPECT_EQ((Part{kMiB, 50 * kGiB, L'B', true}), after[0][0]) << Describe(after);
        ASSERT_EQ(c.hddPartitions, after[1].size()) << Describe(after);
        if (c.hddPartitions) {
            // The data partition lost what the set needs, rounded up to 100 MiB steps;
            // the image partition is gone.
            EXPECT_NE(std::string::npos, journal.find("shrink desired=5200")) << journal;
            EXPECT_EQ(before[1][0].size - 5200 * kMiB, after[1][0].size) << Describe(after);
            EXPECT_EQ(L'F', after[1][0].letter);
            EXPECT_TRUE(InOrder(Statuses(run.output), {OS_SHRINK, OS_REPARTITION, OS_PREPARE_UCRD_COPY,
                                                       OS_COPY_FILE_FROM_CDROM, OS_WAIT_DISC,
                                                       OS_COPY_FILE_FROM_CDROM, OS_REINSTALL}))
                << run.output;
        } else {
            EXPECT_EQ(std::string::npos, journal.find("shrink")) << journal;
        }
        Tree image = TreeOf(ImageTree(3));
        for (const auto& e : image)
            EXPECT_EQ(e.second, TreeOf(L"B:\\")[e.first]) << Narrow(e.first);
    }
}

// Before any step that changes the disk, the operation has read and checked
// all it restores from: a failure at that point leaves the table and the
// Windows partition as they were.
TEST_F(UCRDRecoveryOnSimPc, FailuresBeforeTheFirstDestructiveStepTouchNothing)
{
    if (IsNotebook())
        return; // the checks are the same on both vendors; the notebook's shrink is below
    // The disc in the drive, written behind the drive's back.
    const std::wstring disc = PcFolder() + L"\\drives\\E\\";
    const std::wstring splitLog = disc + L"preload\\SPLIT.LOG";
    const std::wstring sizeLog = disc + L"PreloadSize.log";
    const std::wstring firstPart = disc + L"preload\\base.wim";
    const std::wstring swm = disc + L"preload\\base.swm";
    struct Case {
        const char* name;
        std::function<void()> inject;
        std::function<void()> undo;
        const wchar_t* extra;
        HRESULT expected;
    };
    std::string savedSplit, savedSize, savedPart;
    auto keep = [&]() {
        savedSplit = TestFiles::ReadBytes(splitLog);
        savedSize = TestFiles::ReadBytes(sizeLog);
        savedPart = TestFiles::ReadBytes(firstPart);
    };
    auto restore = [&]() {
        ASSERT_TRUE(TestFiles::WriteBytes(splitLog, savedSplit));
        ASSERT_TRUE(TestFiles::WriteBytes(sizeLog, savedSize));
        ASSERT_TRUE(TestFiles::WriteBytes(firstPart, savedPart));
    };
    const Case cases[] = {
        {"image part missing", [&] { DeleteFileW(firstPart.c_str()); }, nullptr, L"", NV_E_COPY_FILE},
        {"no image among the parts",
         [&] { TestFiles::WriteBytes(splitLog, "base.swm=0\r\n"); TestFiles::WriteBytes(swm, "x"); },
         [&] { DeleteFileW(swm.c_str()); }, L"", NV_E_FAIL},
        {"SPLIT.LOG unreadable", [&] { DeleteFileW(splitLog.c_str()); }, nullptr, L"", NV_E_FILE_IO},
        {"SPLIT.LOG names a disc outside the set", [&] { TestFiles::WriteBytes(splitLog, "base.wim=0 base2.wim=7\n"); },
         nullptr, L"", NV_E_VALUE},
        {"set larger than its partition",
         [&] { TestFiles::WriteBytes(sizeLog, "[Master]\r\nSize_Preload_Total=429496729600\r\n"); }, nullptr, L"",
         NV_E_COPY_FILE},
        {"user abort", nullptr, nullptr, L" --abort-at-status 0", NV_E_USER_CANCELLED},
        {"no main disk", [] { ChangePc([](CSimPc&, SimPcState& s) { s.disks[0].main = false; }); },
         [] { ChangePc([](CSimPc&, SimPcState& s) { s.disks[0].main = true; }); }, L"", NV_E_FAIL},
    };
    for (const wchar_t* op : {L"system-recovery", L"factory-reset"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " / " + Narrow(op));
            LoadDiscs({L"ucrd2"});
            PutKeptFiles();
            keep();
            const Table table = Partitions();
            const Tree windows = TreeOf(L"B:\\");
            if (c.inject)
                c.inject();
            m_journalStart = Journal().size();
            DriverRun run = RunDriver(std::wstring(L"--op ") + op + Vendor() + c.extra);
            if (c.undo)
                c.undo();
            restore();
            EXPECT_EQ(static_cast<DWORD>(c.expected), run.exitCode) << run.output;
            EXPECT_NE(std::string::npos, run.output.find("status 255")) << run.output;
            EXPECT_EQ(Describe(table), Describe(Partitions()));
            EXPECT_TRUE(windows == TreeOf(L"B:\\")) << "the Windows partition changed";
            const std::string journal = NewJournal();
            for (const char* step : {"QSFormatEx", "SetPartition", "diskpart", "EjectTray(TRUE)"})
                EXPECT_EQ(std::string::npos, journal.find(step)) << step << "\n" << journal;
        }
    }
}

// A diskpart that fails leaves the hard disk as it was: the set still does
// not fit, and the reset ends before the SSD is touched.
TEST_F(UCRDRecoveryOnSimPc, FailedShrinkTouchesNothing)
{
    if (!SsdProfile())
        GTEST_SKIP() << "a notebook with an SSD and a hard disk";
    RestoreHardDisk(m_hardDisk);
    PutKeptFiles();
    const Table table = Partitions();
    m_journalStart = Journal().size();
    const Tree windows = TreeOf(L"B:\\");
    ChangePc([](CSimPc&, SimPcState& s) { s.pc[L"fail_diskpart"] = L"1"; });
    DriverRun run = RunDriver(L"--op factory-reset" + Vendor() + L" --shrink");
    ChangePc([](CSimPc&, SimPcState& s) { s.pc.erase(L"fail_diskpart"); });
    EXPECT_EQ(static_cast<DWORD>(NV_E_SHRINK_INDEX), run.exitCode) << run.output;
    EXPECT_EQ(Describe(table), Describe(Partitions()));
    EXPECT_TRUE(windows == TreeOf(L"B:\\"));
    const std::string journal = NewJournal();
    EXPECT_NE(std::string::npos, journal.find("shrink desired=5200")) << journal;
    EXPECT_EQ(std::string::npos, journal.find("delete partition")) << journal;
    EXPECT_EQ(std::string::npos, journal.find("SetPartition")) << journal;
}

} // namespace
