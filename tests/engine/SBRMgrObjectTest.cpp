// The controller's start-up on a program folder of its own (P:): the
// settings file it needs, the WIM filter service, and the age of the
// WinPE image next to the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CSBRMgr.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "TestFiles.h"

using namespace TestFiles;

namespace {

class CFolderEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return L"P:\\"; }
};

const wchar_t kImage[] = L"P:\\MakeWinPEISO\\winpe_x86\\ISO\\sources\\boot.wim";

std::wstring OwnFileName()
{
    wchar_t wsz[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, wsz, MAX_PATH);
    return wcsrchr(wsz, L'\\') + 1;
}

bool SetWriteTime(const std::wstring& path, WORD year)
{
    SYSTEMTIME st{year, 1, 0, 1, 12, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok != FALSE;
}

class SBRMgrObjectTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ClearDrive(L'P')); }
    CFolderEnvironment m_env;
};

TEST_F(SBRMgrObjectTest, InitNeedsTheSettingsFile)
{
    {
        CSBRMgr mgr(&m_env);
        EXPECT_EQ(NV_E_FILE_NOT_EXIST, mgr.Init()) << "no MD.ini";
    }
    ASSERT_TRUE(WriteBytes(L"P:\\MD.ini", "[SystemRecovery]\r\nLargeSSDThreshold=64\r\n"));
    CSBRMgr mgr(&m_env);
    EXPECT_EQ(S_OK, mgr.Init());
    EXPECT_EQ(64u, mgr.GetMDConfig().m_ullLargeSSDThreshold);
    EXPECT_STREQ(L"P:\\", mgr.GetProgramFolder());
    // Wine has no WIM filter service: both start attempts fail, Init does not.
    EXPECT_FALSE(mgr.WimFltrStarted());
    EXPECT_STREQ(L"P:\\MakeWinPEISO\\winpe_x86\\ISO", CSBRMgr::GetWinPEISOPath());
}

// A settings file without sections is a configuration of defaults, not a
// reason to refuse start-up.
TEST_F(SBRMgrObjectTest, EmptySettingsFileStarts)
{
    ASSERT_TRUE(WriteBytes(L"P:\\MD.ini", ""));
    CSBRMgr mgr(&m_env);
    EXPECT_EQ(S_OK, mgr.Init());
    EXPECT_EQ(0u, mgr.GetMDConfig().m_ullLargeSSDThreshold);
    EXPECT_EQ(300, mgr.GetMDConfig().m_nWaitTimeBySecond);
}

// The label is cut at lower-case 'y' only, with the runtime tokenizer's
// skipping of leading delimiters.
TEST(SBRMgrDiscLabel, SplitAtY)
{
    struct {
        const wchar_t* label;
        UCRDLabelSplit split;
        const wchar_t* digits;
    } cases[] = {
        {L"Recovery23", ULS_OK, L"23"},
        {L"RECOVERy12", ULS_OK, L"12"},
        {L"yyRecovery12", ULS_OK, L"12"},
        {L"Recoveryy12", ULS_OK, L"12"},
        {L"Recovery", ULS_OK, L""},
        {L"Recovery1y2", ULS_OK, L"1"},
        {L"RecoverY23", ULS_WRONG_TEXT, L"-"},
        {L"RECOVERY23", ULS_WRONG_TEXT, L"-"},
        {L"Recover23", ULS_WRONG_TEXT, L"-"},
        {L"Discy12", ULS_WRONG_TEXT, L"-"},
        {L"", ULS_NO_SPLIT, L"-"},
        {L"yyy", ULS_NO_SPLIT, L"-"},
    };
    for (const auto& c : cases) {
        std::wstring digits = L"-";
        EXPECT_EQ(c.split, SplitUCRDLabel(c.label, &digits)) << "label \"" << std::string(c.label, c.label + wcslen(c.label)) << "\"";
        EXPECT_EQ(std::wstring(c.digits), digits) << std::string(c.label, c.label + wcslen(c.label));
    }
}

// System Restore is found by its program name among the running processes.
TEST_F(SBRMgrObjectTest, MSRestoreRunning)
{
    CSBRMgr mgr(&m_env);
    EXPECT_FALSE(mgr.IsMSRestoreRunning());
    wchar_t wszSelf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, wszSelf, MAX_PATH);
    std::wstring child = wszSelf;
    child.erase(child.rfind(L'\\') + 1);
    child += L"ShellChild.exe";
    ASSERT_TRUE(CopyFileW(child.c_str(), L"P:\\rstrui.exe", FALSE));
    HANDLE hHold = CreateEventW(nullptr, TRUE, FALSE, L"SBRMgrObjectTestRstrui");
    ASSERT_NE(nullptr, hHold);
    wchar_t wszCommand[] = L"P:\\rstrui.exe hold SBRMgrObjectTestRstrui P:\\rstrui.txt";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, wszCommand, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_TRUE(mgr.IsMSRestoreRunning());
    SetEvent(hHold);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000));
    EXPECT_FALSE(mgr.IsMSRestoreRunning()) << "after it ended";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(hHold);
}

TEST_F(SBRMgrObjectTest, DeletingMissingServicesSucceeds)
{
    EXPECT_TRUE(DeleteWimFltrService());
    EXPECT_TRUE(DeleteQsvdService());
}

// A WIM filter service that can run: the first pass starts it, a later
// controller finds it running; deleting it removes it.
TEST_F(SBRMgrObjectTest, WimFilterServiceStartedOrRunning)
{
    ASSERT_TRUE(WriteBytes(L"P:\\MD.ini", "[SystemRecovery]\r\nLargeSSDThreshold=64\r\n"));
    wchar_t wszService[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, wszService, MAX_PATH);
    wcscpy(wcsrchr(wszService, L'\\') + 1, L"FakeWimFltrService.exe");
    SC_HANDLE hManager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, hManager);
    SC_HANDLE hService = CreateServiceW(hManager, L"WimFltr", L"WimFltr", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, wszService, nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hService) << GetLastError();

    {
        CSBRMgr mgr(&m_env);
        EXPECT_EQ(S_OK, mgr.Init());
        EXPECT_TRUE(mgr.WimFltrStarted()) << "started by the first pass";
    }
    {
        CSBRMgr mgr(&m_env);
        EXPECT_EQ(S_OK, mgr.Init());
        EXPECT_TRUE(mgr.WimFltrStarted()) << "already running";
    }

    SERVICE_STATUS status{};
    ControlService(hService, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 50 && QueryServiceStatus(hService, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
        Sleep(100);
    CloseServiceHandle(hService);
    EXPECT_TRUE(DeleteWimFltrService());
    hService = OpenServiceW(hManager, L"WimFltr", SERVICE_QUERY_STATUS);
    EXPECT_EQ(nullptr, hService) << "the service is gone";
    if (hService)
        CloseServiceHandle(hService);
    CloseServiceHandle(hManager);
}

TEST_F(SBRMgrObjectTest, WinPEImageAge)
{
    ASSERT_TRUE(WriteBytes(L"P:\\MD.ini", "[SystemRecovery]\r\nLargeSSDThreshold=64\r\n"));
    CSBRMgr mgr(&m_env);
    ASSERT_EQ(S_OK, mgr.Init());
    EXPECT_EQ(NV_E_INVALID_ARG, CSBRMgr::IsWinPEISOOutdated(nullptr));

    BOOL bOutdated = FALSE;
    EXPECT_EQ(S_OK, CSBRMgr::IsWinPEISOOutdated(&bOutdated));
    EXPECT_TRUE(bOutdated) << "no image yet";

    ASSERT_EQ(S_OK, NvCreateDirectoryW(L"P:\\MakeWinPEISO\\winpe_x86\\ISO\\sources"));
    ASSERT_TRUE(WriteBytes(kImage, "image"));
    const std::wstring program = L"P:\\" + OwnFileName();
    EXPECT_EQ(NV_E_FILE_IO, CSBRMgr::IsWinPEISOOutdated(&bOutdated)) << "program file missing";

    ASSERT_TRUE(WriteBytes(program, "program"));
    struct {
        WORD imageYear, programYear;
        BOOL outdated;
    } cases[] = {{2010, 2009, FALSE}, {2009, 2010, TRUE}, {2010, 2010, FALSE}};
    for (const auto& c : cases) {
        ASSERT_TRUE(SetWriteTime(kImage, c.imageYear));
        ASSERT_TRUE(SetWriteTime(program, c.programYear));
        bOutdated = 7;
        EXPECT_EQ(S_OK, CSBRMgr::IsWinPEISOOutdated(&bOutdated)) << c.imageYear << "/" << c.programYear;
        EXPECT_EQ(c.outdated, bOutdated) << "image " << c.imageYear << ", program " << c.programYear;
    }
}

} // namespace
