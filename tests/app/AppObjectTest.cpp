// The application object in this process on a simulated PC: which language
// library it loads (registry, the language-switching component, Windows PE's
// language.ini, flag files), and the host dialog when a page cannot be made
// or the controller is gone, and the waiting-disc dialog of a backup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <algorithm>
#include <atomic>
#include <thread>
#include <string>
#include <vector>

#include "AppMessageBox.h"
#include "CRevantApp.h"
#include "ProcessFunctions.h"
#include "CRevantDlg.h"
#include "CSBRMgr.h"
#include "CWizardPage.h"
#include "AppTestSupport.h"
#include <CUiDriver.h>
#include "CSimPc.h"
#include "CWaitingDiscDlg.h"

namespace {

const wchar_t kRegKey[] = L"Software\\Norvale\\Revant";

using AppTestSupport::Journal;
using AppTestSupport::Profile;

std::wstring BinFolder() { return AppTestSupport::ProgramFolder(); }

// Windows PE booted from the recovery partition (language.ini on a fixed
// disk) or from a disc (language.ini on the disc).
bool IsPEProfile() { return Profile() != "desktop-w7"; }
bool IsDiscBoot() { return Profile() == "pe-user-discs"; }

void SetString(HKEY root, const wchar_t* name, const wchar_t* value)
{
    if (!value) {
        RegDeleteKeyValueW(root, kRegKey, name);
        return;
    }
    RegSetKeyValueW(root, kRegKey, name, REG_SZ, value, static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY root, const wchar_t* name, const DWORD* value)
{
    if (!value) {
        RegDeleteKeyValueW(root, kRegKey, name);
        return;
    }
    RegSetKeyValueW(root, kRegKey, name, REG_DWORD, value, sizeof(DWORD));
}

std::wstring PcRoot()
{
    CSimPc pc(L"AppObjectTest");
    return pc.Open() ? pc.Root() : std::wstring();
}

void WriteLingwell(const wchar_t* text)
{
    std::wstring file = PcRoot() + L"\\lingwell.ini";
    if (!text) {
        DeleteFileW(file.c_str());
        return;
    }
    std::wofstream f(file.c_str());
    f << text;
}

std::wstring LoadedFolder(HMODULE h)
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(h, path, MAX_PATH);
    std::wstring p(path);
    size_t end = p.rfind(L'\\');
    size_t start = end == std::wstring::npos ? std::wstring::npos : p.rfind(L'\\', end - 1);
    return start == std::wstring::npos ? L"" : p.substr(start + 1, end - start - 1);
}

struct LangCase {
    const char* name;
    const wchar_t* language;    // HKLM "Language"; null: absent
    const DWORD* enableMUI;     // null: absent
    const wchar_t* lingwell;    // lingwell.ini text; null: no file
    const wchar_t* languageIni; // Windows PE: language.ini value; null: no file
    const wchar_t* iniDrive;    // where it lies; null: the boot medium's kind
    const wchar_t* folder;      // folder of the library loaded
    const wchar_t* rcLang;
    BOOL rtl;
};

const DWORD kZero = 0;

void RunCase(const LangCase& c)
{
    SetString(HKEY_LOCAL_MACHINE, L"Language", c.language);
    SetDword(HKEY_LOCAL_MACHINE, L"EnableMUI", c.enableMUI);
    WriteLingwell(c.lingwell);
    for (const wchar_t* drive : {L"D:", L"E:"})
        DeleteFileW((std::wstring(drive) + L"\\language.ini").c_str());
    if (c.languageIni) {
        std::wstring drive = c.iniDrive ? c.iniDrive : (IsDiscBoot() ? L"E:" : L"D:");
        std::wofstream ini((drive + L"\\language.ini").c_str());
        ini << L"[lang]\r\nlanguage=" << c.languageIni << L"\r\n";
    }
    CRevantApp app;
    app.m_strAppDir = BinFolder().c_str();
    ASSERT_TRUE(app.LoadRC()) << c.name;
    EXPECT_EQ(c.folder, LoadedFolder(app.m_hResDll)) << c.name;
    EXPECT_STREQ(c.rcLang, app.m_strRCLang) << c.name;
    EXPECT_EQ(c.rtl, app.m_bRTL) << c.name;
    EXPECT_EQ(app.m_hResDll, AfxGetResourceHandle()) << c.name;
}

TEST(Language, LibraryChosenInstalledWindows)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows rows";
    std::wstring xid = L"[lingwell]\r\nobject=1\r\ncode=DEU\r\nrcpath=" + BinFolder() + L"Language\\XID\\RVRC.dll\r\n";
    const LangCase cases[] = {
        {"nothing set", nullptr, nullptr, nullptr, nullptr, nullptr, L"ENU", L"ENU", FALSE},
        {"registry names the folder", L"XID", nullptr, nullptr, nullptr, nullptr, L"XID", L"ENU", FALSE},
        {"right-to-left folder", L"HEB", nullptr, nullptr, nullptr, nullptr, L"HEB", L"ENU", TRUE},
        {"crafted registry value refused", L"..\\Language\\XID", nullptr, nullptr, nullptr, nullptr, L"ENU", L"ENU", FALSE},
        {"folder without a library", L"DEU", nullptr, nullptr, nullptr, nullptr, L"ENU", L"ENU", FALSE},
        {"component's path wins", L"HEB", nullptr, xid.c_str(), nullptr, nullptr, L"XID", L"ENU", FALSE},
        {"component switched off", L"HEB", &kZero, xid.c_str(), nullptr, nullptr, L"HEB", L"ENU", TRUE},
        {"component's relative path", L"HEB", nullptr, L"[lingwell]\r\nobject=1\r\nrcpath=Language\\XID\\RVRC.dll\r\n",
         nullptr, nullptr, L"XID", L"ENU", FALSE},
        {"component has no path", L"XID", nullptr, L"[lingwell]\r\nobject=1\r\ncode=ENU\r\n", nullptr, nullptr, L"XID", L"ENU",
         FALSE},
        {"component gives no object", L"XID", nullptr, L"[lingwell]\r\nobject=0\r\n", nullptr, nullptr, L"XID", L"ENU", FALSE},
    };
    for (const LangCase& c : cases)
        RunCase(c);
    WriteLingwell(nullptr);
    SetString(HKEY_LOCAL_MACHINE, L"Language", nullptr);
    SetDword(HKEY_LOCAL_MACHINE, L"EnableMUI", nullptr);
}

TEST(Language, LibraryChosenUnderWindowsPE)
{
    if (!IsPEProfile())
        GTEST_SKIP() << "Windows PE rows";
    const LangCase cases[] = {
        {"language.ini on the boot medium's kind", nullptr, nullptr, nullptr, L"XID", nullptr, L"XID", L"XID", FALSE},
        {"right-to-left", nullptr, nullptr, nullptr, L"heb", nullptr, L"heb", L"heb", TRUE},
        {"crafted value refused", nullptr, nullptr, nullptr, L"..\\..\\Y:\\x", nullptr, L"ENU", L"ENU", FALSE},
        {"language without a library", nullptr, nullptr, nullptr, L"DEU", nullptr, L"ENU", L"ENU", FALSE},
        {"registry ignored", L"HEB", nullptr, nullptr, L"XID", nullptr, L"XID", L"XID", FALSE},
        // Booted from a disc only discs count; from the recovery partition only fixed disks.
        {"the other kind of drive is not searched", nullptr, nullptr, nullptr, L"XID", IsDiscBoot() ? L"D:" : L"E:",
         L"ENU", L"ENU", FALSE},
    };
    for (const LangCase& c : cases)
        RunCase(c);
    DeleteFileW(L"D:\\language.ini");
    DeleteFileW(L"E:\\language.ini");
    SetString(HKEY_LOCAL_MACHINE, L"Language", nullptr);
}

TEST(Language, FirstRunSeedsTheUsersLanguage)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows only";
    SetString(HKEY_LOCAL_MACHINE, L"MUIDefLang", L"FRA");
    SetString(HKEY_CURRENT_USER, L"DefaultLang", nullptr);
    SetString(HKEY_LOCAL_MACHINE, L"DefaultLang", nullptr);
    WriteLingwell(L"[lingwell]\r\nobject=1\r\ncode=ENU\r\n");
    {
        CRevantApp app;
        app.m_strAppDir = BinFolder().c_str();
        EXPECT_EQ(S_OK, app.CreateLingwell());
    }
    wchar_t value[64] = L"";
    DWORD cb = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kRegKey, L"DefaultLang", RRF_RT_REG_SZ, nullptr, value, &cb));
    EXPECT_STREQ(L"FRA", value);
    std::string journal = Journal();
    EXPECT_NE(std::string::npos, journal.find("GetLingwell init=1")) << journal;
    EXPECT_NE(std::string::npos, journal.find("SetCurLangCode FRA")) << journal;
    EXPECT_NE(std::string::npos, journal.find("ApplyLanguage")) << journal;
    {
        CRevantApp app;
        app.m_strAppDir = BinFolder().c_str();
        EXPECT_EQ(S_OK, app.CreateLingwell());
    }
    journal = Journal();
    EXPECT_NE(std::string::npos, journal.find("GetLingwell init=0")) << "the next run only tells the language";
    SetString(HKEY_LOCAL_MACHINE, L"MUIDefLang", nullptr);
    WriteLingwell(nullptr);
}

TEST(Language, FlagFilesSwitchTheLibrary)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows only";
    wchar_t program[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring flags = std::wstring(1, program[0]) + L":\\System.sav\\Flags\\";
    CreateDirectoryW((std::wstring(1, program[0]) + L":\\System.sav").c_str(), nullptr);
    CreateDirectoryW(flags.c_str(), nullptr);
    struct Case {
        const char* name;
        BOOL finish;
        std::wstring startLang; // library loaded before
        std::vector<std::wstring> present;
        std::wstring folder;
        std::vector<std::wstring> left;
        BOOL rtl;
    } cases[] = {
        {"finish deletes the flag", TRUE, L"ENU", {L"SSRD_IL.FLG"}, L"HEB", {}, TRUE},
        {"panic keeps it", FALSE, L"ENU", {L"SSRD_IL.FLG"}, L"HEB", {L"SSRD_IL.FLG"}, TRUE},
        {"US before GR, only US deleted", TRUE, L"HEB", {L"SSRD_US.FLG", L"SSRD_GR.FLG"}, L"ENU", {L"SSRD_GR.FLG"}, FALSE},
        {"no flag keeps the library", TRUE, L"ENU", {}, L"ENU", {}, FALSE},
    };
    for (const Case& c : cases) {
        for (const std::wstring& f : c.present)
            CloseHandle(CreateFileW((flags + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        CRevantApp app;
        app.m_strAppDir = BinFolder().c_str();
        app.m_bFinishDlg = c.finish;
        std::wstring start = BinFolder() + L"Language\\" + c.startLang + L"\\RVRC.dll";
        app.m_hResDll = LoadLibraryW(start.c_str());
        app.m_bRTL = c.startLang == L"HEB";
        AfxSetResourceHandle(app.m_hResDll);
        EXPECT_EQ(0, app.LoadLangFromSSRDFlag()) << c.name;
        EXPECT_EQ(c.folder, LoadedFolder(AfxGetResourceHandle())) << c.name;
        EXPECT_EQ(c.rtl, app.m_bRTL) << c.name << ": the right-to-left flag follows the library";
        for (const std::wstring& f : c.present) {
            bool kept = std::find(c.left.begin(), c.left.end(), f) != c.left.end();
            EXPECT_EQ(kept, GetFileAttributesW((flags + f).c_str()) != INVALID_FILE_ATTRIBUTES) << c.name;
            DeleteFileW((flags + f).c_str());
        }
    }
}

// A host whose page templates are missing, and one without a controller.
TEST(HostDialog, MissingTemplateAndMissingController)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows only";
    CRevantApp app;
    app.m_strAppDir = BinFolder().c_str();
    app.m_enZQVendor = 4;
    ASSERT_TRUE(app.LoadRC());
    CRevantDlg dlg;
    ASSERT_TRUE(dlg.Create(129u, nullptr));
    EXPECT_EQ(nullptr, dlg.CurrentPage()) << "no controller: no first page";
    // The power and close handlers find no controller and touch nothing.
    dlg.SendMessage(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    dlg.SendMessage(WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_TRUE(dlg.CheckACPower());

    ASSERT_EQ(S_OK, dlg.GoToPage(6000, TRUE));
    CWizardPage* welcome = dlg.CurrentPage();
    ASSERT_NE(nullptr, welcome);
    // A library without the page's template.
    AfxSetResourceHandle(GetModuleHandleW(nullptr));
    EXPECT_EQ(E_POINTER, dlg.GoToPage(6003, TRUE));
    EXPECT_EQ(welcome, dlg.CurrentPage()) << "the shown page stays";
    EXPECT_TRUE(welcome->GetStyle() & WS_VISIBLE) << "and is not hidden";
    EXPECT_EQ(E_FAIL, dlg.GoToPage(5373, TRUE)) << "an id without a row";
    AfxSetResourceHandle(app.m_hResDll);
    EXPECT_EQ(S_OK, dlg.GoToPage(6003, TRUE)) << "a later try with the template succeeds";
    EXPECT_EQ(6000, dlg.GetLastFromPageId());
    EXPECT_EQ(6003, dlg.GetLastHistoryTarget());
    dlg.DestroyWindow();
}

// Waits for text in the journal after its first `from` bytes.
std::atomic<bool> g_workerEnded(false);

// A worker that keeps using its controller until it is told to stop.
DWORD WINAPI BusyWorker(LPVOID pv)
{
    auto* pMgr = static_cast<CSBRMgr*>(pv);
    while (pMgr->WaitWhilePaused() && !CSBRMgr::m_bUserAbort)
        Sleep(10);
    Sleep(200);
    pMgr->SetPowerWarning(FALSE); // still touches the object after the abort
    g_workerEnded = true;
    return 0;
}

TEST(Teardown, ControllerOutlivesItsWorker)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows only";
    struct Case {
        const char* name;
        bool start;
        bool pause;
    } cases[] = {{"running", true, false}, {"paused", true, true}, {"never started", false, false}};
    for (const Case& c : cases) {
        CRevantApp app;
        app.m_pSBRMgr = new CSBRMgr;
        g_workerEnded = false;
        if (c.start) {
            ASSERT_EQ(S_OK, app.m_pSBRMgr->StartWorker(RO_SYSTEM_RECOVERY, BusyWorker)) << c.name;
        }
        if (c.pause)
            app.m_pSBRMgr->PauseZQRecoveryThread();
        Sleep(50);
        app.DeleteSBRMgr();
        EXPECT_EQ(c.start, g_workerEnded.load()) << c.name << ": deleted only after its worker ended";
        EXPECT_EQ(nullptr, app.m_pSBRMgr) << c.name;
        EXPECT_FALSE(CSBRMgr::m_bUserAbort) << c.name << ": no abort left behind";
        app.DeleteSBRMgr();
        EXPECT_EQ(1, app.ExitInstance()) << c.name << ": teardown after a refused start";
    }
}

TEST(Coordination, DiscCreatorProbeLeavesNoMutex)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows only";
    CRevantApp app;
    EXPECT_TRUE(app.CheckDiscoraInst()) << "not running";
    EXPECT_EQ(nullptr, OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\Discora")) << "the probe made no mutex";
    std::wstring line = L"\"" + BinFolder() + L"Discora.exe\" hold 3000";
    std::vector<wchar_t> buf(line.begin(), line.end());
    buf.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
        Sleep(20);
        seen = FindWindowW(L"DiscoraStandIn", nullptr) != nullptr;
    }
    EXPECT_TRUE(seen) << "the stand-in shows its window";
    EXPECT_FALSE(app.CheckDiscoraInst()) << "running";
    WaitForSingleObject(pi.hProcess, 15000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_TRUE(app.CheckDiscoraInst()) << "ended";
}

struct BoxWatch {
    std::wstring text;
};

// Answers this process's next message box with OK, keeping its text.
DWORD WINAPI AnswerOtherBox(LPVOID pv)
{
    auto* watch = static_cast<BoxWatch*>(pv);
    HWND box = CUiDriver::WaitForMessageBox(GetCurrentProcessId(), 10000);
    if (!box)
        return 1;
    watch->text = CUiDriver::MessageBoxText(box);
    CUiDriver::AnswerMessageBox(box, IDOK);
    return 0;
}

TEST(HostDialog, ClosingIsRefusedWhileAnOperationRuns)
{
    if (IsPEProfile())
        GTEST_SKIP() << "installed Windows only";
    CRevantApp app;
    app.m_strAppDir = BinFolder().c_str();
    app.m_enZQVendor = 2;
    ASSERT_TRUE(app.LoadRC());
    app.m_pSBRMgr = new CSBRMgr;
    CRevantDlg dlg;
    ASSERT_TRUE(dlg.Create(129u, nullptr));
    CSBRMgr::m_bPerformingOperation = TRUE;
    BoxWatch watch;
    HANDLE answer = CreateThread(nullptr, 0, AnswerOtherBox, &watch, 0, nullptr);
    dlg.SendMessage(WM_CLOSE);
    WaitForSingleObject(answer, 15000);
    CloseHandle(answer);
    CSBRMgr::m_bPerformingOperation = FALSE;
    EXPECT_NE(std::wstring::npos, watch.text.find(L"operation")) << "string 5208";
    EXPECT_TRUE(IsWindow(dlg.m_hWnd)) << "the window stays open";
    dlg.DestroyWindow();
    app.DeleteSBRMgr();
}

bool JournalShows(const std::string& text, size_t from)
{
    const DWORD kWaitMs = 10000;
    DWORD start = GetTickCount();
    while (Journal().find(text, from) == std::string::npos) {
        if (GetTickCount() - start > kWaitMs)
            return false;
        Sleep(50);
    }
    return true;
}

TEST(ProcessFunctions, ShutdownToolsAndTheirParameters)
{
    struct Case {
        const char* name;
        HRESULT (*fn)(int);
        int kind;
        const char* journal;
    } cases[] = {
        {"Windows PE power off", NvShutdownWinPE, 1, "[wpeutil.exe"},
        {"Windows PE restart", NvShutdownWinPE, 0, "run Reboot"},
        {"Windows PE other kind restarts", NvShutdownWinPE, 2, "run Reboot"},
        {"Windows power off", NvShutdownWindows, 1, "run -s -t 0"},
        {"Windows restart", NvShutdownWindows, 0, "run -r -t 0"},
    };
    for (const Case& c : cases) {
        size_t before = Journal().size();
        EXPECT_EQ(S_OK, c.fn(c.kind)) << c.name;
        EXPECT_TRUE(JournalShows(c.journal, before)) << c.name;
    }
    EXPECT_NE(std::string::npos, Journal().find("run Shutdown"));
}

// Answers the first message box of this process with its Cancel button.
DWORD WINAPI AnswerBox(LPVOID pv)
{
    auto* labels = static_cast<std::wstring*>(pv);
    HWND box = nullptr;
    for (int i = 0; i < 200 && !box; ++i) {
        Sleep(50);
        box = FindWindowW(L"#32770", L"box caption");
    }
    if (!box)
        return 1;
    wchar_t text[64] = L"";
    GetDlgItemTextW(box, IDOK, text, 64);
    labels[0] = text;
    GetDlgItemTextW(box, IDCANCEL, text, 64);
    labels[1] = text;
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

TEST(MessageBoxes, OnlyTheBoxItselfIsRelabelled)
{
    if (!IsPEProfile())
        GTEST_SKIP() << "Windows PE relabels the buttons";
    CRevantApp app;
    HMODULE lib = LoadLibraryW((BinFolder() + L"Language\\XID\\RVRC.dll").c_str());
    ASSERT_NE(nullptr, lib);
    AfxSetResourceHandle(lib);
    // An owner dialog with buttons 1 and 2 of its own, re-activated as the box closes.
    HWND owner = CreateWindowExW(0, L"#32770", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    CreateWindowExW(0, L"BUTTON", L"Mine", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, owner, (HMENU)IDOK, nullptr, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Also mine", WS_CHILD | WS_VISIBLE, 60, 0, 50, 20, owner, (HMENU)IDCANCEL, nullptr,
                    nullptr);
    std::wstring labels[2];
    HANDLE answer = CreateThread(nullptr, 0, AnswerBox, labels, 0, nullptr);
    EXPECT_EQ(IDCANCEL, AppMessageBox(owner, L"text", L"box caption", MB_OKCANCEL));
    WaitForSingleObject(answer, 15000);
    CloseHandle(answer);
    EXPECT_EQ(L"#192", labels[0]);
    EXPECT_EQ(L"#5058", labels[1]);
    wchar_t text[64] = L"";
    GetDlgItemTextW(owner, IDOK, text, 64);
    EXPECT_STREQ(L"Mine", text) << "the owner keeps its buttons";
    GetDlgItemTextW(owner, IDCANCEL, text, 64);
    EXPECT_STREQ(L"Also mine", text);
    DestroyWindow(owner);
}

// ---------------------------------------------------------------- waiting for a blank disc

// Empties the writer, or puts a new disc into it.
enum class Tray { EMPTY, RECORDED, BLANK };
void LoadWriter(Tray what)
{
    CSimPc pc(L"AppObjectTest");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& state) -> HRESULT {
        SimOptical& drive = state.opticals[0];
        drive.queue.clear();
        if (!drive.disc.empty()) {
            HRESULT hr = pc.EjectDisc(state, drive);
            if (FAILED(hr))
                return hr;
        }
        if (what == Tray::EMPTY)
            return S_OK;
        SimDisc disc;
        disc.id = state.NewId(L"waitdisc");
        disc.blank = what == Tray::BLANK;
        disc.capacity = disc.freeSectors = 2298496;
        CreateDirectoryW((pc.Root() + L"\\discs").c_str(), nullptr);
        CreateDirectoryW(pc.DiscFolder(disc.id).c_str(), nullptr);
        state.discs.push_back(disc);
        return pc.InsertDisc(state, drive, disc.id);
    }));
}

// Runs this thread's messages until done() holds: the main window lives on
// it, and the owner of a modal dialog is disabled through it.
template <typename F>
bool PumpUntil(F done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
    return true;
}

// A visible dialog of the thread: the waiting-disc dialog (it has the
// message control) or, without it, a message box.
HWND DialogOfThread(DWORD threadId, bool waitingDialog)
{
    struct Find {
        bool waiting;
        HWND found;
    } find = {waitingDialog, nullptr};
    EnumThreadWindows(
        threadId,
        [](HWND h, LPARAM lp) -> BOOL {
            Find* f = reinterpret_cast<Find*>(lp);
            wchar_t cls[16] = L"";
            GetClassNameW(h, cls, 16);
            if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(h))
                return TRUE;
            if ((GetDlgItem(h, 1359) != nullptr) != f->waiting)
                return TRUE;
            f->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// A backup asks for a blank disc on its own thread: the waiting-disc dialog
// runs its modal loop there with the main window (on this thread) as its
// disabled owner, a recorded disc is refused with a message box on the same
// thread, and the dialog closes by itself once a blank disc is in.
TEST(DiscWait, BlankDiscDialogRunsOnTheBackupThread)
{
    if (IsPEProfile())
        GTEST_SKIP() << "the installed Windows desktop";
    CRevantApp app;
    app.m_strAppDir = BinFolder().c_str();
    ASSERT_TRUE(app.LoadRC());
    CRevantDlg main;
    ASSERT_TRUE(main.Create(129u, nullptr));
    main.ShowWindow(SW_SHOW);
    app.m_pMainWnd = &main;
    ASSERT_EQ(S_OK, app.m_oDiscBurner.Init());
    app.m_oDiscBurner.SetPrompt(&app.m_oDiscPrompt);
    LoadWriter(Tray::EMPTY);

    std::atomic<HRESULT> hr(E_PENDING);
    std::atomic<DWORD> backupId(0);
    int nType = 0;
    ULONGLONG ullFree = 0;
    std::thread backup([&] {
        backupId = GetCurrentThreadId();
        hr = app.m_oDiscBurner.WaitForBlankDisc(&nType, &ullFree);
    });
    HWND wait = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return backupId && (wait = DialogOfThread(backupId, true)) != nullptr; }, 15000));
    EXPECT_EQ(main.GetSafeHwnd(), GetWindow(wait, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(main.GetSafeHwnd())) << "modal to the main window";
    CString prompt;
    prompt.LoadString(5289);
    EXPECT_EQ(std::wstring(prompt.GetString()), CUiDriver::Text(wait, 1359));

    LoadWriter(Tray::RECORDED);
    HWND box = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (box = DialogOfThread(backupId, false)) != nullptr; }, 15000))
        << "a recorded disc is refused with a message on the backup thread";
    if (box) {
        EXPECT_FALSE(CUiDriver::MessageBoxText(box).empty());
        CUiDriver::AnswerMessageBox(box, IDOK);
    }
    EXPECT_TRUE(PumpUntil([&] { return DialogOfThread(backupId, true) != nullptr; }, 15000))
        << "the tray opened and the dialog is shown again";
    EXPECT_EQ(E_PENDING, hr.load());

    LoadWriter(Tray::BLANK);
    bool ended = PumpUntil([&] { return hr.load() != E_PENDING; }, 15000);
    EXPECT_TRUE(ended) << "the dialog closes once a blank disc is in";
    // Whatever went wrong, end the wait before the thread is joined.
    PumpUntil([&] {
        if (HWND h = DialogOfThread(backupId, true))
            PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
        if (HWND h = DialogOfThread(backupId, false))
            CUiDriver::AnswerMessageBox(h, IDOK);
        return hr.load() != E_PENDING;
    }, 30000);
    backup.join();
    EXPECT_EQ(S_OK, hr.load());
    EXPECT_EQ(DTM_DVDR, nType);
    EXPECT_TRUE(IsWindowEnabled(main.GetSafeHwnd())) << "the owner is enabled again";
    app.m_pMainWnd = nullptr;
    main.DestroyWindow();
    LoadWriter(Tray::EMPTY);
}

} // namespace
