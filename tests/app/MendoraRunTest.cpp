// Mendora.exe itself on simulated PCs: the first page per boot medium, Next
// and Back, every switch, a refused second copy, Windows PE message boxes.
#include <windows.h>

#include <CUiDriver.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "PageFlow.h"
#include "ZQSimFixture.h"

namespace {

const DWORD kStartMs = 30000;
const DWORD kExitMs = 30000;
const int kNormalExit = 1;

using AppTestSupport::Journal;
using AppTestSupport::Profile;
using AppTestSupport::ProgramFolder;
using AppTestSupport::ReadAll;

// One run of the program, ended by the test if it still runs at the end.
class CMendoraRun {
public:
    explicit CMendoraRun(const std::wstring& args, const std::wstring& folder = ProgramFolder())
    {
        std::wstring line = L"\"" + folder + L"Mendora.exe\" " + args;
        std::vector<wchar_t> buf(line.begin(), line.end());
        buf.push_back(0);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        m_bStarted = CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi) != 0;
    }
    ~CMendoraRun()
    {
        if (!m_bStarted)
            return;
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, kExitMs);
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
    }
    bool Started() const { return m_bStarted; }
    DWORD Pid() const { return m_pi.dwProcessId; }
    HWND Host(DWORD ms = kStartMs) const { return CUiDriver::WaitForWindow(m_pi.dwProcessId, L"#32770", nullptr, ms); }
    // The page the host shows once one is shown; -1 when none.
    int FirstPage(HWND host) const
    {
        int id = -1;
        CUiDriver::WaitFor([&] {
            HWND page = CUiDriver::VisiblePage(host);
            id = page ? CUiDriver::PageId(page) : -1;
            return id != -1;
        }, kStartMs);
        return id;
    }
    // Exit code, or -1 when it runs on.
    int WaitExit(DWORD ms = kExitMs) const
    {
        if (WaitForSingleObject(m_pi.hProcess, ms) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(m_pi.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
};

// A visible window of the process with this title; null when none.
HWND FindProcessWindow(DWORD pid, const wchar_t* title)
{
    return CUiDriver::WaitForWindow(pid, nullptr, title, 5000);
}

// A program folder of its own: the program, its English library and, when
// asked, its settings file; empty when it cannot be made.
std::wstring PrivateProgramFolder(const std::wstring& folder, bool withSettings)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"Language").c_str(), nullptr);
    CreateDirectoryW((folder + L"Language\\ENU").c_str(), nullptr);
    // The file backup binds the imaging library when the program loads.
    for (const wchar_t* name : {L"Mendora.exe", L"wimgapi.dll", L"Language\\ENU\\RVRC.dll", L"MD.ini"}) {
        if (!withSettings && wcscmp(name, L"MD.ini") == 0)
            continue;
        if (!CopyFileW((ProgramFolder() + name).c_str(), (folder + name).c_str(), FALSE))
            return L"";
    }
    return folder;
}

int ExpectedFirstPage()
{
    std::string p = Profile();
    if (p == "desktop-w7")
        return 6000;
    if (p == "pe-factory-disc")
        return 5374;
    if (p == "pe-user-discs")
        return 5366;
    return 5350;
}

bool IsPE() { return Profile() != "desktop-w7"; }

TEST(MendoraRun, FirstPageThenNextAndBack)
{
    CMendoraRun run(L"");
    ASSERT_TRUE(run.Started());
    HWND host = run.Host();
    ASSERT_NE(nullptr, host) << "no host window";
    int first = run.FirstPage(host);
    ASSERT_EQ(ExpectedFirstPage(), first);
    HWND page = CUiDriver::VisiblePage(host);
    EXPECT_EQ(L"Page " + std::to_wstring(first), CUiDriver::Text(page, 1330)) << "the placeholder shows its id";
    // The program's first page as the user sees it, per simulated PC.
    std::wstring artefacts = ProgramFolder() + L"..\\artefacts\\";
    CreateDirectoryW(artefacts.c_str(), nullptr);
    std::string profile = Profile();
    EXPECT_TRUE(CUiDriver::Screenshot(host, (artefacts + L"mendora-" + std::wstring(profile.begin(), profile.end()) +
                                             L".png").c_str()));
    // The two menus hide the navigation row and show the contact button.
    bool mainMenu = first == 5350 || first == 6000;
    if (mainMenu) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, 1025))) << "a menu has no Next";
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 7015))) << "a menu has its contact button";
    }
    int next = mainMenu ? PAGE_NONE : FlowPageId(first, PFC_NEXT);
    if (next != PAGE_NONE) {
        ASSERT_TRUE(CUiDriver::Click(page, 1025));
        EXPECT_EQ(next, CUiDriver::WaitForPageChange(host, first, kStartMs)) << "Next follows the page table";
        ASSERT_TRUE(CUiDriver::Click(CUiDriver::VisiblePage(host), 1024));
        EXPECT_EQ(first, CUiDriver::WaitForPageChange(host, next, kStartMs)) << "Back returns through the history";
    }
    if (!IsPE()) {
        PostMessageW(host, WM_CLOSE, 0, 0);
        EXPECT_EQ(kNormalExit, run.WaitExit()) << "a normal run ends with 1";
        std::string dump = ReadAll(L"C:\\ProgramData\\Recovery\\MendoraDump.txt");
        // The dump file opens once the controller knows the Windows drive.
        size_t a = dump.find("CFileBackupMgr created.");
        size_t b = dump.find("InitDisk done.");
        size_t c = dump.find("InitBurning done.");
        size_t d = dump.find("UpdateDiscInfoCache done.");
        size_t e = dump.find("Boot from Windows.");
        EXPECT_TRUE(a < b && b < c && c < d && d < e && e != std::string::npos) << "start-up trace in order:\n" << dump;
    } else {
        std::string journal = Journal();
        EXPECT_NE(std::string::npos, journal.find("SetMuiLanguage en-US")) << journal;
        EXPECT_EQ(std::string::npos, journal.find("[drvload.exe")) << "a desktop loads no battery driver";
        // Alt+X on a page shuts Windows PE down.
        SetForegroundWindow(host);
        CUiDriver::SendKey('X', false, true);
        EXPECT_TRUE(CUiDriver::WaitFor([&] { return Journal().find("run Shutdown", journal.size()) != std::string::npos; },
                                       kStartMs))
            << Journal().substr(journal.size());
    }
}

// Windows PE: closing asks first; the box's buttons carry the library's labels.
TEST(MendoraRun, PEMessageBoxesShowTheLibrarysButtons)
{
    if (Profile() != "desktop-w7-pe")
        GTEST_SKIP() << "Windows PE from the recovery partition only";
    {
        std::ofstream ini("D:\\language.ini");
        ini << "[lang]\r\nlanguage=XID\r\n";
    }
    CMendoraRun run(L"");
    HWND host = run.Host();
    ASSERT_NE(nullptr, host);
    EXPECT_EQ(L"#100", CUiDriver::Text(host, 0)) << "language.ini chose the id-echo library";
    PostMessageW(host, WM_CLOSE, 0, 0);
    HWND box = CUiDriver::WaitForMessageBox(run.Pid(), kStartMs);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"#192", CUiDriver::Text(box, IDOK));
    EXPECT_EQ(L"#5058", CUiDriver::Text(box, IDCANCEL));
    ASSERT_TRUE(CUiDriver::AnswerMessageBox(box, IDCANCEL));
    EXPECT_EQ(-1, run.WaitExit(1000)) << "Cancel keeps the program";
    // OK restarts the machine without ending the dialog first.
    size_t before = Journal().size();
    PostMessageW(host, WM_CLOSE, 0, 0);
    box = CUiDriver::WaitForMessageBox(run.Pid(), kStartMs);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(CUiDriver::AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(CUiDriver::WaitFor([&] { return Journal().find("run Reboot", before) != std::string::npos; }, kStartMs));
    EXPECT_EQ(-1, run.WaitExit(500)) << "the restart ends the program, not the dialog";
    DeleteFileW(L"D:\\language.ini");
}

struct SwitchCase {
    const char* name;
    const wchar_t* args;
    int page;             // 0: no host window expected
    int exitCode;         // after the page is closed, or at once
    const char* journal;  // expected in the journal, or null
    const char* dump;     // expected in the dump file, or null
};

TEST(MendoraRun, EverySwitch)
{
    if (Profile() != "desktop-w7")
        GTEST_SKIP() << "installed Windows only";
    const SwitchCase cases[] = {
        {"none", L"", 6000, 1, nullptr, nullptr},
        {"uninstall", L"UninstallDriver", 0, 1, nullptr, nullptr},
        {"install", L"-InstallDriver", 0, 1, "[Wardell.dll", nullptr},
        {"update image", L"/UpdateWIM", 0, 1, nullptr, "UpdateWIM: the image tool is not built."},
        {"live update", L"RELiveUpdate", 0, 1, nullptr, "RELiveUpdate: the image tool is not built."},
        {"ssd", L"CheckSSD", 0, 1, nullptr, nullptr},
        {"finish", L"FinishDlg", 5368, 1, nullptr, nullptr},
        {"panic", L"-CTOPanic", 5391, 1, nullptr, nullptr},
        {"restore", L"FileRestore C:\\Users", 6017, 1, nullptr, nullptr},
        {"restore without folder", L"FileRestore", 6000, 1, nullptr, nullptr},
        {"remove recovery partition", L"x DelRP FinishDlg", 5397, 1, nullptr, nullptr},
        {"reinstall app", L"ReinstallApp", 0, 1, "run -AppManuallyLink", nullptr},
        {"reinstall driver", L"/ReinstallDriver", 0, 1, "run -DriverManuallyLink", nullptr},
        {"disc creator", L"Discora", 0, 1, "[Discora.exe", nullptr},
        {"recovery report", L"RecoveryReport", 0, 1, nullptr, "Recovery report finish"},
        {"wrong case", L"finishdlg", 6000, 1, nullptr, nullptr},
        {"appended", L"FinishDlgNow", 6000, 1, nullptr, nullptr},
        {"two minus signs", L"--DelRP", 6000, 1, nullptr, nullptr},
    };
    for (const SwitchCase& c : cases) {
        size_t journalBefore = Journal().size();
        CMendoraRun run(c.args);
        ASSERT_TRUE(run.Started()) << c.name;
        if (c.page) {
            HWND host = run.Host();
            ASSERT_NE(nullptr, host) << c.name;
            EXPECT_EQ(c.page, run.FirstPage(host)) << c.name;
            bool kiosk = c.page == 5368 || c.page == 5391;
            HWND cover = kiosk ? FindProcessWindow(run.Pid(), L"Full Window") : nullptr;
            EXPECT_EQ(kiosk, cover != nullptr) << c.name << ": the kiosk cover";
            if (kiosk) {
                EXPECT_TRUE(GetWindowLongW(host, GWL_EXSTYLE) & WS_EX_TOPMOST) << c.name;
                EXPECT_FALSE(GetWindowLongW(host, GWL_STYLE) & WS_SYSMENU) << c.name;
                RECT rc = {};
                GetWindowRect(cover, &rc);
                EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rc.right - rc.left) << c.name;
                // A click on the cover brings the wizard back to the front.
                HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                             nullptr, nullptr, nullptr);
                SetForegroundWindow(other);
                EXPECT_TRUE(CUiDriver::WaitFor([&] { return GetForegroundWindow() == other; }, 5000)) << c.name;
                PostMessageW(cover, WM_LBUTTONDOWN, MK_LBUTTON, 0);
                EXPECT_TRUE(CUiDriver::WaitFor([&] { return GetForegroundWindow() == host; }, 5000)) << c.name;
                DestroyWindow(other);
            } else {
                // Enter and Esc never close the wizard.
                HWND page = CUiDriver::VisiblePage(host);
                CUiDriver::PostKey(page, VK_ESCAPE);
                CUiDriver::PostKey(host, VK_RETURN);
                EXPECT_EQ(-1, run.WaitExit(500)) << c.name;
            }
            // The kiosk pages have no close box; the test closes them as the system would.
            PostMessageW(host, WM_CLOSE, 0, 0);
        }
        if (wcscmp(c.args, L"RecoveryReport") == 0) {
            // The dump file opens in its associated program; the run ends when that closes.
            HWND viewer = CUiDriver::WaitForWindow(0, L"Notepad", nullptr, kStartMs);
            ASSERT_NE(nullptr, viewer) << c.name;
            EXPECT_EQ(-1, run.WaitExit(300)) << c.name << ": waits for the viewer";
            PostMessageW(viewer, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(c.exitCode, run.WaitExit()) << c.name;
        std::string journal = Journal().substr(journalBefore);
        if (c.journal) {
            EXPECT_NE(std::string::npos, journal.find(c.journal)) << c.name << "\n" << journal;
        }
        if (c.dump) {
            std::string dump = ReadAll(L"C:\\ProgramData\\Recovery\\MendoraDump.txt");
            EXPECT_NE(std::string::npos, dump.find(c.dump)) << c.name;
        }
    }
}

TEST(MendoraRun, SecondCopyIsRefused)
{
    if (Profile() != "desktop-w7")
        GTEST_SKIP() << "installed Windows only";
    CMendoraRun first(L"");
    HWND host = first.Host();
    ASSERT_NE(nullptr, host);
    CMendoraRun second(L"");
    HWND box = CUiDriver::WaitForMessageBox(second.Pid(), kStartMs);
    ASSERT_NE(nullptr, box) << "the second copy tells why it ends";
    EXPECT_NE(std::wstring::npos, CUiDriver::MessageBoxText(box).find(L"already running")) << "string 5179";
    CUiDriver::AnswerMessageBox(box, IDOK);
    EXPECT_EQ(kNormalExit, second.WaitExit());
    EXPECT_EQ(host, GetForegroundWindow()) << "the running copy comes to the front";
    EXPECT_EQ(nullptr, second.Host(500)) << "no host for the refused copy";

    // A tool switch runs beside the running copy.
    CMendoraRun tool(L"CheckSSD");
    EXPECT_EQ(kNormalExit, tool.WaitExit());
    PostMessageW(host, WM_CLOSE, 0, 0);
    EXPECT_EQ(kNormalExit, first.WaitExit());
}

TEST(MendoraRun, SeveralCopiesWhenTheUserAllowsThem)
{
    if (Profile() != "desktop-w7")
        GTEST_SKIP() << "installed Windows only";
    const wchar_t kKey[] = L"Software\\Norvale\\Revant";
    struct Case {
        DWORD value;
        bool both;
    } cases[] = {{1, true}, {2, false}, {0, false}};
    for (const Case& c : cases) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"EnableMultiInst", REG_DWORD, &c.value, sizeof(c.value));
        CMendoraRun first(L"");
        HWND host = first.Host();
        ASSERT_NE(nullptr, host) << c.value;
        CMendoraRun second(L"");
        if (c.both) {
            HWND other = second.Host();
            EXPECT_NE(nullptr, other) << c.value << ": the second copy runs too";
            PostMessageW(other, WM_CLOSE, 0, 0);
        } else {
            HWND box = CUiDriver::WaitForMessageBox(second.Pid(), kStartMs);
            EXPECT_NE(nullptr, box) << c.value;
            CUiDriver::AnswerMessageBox(box, IDOK);
        }
        EXPECT_EQ(kNormalExit, second.WaitExit()) << c.value;
        PostMessageW(host, WM_CLOSE, 0, 0);
        EXPECT_EQ(kNormalExit, first.WaitExit()) << c.value;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"EnableMultiInst");
}

// A program folder without its settings file: the controller cannot start.
TEST(MendoraRun, MissingSettingsEndTheStart)
{
    if (Profile() != "desktop-w7")
        GTEST_SKIP() << "installed Windows only";
    std::wstring folder = PrivateProgramFolder(L"C:\\NoSettings\\", false);
    ASSERT_FALSE(folder.empty());
    CMendoraRun run(L"", folder);
    HWND box = CUiDriver::WaitForMessageBox(run.Pid(), kStartMs);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::wstring::npos, CUiDriver::MessageBoxText(box).find(L"could not start")) << "string 5180: "
        << std::string(CUiDriver::MessageBoxText(box).begin(), CUiDriver::MessageBoxText(box).end());
    CUiDriver::AnswerMessageBox(box, IDOK);
    EXPECT_EQ(kNormalExit, run.WaitExit());
    EXPECT_EQ(nullptr, run.Host(500));
}

// A notebook's program folder: the battery driver is loaded under Windows PE.
TEST(MendoraRun, NotebookLoadsTheBatteryDriverUnderWindowsPE)
{
    if (Profile() != "desktop-w7-pe")
        GTEST_SKIP() << "Windows PE only";
    std::wstring folder = PrivateProgramFolder(L"C:\\NotebookProgram\\", true);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(ZQSimFixture().SetPlatformVendor(true, false).Write(folder + L"ZQ.sim"));
    CMendoraRun run(L"", folder);
    HWND host = run.Host();
    ASSERT_NE(nullptr, host);
    EXPECT_EQ(5350, run.FirstPage(host));
    EXPECT_EQ(L"Mendora Console", CUiDriver::Text(host, 0)) << "a notebook's fixed name";
    std::string journal = Journal();
    EXPECT_NE(std::string::npos, journal.find("run X:\\Windows\\inf\\battery.inf")) << journal;
}

} // namespace
