// The partition operations on simulated PCs: the exact table written for
// each vendor from a user-created disc set's layout and from a factory disc
// set's, the format calls, and each refused layout ending with its code
// before anything is written. The format passes' sleeps go to a fake clock.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "CSBRMgr.h"
#include "SimPcTestEnv.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "ZQSimKey.h"

namespace {

using SimPcTest::IsNotebook;
using SimPcTest::Profile;

const ULONGLONG MiB = 1ull << 20;
const ULONGLONG GiB = 1ull << 30;

class CRecordingClock : public IClock {
public:
    ULONGLONG TickCount64() override { return GetTickCount64(); }
    void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
    void Sleep(DWORD dwMilliseconds) override
    {
        ++m_dwSleeps;
        m_ullSlept += dwMilliseconds;
    }
    DWORD m_dwSleeps = 0;
    ULONGLONG m_ullSlept = 0;
};

class CPartitionEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return SimPcTest::FixtureFolder(); }
    IClock& Clock() override { return m_clock; }
    DWORD DiscPollMilliseconds() override { return 20; }
    CRecordingClock m_clock;
};

class PartitionOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pc.Open());
        ASSERT_EQ(S_OK, m_pc.Read(m_before));
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
        ASSERT_EQ(S_OK, m_mgr->InitBurning());
        m_mgr->SetBootCDROMIndex(0);
        m_journalStart = Journal().size();
    }

    std::string Journal() { return TestFiles::ReadBytes(m_pc.Root() + L"\\journal.log"); }
    std::string NewJournal() { return Journal().substr(m_journalStart); }
    SimDisk MainDisk()
    {
        SimPcState state;
        EXPECT_EQ(S_OK, m_pc.Read(state));
        return state.disks.empty() ? SimDisk() : state.disks[0];
    }
    // The disk size the operations plan with: whole cylinders.
    ULONGLONG GeometrySize()
    {
        SimDisk d = MainDisk();
        return d.Cylinders() * d.CylinderBytes();
    }
    void Change(const std::function<void(SimPcState&)>& change)
    {
        ASSERT_EQ(S_OK, m_pc.Update([&](SimPcState& s) {
            change(s);
            return S_OK;
        }));
    }
    // A file of the disc in the boot drive, written behind Wine's back.
    void WriteDiscFile(const wchar_t* pwszName, const std::string& text)
    {
        std::wstring path = m_pc.DriveFolder(L'E') + L"\\" + pwszName;
        m_saved.push_back({path, TestFiles::ReadBytes(path)});
        ASSERT_TRUE(TestFiles::WriteBytes(path, text));
    }
    void TearDown() override
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            TestFiles::WriteBytes(it->first, it->second);
    }

    CSimPc m_pc{L"test"};
    SimPcState m_before;
    CPartitionEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
    size_t m_journalStart = 0;
    std::vector<std::pair<std::wstring, std::string>> m_saved;
};

struct Slot {
    ULONGLONG start, size;
    BYTE type;
    bool active;
};

void ExpectTable(const SimDisk& disk, const std::vector<Slot>& expected, const std::string& name)
{
    for (int k = 0; k < 4; ++k) {
        const SimPartition& p = disk.slots[k];
        if (k >= static_cast<int>(expected.size())) {
            EXPECT_FALSE(p.IsUsed()) << name << ": entry " << k << " should be empty";
            continue;
        }
        EXPECT_EQ(expected[k].start, p.start) << name << ": start of entry " << k;
        EXPECT_EQ(expected[k].size, p.size) << name << ": size of entry " << k;
        EXPECT_EQ(expected[k].type, p.type) << name << ": type of entry " << k;
        EXPECT_EQ(expected[k].active, p.active) << name << ": boot flag of entry " << k;
        EXPECT_EQ(L"NTFS", p.fs) << name << ": entry " << k << " formatted";
    }
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The user-created set's layout: system partition of 200 MiB at 1 MiB,
// Windows partition, recovery partition at the end (sim/simpc).
TEST_F(PartitionOnSimPc, UserSetTablePerVendor)
{
    if (Profile() != "pe-user-discs")
        GTEST_SKIP() << "the user-created disc set";
    const ULONGLONG D = GeometrySize();
    const ULONGLONG rp = 20 * GiB - MiB;
    struct {
        const char* name;
        DWORD vendor;
        std::vector<Slot> table;
    } cases[] = {
        // SizeUP 40960 MiB and SystemPartition size 200 MiB from BuildInfo.ini.
        {"desktop", ZQ_VENDOR_DOZ, {{MiB, 200 * MiB, 7, true}, {201 * MiB, 40960 * MiB, 7, false}, {D - rp, rp, 7, false}}},
        {"notebook", ZQ_VENDOR_CNB, {{201 * MiB, 300 * GiB, 7, true}}},
        {"other vendor", 0, {{MiB, 200 * MiB, 7, false}, {201 * MiB, 300 * GiB, 7, false},
                             {500 * GiB - 20 * GiB, rp, 7, false}}},
    };
    for (const auto& c : cases) {
        m_mgr->SetZQVendor(c.vendor);
        m_mgr->SetRepartitioned(FALSE);
        size_t journalStart = Journal().size();
        DWORD dwSleeps = m_env.m_clock.m_dwSleeps;
        ASSERT_EQ(S_OK, m_mgr->ZQUCRDResetDiskByDefFile()) << c.name;
        EXPECT_TRUE(m_mgr->IsRepartitioned()) << c.name;
        SimDisk disk = MainDisk();
        ExpectTable(disk, c.table, c.name);
        std::string journal = Journal().substr(journalStart);
        EXPECT_EQ(1u, Count(journal, "SetPartition(")) << c.name;
        EXPECT_EQ(c.table.size(), Count(journal, "\"NTFS\", 0, 0) -> TRUE")) << c.name << journal;
        EXPECT_EQ(0u, Count(journal, "-> FALSE")) << c.name;
        EXPECT_EQ(dwSleeps + 1, m_env.m_clock.m_dwSleeps) << c.name << ": one pass";
    }
}

// Each layout the disk cannot take ends with its code before the table is
// written; the disk keeps its partitions.
TEST_F(PartitionOnSimPc, UserSetLayoutsRefusedBeforeWriting)
{
    if (Profile() != "pe-user-discs")
        GTEST_SKIP() << "the user-created disc set";
    const std::string kBuildInfo = "[Recovery]\r\nSizeUP=40960\r\n[SystemPartition]\r\nsize=200\r\n";
    auto layout = [](const char* first, const char* second, const char* rpSize) {
        return std::string("[PART0001]\r\n") + first + "[PART0002]\r\n" + second +
               "[PART0003]\r\nStarting_Offset=0\r\nPartition_Size=" + rpSize + "\r\nPartition_Type=7\r\nRole=RP\r\n" +
               "[General]\r\nDisk_Size=536870912000\r\n";
    };
    const char* sp = "Starting_Offset=1048576\r\nPartition_Size=209715200\r\nPartition_Type=7\r\nRole=BP\r\n";
    const char* up = "Starting_Offset=210763776\r\nPartition_Size=322122547200\r\nPartition_Type=7\r\nRole=UP\r\n";
    struct {
        const char* name;
        DWORD platform, vendor;
        std::string csp;       // empty: the disc's own
        std::string buildInfo; // empty: the disc's own
        HRESULT hr;
    } cases[] = {
        {"Windows partition before the system partition", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, layout(up, sp, "21473787904"),
         "", NV_E_LAYOUT_MISMATCH},
        {"Windows partition of size 0", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, "",
         "[Recovery]\r\nSizeUP=0\r\n[SystemPartition]\r\nsize=200\r\n", NV_E_LAYOUT_MISMATCH},
        {"no SizeUP at all", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, "", "[SystemPartition]\r\nsize=200\r\n",
         NV_E_LAYOUT_MISMATCH},
        {"system partition of size 0", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, "",
         "[Recovery]\r\nSizeUP=40960\r\n[SystemPartition]\r\nsize=0\r\n", NV_E_LAYOUT_MISMATCH},
        {"Windows partition running into the recovery partition", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, "",
         "[Recovery]\r\nSizeUP=500000\r\n[SystemPartition]\r\nsize=200\r\n", NV_E_LAYOUT_MISMATCH},
        {"recovery partition larger than the disk", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, layout(sp, up, "600000000000"),
         kBuildInfo, NV_E_LAYOUT_MISMATCH},
        {"notebook layout past the disk's end", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB,
         layout(sp, "Starting_Offset=210763776\r\nPartition_Size=600000000000\r\nRole=UP\r\n", "1"), "",
         NV_E_LAYOUT_MISMATCH},
        {"notebook layout without a Windows partition", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB, layout(sp, sp, "1"), "",
         NV_E_LAYOUT_MISMATCH},
        {"Windows Vista", ZQ_PLATFORM_VISTA, ZQ_VENDOR_DOZ, "", "", NV_E_FAIL},
    };
    const SimDisk before = MainDisk();
    for (const auto& c : cases) {
        if (!c.csp.empty())
            WriteDiscFile(L"csp.dat", c.csp);
        if (!c.buildInfo.empty())
            WriteDiscFile(L"zq\\MLs\\BuildInfo.ini", c.buildInfo);
        m_mgr->SetZQOSVer(c.platform);
        m_mgr->SetZQVendor(c.vendor);
        size_t journalStart = Journal().size();
        EXPECT_EQ(c.hr, m_mgr->ZQUCRDResetDiskByDefFile()) << c.name;
        std::string journal = Journal().substr(journalStart);
        EXPECT_EQ(0u, Count(journal, "SetPartition(")) << c.name << ": the table was written";
        EXPECT_EQ(0u, Count(journal, "QSFormatEx(")) << c.name << ": something was formatted";
        SimDisk after = MainDisk();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(before.slots[k].start, after.slots[k].start) << c.name << ": entry " << k;
            EXPECT_EQ(before.slots[k].size, after.slots[k].size) << c.name << ": entry " << k;
            EXPECT_EQ(before.slots[k].id, after.slots[k].id) << c.name << ": entry " << k;
        }
        TearDown();
        m_saved.clear();
    }
}

// Volumes that never get a letter, or get letter 0, are a failure: the
// recovery must not go on to copy into them.
TEST_F(PartitionOnSimPc, NewPartitionsWithoutLetters)
{
    if (Profile() != "pe-user-discs")
        GTEST_SKIP() << "the user-created disc set";
    // Each case writes a table unlike the one before, so that its
    // partitions are new ones.
    struct {
        const char* name;
        DWORD vendor;
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {
        {"mounting never ends", ZQ_VENDOR_DOZ, L"mount_delay", L"1000"},
        {"no free letter: letter 0", ZQ_VENDOR_CNB, L"letters", L""},
    };
    for (const auto& c : cases) {
        std::wstring old;
        Change([&](SimPcState& s) {
            old = s.pc[c.key];
            s.pc[c.key] = c.value;
        });
        m_mgr->SetZQVendor(c.vendor);
        m_mgr->SetRepartitioned(FALSE);
        DWORD dwSleeps = m_env.m_clock.m_dwSleeps;
        size_t journalStart = Journal().size();
        EXPECT_EQ(NV_E_FAIL, m_mgr->ZQUCRDResetDiskByDefFile()) << c.name;
        EXPECT_FALSE(m_mgr->IsRepartitioned()) << c.name;
        EXPECT_EQ(dwSleeps + 15, m_env.m_clock.m_dwSleeps) << c.name << ": fifteen passes";
        std::string journal = Journal().substr(journalStart);
        EXPECT_EQ(0u, Count(journal, "QSFormatEx(' '")) << c.name << ": a format without a letter";
        Change([&](SimPcState& s) {
            s.pc[c.key] = old;
            s.disks[0].pendingMounts = 0;
        });
    }
}

// The two-partition factory layout: partition 1 behind the first track and
// the head space, ending on a cylinder boundary; partition 2 active behind it.
TEST_F(PartitionOnSimPc, FactorySetTable)
{
    if (Profile() != "pe-factory-disc")
        GTEST_SKIP() << "the factory disc set";
    ASSERT_EQ(S_OK, m_mgr->LoadPartitionInfo());
    EXPECT_EQ(40960 * MiB, m_mgr->GetUPSize());
    EXPECT_EQ(300 * MiB, m_mgr->GetBPSize());
    const ULONGLONG track = 512ull * 63;
    const ULONGLONG cylinder = track * 255;
    const ULONGLONG head = track + MiB; // SSRDPartition/Partition_1_Offset=1 MiB
    const ULONGLONG s1 = 200 * MiB, s2 = 300 * GiB;
    ASSERT_EQ(S_OK, m_mgr->ZQSSRDResetDisk());
    ExpectTable(MainDisk(), {{head, s1 - (head + s1) % cylinder, 7, false}, {head + s1, s2, 7, true}}, "factory");
    EXPECT_EQ(2u, Count(NewJournal(), "\"NTFS\", 0, 0) -> TRUE"));

    // The factory set's two-step save: to X:, then onto the new partition 2.
    const wchar_t wcPart1 = m_mgr->GetMainPart1DrvLet();
    const wchar_t wcPart2 = m_mgr->GetMainPart2DrvLet();
    ASSERT_TRUE(wcPart1 && wcPart2);
    const std::wstring root1 = std::wstring(1, wcPart1) + L":\\";
    CreateDirectoryW((root1 + L"a").c_str(), nullptr);
    CreateDirectoryW((root1 + L"b").c_str(), nullptr);
    ASSERT_TRUE(TestFiles::WriteBytes(root1 + L"a\\same.txt", "first"));
    ASSERT_TRUE(TestFiles::WriteBytes(root1 + L"b\\same.txt", "second"));
    std::list<std::wstring> files = {root1 + L"a\\same.txt", root1 + L"b\\same.txt"}, onX, onPart2;
    ASSERT_EQ(S_OK, m_mgr->PreSaveFileProcessingForSSRD(files, onX));
    ASSERT_EQ(S_OK, m_mgr->PreSaveFileProcessingForSSRD(onX, onPart2));
    std::vector<std::wstring> saved(onPart2.begin(), onPart2.end());
    ASSERT_EQ(2u, saved.size());
    EXPECT_EQ(std::wstring(1, wcPart2) + L":\\SystemRecovery\\RP\\zq\\recovery\\savefile\\a\\same.txt", saved[0]);
    EXPECT_EQ("first", TestFiles::ReadBytes(saved[0]));
    EXPECT_EQ("second", TestFiles::ReadBytes(saved[1]));

}

TEST_F(PartitionOnSimPc, FactorySizeCheck)
{
    if (Profile() != "pe-factory-disc")
        GTEST_SKIP() << "the factory disc set";
    struct {
        const char* name;
        std::string buildInfo; // empty: the disc's own (SizeUP 40960, SizeBP 300 MiB)
        HRESULT hr;
        BOOL smaller;
    } cases[] = {
        {"fits", "", S_OK, FALSE},
        {"too small", "[Recovery]\r\nSizeUP=600000\r\nSizeBP=300\r\n", S_OK, TRUE},
        {"no sizes", "[Recovery]\r\n", NV_E_FAIL, 7},
    };
    for (const auto& c : cases) {
        if (!c.buildInfo.empty())
            WriteDiscFile(L"zq\\MLs\\BuildInfo.ini", c.buildInfo);
        CSBRMgr mgr(&m_env);
        ASSERT_EQ(S_OK, mgr.Init());
        mgr.SetZQOSVer(ZQ_PLATFORM_WIN7);
        mgr.SetZQVendor(ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, mgr.InitDisk());
        ASSERT_EQ(S_OK, mgr.InitBurning());
        mgr.SetBootCDROMIndex(0);
        BOOL bSmaller = 7;
        EXPECT_EQ(c.hr, mgr.SSRDIsSmallerHDD(&bSmaller)) << c.name;
        EXPECT_EQ(c.smaller, bSmaller) << c.name;
        TearDown();
        m_saved.clear();
    }
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr->SSRDIsSmallerHDD(nullptr));
}

TEST_F(PartitionOnSimPc, FactoryLayoutsRefusedBeforeWriting)
{
    if (Profile() != "pe-factory-disc")
        GTEST_SKIP() << "the factory disc set";
    struct {
        const char* name;
        const char* csp;
        std::function<void(SimPcState&)> change;
    } cases[] = {
        {"first size 0", "[PART0001]\r\nPartition_Size=0\r\n[PART0002]\r\nPartition_Size=1048576\r\n", nullptr},
        {"second size 0", "[PART0001]\r\nPartition_Size=1048576\r\n[PART0002]\r\nPartition_Size=0\r\n", nullptr},
        {"second partition past the disk", "[PART0001]\r\nPartition_Size=209715200\r\n"
                                           "[PART0002]\r\nPartition_Size=600000000000\r\n", nullptr},
        {"first partition shorter than its alignment", "[PART0001]\r\nPartition_Size=4096\r\n"
                                                       "[PART0002]\r\nPartition_Size=1048576\r\n", nullptr},
        {"geometry of 0 bytes per sector", nullptr, [](SimPcState& s) { s.disks[0].bytesPerSector = 0; }},
        {"geometry of 0 sectors per track", nullptr, [](SimPcState& s) { s.disks[0].sectorsPerTrack = 0; }},
    };
    for (const auto& c : cases) {
        if (c.csp)
            WriteDiscFile(L"preload\\csp.dat", c.csp);
        SimPcState saved;
        ASSERT_EQ(S_OK, m_pc.Read(saved));
        if (c.change)
            Change(c.change);
        ASSERT_EQ(S_OK, m_mgr->LoadPartitionInfo()) << c.name;
        size_t journalStart = Journal().size();
        EXPECT_EQ(NV_E_FAIL, m_mgr->ZQSSRDResetDisk()) << c.name;
        EXPECT_EQ(0u, Count(Journal().substr(journalStart), "SetPartition(")) << c.name << ": the table was written";
        Change([&](SimPcState& s) { s.disks[0] = saved.disks[0]; });
        TearDown();
        m_saved.clear();
    }
}

TEST_F(PartitionOnSimPc, FormatPartitionArguments)
{
    struct {
        wchar_t letter;
        const wchar_t* type;
        HRESULT hr;
    } cases[] = {{L'1', L"NTFS", NV_E_INVALID_ARG}, {0, L"NTFS", NV_E_INVALID_ARG}, {L'Q', nullptr, NV_E_INVALID_ARG},
                 {L'Q', L"NTFS", NV_E_FAIL}};
    for (const auto& c : cases)
        EXPECT_EQ(c.hr, m_mgr->FormatPartition(c.letter, c.type)) << static_cast<int>(c.letter);
}

TEST_F(PartitionOnSimPc, SizeChecks)
{
    if (Profile() != "pe-user-discs")
        GTEST_SKIP() << "the user-created disc set";
    struct {
        const char* name;
        DWORD vendor;
        std::string buildInfo; // empty: the disc's own
        HRESULT hr;
        BOOL smaller;
    } cases[] = {
        {"desktop fits", ZQ_VENDOR_DOZ, "", S_OK, FALSE},
        {"desktop too small", ZQ_VENDOR_DOZ, "[Recovery]\r\nSizeUP=500000\r\n[SystemPartition]\r\nsize=200\r\n", S_OK,
         TRUE},
        {"notebook by the layout's disk size", ZQ_VENDOR_CNB, "", S_OK, FALSE},
    };
    for (const auto& c : cases) {
        if (!c.buildInfo.empty())
            WriteDiscFile(L"zq\\MLs\\BuildInfo.ini", c.buildInfo);
        m_mgr->SetZQVendor(c.vendor);
        BOOL bSmaller = 7;
        EXPECT_EQ(c.hr, m_mgr->IsSmallerHDD(&bSmaller)) << c.name;
        EXPECT_EQ(c.smaller, bSmaller) << c.name;
        TearDown();
        m_saved.clear();
    }
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr->IsSmallerHDD(nullptr));
    BOOL bNeed = 7;
    EXPECT_EQ(S_OK, m_mgr->IsShrinkNeed(TRUE, &bNeed)) << "one disk: never";
    EXPECT_FALSE(bNeed);
}

// One SSD plus one hard disk: the Windows partition must shrink when the
// image disk's free space is below one and a quarter times the preload,
// plus one byte.
TEST_F(PartitionOnSimPc, ShrinkNeededBesideTheImageDisk)
{
    if (Profile() != "notebook-w7-ssd-hdd-pe")
        GTEST_SKIP() << "one SSD plus one hard disk";
    // A user-created notebook disc whose preload size the test sets.
    const std::wstring kDisc = L"shrinkdisc";
    const std::wstring folder = m_pc.DiscFolder(kDisc);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\system.sav").c_str(), nullptr);
    ASSERT_EQ(S_OK, m_pc.Update([&](SimPcState& s) {
        SimDisc disc;
        disc.id = kDisc;
        disc.capacity = 2298496;
        disc.label = L"Recovery12";
        s.discs.push_back(disc);
        return m_pc.InsertDisc(s, s.opticals[0], kDisc);
    }));
    m_mgr.reset(new CSBRMgr(&m_env));
    ASSERT_EQ(S_OK, m_mgr->Init());
    m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
    m_mgr->SetZQVendor(ZQ_VENDOR_CNB);
    ASSERT_EQ(S_OK, m_mgr->InitDisk());
    ASSERT_EQ(S_OK, m_mgr->InitBurning());
    m_mgr->SetBootCDROMIndex(0);
    ASSERT_TRUE(m_mgr->IsOneSSDPlusOneHDD());
    ULONGLONG ullFree = 0;
    ASSERT_EQ(S_OK, m_mgr->GetRPDATADiskFreeSpace(FALSE, &ullFree));
    ASSERT_EQ(40 * GiB - MiB, ullFree);
    // E = (P * 10 >> 3) + 1 against F = 40 GiB - 1 MiB.
    struct {
        ULONGLONG preload;
        BOOL need;
        ULONGLONG shrink;
    } cases[] = {{8, FALSE, 0}, {34358899507ull, FALSE, 0}, {34358899508ull, TRUE, 2}, {40 * GiB, TRUE, 10 * GiB + MiB + 1}};
    for (const auto& c : cases) {
        ASSERT_TRUE(TestFiles::WriteBytes(L"E:\\PreloadSize.log",
                                          "[Master]\r\nSize_Preload_Total=" + std::to_string(c.preload) + "\r\n"));
        BOOL bNeed = 7;
        ASSERT_EQ(S_OK, m_mgr->IsShrinkNeed(FALSE, &bNeed)) << c.preload;
        EXPECT_EQ(c.need, bNeed) << c.preload;
        if (c.need) {
            EXPECT_EQ(c.shrink, m_mgr->GetDesireShrinkSize()) << c.preload;
        }
    }
}

} // namespace
