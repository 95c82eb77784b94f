// The maker's patch scripts and the factory-update folder on a simulated
// desktop in Windows PE started from the hard disk (Windows B:, recovery D:),
// and the rule that one recovery operation runs at a time.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "CSBRMgr.h"
#include "NvErrorCode.h"
#include "SimPcTestEnv.h"
#include "TestFiles.h"

namespace {

class CPatchEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return L"X:\\prog\\"; }
};

bool Put(const std::wstring& path, const std::string& bytes)
{
    for (size_t pos = path.find(L'\\', 3); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    return TestFiles::WriteBytes(path, bytes);
}

class PatchOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryW(L"X:\\prog", nullptr);
        ASSERT_TRUE(CopyFileW((SimPcTest::FixtureFolder() + L"MD.ini").c_str(), L"X:\\prog\\MD.ini", FALSE));
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
    }
    CPatchEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
};

TEST_F(PatchOnSimPc, BatchFileCallsTheRecoveryPartitionsScript)
{
    wchar_t wszPath[MAX_PATH];
    m_mgr->CreatePatchBatchFile(L"PreRecovery", wszPath);
    EXPECT_STREQ(L"X:\\prog\\PreRecovery.bat", wszPath);
    EXPECT_EQ("@ECHO OFF\r\nSET USERPART=D:\r\nSET RECOVERPART=C:\r\nD:\\zq\\recovery\\patch\\PreRecovery.cmd\r\n"
              "@ECHO ON\r\n",
              TestFiles::ReadBytes(wszPath));
    DeleteFileW(wszPath);
}

TEST_F(PatchOnSimPc, ScriptsRunAndNoBatchFileStays)
{
    struct {
        const char* script;
        const wchar_t* batch;
        HRESULT (CSBRMgr::*run)();
    } cases[] = {
        {"prewelcome", L"PreWelcome", &CSBRMgr::ZQPreWelcome},
        {"prerecovery", L"PreRecovery", &CSBRMgr::ZQPreProcessing},
        {"postrecovery", L"PostRecovery", &CSBRMgr::ZQPostProcessing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const std::string name = c.script;
        const std::wstring script = L"D:\\zq\\recovery\\patch\\" + std::wstring(name.begin(), name.end()) + L".cmd";
        const std::wstring mark = L"D:\\ran-" + std::wstring(name.begin(), name.end()) + L".txt";
        const std::wstring batch = std::wstring(L"X:\\prog\\") + c.batch + L".bat";
        DeleteFileW(mark.c_str());
        // Without the script nothing runs.
        EXPECT_EQ(S_OK, (m_mgr.get()->*c.run)());
        EXPECT_FALSE(TestFiles::Exists(mark));
        EXPECT_FALSE(TestFiles::Exists(batch));
        ASSERT_TRUE(Put(script, "@echo %USERPART%%RECOVERPART%> D:\\ran-" + name + ".txt\r\n"));
        EXPECT_EQ(S_OK, (m_mgr.get()->*c.run)());
        EXPECT_EQ("D:C:\r\n", TestFiles::ReadBytes(mark));
        EXPECT_FALSE(TestFiles::Exists(batch));
        DeleteFileW(script.c_str());
    }
}

// A batch file that cannot be written: a shipped script that would not run
// is a failure; without a script there is nothing to miss.
TEST_F(PatchOnSimPc, UnwritableBatchFailsOnlyWhenAScriptWaits)
{
    struct {
        const wchar_t* script;
        const wchar_t* batch;
        HRESULT (CSBRMgr::*run)();
    } cases[] = {
        {L"prewelcome", L"PreWelcome", &CSBRMgr::ZQPreWelcome},
        {L"prerecovery", L"PreRecovery", &CSBRMgr::ZQPreProcessing},
        {L"postrecovery", L"PostRecovery", &CSBRMgr::ZQPostProcessing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.batch, c.batch + wcslen(c.batch)));
        const std::wstring script = L"D:\\zq\\recovery\\patch\\" + std::wstring(c.script) + L".cmd";
        const std::wstring batch = std::wstring(L"X:\\prog\\") + c.batch + L".bat";
        wchar_t wszPath[MAX_PATH];
        ASSERT_TRUE(CreateDirectoryW(batch.c_str(), nullptr)) << "a folder takes the batch file's name";
        EXPECT_FALSE(m_mgr->CreatePatchBatchFile(c.batch, wszPath));
        EXPECT_EQ(S_OK, (m_mgr.get()->*c.run)());
        ASSERT_TRUE(Put(script, "@echo ran> D:\\ran-unwritable.txt\r\n"));
        EXPECT_EQ(NV_E_FILE_IO, (m_mgr.get()->*c.run)());
        EXPECT_FALSE(TestFiles::Exists(L"D:\\ran-unwritable.txt"));
        DeleteFileW(script.c_str());
        RemoveDirectoryW(batch.c_str());
    }
}

TEST_F(PatchOnSimPc, FactoryUpdateFolderReachesTheWindowsPartition)
{
    TestFiles::DeleteTree(L"B:\\system.sav\\FactoryUpdate");
    TestFiles::DeleteTree(L"D:\\system.sav\\FactoryUpdate");
    EXPECT_EQ(S_OK, m_mgr->PatchFolderProcessing(FALSE)) << "no folder, nothing to copy";
    EXPECT_FALSE(TestFiles::Exists(L"B:\\system.sav\\FactoryUpdate"));
    ASSERT_TRUE(Put(L"D:\\system.sav\\FactoryUpdate\\sub\\update.cmd", "update\r\n"));
    EXPECT_EQ(S_OK, m_mgr->PatchFolderProcessing(FALSE));
    EXPECT_EQ("update\r\n", TestFiles::ReadBytes(L"B:\\system.sav\\FactoryUpdate\\sub\\update.cmd"));
}

HANDLE g_hRelease;
DWORD WINAPI HeldWorker(LPVOID)
{
    WaitForSingleObject(g_hRelease, INFINITE);
    return 0;
}

TEST_F(PatchOnSimPc, OneOperationAtATime)
{
    g_hRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(S_OK, m_mgr->StartWorker(RO_SYSTEM_RECOVERY, HeldWorker));
    EXPECT_EQ(NV_E_FAIL, m_mgr->PerformZQRemoveRP());
    EXPECT_EQ(NV_E_FAIL, m_mgr->PerformZQReImage());
    EXPECT_EQ(NV_E_FAIL, m_mgr->PerformZQSystemRecovery());
    EXPECT_EQ(RO_SYSTEM_RECOVERY, m_mgr->GetOperation());
    SetEvent(g_hRelease);
    ASSERT_TRUE(m_mgr->WaitWorker(10000));
    EXPECT_EQ(S_OK, m_mgr->StartWorker(RO_SYSTEM_RECOVERY, HeldWorker)) << "once it ended";
    EXPECT_TRUE(m_mgr->WaitWorker(10000));
    CloseHandle(g_hRelease);
    EXPECT_TRUE(TestFiles::Exists(L"D:\\RPCONFIG.LOG"));
}

} // namespace
