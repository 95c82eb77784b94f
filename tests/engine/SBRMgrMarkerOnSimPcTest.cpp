// Marker and flag files on simulated PCs in Windows PE (Windows partition
// B:, recovery partition D:, started from the hard disk): where each goes,
// its attributes, and what each tester answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CSBRMgr.h"
#include "SimPcTestEnv.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "ZQSimKey.h"

namespace {

using SimPcTest::IsNotebook;
using SimPcTest::Profile;

class CFixedClock : public IClock {
public:
    ULONGLONG TickCount64() override { return GetTickCount64(); }
    void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
    void SystemTime(SYSTEMTIME* pst) override { *pst = SYSTEMTIME{2010, 3, 0, 7, 14, 5, 9, 0}; }
};

class CMarkerEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return SimPcTest::FixtureFolder(); }
    IClock& Clock() override { return m_clock; }
    CFixedClock m_clock;
};

const DWORD kHidden = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

DWORD Attributes(const wchar_t* pwszPath)
{
    DWORD dw = GetFileAttributesW(pwszPath);
    return dw == INVALID_FILE_ATTRIBUTES ? 0 : dw & kHidden;
}

void Remove(const wchar_t* pwszPath)
{
    SetFileAttributesW(pwszPath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(pwszPath);
}

class MarkerOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(IsNotebook() ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
    }
    CMarkerEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
};

// The applied image need not hold the marker's folder.
TEST_F(MarkerOnSimPc, DiscSetMarkerOnTheWindowsPartition)
{
    const wchar_t kMark[] = L"B:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc";
    Remove(kMark);
    RemoveDirectoryW(L"B:\\ProgramData\\Zentara\\Recovery");
    RemoveDirectoryW(L"B:\\ProgramData\\Zentara");
    EXPECT_FALSE(m_mgr->ZqcdFlgIsExistInUP());
    EXPECT_EQ(S_OK, m_mgr->WriteUpFlg());
    EXPECT_TRUE(m_mgr->ZqcdFlgIsExistInUP());
    EXPECT_EQ(kHidden, Attributes(kMark));
    EXPECT_EQ(S_OK, m_mgr->WriteUpFlg()) << "over the hidden marker of a run before";

    Remove(L"D:\\zqdrcu.prc");
    EXPECT_FALSE(m_mgr->ZqcdFlgIsExistInRP());
    ASSERT_TRUE(TestFiles::WriteBytes(L"D:\\zqdrcu.prc", ""));
    EXPECT_TRUE(m_mgr->ZqcdFlgIsExistInRP());
    Remove(L"D:\\zqdrcu.prc");
}

TEST_F(MarkerOnSimPc, RecoveryPartitionMarkers)
{
    ASSERT_TRUE(TestFiles::WriteBytes(L"D:\\RPCONFIG.LOG", "old content"));
    EXPECT_EQ(S_OK, m_mgr->WriteRpLog());
    EXPECT_EQ("", TestFiles::ReadBytes(L"D:\\RPCONFIG.LOG"));

    Remove(L"B:\\WINDOWS\\RPISREMOVED.FLG");
    EXPECT_EQ(S_OK, m_mgr->ZQCreateRPIsRemovedFlg());
    EXPECT_FALSE(TestFiles::Exists(L"B:\\WINDOWS\\RPISREMOVED.FLG")) << "a recovery partition is still there";
    ASSERT_TRUE(MoveFileW(L"D:\\RPCONFIG.LOG", L"D:\\RPCONFIG.away"));
    EXPECT_EQ(S_OK, m_mgr->ZQCreateRPIsRemovedFlg());
    EXPECT_EQ(kHidden, Attributes(L"B:\\WINDOWS\\RPISREMOVED.FLG"));
    ASSERT_TRUE(MoveFileW(L"D:\\RPCONFIG.away", L"D:\\RPCONFIG.LOG"));
    Remove(L"B:\\WINDOWS\\RPISREMOVED.FLG");
}

TEST_F(MarkerOnSimPc, FlagsOfTheRecovery)
{
    RemoveDirectoryW(L"B:\\system.sav\\FLAGS");
    EXPECT_EQ(NV_E_FILE_NOT_EXIST, m_mgr->GenerateFlagFile());
    EXPECT_EQ(S_OK, m_mgr->CreateSystemRecoveryDoneFlag()) << "makes its folder";
    EXPECT_EQ(S_OK, m_mgr->CreateMDinImgFlag());
    EXPECT_TRUE(TestFiles::Exists(L"B:\\system.sav\\Flags\\SystemRecoveryDone.flg"));
    EXPECT_TRUE(TestFiles::Exists(L"B:\\system.sav\\Flags\\MDinImg.flg"));
    ASSERT_TRUE(TestFiles::WriteBytes(L"B:\\system.sav\\FLAGS\\Rimage.flg", "old"));
    SetFileAttributesW(L"B:\\system.sav\\FLAGS\\Rimage.flg", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(S_OK, m_mgr->GenerateFlagFile());
    EXPECT_EQ("", TestFiles::ReadBytes(L"B:\\system.sav\\FLAGS\\Rimage.flg"));
    EXPECT_TRUE(TestFiles::Exists(L"B:\\system.sav\\FLAGS\\HDD_RECOVERY.dat")) << "started from the hard disk";
    EXPECT_FALSE(TestFiles::Exists(L"B:\\system.sav\\FLAGS\\CDROM_RECOVERY.dat"));

    const wchar_t kNoMin[] = L"D:\\system.sav\\Flags\\NoMinImgRecovery.flg";
    Remove(kNoMin);
    EXPECT_TRUE(m_mgr->PureOSEnabled());
    CreateDirectoryW(L"D:\\system.sav", nullptr);
    CreateDirectoryW(L"D:\\system.sav\\Flags", nullptr);
    ASSERT_TRUE(TestFiles::WriteBytes(kNoMin, ""));
    EXPECT_FALSE(m_mgr->PureOSEnabled()) << "the recovery partition's flag decides";
    Remove(kNoMin);
}

TEST_F(MarkerOnSimPc, FactoryRestoreMarkerAndRecoveryCount)
{
    const wchar_t* pwszRestore = IsNotebook() ? L"B:\\BUILD-7.restore" : L"A:\\BUILD-7.restore";
    Remove(pwszRestore);
    EXPECT_EQ(S_OK, m_mgr->CreateSSRDFlagFile(L"BUILD-7"));
    ASSERT_TRUE(TestFiles::WriteBytes(pwszRestore, "kept"));
    EXPECT_EQ(S_OK, m_mgr->CreateSSRDFlagFile(L"BUILD-7"));
    EXPECT_EQ("kept", TestFiles::ReadBytes(pwszRestore)) << "an existing marker stays untouched";
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr->CreateSSRDFlagFile(L""));
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr->CreateSSRDFlagFile(nullptr));
    Remove(pwszRestore);

    const wchar_t kCount[] = L"B:\\zq\\support\\zqsysdrv.dat";
    Remove(kCount);
    EXPECT_EQ(S_OK, m_mgr->UpdateRecoveryCount()) << "no file: nothing to count";
    EXPECT_FALSE(TestFiles::Exists(kCount));
    CreateDirectoryW(L"B:\\zq", nullptr);
    CreateDirectoryW(L"B:\\zq\\support", nullptr);
    ASSERT_TRUE(TestFiles::WriteBytes(kCount, "[Recovery]\r\n"));
    EXPECT_EQ(S_OK, m_mgr->UpdateRecoveryCount());
    EXPECT_EQ(S_OK, m_mgr->UpdateRecoveryCount());
    wchar_t wsz[64] = {};
    GetPrivateProfileStringW(L"Recovery", L"Count", L"", wsz, 64, kCount);
    EXPECT_STREQ(L"2", wsz);
    GetPrivateProfileStringW(L"Recovery", L"Last Recovery", L"", wsz, 64, kCount);
    EXPECT_STREQ(L"3-7-2010 14:5:9 UTC", wsz);
    Remove(kCount);
}

} // namespace
