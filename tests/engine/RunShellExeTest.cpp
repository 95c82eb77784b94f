// Starting programs through the shell: waiting, not waiting, the handle
// handed out, the show flag and the failure code with its error line.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "EngineTestHelpers.h"
#include "NvErrorCode.h"
#include "RunShellExe.h"
#include "TestFiles.h"

using namespace EngineTest;

namespace {

class RunShellExeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t wszSelf[MAX_PATH];
        GetModuleFileNameW(nullptr, wszSelf, MAX_PATH);
        m_folder = wszSelf;
        m_folder.erase(m_folder.rfind(L'\\') + 1);
        m_child = m_folder + L"ShellChild.exe";
        m_record = m_folder + L"shellchild-record.txt";
        DeleteFileW(m_record.c_str());
    }
    void TearDown() override { DeleteFileW(m_record.c_str()); }

    std::wstring Params(const wchar_t* pwszDelay) const { return std::wstring(pwszDelay) + L" \"" + m_record + L"\""; }

    std::wstring m_folder;
    std::wstring m_child;
    std::wstring m_record;
};

TEST_F(RunShellExeTest, WaitReturnsAfterTheProcessEnded)
{
    HANDLE hProcess = reinterpret_cast<HANDLE>(0x5A5A);
    ASSERT_EQ(S_OK, RunShellExe(m_child.c_str(), Params(L"400").c_str(), nullptr, nullptr, RSE_WAIT, FALSE,
                                &hProcess));
    ASSERT_NE(nullptr, hProcess);
    ASSERT_NE(reinterpret_cast<HANDLE>(0x5A5A), hProcess);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hProcess, 0)) << "returned before the child ended";
    EXPECT_TRUE(TestFiles::Exists(m_record));
    CloseHandle(hProcess);
}

TEST_F(RunShellExeTest, NoWaitReturnsWhileTheProcessRuns)
{
    const wchar_t kEvent[] = L"RunShellExeTestHold";
    HANDLE hEvent = CreateEventW(nullptr, TRUE, FALSE, kEvent);
    ASSERT_NE(nullptr, hEvent);
    std::wstring params = std::wstring(L"hold ") + kEvent + L" \"" + m_record + L"\"";
    HANDLE hProcess = nullptr;
    ASSERT_EQ(S_OK, RunShellExe(m_child.c_str(), params.c_str(), nullptr, nullptr, RSE_NO_WAIT, FALSE, &hProcess));
    ASSERT_NE(nullptr, hProcess);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(hProcess, 200)) << "the child should still run";
    EXPECT_FALSE(TestFiles::Exists(m_record));
    SetEvent(hEvent);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hProcess, 30000));
    EXPECT_TRUE(TestFiles::Exists(m_record));
    CloseHandle(hProcess);
    CloseHandle(hEvent);
}

TEST_F(RunShellExeTest, ShowFlagAndFolderReachTheChild)
{
    std::wstring folder = m_folder;
    folder.pop_back();
    struct {
        const char* name;
        BOOL show;
        const wchar_t* directory;
        const char* expected;
    } cases[] = {
        {"hidden", FALSE, nullptr, "show=0 "},
        {"shown", TRUE, nullptr, "show=1 "},
        {"in a folder", FALSE, folder.c_str(), "dir="},
    };
    for (const auto& c : cases) {
        DeleteFileW(m_record.c_str());
        ASSERT_EQ(S_OK, RunShellExe(m_child.c_str(), Params(L"0").c_str(), c.directory, L"open", RSE_WAIT, c.show,
                                    nullptr))
            << c.name;
        std::string record = TestFiles::ReadBytes(m_record);
        EXPECT_NE(std::string::npos, record.find(c.expected)) << c.name << ": " << record;
        if (c.directory != nullptr) {
            EXPECT_NE(std::string::npos, record.find("dir=" + Narrow(folder) + "\n")) << c.name << ": " << record;
        }
    }
}

TEST_F(RunShellExeTest, MissingFileFailsWithOneErrorLine)
{
    TestFiles::ClearDrive(L'H');
    CDumpCapture dump(L'H');
    HANDLE hProcess = reinterpret_cast<HANDLE>(0x5A5A);
    std::wstring missing = m_folder + L"NoSuchProgram.exe";
    EXPECT_EQ(NV_E_FAIL, RunShellExe(missing.c_str(), nullptr, nullptr, nullptr, RSE_WAIT, FALSE, &hProcess));
    EXPECT_EQ(reinterpret_cast<HANDLE>(0x5A5A), hProcess) << "no handle on failure";
    std::string text = dump.Text();
#ifdef RV_DISCORA
    EXPECT_EQ(std::string::npos, text.find("Win32 System Info Code")) << "the disc creator writes no line";
#else
    size_t first = text.find("Win32 System Info Code = 2,");
    EXPECT_NE(std::string::npos, first) << "file not found: " << text;
    EXPECT_EQ(std::string::npos, text.find("Win32 System Info Code", first + 1)) << "one line only: " << text;
#endif
}

} // namespace
