// Boot repair on simulated PCs in Windows PE (system partition A: on
// desktops, Windows partition B:, recovery partition D:): the tools'
// command lines as the PC journals them, the boot store bcdedit keeps, the
// files BCDBoot lays down, and the WinRE entry's script with its outcome.
#include <gtest/gtest.h>

#include <windows.h>

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

class CCountingClock : public IClock {
public:
    ULONGLONG TickCount64() override { return GetTickCount64(); }
    void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
    void Sleep(DWORD dwMilliseconds) override { m_ullSlept += dwMilliseconds; }
    ULONGLONG m_ullSlept = 0;
};

// The program folder lies on the PC's own RAM drive: the WinRE script's
// marker and failure switch belong to this PC alone.
class CBootEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return L"X:\\prog\\"; }
    IClock& Clock() override { return m_clock; }
    CCountingClock m_clock;
};

// "run ..." lines of one tool in a piece of the journal.
std::vector<std::string> Runs(const std::string& journal, const std::string& tool)
{
    std::vector<std::string> runs;
    const std::string head = "[" + tool + " ";
    size_t pos = 0;
    while ((pos = journal.find(head, pos)) != std::string::npos) {
        size_t text = journal.find("] ", pos) + 2;
        size_t end = journal.find('\n', text);
        std::string line = journal.substr(text, end - text);
        if (line.compare(0, 4, "run ") == 0)
            runs.push_back(line.substr(4, line.rfind(" in ") - 4));
        pos = end;
    }
    return runs;
}

class BootOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pc.Open());
        CreateDirectoryW(L"X:\\prog", nullptr);
        for (const wchar_t* pwszName : {L"MD.ini", L"ReCreateWinRE.cmd"}) {
            ASSERT_TRUE(CopyFileW((SimPcTest::FixtureFolder() + pwszName).c_str(), ProgramFile(pwszName).c_str(),
                                  FALSE));
        }
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(IsNotebook() ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
        m_start = Journal().size();
    }
    std::string Journal() { return TestFiles::ReadBytes(m_pc.Root() + L"\\journal.log"); }
    std::string NewJournal() { return Journal().substr(m_start); }
    std::wstring ProgramFile(const wchar_t* pwszName) { return m_env.ProgramFolder() + pwszName; }

    CSimPc m_pc{L"test"};
    CBootEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
    size_t m_start = 0;
};

TEST_F(BootOnSimPc, BootStorePerPlatform)
{
    EXPECT_EQ(S_OK, m_mgr->FixBCDForPlatform());
    std::vector<std::string> runs = Runs(NewJournal(), "bcdedit.exe");
    if (IsNotebook()) {
        EXPECT_TRUE(runs.empty()) << "a Windows 7 notebook runs nothing";
        EXPECT_EQ(0u, m_env.m_clock.m_ullSlept);
        return;
    }
    EXPECT_EQ((std::vector<std::string>{"/store A:\\boot\\bcd /set {bootmgr} device partition=A:",
                                        "/store A:\\boot\\bcd /set {default} device partition=B:",
                                        "/store A:\\boot\\bcd /set {default} osdevice partition=B:"}),
              runs);
    EXPECT_EQ(10000u, m_env.m_clock.m_ullSlept) << "two pauses of five seconds, on the clock";
    std::string store = TestFiles::ReadBytes(L"A:\\boot\\bcd");
    for (const char* line : {"{bootmgr} device=partition=A:", "{default} device=partition=B:",
                             "{default} osdevice=partition=B:"})
        EXPECT_NE(std::string::npos, store.find(line)) << line << " in " << store;
}

// The store letter is used as given, the partition letters upper-cased.
TEST_F(BootOnSimPc, StoreLetterAsGiven)
{
    EXPECT_EQ(S_OK, m_mgr->ZQFixBCD(L'd', L'b'));
    EXPECT_EQ((std::vector<std::string>{"/store d:\\boot\\bcd /set {bootmgr} device partition=D:",
                                        "/store d:\\boot\\bcd /set {default} device partition=B:",
                                        "/store d:\\boot\\bcd /set {default} osdevice partition=B:"}),
              Runs(NewJournal(), "bcdedit.exe"));
}

TEST_F(BootOnSimPc, BootFilesAndBootRecord)
{
    if (IsNotebook())
        GTEST_SKIP() << "a desktop's system partition";
    DeleteFileW(L"A:\\bootmgr");
    DeleteFileW(L"A:\\boot\\bcd");
    EXPECT_EQ(S_OK, m_mgr->RebuildSPByBCDBoot());
    EXPECT_EQ((std::vector<std::string>{"B:\\Windows /s A:"}), Runs(NewJournal(), "BCDBoot.exe"));
    EXPECT_TRUE(TestFiles::Exists(L"A:\\bootmgr"));
    EXPECT_TRUE(TestFiles::Exists(L"A:\\boot\\bcd"));

    EXPECT_EQ(S_OK, m_mgr->CallSetMBR());
    EXPECT_EQ(S_OK, m_mgr->RecoverMBR());
    std::vector<std::string> runs = Runs(NewJournal(), "Bootmend.exe");
    EXPECT_EQ((std::vector<std::string>{"", "RecoverMBR"}), runs);
}

// A tool that fails is logged; the contract stays success, and nothing the
// tools were asked reaches Wine's C:.
TEST_F(BootOnSimPc, ToolsOnWinesSystemDriveAreRefused)
{
    EXPECT_EQ(S_OK, m_mgr->ZQFixBCD(L'C', L'C'));
    std::string journal = NewJournal();
    EXPECT_EQ(3u, Runs(journal, "bcdedit.exe").size());
    EXPECT_NE(std::string::npos, journal.find("REFUSED: bcdedit store C:\\boot\\bcd")) << journal;
    ASSERT_EQ(S_OK, m_pc.Update([](SimPcState& s) {
        s.pc[L"fail_BCDBoot"] = L"1";
        return S_OK;
    }));
    EXPECT_EQ(S_OK, m_mgr->RebuildSPByBCDBoot());
    EXPECT_NE(std::string::npos, NewJournal().find("exit 1, as the PC tells"));
    ASSERT_EQ(S_OK, m_pc.Update([](SimPcState& s) {
        s.pc.erase(L"fail_BCDBoot");
        return S_OK;
    }));
}

// The WinRE entry moves the recovery image onto the Windows partition and
// runs the maker's script; a failing script stops the removal that follows,
// and a missing source never costs the Windows partition its image.
TEST_F(BootOnSimPc, WinREEntry)
{
    const std::wstring rpImage = L"D:\\Recovery\\WindowsRE\\Winre.wim";
    const std::wstring upImage = L"B:\\Recovery\\WindowsRE\\Winre.wim";
    const std::wstring marker = ProgramFile(L"RECREATE_WINRE.LOG");
    const std::wstring fail = ProgramFile(L"ReCreateWinRE.fail");
    struct {
        const char* name;
        bool source;
        bool scriptFails;
        HRESULT hr;
        const char* upImageAfter;
    } cases[] = {
        {"script succeeds", true, false, S_OK, "factory winre"},
        {"script fails", true, true, NV_E_FAIL, "factory winre"},
        {"no image on the recovery partition", false, false, NV_E_NOT_FOUND, "customer winre"},
    };
    for (const auto& c : cases) {
        DeleteFileW(rpImage.c_str());
        if (c.source) {
            ASSERT_TRUE(TestFiles::WriteBytes(rpImage, "factory winre"));
        }
        CreateDirectoryW(L"B:\\Recovery", nullptr);
        CreateDirectoryW(L"B:\\Recovery\\WindowsRE", nullptr);
        ASSERT_TRUE(TestFiles::WriteBytes(upImage, "customer winre"));
        DeleteFileW(fail.c_str());
        if (c.scriptFails) {
            ASSERT_TRUE(TestFiles::WriteBytes(fail, "fail\r\n"));
        }
        DeleteFileW(marker.c_str());
        EXPECT_EQ(c.hr, m_mgr->ReCreateWinREBootEntry()) << c.name;
        EXPECT_EQ(c.upImageAfter, TestFiles::ReadBytes(upImage)) << c.name;
        if (c.source) {
            EXPECT_NE(std::string::npos, TestFiles::ReadBytes(marker).find("b2b9dbc0-39f1-11de-8a39-0800200c9a66 B"))
                << c.name << ": the script reports into its marker";
        }
    }
    DeleteFileW(fail.c_str());
}

// The recovery environment's start files from a user-created disc: copied
// and counted, and nothing on the recovery partition deleted while the disc
// lacks one of them.
TEST_F(BootOnSimPc, StartFilesFromAUserDisc)
{
    m_mgr->SetBootCDROMIndex(0);
    ASSERT_EQ(S_OK, m_mgr->InitBurning());
    if (m_mgr->GetRecoveryDiscType() != RDT_UCRD)
        GTEST_SKIP() << "a user-created disc in the boot drive";
    const std::wstring disc = m_pc.DriveFolder(L'E');
    auto put = [&](const wchar_t* pwszName, const std::string& bytes) {
        std::wstring path = disc + L"\\" + pwszName;
        for (size_t i = disc.size() + 1; i < path.size(); ++i) {
            if (path[i] == L'\\')
                CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
        ASSERT_TRUE(TestFiles::WriteBytes(path, bytes));
    };
    put(L"Recovery\\WindowsRE\\winre.wim", std::string(100000, 'w'));
    put(L"boot\\bcd", "disc bcd");
    put(L"zqdrcu.prc", "");
    put(L"RPCONFIG.txt", "config");
    ASSERT_TRUE(TestFiles::WriteBytes(L"D:\\boot\\BCD", "partition bcd"));

    EXPECT_EQ(S_OK, m_mgr->ZQCopyPEFiles(FALSE));
    EXPECT_EQ("partition bcd", TestFiles::ReadBytes(L"D:\\boot\\BCD")) << "FALSE touches nothing";
    EXPECT_EQ(NV_E_COPY_FILE, m_mgr->ZQCopyPEFiles(TRUE)) << "the disc lacks boot.sdi";
    EXPECT_EQ("partition bcd", TestFiles::ReadBytes(L"D:\\boot\\BCD")) << "nothing deleted before the disc was checked";

    put(L"boot\\boot.sdi", "sdi");
    CSBRMgr::m_ullTransferredBytes = 0;
    EXPECT_EQ(S_OK, m_mgr->ZQCopyPEFiles(TRUE));
    EXPECT_EQ(std::string(100000, 'w'), TestFiles::ReadBytes(L"D:\\Recovery\\WindowsRE\\winre.wim"));
    EXPECT_EQ("disc bcd", TestFiles::ReadBytes(L"D:\\boot\\bcd"));
    EXPECT_EQ("sdi", TestFiles::ReadBytes(L"D:\\boot\\boot.sdi"));
    EXPECT_EQ("config", TestFiles::ReadBytes(L"D:\\RPCONFIG.txt"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              GetFileAttributesW(L"D:\\zqdrcu.prc") &
                  (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_GE(CSBRMgr::m_ullTransferredBytes.load(), 100000u + 8 + 3 + 6) << "the copies are counted";
}

} // namespace
