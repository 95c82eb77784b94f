// The WIM manager's image operations against our wimgapi.dll and Wimsplice.dll
// on WIM files that wimlib-imagex made on the Linux side. P: is the target
// drive, Q: holds images and the temporary folder, R: takes a second apply,
// S: the dump file.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "CDumpMgr.h"
#include "CSBRMgr.h"
#include "CWimMgr.h"
#include "Deadline.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "WimTestTree.h"
#include "Wimsplice.h"
#include "wimgapi.h"

using WimTestTree::Compare;
using WimTestTree::Fixture;

namespace {

const wchar_t kDump[] = L"S:\\ProgramData\\Recovery\\MendoraDump.txt";
const wchar_t kTemp[] = L"Q:\\temp\\";
const DWORD kDeadlineMs = 120000;

// What the registered callback heard; the apply registers it without user
// data, so it can only reach a file-wide record.
struct Heard {
    std::vector<DWORD> percents;
    size_t processed = 0;
    size_t abortAt = 0; // 1-based PROCESS message to abort; 0 = never
    PVOID user = nullptr;
};
Heard g_heard;

DWORD CALLBACK RecordingCallback(DWORD dwMsg, WPARAM wParam, LPARAM, PVOID pvUser)
{
    g_heard.user = pvUser;
    if (dwMsg == WIM_MSG_PROGRESS)
        g_heard.percents.push_back(static_cast<DWORD>(wParam));
    if (dwMsg == WIM_MSG_PROCESS) {
        ++g_heard.processed;
        if (g_heard.abortAt && g_heard.processed == g_heard.abortAt)
            return WIM_MSG_ABORT_IMAGE;
    }
    return WIM_MSG_SUCCESS;
}

// Exposes the reference list, which no interface shows.
class CWimMgrProbe : public CWimMgr {
public:
    CWimMgrProbe() : CWimMgr(nullptr) {}
    std::vector<std::wstring> RefFiles() const { return m_vecRefFiles; }
};

HRESULT WithDeadline(const std::function<HRESULT()>& fn, const char* what)
{
    return RunWithDeadline(fn, kDeadlineMs, what);
}

struct ApplySettings {
    std::wstring wim;
    const wchar_t* pattern = nullptr;
    DWORD index = 1;
    wchar_t drive = L'P';
    const wchar_t* temp = kTemp;
    WIMMessageCallback callback = &RecordingCallback;
};

// The configuration sequence of the recovery threads, results OR-ed.
HRESULT Configure(CWimMgr* pMgr, const ApplySettings& s)
{
    HRESULT hr = pMgr->SetWimImagePath(s.wim.c_str());
    hr |= pMgr->SetTempPath(s.temp);
    if (s.drive)
        hr |= pMgr->SetTargetDrive(s.drive);
    if (s.pattern)
        hr |= pMgr->SetRefPath(s.pattern);
    if (s.index)
        hr |= pMgr->SetImageIndex(s.index);
    if (s.callback)
        hr |= pMgr->SetMessageCallback(s.callback);
    return hr;
}

HRESULT Apply(const ApplySettings& s)
{
    CWimMgr* pMgr = new CWimMgr(nullptr);
    HRESULT hr = Configure(pMgr, s);
    if (SUCCEEDED(hr))
        hr = WithDeadline([pMgr] { return pMgr->RestoreWimImage(); }, "RestoreWimImage");
    pMgr->CleanUpHandles();
    pMgr->Release();
    return hr;
}

bool Copy(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool IsEmptyFolder(const std::wstring& root)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((root + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    bool empty = true;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..")
            empty = false;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return empty;
}

std::vector<std::string> DumpLinesAfter(const std::string& prefix)
{
    std::vector<std::string> out;
    std::string bytes = TestFiles::ReadBytes(kDump);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (line.compare(0, prefix.size(), prefix) == 0)
            out.push_back(line.substr(prefix.size()));
        start = end + 2;
    }
    return out;
}

// A raw apply with nothing registered by us: anything the recorder hears
// now came through a registration that was left behind.
void ApplyWithoutManager(const std::wstring& wim, const std::wstring& target)
{
    HANDLE hWim = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    ASSERT_NE(nullptr, hWim);
    HANDLE hImage = WIMLoadImage(hWim, 1);
    ASSERT_NE(nullptr, hImage);
    EXPECT_TRUE(WIMApplyImage(hImage, target.c_str(), 0));
    WIMCloseHandle(hImage);
    WIMCloseHandle(hWim);
}

// Wimsplice.dll for the test's own splits, loaded only while needed.
class SpliceLibrary {
public:
    SpliceLibrary() : m_h(LoadLibraryW(L"Wimsplice.dll")) {}
    ~SpliceLibrary()
    {
        if (m_h)
            FreeLibrary(m_h);
    }
    PFN_SplitBigWIM Split() const
    {
        return m_h ? reinterpret_cast<PFN_SplitBigWIM>(reinterpret_cast<void (*)()>(GetProcAddress(m_h, "SplitBigWIM")))
                   : nullptr;
    }

private:
    HMODULE m_h;
};

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    *wcsrchr(path, L'\\') = L'\0';
    return path;
}

class WimMgrImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestFiles::ClearDrive(L'S');
        g_DumpMgr.Initialize();
        g_DumpMgr.SetDumpMode(DM_OS);
        g_DumpMgr.PrepareDumpFilePath(L'S');
    }
    void SetUp() override
    {
        DeleteFileW(kDump);
        TestFiles::ClearDrive(L'P');
        TestFiles::ClearDrive(L'Q');
        TestFiles::ClearDrive(L'R');
        CreateDirectoryW(L"Q:\\preload", nullptr);
        g_heard = Heard();
    }
    // The program's start-up makes its own folder the current one; the
    // library is loaded from there.
    void TearDown() override { SetCurrentDirectoryW(ExeFolder().c_str()); }

    // base.swm, base2.swm, base3.swm of one split set and an unrelated WIM
    // with the same extension, as a disc set may carry.
    static void LaySplitSet()
    {
        ASSERT_TRUE(Copy(Fixture(L"wimlib-split.swm"), L"Q:\\preload\\base.swm"));
        ASSERT_TRUE(Copy(Fixture(L"wimlib-split2.swm"), L"Q:\\preload\\base2.swm"));
        ASSERT_TRUE(Copy(Fixture(L"wimlib-split3.swm"), L"Q:\\preload\\base3.swm"));
        ASSERT_TRUE(Copy(Fixture(L"wimlib-none.wim"), L"Q:\\preload\\other.swm"));
    }
};

} // namespace

TEST_F(WimMgrImageTest, SettersRejectBadValues)
{
    std::wstring tooLong = L"Q:\\" + std::wstring(MAX_PATH, L'x');
    struct {
        const char* name;
        std::function<HRESULT(CWimMgr*)> call;
        HRESULT expected;
    } cases[] = {
        {"image path", [](CWimMgr* m) { return m->SetWimImagePath(L"Q:\\preload\\base.wim"); }, S_OK},
        {"null image path", [](CWimMgr* m) { return m->SetWimImagePath(nullptr); }, NV_E_INVALID_ARG},
        {"image path beyond MAX_PATH", [&](CWimMgr* m) { return m->SetWimImagePath(tooLong.c_str()); }, NV_E_INVALID_ARG},
        {"temp path", [](CWimMgr* m) { return m->SetTempPath(L"Q:\\temp"); }, S_OK},
        {"null temp path", [](CWimMgr* m) { return m->SetTempPath(nullptr); }, NV_E_INVALID_ARG},
        {"drive letter", [](CWimMgr* m) { return m->SetTargetDrive(L'p'); }, S_OK},
        {"digit as drive", [](CWimMgr* m) { return m->SetTargetDrive(L'1'); }, NV_E_INVALID_ARG},
        {"no drive", [](CWimMgr* m) { return m->SetTargetDrive(L'\0'); }, NV_E_INVALID_ARG},
        {"accented letter as drive", [](CWimMgr* m) { return m->SetTargetDrive(L'\x00E9'); }, NV_E_INVALID_ARG},
        {"index 1", [](CWimMgr* m) { return m->SetImageIndex(1); }, S_OK},
        {"index 0", [](CWimMgr* m) { return m->SetImageIndex(0); }, NV_E_INVALID_ARG},
        {"callback", [](CWimMgr* m) { return m->SetMessageCallback(&RecordingCallback); }, S_OK},
        {"null callback", [](CWimMgr* m) { return m->SetMessageCallback(nullptr); }, NV_E_INVALID_ARG},
        {"capture source", [](CWimMgr* m) { return m->SetCaptureSource(L"P:\\"); }, S_OK},
        {"null capture source", [](CWimMgr* m) { return m->SetCaptureSource(nullptr); }, NV_E_INVALID_ARG},
        {"empty capture source", [](CWimMgr* m) { return m->SetCaptureSource(L""); }, NV_E_INVALID_ARG},
        {"capture target", [](CWimMgr* m) { return m->SetCaptureTarget(L"Q:\\a.wim"); }, S_OK},
        {"null capture target", [](CWimMgr* m) { return m->SetCaptureTarget(nullptr); }, NV_E_INVALID_ARG},
        {"empty capture target", [](CWimMgr* m) { return m->SetCaptureTarget(L""); }, NV_E_INVALID_ARG},
        {"null reference pattern", [](CWimMgr* m) { return m->SetRefPath(nullptr); }, NV_E_INVALID_ARG},
        {"null image to merge", [](CWimMgr* m) { return m->MergeImage(nullptr); }, NV_E_INVALID_ARG},
    };
    for (const auto& c : cases) {
        CWimMgr* pMgr = new CWimMgr(nullptr);
        EXPECT_EQ(c.expected, c.call(pMgr)) << c.name;
        pMgr->Release();
    }
}

TEST_F(WimMgrImageTest, AppliesEachKindOfImage)
{
    LaySplitSet();
    struct {
        const wchar_t* name;
        std::wstring wim;
        const wchar_t* pattern;
    } cases[] = {
        {L"uncompressed", Fixture(L"wimlib-none.wim"), nullptr},
        {L"XPRESS", Fixture(L"wimlib-XPRESS.wim"), nullptr},
        {L"LZX", Fixture(L"wimlib-LZX.wim"), nullptr},
        {L"split set with an unrelated part", L"Q:\\preload\\base.swm", L"Q:\\preload\\*.swm"},
    };
    for (const auto& c : cases) {
        TestFiles::ClearDrive(L'P');
        g_heard = Heard();
        ApplySettings s;
        s.wim = c.wim;
        s.pattern = c.pattern;
        EXPECT_EQ(S_OK, Apply(s)) << c.name;
        EXPECT_EQ(L"", Compare(Fixture(L"tree"), L"P:", false)) << c.name;
        ASSERT_FALSE(g_heard.percents.empty()) << c.name;
        EXPECT_EQ(100u, g_heard.percents.back()) << c.name;
        EXPECT_GT(g_heard.processed, 0u) << c.name;
    }
}

TEST_F(WimMgrImageTest, SplitPartsRegisteredLastFoundFirst)
{
    LaySplitSet();
    CWimMgrProbe* pMgr = new CWimMgrProbe();
    ApplySettings s;
    s.wim = L"Q:\\preload\\base.swm";
    s.pattern = L"Q:\\preload\\*.swm";
    ASSERT_EQ(S_OK, Configure(pMgr, s));

    std::vector<std::wstring> found = pMgr->RefFiles();
    std::vector<std::wstring> expected = {L"Q:\\preload\\base2.swm", L"Q:\\preload\\base3.swm",
                                          L"Q:\\preload\\other.swm"};
    std::vector<std::wstring> sorted = found;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(expected, sorted) << "every part but the image itself";

    EXPECT_EQ(S_OK, WithDeadline([pMgr] { return pMgr->RestoreWimImage(); }, "RestoreWimImage"));
    EXPECT_TRUE(pMgr->RefFiles().empty()) << "registered parts leave the list";
    pMgr->Release();

    std::vector<std::string> inserted = DumpLinesAfter("CWimMgr::SetRefPath insert into vector: ");
    std::vector<std::string> registered = DumpLinesAfter("CWimMgr::RestoreWimImage WIMSetReferenceFile : ");
    ASSERT_EQ(3u, inserted.size());
    std::reverse(inserted.begin(), inserted.end());
    EXPECT_EQ(inserted, registered);
    EXPECT_EQ(L"", Compare(Fixture(L"tree"), L"P:", false));
}

TEST_F(WimMgrImageTest, ReferencePatterns)
{
    LaySplitSet();
    CreateDirectoryW(L"Q:\\preload\\folder.swm", nullptr);
    CreateDirectoryW(L"Q:\\one", nullptr);
    ASSERT_TRUE(Copy(Fixture(L"wimlib-none.wim"), L"Q:\\one\\base.wim"));
    const std::wstring p = L"Q:\\preload\\";
    struct {
        const char* name;
        const wchar_t* wim;
        std::vector<const wchar_t*> patterns;
        HRESULT expected;
        std::vector<std::wstring> refs; // sorted
    } cases[] = {
        {"nothing matches", L"Q:\\preload\\base.swm", {L"Q:\\preload\\*.xyz"}, NV_E_FAIL, {}},
        {"missing folder", L"Q:\\preload\\base.swm", {L"Q:\\none\\*.swm"}, NV_E_FAIL, {}},
        {"image name in another case", L"Q:\\PRELOAD\\BASE.SWM", {L"Q:\\preload\\*.swm"}, S_OK,
         {p + L"base2.swm", p + L"base3.swm", p + L"other.swm"}},
        {"called twice appends twice", L"Q:\\preload\\base.swm", {L"Q:\\preload\\*.swm", L"Q:\\preload\\*.swm"}, S_OK,
         {p + L"base2.swm", p + L"base2.swm", p + L"base3.swm", p + L"base3.swm", p + L"other.swm",
          p + L"other.swm"}},
        {"only the extension of the pattern counts", L"Q:\\preload\\base.swm", {L"Q:\\preload\\zzz.swm"}, S_OK,
         {p + L"base2.swm", p + L"base3.swm", p + L"other.swm"}},
        {"only the image matches", L"Q:\\one\\base.wim", {L"Q:\\one\\*.wim"}, S_OK, {}},
    };
    for (const auto& c : cases) {
        CWimMgrProbe* pMgr = new CWimMgrProbe();
        ASSERT_EQ(S_OK, pMgr->SetWimImagePath(c.wim)) << c.name;
        HRESULT hr = S_OK;
        for (const wchar_t* pattern : c.patterns)
            hr |= pMgr->SetRefPath(pattern);
        EXPECT_EQ(c.expected, hr) << c.name;
        std::vector<std::wstring> refs = pMgr->RefFiles();
        std::sort(refs.begin(), refs.end());
        EXPECT_EQ(c.refs, refs) << c.name << ": folders never count as parts";
        pMgr->Release();
    }
}

TEST_F(WimMgrImageTest, FailedAppliesCloseEverything)
{
    ASSERT_TRUE(Copy(Fixture(L"wimlib-XPRESS.wim"), L"Q:\\preload\\base.wim"));
    struct {
        const char* name;
        std::function<void()> lay;
        ApplySettings settings;
        HRESULT expected;
    } cases[] = {
        {"no image index", [] {}, [] { ApplySettings s; s.index = 0; return s; }(), NV_E_INVALID_ARG},
        {"no target drive", [] {}, [] { ApplySettings s; s.drive = 0; return s; }(), NV_E_INVALID_ARG},
        {"index above the image count", [] {}, [] { ApplySettings s; s.index = 2; return s; }(), NV_E_INVALID_ARG},
        {"temporary folder two levels down", [] {},
         [] { ApplySettings s; s.temp = L"Q:\\a\\b\\"; return s; }(), NV_E_CREATE_DIR},
        {"image missing", [] { DeleteFileW(L"Q:\\preload\\base.wim"); }, ApplySettings(), NV_E_FILE_IO},
        {"image truncated",
         [] {
             std::string bytes = TestFiles::ReadBytes(Fixture(L"wimlib-XPRESS.wim"));
             TestFiles::WriteBytes(L"Q:\\preload\\base.wim", bytes.substr(0, 100));
         },
         ApplySettings(), NV_E_FILE_IO},
        {"a part that cannot be registered",
         [] { TestFiles::WriteBytes(L"Q:\\preload\\junk.wim", std::string(4096, 'j')); },
         [] { ApplySettings s; s.pattern = L"Q:\\preload\\*.wim"; return s; }(), NV_E_FAIL},
    };
    for (auto& c : cases) {
        TestFiles::ClearDrive(L'P');
        RemoveDirectoryW(L"Q:\\temp");
        ASSERT_TRUE(Copy(Fixture(L"wimlib-XPRESS.wim"), L"Q:\\preload\\base.wim")) << c.name;
        DeleteFileW(L"Q:\\preload\\junk.wim");
        c.lay();
        g_heard = Heard();
        c.settings.wim = L"Q:\\preload\\base.wim";
        EXPECT_EQ(c.expected, Apply(c.settings)) << c.name;
        EXPECT_TRUE(IsEmptyFolder(L"P:\\")) << c.name << ": nothing applied";
        EXPECT_TRUE(DeleteFileW(L"Q:\\preload\\base.wim") || GetLastError() == ERROR_FILE_NOT_FOUND)
            << c.name << ": the image file is still open";
    }
}

TEST_F(WimMgrImageTest, MissingTemporaryFolderIsMade)
{
    ApplySettings s;
    s.wim = Fixture(L"wimlib-none.wim");
    s.temp = L"Q:\\newtemp";
    EXPECT_EQ(S_OK, Apply(s));
    EXPECT_TRUE(TestFiles::Exists(L"Q:\\newtemp"));
}

TEST_F(WimMgrImageTest, AbortedApplyFailsAndUnregisters)
{
    ApplySettings s;
    s.wim = Fixture(L"wimlib-XPRESS.wim");
    g_heard.abortAt = 3;
    EXPECT_EQ(NV_E_FAIL, Apply(s)) << "an aborted apply is no success";
    EXPECT_EQ(3u, g_heard.processed) << "the apply stopped at the abort";

    size_t heardBefore = g_heard.percents.size() + g_heard.processed;
    CreateDirectoryW(L"R:\\again", nullptr);
    ApplyWithoutManager(Fixture(L"wimlib-XPRESS.wim"), L"R:\\again");
    EXPECT_EQ(heardBefore, g_heard.percents.size() + g_heard.processed) << "the callback stayed registered";
}

TEST_F(WimMgrImageTest, ControllerCallbackFollowsAndAborts)
{
    struct {
        const char* name;
        BOOL userAbort;
        HRESULT expected;
        DWORD percent;
    } cases[] = {
        {"runs to the end", FALSE, S_OK, 100},
        {"user abort", TRUE, NV_E_FAIL, 0},
    };
    for (const auto& c : cases) {
        TestFiles::ClearDrive(L'P');
        CSBRMgr::m_dwPercent = 0;
        CSBRMgr::m_bUserAbort = c.userAbort;
        ApplySettings s;
        s.wim = Fixture(L"wimlib-LZX.wim");
        s.callback = &CSBRMgr::ZQWIMMessageCallback;
        EXPECT_EQ(c.expected, Apply(s)) << c.name;
        EXPECT_EQ(c.percent, CSBRMgr::m_dwPercent.load()) << c.name;
        CSBRMgr::m_bUserAbort = FALSE;
    }
}

TEST_F(WimMgrImageTest, MergeRebuildsImagesFromPieces)
{
    SpliceLibrary library;
    PFN_SplitBigWIM split = library.Split();
    ASSERT_NE(nullptr, split);
    auto same = [](const std::wstring& built, const wchar_t* fixture) {
        return TestFiles::ReadBytes(built) == TestFiles::ReadBytes(Fixture(fixture));
    };
    auto piecesOf = [split](const wchar_t* fixture, const std::wstring& wim) {
        return Copy(Fixture(fixture), wim) && split(wim.c_str(), 1) == 0;
    };
    // The library's own code is passed on for a damaged piece; only its sign
    // is fixed.
    struct {
        const char* name;
        std::function<bool()> lay;
        bool fails;
        std::function<bool()> check;
    } cases[] = {
        {"image without a piece", [] { return Copy(Fixture(L"wimlib-none.wim"), L"Q:\\m\\X.wim"); }, false,
         [&] { return same(L"Q:\\m\\X.wim", L"wimlib-none.wim") && !TestFiles::Exists(L"Q:\\m\\X.DAT"); }},
        {"first image from its pieces", [&] { return piecesOf(L"wimlib-none.wim", L"Q:\\m\\X.wim"); }, false,
         [&] {
             return same(L"Q:\\m\\X.wim", L"wimlib-none.wim") && !TestFiles::Exists(L"Q:\\m\\X.DAT") &&
                    TestFiles::Exists(L"Q:\\m\\X.0");
         }},
        {"second image from its pieces",
         [&] {
             return Copy(Fixture(L"wimlib-none.wim"), L"Q:\\m\\X.wim") &&
                    piecesOf(L"wimlib-XPRESS.wim", L"Q:\\m\\X2.wim");
         },
         false,
         [&] {
             return same(L"Q:\\m\\X.wim", L"wimlib-none.wim") && same(L"Q:\\m\\X2.wim", L"wimlib-XPRESS.wim") &&
                    !TestFiles::Exists(L"Q:\\m\\X2.DAT");
         }},
        {"piece index damaged", [] { return TestFiles::WriteBytes(L"Q:\\m\\X.DAT", "not an index"); }, true,
         [] { return TestFiles::Exists(L"Q:\\m\\X.DAT") && !TestFiles::Exists(L"Q:\\m\\X.wim"); }},
    };
    for (const auto& c : cases) {
        TestFiles::DeleteTree(L"Q:\\m");
        CreateDirectoryW(L"Q:\\m", nullptr);
        ASSERT_TRUE(c.lay()) << c.name;
        SetCurrentDirectoryW(ExeFolder().c_str());
        CWimMgr* pMgr = new CWimMgr(nullptr);
        HRESULT hr = pMgr->MergeImage(L"Q:\\m\\X.wim");
        pMgr->Release();
        EXPECT_EQ(c.fails, FAILED(hr)) << c.name << ": 0x" << std::hex << hr;
        EXPECT_TRUE(c.check()) << c.name;
    }
}

TEST_F(WimMgrImageTest, CapturesATreeThatAppliesBack)
{
    std::wstring out = WIMMGR_OUT_DIR;
    CreateDirectoryW(out.c_str(), nullptr);
    std::wstring target = out + L"\\ours-wimmgr.wim";
    // A target left from before is replaced, not appended to.
    ASSERT_TRUE(TestFiles::WriteBytes(target, "an older file"));

    CWimMgr* pMgr = new CWimMgr(nullptr);
    HRESULT hr = pMgr->SetCaptureSource(Fixture(L"tree").c_str());
    hr |= pMgr->SetCaptureTarget(target.c_str());
    hr |= pMgr->SetMessageCallback(&RecordingCallback);
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(S_OK, WithDeadline([pMgr] { return pMgr->BackupToImage(); }, "BackupToImage"));
    EXPECT_EQ(static_cast<PVOID>(pMgr), g_heard.user) << "the capture passes the manager to its callback";
    pMgr->CleanUpHandles();
    pMgr->Release();
    ASSERT_FALSE(g_heard.percents.empty());
    EXPECT_EQ(100u, g_heard.percents.back()) << "the capture reports its progress to the end";
    EXPECT_GT(g_heard.processed, 0u);

    WIM_INFO info = {};
    HANDLE hWim = WIMCreateFile(target.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY, 0, nullptr);
    ASSERT_NE(nullptr, hWim);
    EXPECT_TRUE(WIMGetAttributes(hWim, &info, sizeof(info)));
    WIMCloseHandle(hWim);
    EXPECT_EQ(1u, info.ImageCount);
    EXPECT_EQ(static_cast<DWORD>(WIM_COMPRESS_XPRESS), info.CompressionType);

    size_t heard = g_heard.percents.size();
    ApplySettings s;
    s.wim = target;
    s.drive = L'R';
    s.callback = nullptr;
    EXPECT_EQ(S_OK, Apply(s));
    EXPECT_EQ(L"", Compare(Fixture(L"tree"), L"R:", false));
    EXPECT_EQ(heard, g_heard.percents.size()) << "the capture's callback stayed registered";
}

TEST_F(WimMgrImageTest, FailedCapturesReadAsFailures)
{
    struct {
        const char* name;
        std::wstring source;
        const wchar_t* target;
        size_t abortAt;
        HRESULT expected;
    } cases[] = {
        {"source missing", L"Q:\\no such folder", L"Q:\\c.wim", 0, NV_E_WIM_CAPTURE},
        {"target folder missing", Fixture(L"tree"), L"Q:\\no\\such\\c.wim", 0, NV_E_WIM_CREATE_FILE},
        {"aborted by the callback", Fixture(L"tree"), L"Q:\\c.wim", 2, NV_E_WIM_CAPTURE},
    };
    for (const auto& c : cases) {
        g_heard = Heard();
        g_heard.abortAt = c.abortAt;
        CWimMgr* pMgr = new CWimMgr(nullptr);
        HRESULT hr = pMgr->SetCaptureSource(c.source.c_str());
        hr |= pMgr->SetCaptureTarget(c.target);
        hr |= pMgr->SetMessageCallback(&RecordingCallback);
        ASSERT_EQ(S_OK, hr) << c.name;
        EXPECT_EQ(c.expected, WithDeadline([pMgr] { return pMgr->BackupToImage(); }, "BackupToImage")) << c.name;
        pMgr->CleanUpHandles();
        pMgr->Release();
    }
}

TEST_F(WimMgrImageTest, CaptureWithoutCallback)
{
    CreateDirectoryW(L"Q:\\src", nullptr);
    ASSERT_TRUE(TestFiles::WriteBytes(L"Q:\\src\\a.txt", "a"));
    CWimMgr* pMgr = new CWimMgr(nullptr);
    ASSERT_EQ(S_OK, pMgr->SetCaptureSource(L"Q:\\src") | pMgr->SetCaptureTarget(L"Q:\\c.wim"));
    EXPECT_EQ(S_OK, pMgr->BackupToImage());
    pMgr->Release();
    EXPECT_TRUE(TestFiles::Exists(L"Q:\\c.wim"));
}
