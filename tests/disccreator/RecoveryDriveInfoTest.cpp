// Drive letters, finished-set markers, free space and the INI copies on a
// desktop PC: Windows C:, recovery partition D:, DVD writer E:.
#include <gtest/gtest.h>

#include <windows.h>

#include "CRecoveryDriveInfo.h"
#include "CSimPc.h"
#include "IFreeSpace.h"
#include "NvErrorCode.h"
#include "PlanTestFiles.h"
#include "TestFiles.h"

namespace {

const ULONGLONG kMargin = 500ULL * 1024 * 1024;

class FakeFreeSpace : public IFreeSpace {
public:
    BOOL GetFreeBytes(const wchar_t* root, ULONGLONG* bytes) override
    {
        m_root = root;
        *bytes = m_ullFree;
        return m_bOk;
    }
    ULONGLONG m_ullFree = 0;
    BOOL m_bOk = TRUE;
    std::wstring m_root;
};

void Rename(const wchar_t* pwszFrom, const wchar_t* pwszTo)
{
    ASSERT_TRUE(MoveFileW(pwszFrom, pwszTo)) << GetLastError();
}

TEST(RecoveryDriveInfo, FindsTheRecoveryPartitionButNeverAnOpticalDrive)
{
    // A disc in the optical drive holds the four names too.
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) {
        SimDisc disc;
        disc.id = s.NewId(L"rpdisc");
        disc.label = L"RP";
        s.discs.push_back(disc);
        std::wstring folder = pc.DiscFolder(disc.id);
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"\\boot").c_str(), nullptr);
        for (const wchar_t* pwszName : {L"\\bootmgr", L"\\CSP.dat", L"\\RPCONFIG.LOG"})
            TestFiles::WriteBytes(folder + pwszName, "x");
        return pc.InsertDisc(s, *s.FindOptical(L'E'), disc.id);
    }));
    ASSERT_TRUE(TestFiles::Exists(L"E:\\bootmgr"));

    CRecoveryDriveInfo info;
    EXPECT_EQ(L'C', towupper(info.GetWindowsDrive()));
    EXPECT_EQ(L'd', info.GetRecoveryDrive()) << "lower case";

    Rename(L"D:\\bootmgr", L"D:\\bootmgr.away");
    CRecoveryDriveInfo missing;
    EXPECT_EQ(CRecoveryDriveInfo::kNotFound, missing.GetRecoveryDrive()) << "E: must be skipped";
    Rename(L"D:\\bootmgr.away", L"D:\\bootmgr");
    EXPECT_EQ(CRecoveryDriveInfo::kNotFound, missing.GetRecoveryDrive()) << "looked up once per object";
    EXPECT_EQ(L'd', CRecoveryDriveInfo().GetRecoveryDrive());
}

TEST(RecoveryDriveInfo, EitherMarkerMeansTheSetWasMade)
{
    CRecoveryDriveInfo info;
    EXPECT_FALSE(info.CreatedMarkerExists());
    ASSERT_TRUE(info.WriteCreatedMarkers());
    for (const wchar_t* pwszMarker : {L"C:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc", L"D:\\zqdrcu.prc"}) {
        DWORD dwAttributes = GetFileAttributesW(pwszMarker);
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, dwAttributes) << pwszMarker;
        EXPECT_TRUE(dwAttributes & FILE_ATTRIBUTE_HIDDEN) << pwszMarker;
        EXPECT_TRUE(dwAttributes & FILE_ATTRIBUTE_SYSTEM) << pwszMarker;
    }
    struct Case {
        const wchar_t* removed;
        BOOL expected;
    } const kCases[] = {
        {L"C:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc", TRUE}, // recovery partition's only
        {L"D:\\zqdrcu.prc", FALSE},                                 // none
    };
    for (const Case& c : kCases) {
        SetFileAttributesW(c.removed, FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(DeleteFileW(c.removed));
        EXPECT_EQ(c.expected, CRecoveryDriveInfo().CreatedMarkerExists()) << c.removed;
    }
    ASSERT_TRUE(TestFiles::WriteBytes(L"C:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc", ""));
    EXPECT_TRUE(CRecoveryDriveInfo().CreatedMarkerExists()) << "Windows drive's only";
    DeleteFileW(L"C:\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc");
}

TEST(RecoveryDriveInfo, RoomForAFolderPlusTheMargin)
{
    const wchar_t kFolder[] = L"C:\\room-test";
    ASSERT_TRUE(PlanTestFiles::MakeFolder(std::wstring(kFolder) + L"\\sub"));
    ASSERT_TRUE(TestFiles::WriteBytes(std::wstring(kFolder) + L"\\sub\\part.bin", std::string(1000, 'p')));
    struct Case {
        const char* name;
        const wchar_t* folder;
        ULONGLONG free;
        BOOL ok;
        BOOL expected;
    } const kCases[] = {
        {"missing folder needs the margin only", L"C:\\no-such-folder", kMargin, TRUE, TRUE},
        {"missing folder, one byte short", L"C:\\no-such-folder", kMargin - 1, TRUE, FALSE},
        {"free equal to need", kFolder, kMargin + 1000, TRUE, TRUE},
        {"one byte less", kFolder, kMargin + 999, TRUE, FALSE},
        {"free space unknown", kFolder, ~0ULL, FALSE, FALSE},
        {"no folder", nullptr, ~0ULL, TRUE, FALSE},
    };
    for (const Case& c : kCases) {
        FakeFreeSpace freeSpace;
        freeSpace.m_ullFree = c.free;
        freeSpace.m_bOk = c.ok;
        CRecoveryDriveInfo info;
        info.SetFreeSpace(&freeSpace);
        EXPECT_EQ(c.expected, info.HasRoomFor(c.folder)) << c.name;
        if (c.folder)
            EXPECT_EQ(L"C:\\", freeSpace.m_root) << c.name;
    }
    ULONGLONG ullTotal = 7;
    EXPECT_EQ(S_FALSE, CRecoveryDriveInfo().AddFolderSize(&ullTotal, L"C:\\no-such-folder"));
    EXPECT_EQ(7u, ullTotal);
    EXPECT_EQ(NV_E_INVALID_ARG, CRecoveryDriveInfo().AddFolderSize(nullptr, kFolder));
}

TEST(RecoveryDriveInfo, CopiesTheIniFoldersBesideTheProgram)
{
    ASSERT_TRUE(PlanTestFiles::MakeFolder(L"D:\\zq\\Apps\\INI"));
    ASSERT_TRUE(PlanTestFiles::MakeFolder(L"D:\\zq\\Drv\\INI"));
    ASSERT_TRUE(TestFiles::WriteBytes(L"D:\\zq\\Apps\\INI\\Office.ini", "[App]\r\n"));
    ASSERT_TRUE(TestFiles::WriteBytes(L"D:\\zq\\Drv\\INI\\Audio.ini", "[Drv]\r\n"));
    CRecoveryDriveInfo info;
    info.SetProgramFolder(L"C:\\ini-program");
    EXPECT_TRUE(info.CopyIniFolders());
    EXPECT_EQ("[App]\r\n", TestFiles::ReadBytes(L"C:\\ini-program\\zq\\Apps\\INI\\Office.ini"));
    EXPECT_EQ("[Drv]\r\n", TestFiles::ReadBytes(L"C:\\ini-program\\zq\\Drv\\INI\\Audio.ini"));
}

} // namespace
