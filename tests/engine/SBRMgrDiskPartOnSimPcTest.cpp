// The diskpart scripts on simulated PCs in Windows PE: the exact scripts the
// diskpart stand-in receives, their effect on the description, the one-boot
// switch of the active partition, and each refused or failed removal of the
// recovery partition ending with its code while the disk keeps it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
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

// A clock whose every reading is a minute later, so that a limit of
// minutes passes in a few polls.
class CJumpingClock : public IClock {
public:
    ULONGLONG TickCount64() override { return m_ullNow += m_ullStep; }
    void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
    void Sleep(DWORD) override {}
    ULONGLONG m_ullNow = 0;
    ULONGLONG m_ullStep = 0;
};

class CDiskPartEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return SimPcTest::FixtureFolder(); }
    IClock& Clock() override { return m_clock; }
    CJumpingClock m_clock;
};

// The script lines of every diskpart run in a piece of the journal.
std::vector<std::string> ScriptLines(const std::string& journal)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < journal.size()) {
        size_t end = journal.find('\n', pos);
        std::string line = journal.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (line.compare(0, 6, "    | ") == 0 && line.size() > 6)
            lines.push_back(line.substr(6));
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return lines;
}

class DiskPartOnSimPc : public ::testing::Test {
public: // the cases' arrangements reach the fixture

    void SetUp() override
    {
        ASSERT_TRUE(m_pc.Open());
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(IsNotebook() ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
        m_start = Journal().size();
    }
    void TearDown() override
    {
        for (auto it = m_restore.rbegin(); it != m_restore.rend(); ++it)
            (*it)();
    }

    std::string Journal() { return TestFiles::ReadBytes(m_pc.Root() + L"\\journal.log"); }
    std::string NewJournal() { return Journal().substr(m_start); }
    SimPcState State()
    {
        SimPcState s;
        EXPECT_EQ(S_OK, m_pc.Read(s));
        return s;
    }
    const SimPartition* Find(const SimPcState& s, const wchar_t* pwszLabel)
    {
        for (const SimDisk& d : s.disks) {
            for (const SimPartition& p : d.slots) {
                if (p.IsUsed() && p.label == pwszLabel)
                    return &p;
            }
        }
        return nullptr;
    }
    void SetPcValue(const wchar_t* pwszKey, const wchar_t* pwszValue)
    {
        std::wstring old;
        ASSERT_EQ(S_OK, m_pc.Update([&](SimPcState& s) {
            old = s.pc[pwszKey];
            s.pc[pwszKey] = pwszValue;
            return S_OK;
        }));
        std::wstring key = pwszKey;
        m_restore.push_back([this, key, old] {
            m_pc.Update([&](SimPcState& s) {
                s.pc[key] = old;
                return S_OK;
            });
        });
    }
    // Moves a file of a drive's root aside for the test.
    void HideRootFile(wchar_t wcLetter, const wchar_t* pwszName)
    {
        std::wstring path = std::wstring(1, wcLetter) + L":\\" + pwszName;
        std::wstring away = path + L".away";
        ASSERT_TRUE(MoveFileW(path.c_str(), away.c_str()));
        m_restore.push_back([path, away] { MoveFileW(away.c_str(), path.c_str()); });
    }

    CSimPc m_pc{L"test"};
    CDiskPartEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
    size_t m_start = 0;
    std::vector<std::function<void()>> m_restore;
};

// Refusals and failures first: the recovery partition must still be there.
TEST_F(DiskPartOnSimPc, RemovalRefusedOrFailedKeepsTheRecoveryPartition)
{
    struct {
        const char* name;
        std::function<void(DiskPartOnSimPc&)> arrange;
        HRESULT hr;
        bool ran; // diskpart was started
    } cases[] = {
        {"diskpart fails", [](DiskPartOnSimPc& t) { t.SetPcValue(L"fail_diskpart", L"4"); }, NV_E_FAIL, true},
        {"diskpart never ends",
         [](DiskPartOnSimPc& t) {
             t.SetPcValue(L"hang_diskpart", L"3000");
             t.m_env.m_clock.m_ullStep = 60000;
         },
         NV_E_WAIT, true},
        {"no recovery volume", [](DiskPartOnSimPc& t) { t.HideRootFile(L'D', L"RPCONFIG.LOG"); }, NV_E_FAIL, false},
        {"letter of a volume that is no recovery volume",
         [](DiskPartOnSimPc& t) {
             // A new table skips the letter's check; the removal must not.
             t.m_mgr->GetRPTOOLDrvLet();
             t.m_mgr->SetRepartitioned(TRUE);
             t.HideRootFile(L'D', L"RPCONFIG.LOG");
         },
         NV_E_FAIL, false},
    };
    for (const auto& c : cases) {
        SetUp();
        c.arrange(*this);
        EXPECT_EQ(c.hr, m_mgr->DeleteRPAndExtendUP()) << c.name;
        // A diskpart the wait gave up on may not have written its line yet.
        std::string journal = NewJournal();
        for (int i = 0; c.ran && journal.find("[diskpart.exe") == std::string::npos && i < 200; ++i) {
            Sleep(100);
            journal = NewJournal();
        }
        EXPECT_EQ(c.ran, journal.find("[diskpart.exe") != std::string::npos) << c.name;
        TearDown();
        m_restore.clear();
        m_env.m_clock.m_ullStep = 0;
        // A hung diskpart goes on after the wait: let it finish first.
        Sleep(c.hr == NV_E_WAIT ? 3500 : 0);
        EXPECT_NE(nullptr, Find(State(), L"Recovery")) << c.name << ": the recovery partition is gone";
        EXPECT_FALSE(TestFiles::Exists(L"B:\\DiskPartScript")) << c.name << ": the script was left";
    }
}

// SetRPActive for one start, then SetSPActive at the next start in Windows
// PE switches back to the system partition (desktop), or does nothing
// where there is no system partition to switch to.
TEST_F(DiskPartOnSimPc, OneBootSwitchOfTheActivePartition)
{
    EXPECT_EQ(S_OK, m_mgr->SetRPActive());
    EXPECT_EQ(S_OK, m_mgr->SetRPActive());
    SimPcState s = State();
    ASSERT_NE(nullptr, Find(s, L"Recovery"));
    EXPECT_TRUE(Find(s, L"Recovery")->active);
    EXPECT_TRUE(TestFiles::Exists(L"D:\\SetRPActive_Result.txt"));
    EXPECT_FALSE(TestFiles::Exists(L"D:\\SetRPActive.txt"));
    std::vector<std::string> lines = ScriptLines(NewJournal());
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("sel volume D", lines[0]);
    EXPECT_EQ("active", lines[1]);

    m_start = Journal().size();
    EXPECT_EQ(S_OK, m_mgr->SetSPActive());
    s = State();
    if (IsNotebook()) {
        // Partition 4 does not exist on this notebook: nothing is switched.
        EXPECT_TRUE(Find(s, L"Recovery")->active);
        EXPECT_TRUE(ScriptLines(NewJournal()).empty());
        EXPECT_TRUE(TestFiles::Exists(L"D:\\SetRPActive_Result.txt"));
        EXPECT_EQ(S_OK, m_mgr->SetUPActive());
        s = State();
        EXPECT_TRUE(Find(s, L"OS")->active);
        EXPECT_FALSE(Find(s, L"Recovery")->active);
        EXPECT_FALSE(TestFiles::Exists(L"D:\\SetRPActive_Result.txt")) << "the next start must not switch again";
        std::vector<std::string> up = ScriptLines(NewJournal());
        EXPECT_EQ((std::vector<std::string>{"sel disk 0", "sel partition 1", "active"}), up);
        return;
    }
    EXPECT_FALSE(Find(s, L"Recovery")->active);
    EXPECT_TRUE(Find(s, L"System Reserved")->active);
    EXPECT_FALSE(TestFiles::Exists(L"D:\\SetRPActive_Result.txt"));
    EXPECT_FALSE(TestFiles::Exists(L"D:\\SetSPActive.txt"));
    EXPECT_EQ((std::vector<std::string>{"select disk 0", "select partition 3", "inactive", "sel disk 0",
                                        "sel partition 1", "active"}),
              ScriptLines(NewJournal()));
    // Without the result file the next start switches nothing.
    m_start = Journal().size();
    EXPECT_EQ(S_OK, m_mgr->SetSPActive());
    EXPECT_EQ(std::string::npos, NewJournal().find("[diskpart.exe"));
}

// Without a recovery partition there is nothing to make active: no script.
TEST_F(DiskPartOnSimPc, ReActiveRPWithoutARecoveryPartition)
{
    HideRootFile(L'D', L"RPCONFIG.LOG");
    HideRootFile(L'D', L"CSP.DAT");
    CSBRMgr mgr(&m_env);
    ASSERT_EQ(S_OK, mgr.Init());
    mgr.SetZQOSVer(ZQ_PLATFORM_WIN7);
    mgr.SetZQVendor(IsNotebook() ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
    ASSERT_EQ(S_OK, mgr.InitDisk());
    EXPECT_EQ(S_OK, mgr.ReActiveRP());
    EXPECT_EQ(S_OK, mgr.SetRPActive());
    EXPECT_EQ(std::string::npos, NewJournal().find("[diskpart.exe"));
}

// Last, as it removes the recovery partition: the exact script and its effect.
TEST_F(DiskPartOnSimPc, RemovalOfTheRecoveryPartition)
{
    const bool bTwoDisks = Profile() == "notebook-w7-ssd-hdd-pe";
    SimPcState before = State();
    const ULONGLONG ullUPSize = Find(before, L"OS")->size;
    ASSERT_EQ(S_OK, m_mgr->DeleteRPAndExtendUP());
    std::vector<std::string> expected = {"sel volume D", "del volume override"};
    if (bTwoDisks) {
        for (const char* line : {"sel volume G", "del volume override", "sel disk 1", "sel par 1", "extend"})
            expected.push_back(line);
    }
    expected.push_back("sel volume B");
    expected.push_back("extend");
    EXPECT_EQ(expected, ScriptLines(NewJournal()));
    SimPcState after = State();
    EXPECT_EQ(nullptr, Find(after, L"Recovery"));
    EXPECT_GT(Find(after, L"OS")->size, ullUPSize) << "the Windows partition grew";
    if (bTwoDisks) {
        EXPECT_EQ(nullptr, Find(after, L"RPDATA"));
    }
    EXPECT_FALSE(TestFiles::Exists(L"B:\\DiskPartScript"));
    EXPECT_FALSE(m_mgr->RecoveryPartitionIsExist());
}

} // namespace
