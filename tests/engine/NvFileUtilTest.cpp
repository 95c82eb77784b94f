// File and folder utilities on the test drives F: and G:.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "EngineTestHelpers.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "TestFiles.h"

using namespace TestFiles;
using EngineTest::Narrow;

namespace {

void MakeDir(const std::wstring& path)
{
    CreateDirectoryW(path.c_str(), nullptr);
}

void MakeFile(const std::wstring& path, size_t cb, DWORD dwAttributes = 0)
{
    WriteBytes(path, std::string(cb, 'x'));
    if (dwAttributes != 0)
        SetFileAttributesW(path.c_str(), dwAttributes);
}

// src\a.txt (5), src\ro.txt (7, read-only), src\sub\h.txt (11, hidden),
// src\sub\deep\d.bin (70000), src\skip\s.txt (3).
void MakeSourceTree(const std::wstring& src)
{
    MakeDir(src);
    MakeFile(src + L"\\a.txt", 5);
    MakeFile(src + L"\\ro.txt", 7, FILE_ATTRIBUTE_READONLY);
    MakeDir(src + L"\\sub");
    MakeFile(src + L"\\sub\\h.txt", 11, FILE_ATTRIBUTE_HIDDEN);
    MakeDir(src + L"\\sub\\deep");
    MakeFile(src + L"\\sub\\deep\\d.bin", 70000);
    MakeDir(src + L"\\skip");
    MakeFile(src + L"\\skip\\s.txt", 3);
}
const ULONGLONG kSourceTreeBytes = 5 + 7 + 11 + 70000 + 3;

// Listing order is the file system's: find which file a walk meets last.
std::vector<std::wstring> ListingOrder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0)
            names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

class NvFileUtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ClearDrive(L'F')) << "drive F: not mapped";
        ASSERT_TRUE(ClearDrive(L'G')) << "drive G: not mapped";
    }
};

TEST_F(NvFileUtilTest, ExistenceTests)
{
    MakeDir(L"F:\\dir");
    MakeFile(L"F:\\file.txt", 1);
    // The rig never maps Z: (the host's root); other letters come and go
    // with the tests running beside this one.
    const wchar_t wszUnmapped[] = L"Z:\\";
    struct {
        const wchar_t* path;
        BOOL isDir;
        BOOL isFile;
    } cases[] = {
        {L"F:\\", TRUE, FALSE},
        {L"f:\\", TRUE, FALSE},
        {L"\\\\?\\F:\\", TRUE, FALSE},
        {L"F:\\dir", TRUE, FALSE},
        {L"F:\\dir\\", TRUE, FALSE},
        {L"F:\\file.txt", FALSE, TRUE},
        {L"F:\\missing", FALSE, FALSE},
        {L"F:\\missing\\", FALSE, FALSE},
        {wszUnmapped, FALSE, FALSE},
        {L"", FALSE, FALSE},
        {nullptr, FALSE, FALSE},
    };
    for (const auto& c : cases) {
        std::string name = c.path ? Narrow(c.path) : "(null)";
        EXPECT_EQ(c.isDir, NvDirectoryExists(c.path)) << "NvDirectoryExists " << name;
        EXPECT_EQ(c.isFile, NvFileExists(c.path)) << "NvFileExists " << name;
    }
}

TEST_F(NvFileUtilTest, FileSize)
{
    MakeFile(L"F:\\empty", 0);
    MakeFile(L"F:\\five", 5);
    MakeFile(L"F:\\big", 70000, FILE_ATTRIBUTE_READONLY);
    MakeDir(L"F:\\dir");
    struct {
        const wchar_t* path;
        HRESULT hr;
        ULONGLONG size;
    } cases[] = {
        {L"F:\\empty", S_OK, 0},
        {L"F:\\five", S_OK, 5},
        {L"F:\\big", S_OK, 70000},
        {L"F:\\missing", NV_E_FILE_IO, 0},
        {L"", NV_E_PATH_ARG, 0},
        {nullptr, NV_E_PATH_ARG, 0},
    };
    for (const auto& c : cases) {
        ULONGLONG size = 12345;
        EXPECT_EQ(c.hr, FindFileSizeInByte(c.path, &size)) << (c.path ? Narrow(c.path) : "(null)");
        EXPECT_EQ(c.size, size) << (c.path ? Narrow(c.path) : "(null)");
    }
    EXPECT_EQ(S_OK, FindFileSizeInByte(L"F:\\five", nullptr)) << "no out value";
}

TEST_F(NvFileUtilTest, FormatPathCutsInsteadOfEndingTheProcess)
{
    wchar_t wszBuf[MAX_PATH];
    std::wstring fits(MAX_PATH - 1 - 3, L'a');
    EXPECT_EQ(MAX_PATH - 1, FormatPath(wszBuf, L"F:\\%s", fits.c_str())) << "259 characters fit";
    EXPECT_EQ(L"F:\\" + fits, wszBuf);

    std::wstring tooLong(400, L'b');
    EXPECT_EQ(-1, FormatPath(wszBuf, L"F:\\%s", tooLong.c_str())) << "400 characters";
    EXPECT_EQ(static_cast<size_t>(MAX_PATH - 1), wcslen(wszBuf)) << "cut and terminated";
    EXPECT_EQ(-1, FormatPath(wszBuf, L"%s%s", fits.c_str(), L"xyzw")) << "260 characters";
}

TEST_F(NvFileUtilTest, CreateDirectoryPath)
{
    MakeFile(L"F:\\blocker", 1);
    struct {
        const wchar_t* path;
        HRESULT hr;
        const wchar_t* mustExist;
        const wchar_t* mustNotExist;
    } cases[] = {
        {L"F:\\a\\b", S_OK, L"F:\\a", L"F:\\a\\b"},
        {L"F:\\c\\d\\", S_OK, L"F:\\c\\d", nullptr},
        {L"\\\\?\\F:\\e\\f\\", S_OK, L"F:\\e\\f", nullptr},
        // A level that cannot be made must read as a failure to callers
        // that test the sign only.
        {L"F:\\blocker\\x\\", NV_E_CREATE_DIR, nullptr, L"F:\\blocker\\x"},
        {L"", NV_E_PATH_ARG, nullptr, nullptr},
        {nullptr, NV_E_PATH_ARG, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::string name = c.path ? Narrow(c.path) : "(null)";
        HRESULT hr = NvCreateDirectoryPath(c.path, 0);
        EXPECT_EQ(c.hr, hr) << name;
        if (FAILED(c.hr)) {
            EXPECT_LT(hr, 0) << name << ": a failure is negative";
        }
        if (c.mustExist) {
            EXPECT_TRUE(NvDirectoryExists(c.mustExist)) << name;
        }
        if (c.mustNotExist) {
            EXPECT_FALSE(NvDirectoryExists(c.mustNotExist)) << name;
        }
    }

    EXPECT_EQ(S_OK, NvCreateDirectoryPath(L"F:\\h1\\h2\\", FILE_ATTRIBUTE_HIDDEN));
    for (const wchar_t* level : {L"F:\\h1", L"F:\\h1\\h2"})
        EXPECT_NE(0u, GetFileAttributesW(level) & FILE_ATTRIBUTE_HIDDEN) << Narrow(level) << " hidden";
}

TEST_F(NvFileUtilTest, CreateDirectoryW)
{
    MakeFile(L"F:\\blocker", 1);
    struct {
        const wchar_t* path;
        HRESULT hr;
        const wchar_t* mustExist;
    } cases[] = {
        {L"F:\\a\\b\\c", S_OK, L"F:\\a\\b\\c"},
        {L"F:\\a\\b\\c", S_OK, L"F:\\a\\b\\c"},
        {L"F:\\\\d\\\\e\\", S_OK, L"F:\\d\\e"},
        {L"F:\\blocker\\x", NV_E_CREATE_DIR_LEVEL, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.hr, NvCreateDirectoryW(c.path)) << Narrow(c.path);
        if (c.mustExist) {
            EXPECT_TRUE(NvDirectoryExists(c.mustExist)) << Narrow(c.path);
        }
    }
}

TEST_F(NvFileUtilTest, DeleteDirectory)
{
    EXPECT_EQ(1, NvDeleteDirectory(L"F:\\missing")) << "missing path";
    EXPECT_EQ(1, NvDeleteDirectory(L"")) << "empty path";
    EXPECT_EQ(1, NvDeleteDirectory(nullptr)) << "null path";

    MakeSourceTree(L"F:\\tree");
    MakeFile(L"F:\\tree\\sub\\sys.dat", 2, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(S_OK, NvDeleteDirectory(L"F:\\tree")) << "tree with read-only, hidden and system files";
    EXPECT_FALSE(Exists(L"F:\\tree"));

    MakeSourceTree(L"F:\\tree2");
    EXPECT_EQ(S_OK, NvDeleteDirectory(L"F:\\tree2\\")) << "trailing backslash";
    EXPECT_FALSE(Exists(L"F:\\tree2"));
}

// A link inside the tree (a junction on a Windows partition) is removed as a
// link; what it points to must survive.
TEST_F(NvFileUtilTest, WalksDoNotFollowFolderLinks)
{
    MakeDir(L"G:\\outside");
    MakeFile(L"G:\\outside\\keep.txt", 100);
    MakeSourceTree(L"F:\\tree");
    if (!EngineTest::MakeFolderLink(L"F:\\tree\\sub\\link", L"G:\\outside")) {
        EngineTest::RemoveFolderLink(L"F:\\tree\\sub\\link");
        GTEST_SKIP() << "cannot make a folder link here";
    }

    ULONGLONG ullTotal = 0;
#ifndef RV_DISCORA
    EXPECT_EQ(S_OK, NvGetDirTotalBytes(L"F:\\tree", &ullTotal));
    EXPECT_EQ(kSourceTreeBytes, ullTotal) << "NvGetDirTotalBytes counts the link's target";
    ullTotal = 0;
#endif
    EXPECT_EQ(S_OK, NvFindFolderSizeInByte(L"F:\\tree", &ullTotal, TRUE));
    EXPECT_EQ(kSourceTreeBytes, ullTotal) << "NvFindFolderSizeInByte counts the link's target";

    EXPECT_EQ(S_OK, NvCopyDir(L"F:\\tree", L"G:\\copy", TRUE));
    EXPECT_FALSE(Exists(L"G:\\copy\\sub\\link")) << "the copy follows the link";
    EXPECT_TRUE(Exists(L"G:\\copy\\sub\\deep\\d.bin"));

    // Windows removes the link itself; Wine cannot remove a host link and
    // reports the failed delete. Either way the target must stay.
    HRESULT hr = NvDeleteDirectory(L"F:\\tree");
    EXPECT_TRUE(hr == S_OK || hr == NV_E_DELETE_FILE) << std::hex << hr;
    EXPECT_FALSE(Exists(L"F:\\tree\\sub\\deep")) << "the rest of the tree is deleted";
    EXPECT_TRUE(Exists(L"G:\\outside\\keep.txt")) << "delete went through the link";
    if (Exists(L"F:\\tree\\sub\\link")) {
        EXPECT_TRUE(EngineTest::RemoveFolderLink(L"F:\\tree\\sub\\link"));
    }
}

TEST_F(NvFileUtilTest, CopyDir)
{
    MakeSourceTree(L"F:\\src");
    EXPECT_EQ(S_OK, NvCopyDir(L"F:\\src", L"G:\\", TRUE)) << "into a root";
    EXPECT_EQ(L"", CompareTrees(L"F:\\src", L"G:\\"));

    ClearDrive(L'G');
    MakeDir(L"G:\\x");
    EXPECT_EQ(S_OK, NvCopyDir(L"F:\\src\\", L"G:\\x\\y", TRUE)) << "into a new last level";
    EXPECT_EQ(L"", CompareTrees(L"F:\\src", L"G:\\x\\y"));
    EXPECT_EQ(S_OK, NvCopyDir(L"F:\\src", L"G:\\x\\y", TRUE)) << "again, replacing";

    EXPECT_EQ(NV_E_CREATE_DIR, NvCopyDir(L"F:\\src", L"G:\\missing\\y", TRUE)) << "parent missing";
    EXPECT_FALSE(Exists(L"G:\\missing"));
    EXPECT_EQ(NV_E_NOT_FOUND, NvCopyDir(L"F:\\nosrc", L"G:\\z", TRUE)) << "source missing";
}

TEST_F(NvFileUtilTest, CopyDirStopFlag)
{
    MakeSourceTree(L"F:\\src");
    MakeDir(L"G:\\dst");
    // A folder in the file's place cannot be replaced.
    MakeDir(L"G:\\dst\\a.txt");
    struct {
        BOOL stop;
        HRESULT hr;
    } cases[] = {{TRUE, NV_E_COPY_FILE}, {FALSE, S_OK}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.hr, NvCopyDir(L"F:\\src", L"G:\\dst", c.stop)) << "stop flag " << c.stop;
    }
    EXPECT_TRUE(Exists(L"G:\\dst\\sub\\deep\\d.bin")) << "without the stop flag the rest is copied";
}

// Appending the backslash to a 259-character destination used to write
// past the 260-character buffer.
TEST_F(NvFileUtilTest, CopyDirLongDestination)
{
    MakeSourceTree(L"F:\\src");
    std::wstring dst = L"G:\\" + std::wstring(MAX_PATH - 1 - 3, L'd');
    EXPECT_EQ(NV_E_BUFFER_TOO_SMALL, NvCopyDir(L"F:\\src", dst.c_str(), TRUE));
#ifndef RV_DISCORA
    EXPECT_EQ(NV_E_BUFFER_TOO_SMALL, NvCopyDirWithExclusion(L"F:\\src", dst.c_str(), {}, TRUE));
#endif
}

TEST_F(NvFileUtilTest, FolderSize)
{
    MakeSourceTree(L"F:\\src");
    MakeDir(L"F:\\empty");
    struct {
        const wchar_t* path;
        HRESULT hr;
        ULONGLONG size;
    } cases[] = {
        {L"F:\\src", S_OK, kSourceTreeBytes},
        {L"F:\\src\\", S_OK, kSourceTreeBytes},
        {L"F:\\empty", S_OK, 0},
        {L"F:\\missing", NV_E_FILE_NOT_EXIST, 0},
        {L"F:\\src\\a.txt", NV_E_FILE_NOT_EXIST, 0},
    };
    for (const auto& c : cases) {
        ULONGLONG size = 999;
        EXPECT_EQ(c.hr, NvFindFolderSizeInByte(c.path, &size, TRUE)) << Narrow(c.path);
        EXPECT_EQ(c.size, size) << Narrow(c.path);
    }
}

// Without the stop flag the walk's result is the last entry's.
TEST_F(NvFileUtilTest, FolderSizeStopFlag)
{
    MakeDir(L"F:\\s");
    for (const wchar_t* name : {L"one", L"two", L"three"})
        MakeFile(std::wstring(L"F:\\s\\") + name, 10);
    std::vector<std::wstring> order = ListingOrder(L"F:\\s");
    ASSERT_EQ(3u, order.size());

    struct {
        const char* name;
        size_t lockedIndex;
        BOOL stop;
        HRESULT hr;
        ULONGLONG size;
    } cases[] = {
        {"last fails, go on", 2, FALSE, NV_E_FILE_IO, 20},
        {"first fails, go on", 0, FALSE, S_OK, 20},
        {"first fails, stop", 0, TRUE, NV_E_FILE_IO, 0},
    };
    for (const auto& c : cases) {
        std::wstring locked = L"F:\\s\\" + order[c.lockedIndex];
        HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << c.name;
        ULONGLONG size = 0;
        EXPECT_EQ(c.hr, NvFindFolderSizeInByte(L"F:\\s", &size, c.stop)) << c.name;
        EXPECT_EQ(c.size, size) << c.name;
        CloseHandle(h);
    }
}

#ifndef RV_DISCORA

std::vector<ULONGLONG> g_vecDoneSizes;
void RecordDone(ULONGLONG ullSize)
{
    g_vecDoneSizes.push_back(ullSize);
}

TEST_F(NvFileUtilTest, CopyDirWithProgress)
{
    MakeSourceTree(L"F:\\src");
    g_vecDoneSizes.clear();
    EXPECT_EQ(S_OK, NvCopyDir(L"F:\\src", L"G:\\dst", nullptr, RecordDone));
    EXPECT_EQ(L"", CompareTrees(L"F:\\src", L"G:\\dst"));
    std::vector<ULONGLONG> sizes = g_vecDoneSizes;
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<ULONGLONG>{3, 5, 7, 11, 70000}), sizes) << "one call per file with its size";

    MakeDir(L"G:\\ro");
    MakeDir(L"G:\\ro\\a.txt");
    EXPECT_EQ(NV_E_COPY_FILE, NvCopyDir(L"F:\\src", L"G:\\ro", nullptr, RecordDone)) << "any failed copy ends it";
}

TEST_F(NvFileUtilTest, CopyDirWithExclusion)
{
    MakeSourceTree(L"F:\\src");
    struct {
        const char* name;
        std::vector<std::wstring> exclusions;
        bool skipCopied;
    } cases[] = {
        {"exact with backslash", {L"F:\\src\\skip\\"}, false},
        {"exact without backslash", {L"F:\\other", L"F:\\src\\skip"}, false},
        {"other case", {L"f:\\src\\skip"}, true},
        {"none", {}, true},
    };
    for (const auto& c : cases) {
        ClearDrive(L'G');
        EXPECT_EQ(S_OK, NvCopyDirWithExclusion(L"F:\\src", L"G:\\dst", c.exclusions, TRUE)) << c.name;
        EXPECT_EQ(c.skipCopied, Exists(L"G:\\dst\\skip\\s.txt")) << c.name;
        EXPECT_TRUE(Exists(L"G:\\dst\\sub\\deep\\d.bin")) << c.name;
    }
    ClearDrive(L'G');
    EXPECT_EQ(S_OK, NvCopyDirWithExclusion(L"F:\\src", L"G:\\dst", {L"F:\\src"}, TRUE)) << "source excluded";
    EXPECT_FALSE(Exists(L"G:\\dst"));
}

TEST_F(NvFileUtilTest, DirTotalBytes)
{
    MakeSourceTree(L"F:\\src");
    MakeDir(L"F:\\empty");
    struct {
        const wchar_t* path;
        HRESULT hr;
        ULONGLONG size;
    } cases[] = {
        {L"F:\\src", S_OK, kSourceTreeBytes},
        {L"F:\\src\\sub\\", S_OK, 70011},
        {L"F:\\empty", S_OK, 0},
        {L"F:\\missing", NV_E_NOT_FOUND, 777},
        {L"", NV_E_INVALID_ARG, 777},
    };
    for (const auto& c : cases) {
        ULONGLONG size = 777;
        EXPECT_EQ(c.hr, NvGetDirTotalBytes(c.path, &size)) << Narrow(c.path);
        EXPECT_EQ(c.size, size) << Narrow(c.path);
    }
    EXPECT_EQ(NV_E_INVALID_ARG, NvGetDirTotalBytes(L"F:\\src", nullptr)) << "no out value";
}

#endif // RV_DISCORA

} // namespace
