// The Windows PE builder and the image tool switches on a simulated PC whose
// program sits in "C:\Program Files\Revant" with its build folder beside it
// (profile desktop-w7-imaging). The switches run in ImageTool, copied there
// as Mendora.exe; the single operations run here. What the switches commit
// is also left in WINPE_OUT_DIR for wimlib-imagex to judge (winpejudge.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CWimMgr.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "ToolRunner.h"
#include "wimgapi.h"

namespace {

const std::wstring kProgramFolder = L"C:\\Program Files\\Revant\\";
const std::wstring kProgram = kProgramFolder + L"Mendora.exe";
const std::wstring kKit = kProgramFolder + L"MakeWinPEISO\\";
const std::wstring kBootWim = kKit + L"winpe_x86\\ISO\\sources\\boot.wim";
const std::wstring kWorkCopy = kKit + L"winpe_x86\\boot.wim.building";
const std::wstring kMount = kKit + L"winpe_x86\\mount";
const std::wstring kWinRE = L"D:\\Recovery\\WindowsRE\\winre.wim";
const std::wstring kBackup = L"C:\\winpe-test-backup\\";
// ISO files go outside the program folder, which the builder copies.
const std::wstring kIsoFolder = L"C:\\iso out\\";
const std::wstring kOut = WINPE_OUT_DIR;
const int kToolFailed = static_cast<int>(NV_E_FAIL);

// The WIM manager's members, for the cases that look at where it stands.
class CWimMgrProbe : public CWimMgr {
public:
    CWimMgrProbe() : CWimMgr(nullptr) {}
    std::wstring SourcePath() const { return m_szPESourcePath; }
};

std::wstring TempFolder()
{
    wchar_t wsz[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, wsz);
    return wsz;
}

std::wstring OwnFolder()
{
    wchar_t wsz[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, wsz, MAX_PATH);
    std::wstring path = wsz;
    return path.substr(0, path.rfind(L'\\') + 1);
}

bool SetWriteTime(const std::wstring& path, const FILETIME& ft)
{
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok != FALSE;
}

FILETIME WriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

FILETIME HoursFromNow(int hours)
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t = {{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += static_cast<LONGLONG>(hours) * 3600LL * 10000000LL;
    return {t.LowPart, t.HighPart};
}

bool IsEmptyFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    int n = 0;
    do {
        n += wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..");
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n == 0;
}

// Image 1 of a WIM applied to a fresh folder, through our wimgapi.dll.
bool ApplyImage(const std::wstring& wim, const std::wstring& folder)
{
    TestFiles::DeleteTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    HANDLE hWim = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, WIM_COMPRESS_NONE, nullptr);
    if (!hWim)
        return false;
    HANDLE hImage = WIMLoadImage(hWim, 1);
    bool ok = hImage && WIMApplyImage(hImage, folder.c_str(), 0);
    if (hImage)
        WIMCloseHandle(hImage);
    WIMCloseHandle(hWim);
    return ok;
}

// The entries that one tool journalled since the given journal length.
std::vector<std::string> ToolLines(const std::string& tool, size_t from)
{
    std::string journal = ToolRunner::Journal().substr(from);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < journal.size()) {
        size_t end = journal.find('\n', at);
        std::string line = journal.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? journal.size() : end + 1;
        if (line.compare(0, tool.size() + 2, "[" + tool + " ") != 0)
            continue;
        lines.push_back(line.substr(line.find("] ") + 2));
    }
    return lines;
}

// Compared here, so that a failure names the files rather than printing them.
bool SameBytes(const std::wstring& left, const std::wstring& right)
{
    return TestFiles::Exists(left) && TestFiles::ReadBytes(left) == TestFiles::ReadBytes(right);
}

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

std::string Utf16(const std::string& text)
{
    std::string bytes;
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

class WinPEBuilderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The switches run in ImageTool under the program's name.
        ASSERT_TRUE(CopyFileW((OwnFolder() + L"ImageTool.exe").c_str(), kProgram.c_str(), FALSE));
        ASSERT_TRUE(SetWriteTime(kProgram, HoursFromNow(-1)));
        CreateDirectoryW(kBackup.c_str(), nullptr);
        CreateDirectoryW(kIsoFolder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(kBootWim.c_str(), (kBackup + L"boot.wim").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(kWinRE.c_str(), (kBackup + L"winre.wim").c_str(), FALSE));
        // The judge must never see what an earlier run left.
        TestFiles::DeleteTree(kOut);
        CreateDirectoryW(kOut.c_str(), nullptr);
    }

    void SetUp() override
    {
        for (const wchar_t* name : {L"boot.wim", L"winre.wim"}) {
            const std::wstring& target = std::wstring(name) == L"boot.wim" ? kBootWim : kWinRE;
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
            ASSERT_TRUE(CopyFileW((kBackup + name).c_str(), target.c_str(), FALSE));
        }
        SetDescription(L"peimg_fail", L"");
        SetDescription(L"oscdimg_fail", L"");
        m_journalAt = ToolRunner::Journal().size();
    }

    static void SetDescription(const wchar_t* key, const wchar_t* value)
    {
        CSimPc pc(L"test");
        ASSERT_TRUE(pc.Open());
        ASSERT_EQ(S_OK, pc.Update([&](SimPcState& state) {
            state.pc[key] = value;
            return S_OK;
        }));
    }

    static int RunProgram(const wchar_t* sw)
    {
        return ToolRunner::Run(L"\"" + kProgram + L"\" " + sw);
    }

    void ExpectBootImageUntouched()
    {
        EXPECT_TRUE(SameBytes(kBackup + L"boot.wim", kBootWim));
        EXPECT_FALSE(TestFiles::Exists(kWorkCopy));
        EXPECT_TRUE(IsEmptyFolder(kMount));
    }

    size_t m_journalAt = 0;
};

TEST_F(WinPEBuilderTest, UpdateWIMRebuildsAnOutdatedBootImage)
{
    ASSERT_TRUE(SetWriteTime(kBootWim, HoursFromNow(-48)));
    ASSERT_EQ(0, RunProgram(L"/UpdateWIM"));

    const std::string mount = "\"" + Narrow(kMount) + "\"";
    const std::string windows = "\"" + Narrow(kMount) + "\\Windows\\\\\"";
    const std::string pack = "\"" + Narrow(kKit) + "WINPE_LANGPACKS\\X86\\EN-US\\LP.CAB\"";
    const std::vector<std::string> expected = {
        "run /import=" + pack + " " + mount, "exit 0",
        "run /install=*EN-US* " + mount, "exit 0",
        "run /lang=EN-US " + mount, "exit 0",
        "run /install=*HTA* " + windows, "exit 0",
        "run /install=*MDAC* " + windows, "exit 0",
        "run /install=*Scripting* " + windows, "exit 0",
        "run /install=*SRT* " + windows, "exit 0",
        "run /install=*XML* " + windows, "exit 0",
    };
    EXPECT_EQ(expected, ToolLines("peimg.exe", m_journalAt));

    const std::string winpeshl = Utf16("[LaunchApp]\nAppPath = X:\\Windows\\Revant\\Mendora.exe\n");
    EXPECT_EQ(winpeshl, TestFiles::ReadBytes(kKit + L"Winpeshl.ini"));
    EXPECT_TRUE(SameBytes(kProgram, kKit + L"winpe_x86\\ISO\\Revant\\Mendora.exe"));
    EXPECT_FALSE(TestFiles::Exists(kKit + L"winpe_x86\\ISO\\Revant\\MakeWinPEISO"));
    EXPECT_FALSE(TestFiles::Exists(kWorkCopy));
    EXPECT_TRUE(IsEmptyFolder(kMount));

    const std::wstring applied = TempFolder() + L"applied-boot";
    ASSERT_TRUE(ApplyImage(kBootWim, applied));
    EXPECT_EQ(winpeshl, TestFiles::ReadBytes(applied + L"\\Windows\\System32\\Winpeshl.ini"));
    EXPECT_TRUE(SameBytes(kProgram, applied + L"\\windows\\Revant\\Mendora.exe"));
    EXPECT_FALSE(TestFiles::Exists(applied + L"\\Windows\\Revant\\old.txt")) << "built from the base image";
    EXPECT_TRUE(TestFiles::Exists(applied + L"\\Windows\\servicing\\Packages\\XML.installed"));

    // The ISO made from the tree holds the new boot image.
    CWimMgr mgr(nullptr);
    ASSERT_EQ(S_OK, mgr.SetWinPESourcePath(kKit.c_str()));
    const std::wstring iso = kIsoFolder + L"Windows PE.iso";
    ASSERT_EQ(S_OK, mgr.MakeISO(iso.c_str(), L"WINPE", 1));
    std::string bootWim = TestFiles::ReadBytes(kBootWim);
    std::string isoBytes = TestFiles::ReadBytes(iso);
    EXPECT_NE(std::string::npos,
              isoBytes.find("file=sources\\boot.wim\r\nsize=" + std::to_string(bootWim.size()) + "\r\n" + bootWim));

    for (const auto& copy : {std::make_pair(kBootWim, L"updatewim-boot.wim"), std::make_pair(kProgram, L"program.exe"),
                             std::make_pair(kKit + L"Winpeshl.ini", L"Winpeshl.ini")})
        EXPECT_TRUE(CopyFileW(copy.first.c_str(), (kOut + L"\\" + copy.second).c_str(), FALSE));
}

TEST_F(WinPEBuilderTest, UpdateWIMLeavesAnUpToDateBootImageAlone)
{
    ASSERT_TRUE(SetWriteTime(kBootWim, HoursFromNow(1)));
    EXPECT_EQ(0, RunProgram(L"/UpdateWIM"));
    EXPECT_TRUE(ToolLines("peimg.exe", m_journalAt).empty());
    ExpectBootImageUntouched();
}

TEST_F(WinPEBuilderTest, UpdateWIMKeepsTheOldBootImageWhenPeimgFails)
{
    for (const wchar_t* step : {L"import", L"lang", L"install"}) {
        SCOPED_TRACE(Narrow(step));
        SetDescription(L"peimg_fail", step);
        size_t at = ToolRunner::Journal().size();
        ASSERT_TRUE(SetWriteTime(kBootWim, HoursFromNow(-48)));
        FILETIME before = WriteTime(kBootWim);
        EXPECT_EQ(kToolFailed, RunProgram(L"/UpdateWIM"));
        std::vector<std::string> lines = ToolLines("peimg.exe", at);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ("exit 1, failing as the description asks", lines.back());
        ExpectBootImageUntouched();
        FILETIME after = WriteTime(kBootWim);
        EXPECT_EQ(0, CompareFileTime(&before, &after)) << "a failed build must not count as current";
    }
}

TEST_F(WinPEBuilderTest, UpdateWIMDiscardsALeftoverMount)
{
    ASSERT_TRUE(TestFiles::WriteBytes(kMount + L"\\stale.txt", "left by a crashed run"));
    ASSERT_TRUE(SetWriteTime(kBootWim, HoursFromNow(-48)));
    ASSERT_EQ(0, RunProgram(L"/UpdateWIM"));
    EXPECT_TRUE(IsEmptyFolder(kMount));
    const std::wstring applied = TempFolder() + L"applied-leftover";
    ASSERT_TRUE(ApplyImage(kBootWim, applied));
    EXPECT_FALSE(TestFiles::Exists(applied + L"\\stale.txt"));
    EXPECT_TRUE(TestFiles::Exists(applied + L"\\Windows\\System32\\Winpeshl.ini"));
}

TEST_F(WinPEBuilderTest, RELiveUpdatePutsTheProgramIntoAReadOnlyWinREImage)
{
    ASSERT_TRUE(SetFileAttributesW(kWinRE.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(0, RunProgram(L"/RELiveUpdate"));
    EXPECT_FALSE(GetFileAttributesW(kWinRE.c_str()) & FILE_ATTRIBUTE_READONLY);
    const std::wstring applied = TempFolder() + L"applied-winre";
    ASSERT_TRUE(ApplyImage(kWinRE, applied));
    EXPECT_TRUE(SameBytes(kProgram, applied + L"\\Windows\\MD\\Mendora.exe"));
    EXPECT_TRUE(TestFiles::Exists(applied + L"\\Windows\\System32\\winpeshl.exe"));
    EXPECT_FALSE(TestFiles::Exists(TempFolder() + L"_MountForREUpdate"));
    EXPECT_FALSE(TestFiles::Exists(TempFolder() + L"_TempForREUpdate"));
    EXPECT_TRUE(CopyFileW(kWinRE.c_str(), (kOut + L"\\relive-winre.wim").c_str(), FALSE));
}

TEST_F(WinPEBuilderTest, RELiveUpdateLeavesTheImageAsItWasWhenTheCommitFails)
{
    // Another program holds the image open: the commit cannot replace it.
    HANDLE hHolder = CreateFileW(kWinRE.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHolder);
    int code = RunProgram(L"/RELiveUpdate");
    CloseHandle(hHolder);
    EXPECT_EQ(1, code);
    EXPECT_TRUE(SameBytes(kBackup + L"winre.wim", kWinRE));
    EXPECT_FALSE(TestFiles::Exists(TempFolder() + L"_MountForREUpdate"));
}

struct REImageCase {
    const char* name;
    std::wstring wim;
    std::wstring program;
    HRESULT expected;
};

TEST_F(WinPEBuilderTest, UpdateREImageChecksItsPathsAndKeepsTheImageOnFailure)
{
    const std::wstring missing = kProgramFolder + L"missing.bin";
    const std::wstring damaged = kBackup + L"damaged.wim";
    ASSERT_TRUE(TestFiles::WriteBytes(damaged, std::string("MSWIM\0\0\0", 8) + std::string(300, '\xff')));
    const REImageCase cases[] = {
        {"damaged image", damaged, kProgram, NV_E_MOUNT},
        {"empty image path", L"", kProgram, NV_E_PATH_ARG},
        {"missing image", missing, kProgram, NV_E_NOT_FOUND},
        {"empty program path", kWinRE, L"", NV_E_PATH_ARG},
        {"missing program", kWinRE, missing, NV_E_NOT_FOUND},
        {"program is a folder", kWinRE, kKit, NV_E_FILE_NOT_EXIST},
    };
    for (const REImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        CWimMgr mgr(nullptr);
        EXPECT_EQ(c.expected, mgr.UpdateREImage(c.wim.c_str(), c.program.c_str()));
        EXPECT_TRUE(SameBytes(kBackup + L"winre.wim", kWinRE));
        EXPECT_FALSE(TestFiles::Exists(TempFolder() + L"_MountForREUpdate"));
    }
}

TEST_F(WinPEBuilderTest, UpdateREImageDiscardsTheMountWhenTheCommitFails)
{
    CWimMgr mgr(nullptr);
    HANDLE hHolder = CreateFileW(kWinRE.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHolder);
    HRESULT hr = mgr.UpdateREImage(kWinRE.c_str(), kProgram.c_str());
    CloseHandle(hHolder);
    EXPECT_EQ(NV_E_MOUNT, hr);
    EXPECT_TRUE(SameBytes(kBackup + L"winre.wim", kWinRE));
    EXPECT_FALSE(TestFiles::Exists(TempFolder() + L"_MountForREUpdate"));
    // The mount is gone too: the next update mounts and commits.
    EXPECT_EQ(S_OK, mgr.UpdateREImage(kWinRE.c_str(), kProgram.c_str()));
    EXPECT_FALSE(SameBytes(kBackup + L"winre.wim", kWinRE));
}

TEST_F(WinPEBuilderTest, UpdateREImageDiscardsALeftoverMountFolder)
{
    const std::wstring mount = TempFolder() + L"_MountForREUpdate";
    CreateDirectoryW(mount.c_str(), nullptr);
    ASSERT_TRUE(TestFiles::WriteBytes(mount + L"\\stale.txt", "left by a crashed run"));
    CWimMgr mgr(nullptr);
    ASSERT_EQ(S_OK, mgr.UpdateREImage(kWinRE.c_str(), kProgram.c_str()));
    const std::wstring applied = TempFolder() + L"applied-winre-leftover";
    ASSERT_TRUE(ApplyImage(kWinRE, applied));
    EXPECT_FALSE(TestFiles::Exists(applied + L"\\stale.txt"));
    EXPECT_TRUE(SameBytes(kProgram, applied + L"\\Windows\\MD\\Mendora.exe"));
}

TEST_F(WinPEBuilderTest, SetWinPESourcePathNeedsBothToolsAndKeepsTheFirstFolder)
{
    const std::wstring noOscdimg = L"C:\\kit without oscdimg\\";
    TestFiles::DeleteTree(noOscdimg);
    for (const wchar_t* sub : {L"", L"Tools", L"Tools\\PETools"})
        CreateDirectoryW((noOscdimg + sub).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((kKit + L"Tools\\PETools\\peimg.exe").c_str(),
                          (noOscdimg + L"Tools\\PETools\\peimg.exe").c_str(), FALSE));
    CWimMgrProbe mgr;
    EXPECT_EQ(NV_E_PATH_ARG, mgr.SetWinPESourcePath(L""));
    EXPECT_EQ(NV_E_FILE_NOT_EXIST, mgr.SetWinPESourcePath(noOscdimg.c_str()));
    EXPECT_EQ(S_OK, mgr.SetWinPESourcePath(kKit.substr(0, kKit.size() - 1).c_str()));
    EXPECT_EQ(kKit, mgr.SourcePath());
    EXPECT_EQ(S_OK, mgr.SetWinPESourcePath(noOscdimg.c_str()));
    EXPECT_EQ(kKit, mgr.SourcePath());
    EXPECT_EQ(S_OK, static_cast<IWimMgr&>(mgr).Reset());
    EXPECT_EQ(NV_E_FILE_NOT_EXIST, mgr.SetWinPESourcePath(noOscdimg.c_str()));
}

TEST_F(WinPEBuilderTest, SetWinPELanguageMapsTheLanguageKinds)
{
    struct Case {
        DWORD kind;
        HRESULT expected;
        const char* culture;
    } const cases[] = {
        {0, NV_E_INVALID_ARG, nullptr},
        {7, NV_E_NO_LANGUAGE_PACK, nullptr},
        {25, NV_E_NO_LANGUAGE_PACK, nullptr},
        {8, S_OK, "JA-JP"},
        {24, kToolFailed, "PT-BR"}, // the kit has no pack for it
    };
    CWimMgr mgr(nullptr);
    ASSERT_EQ(S_OK, mgr.SetWinPESourcePath(kKit.c_str()));
    ASSERT_EQ(S_OK, mgr.CopyBaseWinPEImage());
    ASSERT_EQ(S_OK, mgr.MountImage((kKit + L"Temp").c_str(), 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        size_t at = ToolRunner::Journal().size();
        EXPECT_EQ(c.expected, mgr.SetWinPELanguage(c.kind));
        std::vector<std::string> lines = ToolLines("peimg.exe", at);
        if (!c.culture) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(std::string::npos, lines[0].find(std::string("X86\\") + c.culture + "\\LP.CAB"));
    }
    EXPECT_EQ(S_OK, mgr.UnmountImage(FALSE));
}

TEST_F(WinPEBuilderTest, PackagesAndDriversChangeTheMountedImage)
{
    const std::wstring inf = kKit + L"driver files\\net card.inf";
    CreateDirectoryW((kKit + L"driver files").c_str(), nullptr);
    ASSERT_TRUE(TestFiles::WriteBytes(inf, "[Version]\r\n"));
    CWimMgr mgr(nullptr);
    ASSERT_EQ(S_OK, mgr.SetWinPESourcePath(kKit.c_str()));
    ASSERT_EQ(S_OK, mgr.CopyBaseWinPEImage());
    ASSERT_EQ(S_OK, mgr.MountImage((kKit + L"Temp").c_str(), 0));

    const std::wstring marker = kMount + L"\\Windows\\servicing\\Packages\\Scripting.installed";
    EXPECT_EQ(S_OK, mgr.SetOptionalPackage(6, TRUE));
    EXPECT_TRUE(TestFiles::Exists(marker));
    EXPECT_EQ(S_OK, mgr.SetOptionalPackage(6, FALSE));
    EXPECT_FALSE(TestFiles::Exists(marker));
    EXPECT_EQ(NV_E_INVALID_ARG, mgr.SetOptionalPackage(0, TRUE));
    EXPECT_EQ(NV_E_NO_LANGUAGE_PACK, mgr.SetOptionalPackage(3, TRUE));

    EXPECT_EQ(NV_E_PATH_ARG, mgr.AddDrivers(L""));
    EXPECT_EQ(S_OK, mgr.AddDrivers(inf.c_str()));
    // Started, not waited for: the driver arrives a little later.
    const std::wstring added = kMount + L"\\Windows\\System32\\drivers\\net card.inf";
    for (int i = 0; i < 100 && !TestFiles::Exists(added); ++i)
        Sleep(100);
    EXPECT_TRUE(TestFiles::Exists(added));
    auto ended = [&] {
        std::vector<std::string> lines = ToolLines("peimg.exe", m_journalAt);
        return !lines.empty() && lines.back().compare(0, 4, "exit") == 0;
    };
    for (int i = 0; i < 100 && !ended(); ++i)
        Sleep(100);
    EXPECT_EQ(S_OK, mgr.UnmountImage(FALSE));
}

TEST_F(WinPEBuilderTest, MakeWinPEISOWithABadLanguageDiscardsTheBuild)
{
    // The first build folder stays, so the build runs in the kit rather
    // than beside this test program.
    CWimMgr mgr(nullptr);
    ASSERT_EQ(S_OK, mgr.SetWinPESourcePath(kKit.c_str()));
    EXPECT_EQ(NV_E_NO_LANGUAGE_PACK, mgr.MakeWinPEISO(7));
    ExpectBootImageUntouched();
}

TEST_F(WinPEBuilderTest, MakeISOQuotesEveryPathInItsFourForms)
{
    const std::string tree = "\"" + Narrow(kKit) + "winpe_x86\\iso\"";
    const std::string boot = "-b\"" + Narrow(kKit) + "winpe_x86\\etfsboot.com\" ";
    const std::wstring iso = kIsoFolder + L"out put.iso";
    const std::string isoArg = " \"" + Narrow(iso) + "\"";
    struct Case {
        DWORD boot;
        const wchar_t* label;
        std::string params;
    } const cases[] = {
        {1, L"WIN PE", "-n -l\"WIN PE\" " + boot + tree + isoArg},
        {1, L"", "-n " + boot + tree + isoArg},
        {0, L"WINPE", "-n -l\"WINPE\" " + tree + isoArg},
        {2, nullptr, "-n " + tree + isoArg},
    };
    CWimMgr mgr(nullptr);
    ASSERT_EQ(S_OK, mgr.SetWinPESourcePath(kKit.c_str()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.params);
        DeleteFileW(iso.c_str());
        size_t at = ToolRunner::Journal().size();
        EXPECT_EQ(S_OK, mgr.MakeISO(iso.c_str(), c.label, c.boot));
        std::vector<std::string> expected = {"run " + c.params, "exit 0"};
        EXPECT_EQ(expected, ToolLines("oscdimg.exe", at));
        EXPECT_NE(std::string::npos, TestFiles::ReadBytes(iso).find("file=sources\\boot.wim\r\n"));
    }
    // A label that cannot fit the command line runs nothing.
    size_t at = ToolRunner::Journal().size();
    EXPECT_EQ(NV_E_FORMAT_OVERFLOW, mgr.MakeISO(iso.c_str(), std::wstring(3000, L'L').c_str(), 1));
    EXPECT_EQ(NV_E_PATH_ARG, mgr.MakeISO(L"", L"WINPE", 1));
    EXPECT_TRUE(ToolLines("oscdimg.exe", at).empty());
    // A tool that fails fails the call.
    SetDescription(L"oscdimg_fail", L"*");
    EXPECT_EQ(kToolFailed, mgr.MakeISO(iso.c_str(), L"WINPE", 1));
}

} // namespace
