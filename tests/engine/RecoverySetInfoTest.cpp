// Build information, preload sizes and copy totals of recovery sets laid out
// on the test drives K: (user-created disc, also the recovery partition) and
// M: (factory disc).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CRecoverySetInfo.h"
#include "EngineTestHelpers.h"
#include "NvErrorCode.h"
#include "TestFiles.h"

using namespace EngineTest;
using TestFiles::ClearDrive;

namespace {

class CTestSetInfo : public CRecoverySetInfo {
public:
    wchar_t GetSSRDDrvLet() override { return L'M'; }
    wchar_t GetUCRDDrvLet() override { return L'K'; }
    wchar_t GetRPTOOLDrvLet() override { return L'K'; }
};

void MakeDirs(const std::wstring& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void MakeFile(const std::wstring& path, size_t cb)
{
    MakeDirs(path.substr(0, path.rfind(L'\\')));
    TestFiles::WriteBytes(path, std::string(cb, 'z'));
}

const char kBuildInfo[] = "[Recovery]\r\nVolumeLabelUP=OS\r\nVolumeLabelRP=RECOVERY\r\nSizeUP=51200\r\nSizeBP=0\r\n"
                          "[SystemPartition]\r\nsize=100\r\n[SSRDPartition]\r\nPartition_1_Offset=2\r\n";

class RecoverySetInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ClearDrive(L'K')) << "drive K: not mapped";
        ASSERT_TRUE(ClearDrive(L'M')) << "drive M: not mapped";
    }
    CTestSetInfo m_info;
};

TEST_F(RecoverySetInfoTest, BuildInformation)
{
    MakeDirs(L"K:\\zq\\MLs");
    ASSERT_TRUE(WriteText(L"K:\\zq\\MLs\\BuildInfo.ini", kBuildInfo));
    {
        CPrivateHKLM hklm(L"SetInfo"); // installed Windows: not booted from a disc
        EXPECT_EQ(S_OK, m_info.GetUPVolumeLabel());
    }
    EXPECT_STREQ(L"OS", m_info.m_wszUPVolumeNameBuf);
    EXPECT_STREQ(L"RECOVERY", m_info.m_wszRPVolumeNameBuf);

    struct {
        wchar_t letter;
        const wchar_t* section;
        const wchar_t* key;
        HRESULT hr;
        ULONGLONG value;
    } cases[] = {
        {L'K', L"Recovery", L"SizeUP", S_OK, 51200},
        {L'k', L"SystemPartition", L"size", S_OK, 100},
        {L'K', L"Recovery", L"Missing", S_OK, 0},
        {L'M', L"Recovery", L"SizeUP", NV_E_FILE_NOT_EXIST, 7},
        {L'1', L"Recovery", L"SizeUP", NV_E_INVALID_ARG, 7},
        {L'K', L"", L"SizeUP", NV_E_INVALID_ARG, 7},
        {L'K', L"Recovery", nullptr, NV_E_INVALID_ARG, 7},
    };
    for (const auto& c : cases) {
        ULONGLONG value = 7;
        EXPECT_EQ(c.hr, m_info.ReadNumericValueFromBuildInfoIni(c.letter, c.section, c.key, &value))
            << char(c.letter) << " " << Narrow(c.section) << "/" << (c.key ? Narrow(c.key) : "(null)");
        EXPECT_EQ(c.value, value) << Narrow(c.section) << "/" << (c.key ? Narrow(c.key) : "(null)");
    }
    EXPECT_EQ(NV_E_INVALID_ARG, m_info.ReadNumericValueFromBuildInfoIni(L'K', L"Recovery", L"SizeUP", nullptr));
}

// Only a missing file fails; a file without [Recovery] gives empty labels.
TEST_F(RecoverySetInfoTest, BuildInformationWithoutValues)
{
    struct {
        const char* name;
        const char* content; // null: no file
        HRESULT hr;
        const wchar_t* up;
        const wchar_t* rp;
    } cases[] = {
        {"missing", nullptr, NV_E_FILE_IO, L"before", L"before"},
        {"empty", "", S_OK, L"", L""},
        {"no section Recovery", "[Other]\r\nx=1\r\n", S_OK, L"", L""},
        {"only the UP label", "[Recovery]\r\nVolumeLabelUP=OS\r\n", S_OK, L"OS", L""},
    };
    for (const auto& c : cases) {
        ClearDrive(L'K');
        if (c.content) {
            MakeDirs(L"K:\\zq\\MLs");
            ASSERT_TRUE(WriteText(L"K:\\zq\\MLs\\BuildInfo.ini", c.content));
        }
        wcscpy(m_info.m_wszUPVolumeNameBuf, L"before");
        wcscpy(m_info.m_wszRPVolumeNameBuf, L"before");
        EXPECT_EQ(c.hr, m_info.LoadBuildInfoINI(L"K:\\zq\\MLs\\BuildInfo.ini")) << c.name;
        EXPECT_STREQ(c.up, m_info.m_wszUPVolumeNameBuf) << c.name;
        EXPECT_STREQ(c.rp, m_info.m_wszRPVolumeNameBuf) << c.name;
        ULONGLONG ullSize = 7;
        EXPECT_EQ(c.content ? S_OK : NV_E_FILE_NOT_EXIST,
                  m_info.ReadNumericValueFromBuildInfoIni(L'K', L"Recovery", L"SizeUP", &ullSize))
            << c.name;
        EXPECT_EQ(c.content ? 0u : 7u, ullSize) << c.name;
    }
    EXPECT_EQ(NV_E_INVALID_ARG, m_info.LoadBuildInfoINI(nullptr));
}

// No recovery partition letter: the code of a missing file, as the path
// built from letter 0 names no file.
TEST_F(RecoverySetInfoTest, LabelsWithoutALetter)
{
    class CNoLetter : public CTestSetInfo {
    public:
        wchar_t GetRPTOOLDrvLet() override { return 0; }
    } info;
    CPrivateHKLM hklm(L"SetInfoNoLetter"); // installed Windows: the recovery partition's file
    wcscpy(info.m_wszUPVolumeNameBuf, L"before");
    EXPECT_EQ(NV_E_FILE_IO, info.GetUPVolumeLabel());
    EXPECT_STREQ(L"before", info.m_wszUPVolumeNameBuf);
}

TEST_F(RecoverySetInfoTest, HeadFreeSpace)
{
    struct {
        const char* name;
        const char* content; // null: no file
        ULONGLONG bytes;
    } cases[] = {
        {"2 MiB", "[SSRDPartition]\r\nPartition_1_Offset=2\r\n", 2097152},
        {"8192 MiB does not wrap", "[SSRDPartition]\r\nPartition_1_Offset=8192\r\n", 8192ULL << 20},
        {"negative", "[SSRDPartition]\r\nPartition_1_Offset=-1\r\n", 0},
        {"no key", "[SSRDPartition]\r\n", 0},
        {"no file", nullptr, 0},
    };
    for (const auto& c : cases) {
        ClearDrive(L'M');
        if (c.content) {
            MakeDirs(L"M:\\zq\\MLs");
            ASSERT_TRUE(WriteText(L"M:\\zq\\MLs\\BuildInfo.ini", c.content));
        }
        ULONGLONG bytes = 99;
        EXPECT_EQ(S_OK, m_info.LoadHeadFreeSpace(&bytes)) << c.name;
        EXPECT_EQ(c.bytes, bytes) << c.name;
    }
    EXPECT_EQ(NV_E_INVALID_ARG, m_info.LoadHeadFreeSpace(nullptr));
}

TEST_F(RecoverySetInfoTest, FactoryDiscCopySize)
{
    MakeFile(L"M:\\preload\\PART0002\\a.swm", 1000);
    MakeFile(L"M:\\preload\\b.bin", 24);
    struct {
        const char* name;
        const char* log; // null: no log
        ULONGLONG bytes;
    } cases[] = {
        {"from the log", "[Master]\r\nSize_Preload_Total=123456789012\r\n", 123456789012ULL},
        {"log says 0", "[Master]\r\nSize_Preload_Total=0\r\n", 1024},
        {"empty log", "", 1024},
        {"no log", nullptr, 1024},
    };
    for (const auto& c : cases) {
        DeleteFileW(L"M:\\PreloadSize.log");
        if (c.log) {
            ASSERT_TRUE(WriteText(L"M:\\PreloadSize.log", c.log));
        }
        ULONGLONG bytes = 0;
        EXPECT_EQ(S_OK, m_info.ZQGetSSRDToCopySize(&bytes)) << c.name;
        EXPECT_EQ(c.bytes, bytes) << c.name;
    }
    ClearDrive(L'M');
    ULONGLONG bytes = 5;
    EXPECT_EQ(NV_E_NOT_FOUND, m_info.ZQGetSSRDToCopySize(&bytes)) << "no preload folder";
    EXPECT_EQ(5u, bytes);
    EXPECT_EQ(NV_E_INVALID_ARG, m_info.ZQGetSSRDToCopySize(nullptr));
}

TEST_F(RecoverySetInfoTest, UserDiscCopySize)
{
    struct File {
        const wchar_t* path;
        size_t cb;
    };
    const File kFiles[] = {
        {L"K:\\zq\\MLs\\BuildInfo.ini", 10}, {L"K:\\zq\\x\\y.dat", 5},
        {L"K:\\Recovery\\WindowsRE\\winre.wim", 300}, {L"K:\\boot\\bcd", 20},
        {L"K:\\boot\\boot.sdi", 40}, {L"K:\\bootmgr", 50}, {L"K:\\CSP.dat", 7}, {L"K:\\RPCONFIG.txt", 3},
        {L"K:\\preload\\PART0002\\img.swm", 2000},
    };
    const ULONGLONG kAll = 10 + 5 + 300 + 20 + 40 + 50 + 7 + 3 + 2000;
    struct {
        const char* name;
        const wchar_t* removed;
        BOOL countRP;
        HRESULT hr;
        ULONGLONG bytes;
    } cases[] = {
        {"all files", nullptr, TRUE, S_OK, kAll},
        {"preload only", nullptr, FALSE, S_OK, 2000},
        {"no RPCONFIG.txt", L"K:\\RPCONFIG.txt", TRUE, S_OK, kAll - 3},
        {"no zq folder", L"K:\\zq", TRUE, S_OK, kAll - 15},
        {"no boot.sdi", L"K:\\boot\\boot.sdi", TRUE, NV_E_FILE_SIZE, 1},
        {"no bootmgr", L"K:\\bootmgr", TRUE, NV_E_FILE_SIZE, 1},
        {"no preload", L"K:\\preload", TRUE, NV_E_NOT_FOUND, 1},
    };
    for (const auto& c : cases) {
        ClearDrive(L'K');
        for (const File& f : kFiles)
            MakeFile(f.path, f.cb);
        if (c.removed)
            TestFiles::DeleteTree(c.removed);
        ULONGLONG bytes = 1;
        EXPECT_EQ(c.hr, m_info.ZQGetUCRDToCopySize(&bytes, c.countRP)) << c.name;
        EXPECT_EQ(c.bytes, bytes) << c.name;
    }
    EXPECT_EQ(NV_E_INVALID_ARG, m_info.ZQGetUCRDToCopySize(nullptr, TRUE));
}

TEST_F(RecoverySetInfoTest, AssistantPath)
{
    const wchar_t kKey[] = L"SOFTWARE\\Zentara\\ZQCareDesk";
    MakeFile(L"K:\\Care\\tca.exe", 1);
    struct {
        const char* name;
        const wchar_t* folder; // null: value absent
        const wchar_t* tool;
        HRESULT hr;
        const wchar_t* path;
    } cases[] = {
        {"folder and tool", L"K:\\Care", L"C:\\elsewhere\\tca.exe", S_OK, L"K:\\Care\\tca.exe"},
        {"folder with backslash", L"K:\\Care\\", L"tca.exe", S_OK, L"K:\\Care\\tca.exe"},
        {"no folder value", nullptr, L"tca.exe", NV_E_REGISTRY, L""},
        {"folder missing", L"K:\\Gone", L"tca.exe", NV_E_CREATE_DIR, L""},
        {"no tool value", L"K:\\Care", nullptr, NV_E_REGISTRY, L""},
        {"tool missing", L"K:\\Care", L"other.exe", NV_E_FILE_IO, L""},
    };
    for (const auto& c : cases) {
        CPrivateHKLM hklm(L"Assistant");
        ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, kKey, L"Other", 1));
        if (c.folder) {
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kKey, L"Path", c.folder));
        }
        if (c.tool) {
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kKey, L"ZQTCA", c.tool));
        }
        std::wstring path;
        EXPECT_EQ(c.hr, m_info.GetZQAssistantPath(path)) << c.name;
        EXPECT_EQ(c.path, path) << c.name;
    }
}

TEST_F(RecoverySetInfoTest, BackupCounts)
{
    struct {
        const char* name;
        const char* content; // null: no index
        DWORD wims, discs;
    } cases[] = {
        {"counts", "[Count]\r\nWIMCount=7\r\nDiscCount=3\r\n", 7, 3},
        {"no digits", "[Count]\r\nWIMCount=x\r\nDiscCount=\r\n", 0, 0},
        {"negative", "[Count]\r\nWIMCount=-4\r\n", 0, 0},
        {"no index", nullptr, 0, 0},
    };
    wcscpy(m_info.m_wszRestoreSourcePath, L"K:\\backup\\");
    MakeDirs(L"K:\\backup");
    for (const auto& c : cases) {
        DeleteFileW(L"K:\\backup\\Mendora.ini");
        if (c.content) {
            ASSERT_TRUE(WriteText(L"K:\\backup\\Mendora.ini", c.content));
        }
        EXPECT_EQ(c.wims, m_info.GetBackupWIMCount()) << c.name;
        EXPECT_EQ(c.discs, m_info.GetBackupDiscCount()) << c.name;
    }
}

} // namespace
