// The imaging API as documented, one test per point where a looser
// behaviour would be easy: messages for folders, WIM_MSG_DONE, where abort
// is honoured, unregistering, the temporary path, FILEINFO for hard links,
// the full path in WIM_INFO, and the checks of mount and unmount.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "WimTestTree.h"
#include "wimgapi.h"

using namespace WimTestTree;

namespace {

const std::wstring kDir = L"W:\\t\\api";
const DWORD kUnlikely = 0xDEADBEEF;
const size_t kEntries = 16; // files and folders of the fixture tree

std::wstring Upper(std::wstring s)
{
    for (wchar_t& c : s) c = (wchar_t)towupper(c);
    return s;
}

FARPROC AsProc(WIMMessageCallback f) { return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f)); }

// What one registration hears, and how it answers.
struct Listener {
    std::vector<DWORD> messages;
    std::vector<std::wstring> processed;
    DWORD answerProgress = WIM_MSG_SUCCESS;
    DWORD answerAll = WIM_MSG_SUCCESS;
    std::wstring skip;  // PROCESS for this path answered "skip"
    std::wstring abort; // PROCESS for this path answered with abort

    size_t Count(DWORD message) const
    {
        size_t n = 0;
        for (DWORD m : messages) n += m == message;
        return n;
    }

    static DWORD CALLBACK Callback(DWORD msg, WPARAM wParam, LPARAM lParam, PVOID user)
    {
        Listener* l = static_cast<Listener*>(user);
        l->messages.push_back(msg);
        if (msg == WIM_MSG_PROGRESS && l->answerProgress != WIM_MSG_SUCCESS) return l->answerProgress;
        if (msg == WIM_MSG_PROCESS) {
            std::wstring path = reinterpret_cast<PCWSTR>(wParam);
            l->processed.push_back(path);
            if (path == l->abort) return WIM_MSG_ABORT_IMAGE;
            if (path == l->skip) *reinterpret_cast<BOOL*>(lParam) = FALSE;
        }
        return l->answerAll;
    }
};

class ScopedListener {
public:
    explicit ScopedListener(Listener& l) { WIMRegisterMessageCallback(nullptr, AsProc(&Listener::Callback), &l); }
    ~ScopedListener() { WIMUnregisterMessageCallback(nullptr, AsProc(&Listener::Callback)); }
};

// Applies image 1 of wim into target with flags; the last error on failure.
DWORD Apply(const std::wstring& wim, const std::wstring& target, DWORD flags = 0)
{
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    if (!h) return GetLastError();
    HANDLE img = WIMLoadImage(h, 1);
    SetLastError(kUnlikely);
    DWORD err = img && WIMApplyImage(img, target.c_str(), flags) ? 0 : GetLastError();
    if (img) WIMCloseHandle(img);
    WIMCloseHandle(h);
    return err;
}

DWORD Capture(const std::wstring& source, const std::wstring& wim)
{
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, 0, WIM_COMPRESS_XPRESS, nullptr);
    if (!h) return GetLastError();
    SetLastError(kUnlikely);
    HANDLE img = WIMCaptureImage(h, source.c_str(), 0);
    DWORD err = img ? 0 : GetLastError();
    if (img) WIMCloseHandle(img);
    WIMCloseHandle(h);
    return err;
}

class WimApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(kDir);
        CreateDirectoryW(L"W:\\t", nullptr);
        CreateDirectoryW(kDir.c_str(), nullptr);
    }
    const std::wstring m_tree = Fixture(L"tree");
    const std::wstring m_wim = Fixture(L"wimlib-XPRESS.wim");
};

} // namespace

// PROCESS comes for folders too, in apply and capture: skipping a folder
// leaves out all it holds, and an abort on a folder stops the operation.
TEST_F(WimApiTest, ProcessIsSentForFolders)
{
    const std::wstring target = kDir + L"\\applied";
    {
        Listener l;
        l.skip = target + L"\\docs";
        ScopedListener scope(l);
        ASSERT_EQ(0u, Apply(m_wim, target));
        EXPECT_NE(l.processed.end(), std::find(l.processed.begin(), l.processed.end(), target + L"\\empty dir"));
        EXPECT_FALSE(Exists(target + L"\\docs"));
        EXPECT_FALSE(Exists(target + L"\\docs\\numbers.txt"));
        EXPECT_TRUE(Exists(target + L"\\random.bin"));
    }
    {
        Listener l;
        l.abort = kDir + L"\\aborted\\docs";
        ScopedListener scope(l);
        EXPECT_EQ((DWORD)ERROR_REQUEST_ABORTED, Apply(m_wim, kDir + L"\\aborted"));
        EXPECT_EQ(l.abort, l.processed.back()) << "PROCESS after the abort";
    }
    {
        Listener l;
        l.skip = m_tree + L"\\docs";
        ScopedListener scope(l);
        ASSERT_EQ(0u, Capture(m_tree, kDir + L"\\nodocs.wim"));
        ASSERT_EQ(0u, Apply(kDir + L"\\nodocs.wim", kDir + L"\\nodocs"));
        EXPECT_FALSE(Exists(kDir + L"\\nodocs\\docs"));
        EXPECT_TRUE(Exists(kDir + L"\\nodocs\\random.bin"));
        EXPECT_TRUE(Exists(kDir + L"\\nodocs\\empty dir"));
    }
    {
        Listener l;
        l.abort = m_tree + L"\\docs";
        ScopedListener scope(l);
        EXPECT_EQ((DWORD)ERROR_REQUEST_ABORTED, Capture(m_tree, kDir + L"\\aborted.wim"));
    }
}

// A callback answering WIM_MSG_DONE keeps the message from the callbacks
// registered after it; other messages still reach them.
TEST_F(WimApiTest, DoneStopsDelivery)
{
    Listener first, second;
    first.answerProgress = WIM_MSG_DONE;
    ScopedListener a(first);
    // The same function twice, with other data: a second registration.
    WIMRegisterMessageCallback(nullptr, AsProc(&Listener::Callback), &second);
    ASSERT_EQ(0u, Apply(m_wim, kDir + L"\\done"));
    WIMUnregisterMessageCallback(nullptr, AsProc(&Listener::Callback));
    EXPECT_GT(first.Count(WIM_MSG_PROGRESS), 0u);
    EXPECT_EQ(0u, second.Count(WIM_MSG_PROGRESS));
    EXPECT_EQ(first.Count(WIM_MSG_PROCESS), second.Count(WIM_MSG_PROCESS));
    EXPECT_GT(second.Count(WIM_MSG_PROCESS), 0u);
}

// Abort is the answer to PROCESS; the same answer to PROGRESS is not one.
TEST_F(WimApiTest, AbortOnlyFromProcess)
{
    Listener l;
    l.answerProgress = WIM_MSG_ABORT_IMAGE;
    ScopedListener scope(l);
    EXPECT_EQ(0u, Apply(m_wim, kDir + L"\\applied"));
    EXPECT_EQ(L"", Compare(m_tree, kDir + L"\\applied", false));
    // Answered abort to every PROGRESS it heard, and there were some.
    EXPECT_GT(l.Count(WIM_MSG_PROGRESS), 0u) << "apply";
    l.messages.clear();
    EXPECT_EQ(0u, Capture(m_tree, kDir + L"\\captured.wim"));
    EXPECT_GT(l.Count(WIM_MSG_PROGRESS), 0u) << "capture";
    EXPECT_EQ(0u, Apply(kDir + L"\\captured.wim", kDir + L"\\reapplied"));
    EXPECT_EQ(L"", Compare(m_tree, kDir + L"\\reapplied", false)) << "capture left files out";
}

// Unregistering a function removes one of its registrations; with no
// function, every callback of that handle goes.
TEST_F(WimApiTest, UnregisterRemovesOneRegistration)
{
    Listener l;
    struct Case {
        const char* what;
        int registrations;
        int unregisterOnce; // by function
        bool unregisterAll; // with no function
        size_t heard;       // registrations left
    } cases[] = {{"twice, once removed", 2, 1, false, 1},
                 {"twice, twice removed", 2, 2, false, 0},
                 {"three times, all removed", 3, 0, true, 0}};
    for (const Case& c : cases) {
        l.messages.clear();
        for (int i = 0; i < c.registrations; ++i)
            ASSERT_NE(INVALID_CALLBACK_VALUE, WIMRegisterMessageCallback(nullptr, AsProc(&Listener::Callback), &l));
        for (int i = 0; i < c.unregisterOnce; ++i)
            EXPECT_TRUE(WIMUnregisterMessageCallback(nullptr, AsProc(&Listener::Callback)));
        if (c.unregisterAll) {
            EXPECT_TRUE(WIMUnregisterMessageCallback(nullptr, nullptr));
        }
        DeleteTree(kDir + L"\\u");
        ASSERT_EQ(0u, Apply(m_wim, kDir + L"\\u"));
        EXPECT_EQ(c.heard * kEntries, l.Count(WIM_MSG_PROCESS)) << c.what;
        WIMUnregisterMessageCallback(nullptr, nullptr);
    }
}

// The temporary path must be an existing folder.
TEST_F(WimApiTest, TemporaryPathMustExist)
{
    WriteFileBytes(kDir + L"\\file", "x");
    struct Case {
        std::wstring path;
        BOOL ok;
        DWORD error;
    } cases[] = {{kDir, TRUE, ERROR_SUCCESS},
                 {kDir + L"\\", TRUE, ERROR_SUCCESS},
                 {kDir + L"\\missing", FALSE, ERROR_PATH_NOT_FOUND},
                 {kDir + L"\\file", FALSE, ERROR_DIRECTORY}};
    HANDLE h = WIMCreateFile(m_wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    ASSERT_NE(nullptr, h);
    for (const Case& c : cases) {
        SetLastError(kUnlikely);
        EXPECT_EQ(c.ok, WIMSetTemporaryPath(h, c.path.c_str())) << std::string(c.path.begin(), c.path.end());
        EXPECT_EQ(c.error, GetLastError()) << std::string(c.path.begin(), c.path.end());
    }
    WIMCloseHandle(h);
}

// FILEINFO comes for every file restored, hard links included.
TEST_F(WimApiTest, FileInfoForHardLinks)
{
    Listener l;
    ScopedListener scope(l);
    const std::wstring target = kDir + L"\\info";
    ASSERT_EQ(0u, Apply(m_wim, target, WIM_FLAG_FILEINFO));
    EXPECT_TRUE(SameFile(target + L"\\random.bin", target + L"\\docs\\hardlink to random.bin"));
    EXPECT_EQ(10u, l.Count(WIM_MSG_FILEINFO)) << "one per file of the tree";
}

// WIM_INFO.WimPath is the full path, whatever form the caller gave.
TEST_F(WimApiTest, WimPathIsFull)
{
    ASSERT_TRUE(CopyFileW(m_wim.c_str(), (kDir + L"\\copy.wim").c_str(), FALSE));
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(kDir.c_str()));
    const wchar_t* forms[] = {L"copy.wim", L".\\copy.wim", L"..\\api\\copy.wim"};
    for (const wchar_t* form : forms) {
        HANDLE h = WIMCreateFile(form, WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
        ASSERT_NE(nullptr, h);
        WIM_INFO info = {};
        ASSERT_TRUE(WIMGetAttributes(h, &info, sizeof(info)));
        EXPECT_STREQ((kDir + L"\\copy.wim").c_str(), info.WimPath);
        WIMCloseHandle(h);
    }
    SetCurrentDirectoryW(saved);
}

// Every new file gets a GUID of its own, random (version 4), which it keeps.
TEST_F(WimApiTest, NewFileGuidIsRandomAndKept)
{
    GUID made[2] = {};
    for (int i = 0; i < 2; ++i) {
        std::wstring path = kDir + L"\\guid" + std::to_wstring(i) + L".wim";
        HANDLE h = WIMCreateFile(path.c_str(), WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, 0, WIM_COMPRESS_XPRESS, nullptr);
        ASSERT_NE(nullptr, h) << GetLastError();
        WIM_INFO info = {};
        ASSERT_TRUE(WIMGetAttributes(h, &info, sizeof(info)));
        ASSERT_TRUE(WIMCloseHandle(h));
        made[i] = info.Guid;
        EXPECT_EQ(0x4000, made[i].Data3 & 0xF000) << "version";
        EXPECT_EQ(0x80, made[i].Data4[0] & 0xC0) << "variant";

        h = WIMCreateFile(path.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
        ASSERT_NE(nullptr, h) << GetLastError();
        WIM_INFO reopened = {};
        ASSERT_TRUE(WIMGetAttributes(h, &reopened, sizeof(reopened)));
        WIMCloseHandle(h);
        EXPECT_TRUE(IsEqualGUID(made[i], reopened.Guid)) << "kept in the file";
    }
    EXPECT_FALSE(IsEqualGUID(made[0], made[1]));
}

// Unmount checks the file and index it is given against the mount; a
// read-only mount cannot be committed; a folder that holds files cannot
// become a mount.
TEST_F(WimApiTest, MountAndUnmountChecks)
{
    const std::wstring wim = kDir + L"\\m.wim", other = kDir + L"\\other.wim";
    const std::wstring mnt = kDir + L"\\mnt\\";
    ASSERT_EQ(0u, Capture(m_tree + L"\\docs", wim));
    ASSERT_TRUE(CopyFileW(wim.c_str(), other.c_str(), FALSE));
    CreateDirectoryW(mnt.c_str(), nullptr);

    // Read-write (a temporary folder given).
    ASSERT_TRUE(WIMMountImage(mnt.c_str(), wim.c_str(), 1, kDir.c_str())) << GetLastError();
    struct Case {
        const char* what;
        std::wstring wim;
        DWORD index;
    } wrong[] = {{"another file", other, 1}, {"another index", wim, 2}};
    for (const Case& c : wrong) {
        SetLastError(kUnlikely);
        EXPECT_FALSE(WIMUnmountImage(mnt.c_str(), c.wim.c_str(), c.index, FALSE)) << c.what;
        EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError()) << c.what;
        EXPECT_TRUE(Exists(mnt + L"numbers.txt")) << c.what << ": unmounted anyway";
    }
    // The file system ignores case, and so does the mount table.
    EXPECT_TRUE(WIMUnmountImage(Upper(mnt).c_str(), Upper(wim).c_str(), 1, FALSE));

    // Read-only (no temporary folder): a commit fails and keeps the mount.
    ASSERT_TRUE(WIMMountImage(mnt.c_str(), wim.c_str(), 1, nullptr)) << GetLastError();
    SetLastError(kUnlikely);
    EXPECT_FALSE(WIMUnmountImage(mnt.c_str(), wim.c_str(), 1, TRUE));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(WIMUnmountImage(mnt.c_str(), wim.c_str(), 1, FALSE));

    // A folder with something in it.
    WriteFileBytes(mnt + L"mine.txt", "the caller's");
    SetLastError(kUnlikely);
    EXPECT_FALSE(WIMMountImage(mnt.c_str(), wim.c_str(), 1, kDir.c_str()));
    EXPECT_EQ((DWORD)ERROR_DIR_NOT_EMPTY, GetLastError());
    EXPECT_EQ("the caller's", ReadFileBytes(mnt + L"mine.txt"));
}
