// The healthy-partition check and the recovery-set file operations on
// simulated PCs in Windows PE (Windows partition B:, recovery partition D:,
// RAM drive X:, which also holds this test's program folder and MD.ini).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CSBRMgr.h"
#include "SimPcTestEnv.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "ZQSimKey.h"

namespace {

using SimPcTest::IsNotebook;
using SimPcTest::Profile;

class CScratchEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return L"X:\\prog\\"; }
};

void MakeFolders(const std::wstring& path)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void Put(const std::wstring& path, const std::string& bytes)
{
    MakeFolders(path);
    ASSERT_TRUE(TestFiles::WriteBytes(path, bytes));
}

class RecoverySetOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pc.Open());
        Put(L"X:\\prog\\MD.ini", "[SystemRecovery]\r\nLargeSSDThreshold=128\r\n");
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(IsNotebook() ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
    }
    std::string Journal() { return TestFiles::ReadBytes(m_pc.Root() + L"\\journal.log"); }

    CSimPc m_pc{L"test"};
    CScratchEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
};

TEST_F(RecoverySetOnSimPc, HealthyWindowsPartition)
{
    struct {
        const char* name;
        const char* mdIni; // null: no file
        BOOL exists, notEmpty, healthy;
    } cases[] = {
        {"no MD.ini", nullptr, FALSE, FALSE, TRUE},
        {"no list", "[SystemRecovery]\r\n", TRUE, FALSE, TRUE},
        {"Path1 empty, Path2 set", "[HealthyUPList]\r\nPath1=\r\nPath2=nothing\\here\r\n", TRUE, FALSE, TRUE},
        {"file and folder present", "[HealthyUPList]\r\nPath1=Windows\\System32\r\n"
                                    "Path2=Users\\Public\\Documents\\readme.txt\r\n", TRUE, TRUE, TRUE},
        {"one missing", "[HealthyUPList]\r\nPath1=Windows\\System32\r\nPath2=Windows\\explorer.exe\r\n", TRUE,
         TRUE, FALSE},
    };
    for (const auto& c : cases) {
        DeleteFileW(L"X:\\prog\\MD.ini");
        if (c.mdIni)
            Put(L"X:\\prog\\MD.ini", c.mdIni);
        BOOL bExists = 7, bNotEmpty = 7;
        m_mgr->GetMDIniInfo(&bExists, &bNotEmpty);
        EXPECT_EQ(c.exists, bExists) << c.name;
        EXPECT_EQ(c.notEmpty, bNotEmpty) << c.name;
        EXPECT_EQ(c.healthy, m_mgr->IsUPHealthyByFileList()) << c.name;
    }
}

TEST_F(RecoverySetOnSimPc, FactoryImageName)
{
    const std::wstring folder = IsNotebook() ? L"B:\\MD\\Image\\" : L"D:\\preload\\";
    const wchar_t wcDrive = folder[0];
    wchar_t wszName[MAX_PATH] = L"sentinel";
    EXPECT_EQ(NV_E_FAIL, m_mgr->ZQGetSoftwareBuildFilename(wcDrive, wszName, MAX_PATH)) << "no image yet";
    for (const wchar_t* pwsz : {L"bb.wim", L"a.wim", L"ccc.wim", L"a.swm"})
        Put(folder + pwsz, "image");
    EXPECT_EQ(S_OK, m_mgr->ZQGetSoftwareBuildFilename(wcDrive, wszName, MAX_PATH));
    EXPECT_STREQ(L"a.wim", wszName) << "the shortest name";
    wchar_t wszSmall[3] = L"xy";
    EXPECT_EQ(NV_E_BUFFER_TOO_SMALL, m_mgr->ZQGetSoftwareBuildFilename(wcDrive, wszSmall, 3));
    EXPECT_STREQ(L"xy", wszSmall) << "never a cut name";
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr->ZQGetSoftwareBuildFilename(wcDrive, nullptr, MAX_PATH));
    for (const wchar_t* pwsz : {L"bb.wim", L"a.wim", L"ccc.wim", L"a.swm"})
        DeleteFileW((folder + pwsz).c_str());
}

TEST_F(RecoverySetOnSimPc, CopiedImagesDeleted)
{
    const std::wstring folder = IsNotebook() ? L"B:\\MD\\Image\\" : L"B:\\preload\\";
    EXPECT_EQ(S_OK, m_mgr->ZQDeleteWimFiles(L'B')) << "no image folder: nothing to delete";
    Put(folder + L"base.wim", "image");
    Put(folder + L"sub\\part.swm", "part");
    EXPECT_EQ(S_OK, m_mgr->ZQDeleteWimFiles(L'B'));
    EXPECT_FALSE(TestFiles::Exists(folder + L"base.wim"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr->ZQDeleteWimFiles(L'1'));
}

TEST_F(RecoverySetOnSimPc, InstallLogKeptOnNotebooks)
{
    EXPECT_EQ(S_OK, m_mgr->ZQSaveFileForCNB());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"B:\\system.sav\\util")) << "no folder without a log";
    Put(L"D:\\system.sav\\util\\install.log", "installed by the maker\r\n");
    EXPECT_EQ(S_OK, m_mgr->ZQSaveFileForCNB());
    EXPECT_EQ("installed by the maker\r\n", TestFiles::ReadBytes(L"B:\\system.sav\\util\\install.log"));
    DeleteFileW(L"D:\\system.sav\\util\\install.log");
}

TEST_F(RecoverySetOnSimPc, ReadOnlyFilesOfTheRecoveryPartition)
{
    Put(L"D:\\zq\\ro.txt", "read only");
    ASSERT_TRUE(SetFileAttributesW(L"D:\\zq\\ro.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(S_OK, m_mgr->RemoveReadOnlyAttribute());
    EXPECT_EQ(0u, GetFileAttributesW(L"D:\\zq\\ro.txt") & FILE_ATTRIBUTE_READONLY);
    DeleteFileW(L"D:\\zq\\ro.txt");
}

TEST_F(RecoverySetOnSimPc, SystemRestoreInWindowsPE)
{
    size_t start = Journal().size();
    EXPECT_EQ(S_OK, m_mgr->LaunchMSRestore(TRUE));
    std::string journal = Journal().substr(start);
    EXPECT_NE(std::string::npos, journal.find("[rstrui.exe")) << journal;
    EXPECT_NE(std::string::npos, journal.find("run /OFFLINE:B:\\Windows")) << journal;
    EXPECT_NE(std::string::npos, journal.find("exit 0")) << "waited for it";
}

TEST_F(RecoverySetOnSimPc, WindowsPartitionLabel)
{
    wcscpy(m_mgr->m_wszUPVolumeNameBuf, L"FACTORYOS");
    EXPECT_EQ(S_OK, m_mgr->SetUPVolumeLabel());
    std::string label = TestFiles::ReadBytes(L"B:\\.windows-label");
    EXPECT_EQ(0u, label.find("FACTORYOS")) << label;
}

} // namespace
