// Saved user files on simulated PCs in Windows PE (Windows partition B:,
// recovery partition D:, RAM drive X:): the list, the save before the
// partition is formatted and the restore after, byte for byte, with two
// listed files of one name each coming back to its own place.
#include <gtest/gtest.h>

#include <windows.h>

#include <list>
#include <string>
#include <vector>

#include "CSBRMgr.h"
#include "SimPcTestEnv.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "ZQSimKey.h"

namespace {

using SimPcTest::IsNotebook;
using SimPcTest::Profile;

class CSaveEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return SimPcTest::FixtureFolder(); }
};

void MakeFolders(const std::wstring& path)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void WriteFile(const std::wstring& path, const std::string& bytes)
{
    MakeFolders(path);
    ASSERT_TRUE(TestFiles::WriteBytes(path, bytes)) << std::string(path.begin(), path.end());
}

// The listed files: two of one name, a read-only one, and lines the list
// skips (a missing file, a folder).
const struct {
    const wchar_t* path;
    const char* content; // null: not a file of the list
} kListed[] = {
    {L"\\Users\\a\\same.txt", "first same-named file\r\n"},
    {L"\\Users\\b\\same.txt", "second same-named file, longer\r\n"},
    {L"\\Users\\Public\\Documents\\readme.txt", "user file\r\n"},
    {L"\\Users\\ro.txt", "read-only\r\n"},
    {L"\\missing.txt", nullptr},
    {L"\\Users\\Public", nullptr},
};

class SaveFileOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_mgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_mgr->Init());
        m_mgr->SetZQOSVer(ZQ_PLATFORM_WIN7);
        m_mgr->SetZQVendor(Profile().find("notebook") == 0 ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_mgr->InitDisk());
        std::string list;
        for (const auto& f : kListed) {
            list += std::string(f.path, f.path + wcslen(f.path)) + "\r\n";
            if (f.content)
                WriteFile(std::wstring(L"B:") + f.path, f.content);
        }
        SetFileAttributesW(L"B:\\Users\\ro.txt", FILE_ATTRIBUTE_READONLY);
        WriteFile(L"D:\\zq\\recovery\\patch\\savefile.ini", list);
        TestFiles::ClearDrive(L'X');
        CreateDirectoryW(L"X:\\Windows", nullptr);
    }

    // What the formatting does to the Windows partition's files.
    void LoseTheFiles()
    {
        for (const auto& f : kListed) {
            if (!f.content)
                continue;
            std::wstring path = std::wstring(L"B:") + f.path;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }

    void ExpectRestored(const char* name)
    {
        for (const auto& f : kListed) {
            if (f.content) {
                EXPECT_EQ(f.content, TestFiles::ReadBytes(std::wstring(L"B:") + f.path))
                    << name << ": " << std::string(f.path, f.path + wcslen(f.path));
            }
        }
    }

    CSaveEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_mgr;
};

TEST_F(SaveFileOnSimPc, ListSkipsMissingFilesAndFolders)
{
    std::list<std::wstring> files;
    ASSERT_EQ(S_OK, m_mgr->GetSaveFileList(files));
    std::vector<std::wstring> got(files.begin(), files.end());
    std::vector<std::wstring> expected;
    for (const auto& f : kListed) {
        if (f.content)
            expected.push_back(std::wstring(L"B:") + f.path);
    }
    EXPECT_EQ(expected, got);
}

// System recovery from the recovery partition: saved there, put back, and
// on desktops the saved copies go.
TEST_F(SaveFileOnSimPc, RoundTripThroughTheRecoveryPartition)
{
    std::list<std::wstring> files, saved;
    ASSERT_EQ(S_OK, m_mgr->GetSaveFileList(files));
    ASSERT_EQ(S_OK, m_mgr->PreSaveFileProcessingForRP(files, saved));
    ASSERT_EQ(files.size(), saved.size());
    std::vector<std::wstring> savedPaths(saved.begin(), saved.end());
    EXPECT_NE(savedPaths[0], savedPaths[1]) << "two files of one name share a saved copy";
    for (const std::wstring& s : saved)
        EXPECT_EQ(L'D', s[0]) << std::string(s.begin(), s.end());
    LoseTheFiles();
    ASSERT_EQ(S_OK, m_mgr->PostSaveFileProcessingFromRP(saved, files));
    ExpectRestored("from the recovery partition");
    const bool bNotebook = m_mgr->GetZQVendor() == ZQ_VENDOR_CNB;
    for (const std::wstring& s : saved)
        EXPECT_EQ(bNotebook, TestFiles::Exists(s)) << std::string(s.begin(), s.end()) << ": copy kept on notebooks only";
}

// Factory reset from a user-created set: saved to X: before the disk is
// wiped, from there to the new recovery partition, and back afterwards.
TEST_F(SaveFileOnSimPc, TwoStepSaveThroughTheRamDrive)
{
    std::list<std::wstring> files, onX, onRP;
    ASSERT_EQ(S_OK, m_mgr->GetSaveFileList(files));
    ASSERT_EQ(S_OK, m_mgr->PreSaveFileProcessingForUCRD(files, onX));
    for (const std::wstring& s : onX)
        EXPECT_EQ(L'X', s[0]) << std::string(s.begin(), s.end()) << ": the first step goes to the RAM drive";
    ASSERT_EQ(S_OK, m_mgr->PreSaveFileProcessingForUCRD(onX, onRP));
    for (const std::wstring& s : onRP)
        EXPECT_EQ(L'D', s[0]) << std::string(s.begin(), s.end()) << ": the second step goes to the recovery partition";
    LoseTheFiles();
    ASSERT_EQ(S_OK, m_mgr->PostSaveFileProcessingForUCRD(onRP, files));
    ExpectRestored("through X:");
}

TEST_F(SaveFileOnSimPc, MissingSavedCopyFails)
{
    std::list<std::wstring> files, saved;
    ASSERT_EQ(S_OK, m_mgr->GetSaveFileList(files));
    ASSERT_EQ(S_OK, m_mgr->PreSaveFileProcessingForRP(files, saved));
    DeleteFileW(saved.back().c_str());
    SetFileAttributesW(saved.back().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(saved.back().c_str());
    EXPECT_EQ(NV_E_NOT_FOUND, m_mgr->PostSaveFileProcessingFromRP(saved, files));
    std::list<std::wstring> gone = {L"B:\\Users\\nothing-here.txt"};
    std::list<std::wstring> out;
    EXPECT_EQ(NV_E_NOT_FOUND, m_mgr->PreSaveFileProcessingForRP(gone, out));
}

} // namespace
