// The file-backup manager on a simulated user partition (V:) and USB drive
// (W:): type selection, the scan, backup into numbered parts with lowered
// size rules, and what the backup leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CFileBackupMgr.h"
#include "EngineTestHelpers.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "TestFiles.h"
#include "Wimsplice.h"
#include "wimgapi.h"

using namespace TestFiles;

namespace {

const wchar_t kHome = L'V';
const wchar_t kUsb = L'W';
const DWORD kWaitMs = 120000;

// Records the reports and lets the test wait for the end of an operation.
class CRecordingNotifier : public CFileBackupNotifier {
public:
    CRecordingNotifier() : m_hDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CRecordingNotifier() override { CloseHandle(m_hDone); }
    BOOL OnScanFile(LPCWSTR path) override
    {
        m_scanned.push_back(path);
        return TRUE;
    }
    BOOL OnScanDone() override
    {
        m_nScanDone++;
        if (m_pOnScanDone)
            m_pOnScanDone();
        else
            SetEvent(m_hDone);
        return TRUE;
    }
    BOOL OnBackupProgress(LPCWSTR, UINT percent) override
    {
        m_nProgress++;
        m_lastPercent = percent;
        if (m_pMgrToCancel && m_nProgress == m_nCancelAt)
            m_pMgrToCancel->Cancel();
        return TRUE;
    }
    BOOL OnBackupDone(HRESULT hr) override
    {
        m_hrDone = hr;
        m_nBackupDone++;
        SetEvent(m_hDone);
        return TRUE;
    }
    BOOL OnRestoreProgress(LPCWSTR text, int percent) override
    {
        if (text && percent == -1)
            m_restored.push_back(text);
        return TRUE;
    }
    BOOL OnRestoreDone(BOOL completed) override
    {
        m_bRestoreCompleted = completed;
        SetEvent(m_hDone);
        return TRUE;
    }
    BOOL OnBackupFileSkipped(LPCWSTR path, DWORD err) override
    {
        m_skipped.push_back(path);
        m_skippedErrors.push_back(err);
        return TRUE;
    }
    bool Wait() { return WaitForSingleObject(m_hDone, kWaitMs) == WAIT_OBJECT_0; }

    HANDLE m_hDone;
    std::vector<std::wstring> m_scanned;
    std::vector<std::wstring> m_skipped;
    std::vector<DWORD> m_skippedErrors;
    std::vector<std::wstring> m_restored;
    BOOL m_bRestoreCompleted = -1;
    std::atomic<int> m_nScanDone {0};
    std::atomic<int> m_nBackupDone {0};
    int m_nProgress = 0;
    UINT m_lastPercent = 0;
    HRESULT m_hrDone = E_PENDING;
    CFileBackupMgr* m_pMgrToCancel = nullptr;
    int m_nCancelAt = 0;
    void (*m_pOnScanDone)() = nullptr;
};

// Writes a file, making its folders first.
bool Put(const std::wstring& path, const std::string& bytes)
{
    NvCreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str());
    return WriteBytes(path, bytes);
}

std::string Bytes(size_t n, char seed)
{
    // Noise, so that the image of a big file stays big after compression.
    std::string s(n, '\0');
    unsigned state = 2166136261u ^ unsigned(seed);
    for (size_t i = 0; i < n; i++) {
        state = state * 1664525u + 1013904223u;
        s[i] = char(state >> 24);
    }
    return s;
}

struct FixtureFile {
    const wchar_t* path;
    size_t size;
    bool picture; // selected by the pictures mask
    bool music;
};

// Every kind the selection must tell apart: upper case, no extension, other
// types, a hidden folder and a deep path.
const FixtureFile kTree[] = {
    {L"V:\\Users\\Ann\\Pictures\\beach.jpg", 2500, true, false},
    {L"V:\\Users\\Ann\\Pictures\\SCAN.JPG", 1800, true, false},
    {L"V:\\Users\\Ann\\Pictures\\drawing.Svgz", 900, true, false},
    {L"V:\\Users\\Ann\\Music\\song.mp3", 2200, false, true},
    {L"V:\\Users\\Ann\\Music\\list.M3U", 120, false, true},
    {L"V:\\Users\\Ann\\Documents\\letter.docx", 1500, false, false},
    {L"V:\\Users\\Ann\\README", 300, false, false},
    {L"V:\\Users\\Ann\\install.log", 400, false, false},
    {L"V:\\Hidden Stuff\\secret.png", 700, true, false},
    {L"V:\\Users\\Ann\\a\\very\\deep\\folder\\chain\\of\\levels\\that\\goes\\on\\photo.gif", 1100, true, false},
    {L"V:\\Users\\Ann\\Videos\\big.bmp", 30000, true, false},
};

class FileBackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ClearDrive(kHome));
        ASSERT_TRUE(ClearDrive(kUsb));
    }

    void WriteTree()
    {
        for (const FixtureFile& f : kTree)
            ASSERT_TRUE(Put(f.path, Bytes(f.size, char(f.size)))) << f.path;
        SetFileAttributesW(L"V:\\Hidden Stuff", FILE_ATTRIBUTE_HIDDEN);
    }

    static std::set<std::wstring> Expected(bool (*pick)(const FixtureFile&))
    {
        std::set<std::wstring> s;
        for (const FixtureFile& f : kTree)
            if (pick(f))
                s.insert(f.path);
        return s;
    }
};

// Which extensions each mask selects; a restore also marks the rest excluded.
TEST_F(FileBackupTest, MasksSelectTheirTables)
{
    struct Case {
        UINT mask;
        bool restore;
        const wchar_t* ext;
        int verdict;
    } cases[] = {
        {kTypePictures, false, L".jpg", 1},
        {kTypePictures, false, L".mp3", 0},
        {kTypePictures, true, L".mp3", -1},
        {kTypePictures, true, L".log", 0},
        {kTypeMusic | kTypeEmail, false, L".mbx", 1},
        {kTypeMusic | kTypeEmail, true, L".dvr-ms", -1},
        {kTypeRecordedTV, false, L".dvr-ms", 1},
        {kTypeDocuments, false, L".accdr", 1},
        {kTypeDocuments, true, L".kar", 1},
        {kTypeVideo, false, L".divx", 1},
        {0, false, L".jpg", 0},
        {0, true, L".jpg", -1},
        {63, false, L"", 0},
    };
    CFileBackupMgr mgr(kHome);
    for (const Case& c : cases) {
        if (c.restore)
            mgr.SetRestoreFileTypes(c.mask);
        else
            mgr.SetBackupFileTypes(c.mask);
        EXPECT_EQ(c.verdict, mgr.Verdict(c.ext)) << "mask " << c.mask << " restore " << c.restore << " "
                                                 << std::string(c.ext, c.ext + wcslen(c.ext));
    }
}

// The walk takes hidden and deep folders, lower-cases extensions, ignores
// files without one, and neither loops through a link back up the tree nor
// counts the files behind a link twice.
TEST_F(FileBackupTest, ScanFindsSelectedFilesOnceThroughLinks)
{
    WriteTree();
    ASSERT_TRUE(Put(L"W:\\outside\\elsewhere.jpg", "x"));
    bool bLoop = EngineTest::MakeFolderLink(L"V:\\Users\\Ann\\loop", L"V:\\Users");
    bool bAcross = EngineTest::MakeFolderLink(L"V:\\Users\\Ann\\Pictures\\again", L"V:\\Users\\Ann\\Pictures");
    bool bOut = EngineTest::MakeFolderLink(L"V:\\Users\\Ann\\out", L"W:\\outside");
    CFileBackupMgr mgr(kHome);
    mgr.SetBackupFileTypes(kTypePictures | kTypeMusic);
    CRecordingNotifier notifier;
    ASSERT_EQ(S_OK, mgr.StartScan(&notifier));
    ASSERT_TRUE(notifier.Wait()) << "the scan does not end";
    EXPECT_EQ(1, notifier.m_nScanDone.load());
    std::set<std::wstring> expected = Expected([](const FixtureFile& f) { return f.picture || f.music; });
    std::vector<std::wstring> found(mgr.ScannedFiles().begin(), mgr.ScannedFiles().end());
    EXPECT_EQ(expected.size(), found.size()) << "a file counted twice or missed";
    EXPECT_EQ(expected, std::set<std::wstring>(found.begin(), found.end()));
    EXPECT_EQ(found, notifier.m_scanned);
    ULONGLONG ullBytes = 0;
    for (const FixtureFile& f : kTree)
        ullBytes += (f.picture || f.music) ? f.size : 0;
    EXPECT_EQ(ullBytes, mgr.m_ullScanBytes);
    EXPECT_EQ(0u, mgr.m_ullLargestFile);
    if (!(bLoop && bAcross && bOut))
        ADD_FAILURE() << "folder links could not be made here";
    for (const wchar_t* link : {L"V:\\Users\\Ann\\loop", L"V:\\Users\\Ann\\Pictures\\again", L"V:\\Users\\Ann\\out"})
        EngineTest::RemoveFolderLink(link);
}

TEST_F(FileBackupTest, EmptySelectionStillEndsTheScan)
{
    WriteTree();
    CFileBackupMgr mgr(kHome);
    mgr.SetBackupFileTypes(0);
    CRecordingNotifier notifier;
    ASSERT_EQ(S_OK, mgr.StartScan(&notifier));
    ASSERT_TRUE(notifier.Wait());
    EXPECT_TRUE(mgr.ScannedFiles().empty());
    EXPECT_EQ(0u, mgr.m_ullScanBytes);
}

// A page that starts the backup from its scan-done report finds the slot free.
CFileBackupMgr* g_pChainMgr = nullptr;
CRecordingNotifier* g_pChainNotifier = nullptr;

TEST_F(FileBackupTest, BackupStartedFromScanDoneRuns)
{
    WriteTree();
    CFileBackupMgr mgr(kHome);
    mgr.SetBackupFileTypes(kTypeMusic);
    mgr.SetDestination(kUsb, FALSE);
    CRecordingNotifier notifier;
    g_pChainMgr = &mgr;
    g_pChainNotifier = &notifier;
    notifier.m_pOnScanDone = [] { g_pChainMgr->StartBackup(g_pChainNotifier); };
    ASSERT_EQ(S_OK, mgr.StartScan(&notifier));
    ASSERT_TRUE(notifier.Wait()) << "the backup never reported: the slot was still taken";
    EXPECT_EQ(S_OK, notifier.m_hrDone);
}

// Files below a folder, by the path they had when backed up ("V:\..."), with bytes.
std::map<std::wstring, std::string> FilesBelow(const std::wstring& dir, const std::wstring& orig)
{
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW fd {};
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            auto sub = FilesBelow(dir + L"\\" + name, orig + L"\\" + name);
            files.insert(sub.begin(), sub.end());
        } else {
            files[orig + L"\\" + name] = ReadBytes(dir + L"\\" + name);
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return files;
}

// Part of the backup's results: which files each part holds, applied back.
class BackupSet {
public:
    explicit BackupSet(const std::wstring& dir) : m_dir(dir) {}

    // Joins split parts, applies every part under V:\applied\<n>\ and
    // returns the files found there, by their original path.
    std::vector<std::pair<std::wstring, std::string>> ApplyAll(int nParts, std::wstring* pError)
    {
        std::vector<std::pair<std::wstring, std::string>> files;
        // A file found in two parts shows twice.
        for (int n = 0; n < nParts; n++) {
            std::wstring wim = m_dir + std::to_wstring(n) + L".wim";
            if (!Exists(wim) && Exists(m_dir + std::to_wstring(n) + L".dat")) {
                HMODULE hLib = LoadLibraryW(L"Wimsplice.dll");
                auto pfnMerge = hLib ? reinterpret_cast<PFN_MergeIntoWIM>(reinterpret_cast<void (*)()>(
                                           GetProcAddress(hLib, "MergeIntoWIM")))
                                     : nullptr;
                if (!pfnMerge || pfnMerge(wim.c_str()) != S_OK)
                    *pError += L"merge of " + wim + L" failed; ";
                m_merged++;
                if (hLib)
                    FreeLibrary(hLib);
            }
            std::wstring target = L"V:\\applied\\" + std::to_wstring(n) + L"\\";
            CreateDirectoryW(L"V:\\applied", nullptr);
            CreateDirectoryW(target.c_str(), nullptr);
            HANDLE hWim = WIMCreateFile(wim.c_str(), GENERIC_READ, OPEN_EXISTING, 0, 0, nullptr);
            HANDLE hImage = hWim ? WIMLoadImage(hWim, 1) : nullptr;
            if (!hImage || !WIMApplyImage(hImage, target.c_str(), 0))
                *pError += L"apply of " + wim + L" failed; ";
            if (hImage)
                WIMCloseHandle(hImage);
            if (hWim)
                WIMCloseHandle(hWim);
            for (const auto& file : FilesBelow(target + L"C", L"V:"))
                files.push_back(file);
        }
        return files;
    }
    int m_merged = 0;

private:
    std::wstring m_dir;
};

std::wstring OnlySetFolder()
{
    WIN32_FIND_DATAW fd {};
    HANDLE h = FindFirstFileW(L"W:\\Backup Files *", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return L"";
    std::wstring dir = std::wstring(L"W:\\") + fd.cFileName + L"\\";
    bool bMore = FindNextFileW(h, &fd) != FALSE;
    FindClose(h);
    return bMore ? L"" : dir;
}

int IndexCount(const std::wstring& dir)
{
    return int(GetPrivateProfileIntW(L"Count", L"WIMCount", -1, (dir + L"Mendora.ini").c_str()));
}

// Scans the home drive for the mask and backs the files up to the USB drive.
void ScanAndBackup(CFileBackupMgr& mgr, UINT mask, const BackupSizes& sizes, CRecordingNotifier& backup)
{
    mgr.Backuper().SetSizes(sizes);
    mgr.SetBackupFileTypes(mask);
    CRecordingNotifier scan;
    ASSERT_EQ(S_OK, mgr.StartScan(&scan));
    ASSERT_TRUE(scan.Wait());
    mgr.SetDestination(kUsb, FALSE);
    ASSERT_EQ(S_OK, mgr.StartBackup(&backup));
    ASSERT_TRUE(backup.Wait());
}

// The whole drive path with small size rules: several parts, a big file in a
// split part of its own, a locked file reported and left out, and the
// folders of the same generic names as ours left alone.
TEST_F(FileBackupTest, DriveBackupHoldsEveryFileButTheLockedOne)
{
    WriteTree();
    ASSERT_TRUE(Put(L"V:\\Users\\Ann\\Pictures\\locked.png", Bytes(600, 3)));
    ASSERT_TRUE(Put(L"V:\\mnt\\mine.txt", "user's own"));
    ASSERT_TRUE(Put(L"V:\\ProgramData\\Backup\\other.txt", "another program's"));
    HANDLE hLock = CreateFileW(L"V:\\Users\\Ann\\Pictures\\locked.png", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    {
        CFileBackupMgr mgr(kHome);
        BackupSizes sizes;
        sizes.ullPartBytes = 4000;
        sizes.ullBigFileBytes = 20000;
        sizes.iSplitPieceMiB = 1;
        CRecordingNotifier backup;
        ScanAndBackup(mgr, kTypePictures, sizes, backup);
        CloseHandle(hLock);
        hLock = INVALID_HANDLE_VALUE;
        EXPECT_EQ(kBackupFilesSkipped, backup.m_hrDone) << "a left-out file must not read as success";
        ASSERT_EQ(1u, backup.m_skipped.size());
        EXPECT_EQ(L"V:\\Users\\Ann\\Pictures\\locked.png", backup.m_skipped[0]);
        EXPECT_EQ(ERROR_SHARING_VIOLATION, backup.m_skippedErrors[0]);
        EXPECT_EQ(100u, backup.m_lastPercent);
        EXPECT_FALSE(Exists(mgr.Backuper().MountRoot())) << "mount root left behind";
        EXPECT_FALSE(Exists(mgr.Backuper().WorkDir())) << "work folder left behind";

        std::wstring dir = OnlySetFolder();
        ASSERT_FALSE(dir.empty());
        int nParts = IndexCount(dir);
        // 7,000 small bytes make two parts whatever the listing order; the
        // first pass may leave one more part empty; the big file comes last.
        EXPECT_TRUE(nParts == 3 || nParts == 4) << nParts;
        std::wstring last = dir + std::to_wstring(nParts - 1);
        EXPECT_TRUE(Exists(last + L".dat")) << "the big file's part is not split";
        EXPECT_TRUE(Exists(last + L".0"));
        EXPECT_FALSE(Exists(last + L".wim"));
        EXPECT_TRUE(Exists(dir + L"0.wim"));
        BackupSet set(dir);
        std::wstring error;
        auto files = set.ApplyAll(nParts, &error);
        EXPECT_EQ(L"", error);
        EXPECT_EQ(1, set.m_merged);
        std::set<std::wstring> expected = Expected([](const FixtureFile& f) { return f.picture; });
        std::set<std::wstring> got;
        for (const auto& file : files) {
            got.insert(file.first);
            for (const FixtureFile& f : kTree)
                if (file.first == f.path) {
                    EXPECT_EQ(Bytes(f.size, char(f.size)), file.second) << f.path;
                }
        }
        EXPECT_EQ(expected, got);
        EXPECT_EQ(expected.size(), files.size());
    }
    EXPECT_EQ("user's own", ReadBytes(L"V:\\mnt\\mine.txt"));
    EXPECT_EQ("another program's", ReadBytes(L"V:\\ProgramData\\Backup\\other.txt"));
}

TEST_F(FileBackupTest, EmptyListWritesAnIndexOfNoParts)
{
    CFileBackupMgr mgr(kHome);
    mgr.SetDestination(kUsb, FALSE);
    CRecordingNotifier backup;
    ASSERT_EQ(S_OK, mgr.StartBackup(&backup));
    ASSERT_TRUE(backup.Wait());
    EXPECT_EQ(1, backup.m_hrDone);
    std::wstring dir = OnlySetFolder();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(0, IndexCount(dir));
}

// A cancel between files drops the set from the drive.
TEST_F(FileBackupTest, CancelRemovesTheSet)
{
    WriteTree();
    CFileBackupMgr mgr(kHome);
    BackupSizes sizes;
    sizes.ullPartBytes = 1000;
    CRecordingNotifier backup;
    backup.m_pMgrToCancel = &mgr;
    backup.m_nCancelAt = 3;
    ScanAndBackup(mgr, kTypePictures, sizes, backup);
    EXPECT_EQ(NV_E_USER_CANCELLED, backup.m_hrDone);
    EXPECT_EQ(L"", OnlySetFolder());
    EXPECT_FALSE(Exists(mgr.Backuper().MountRoot()));
}

// Empty branches go, the path to the one deep file stays.
TEST_F(FileBackupTest, PruneKeepsOnlyPathsToFiles)
{
    ASSERT_TRUE(Put(L"V:\\r\\a\\b\\c\\kept.txt", "k"));
    ASSERT_TRUE(CreateDirectoryW(L"V:\\r\\a\\empty", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"V:\\r\\x", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"V:\\r\\x\\y", nullptr));
    CFileBackupMgr mgr(kHome);
    EXPECT_EQ(1, mgr.PruneFolders(L"V:\\r"));
    EXPECT_TRUE(Exists(L"V:\\r\\a\\b\\c\\kept.txt"));
    EXPECT_FALSE(Exists(L"V:\\r\\a\\empty"));
    EXPECT_FALSE(Exists(L"V:\\r\\x"));
    EXPECT_TRUE(Exists(L"V:\\r"));
}

// Backs up every type, the locked file reported, then restores only the
// pictures: each restored file equals its original, the rest stay out, and
// the split part is joined on the way.
TEST_F(FileBackupTest, RestoreWithAnotherMaskGivesBackExactlyThePictures)
{
    WriteTree();
    ASSERT_TRUE(Put(L"V:\\Users\\Ann\\Pictures\\locked.png", Bytes(600, 3)));
    HANDLE hLock = CreateFileW(L"V:\\Users\\Ann\\Pictures\\locked.png", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    auto mgr = std::make_unique<CFileBackupMgr>(kHome);
    BackupSizes sizes;
    sizes.ullPartBytes = 3000;
    sizes.ullBigFileBytes = 20000;
    sizes.iSplitPieceMiB = 1;
    mgr->Backuper().SetProgramFolder(L"V:\\prog");
    CRecordingNotifier backup;
    ScanAndBackup(*mgr, 63, sizes, backup);
    CloseHandle(hLock);
    EXPECT_EQ(kBackupFilesSkipped, backup.m_hrDone);
    ASSERT_EQ(std::vector<std::wstring> {L"V:\\Users\\Ann\\Pictures\\locked.png"}, backup.m_skipped);
    std::wstring set = OnlySetFolder();
    ASSERT_FALSE(set.empty());

    mgr->SetRestoreFileTypes(kTypePictures);
    mgr->SetRestorePaths(set.substr(0, set.size() - 1), kHome);
    std::vector<UINT> asked;
    mgr->SetAsker([&](UINT id, const std::wstring&) { asked.push_back(id); return IDNO; });
    CRecordingNotifier restore;
    ASSERT_EQ(S_OK, mgr->StartRestore(&restore));
    ASSERT_TRUE(restore.Wait());
    EXPECT_EQ(TRUE, restore.m_bRestoreCompleted);
    EXPECT_TRUE(asked.empty());
    std::wstring target = mgr->RestoreDir();
    ASSERT_EQ(0u, target.find(L"V:\\System Recovery Files\\"));
    auto restored = FilesBelow(target + L"C", L"V:");
    std::map<std::wstring, std::string> expected;
    for (const FixtureFile& f : kTree)
        if (f.picture)
            expected[f.path] = Bytes(f.size, char(f.size));
    EXPECT_EQ(expected.size(), restored.size());
    for (const auto& file : expected) {
        auto it = restored.find(file.first);
        ASSERT_NE(restored.end(), it) << "not restored";
        EXPECT_TRUE(file.second == it->second) << "bytes differ";
    }
    EXPECT_EQ(expected.size(), restore.m_restored.size()) << "each restored picture is reported once";
    EXPECT_FALSE(Exists(target + L"C\\Users\\Ann\\Music")) << "the music folder is not swept";
}

// A damaged index never indexes past the disc table, and a damaged image
// asks, goes on when told to, and leaves no handle open on the file.
TEST_F(FileBackupTest, DamagedSetsAreRefusedAndAsked)
{
    struct Case {
        const char* index;
        bool withBadWim;
        UINT answer;
        std::vector<UINT> asked;
        BOOL completed;
    } cases[] = {
        {"[Count]\r\nWIMCount=1\r\n[0.wim]\r\n0.0=77\r\n", false, IDNO, {253}, FALSE},
        {"[Count]\r\nWIMCount=1\r\n[0.wim]\r\n0.0=-1\r\n", false, IDYES, {253}, TRUE},
        {"[Count]\r\nWIMCount=1\r\n[0.wim]\r\n0.0=99999999999\r\n", false, IDNO, {253}, FALSE},
        {"[Count]\r\nWIMCount=1\r\n[0.wim]\r\n0.0=2\r\n", false, IDNO, {253}, FALSE},
        {"[Count]\r\nWIMCount=1\r\n", true, IDYES, {252}, TRUE},
        {"[Count]\r\nWIMCount=1\r\n", true, IDNO, {252}, FALSE},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ClearDrive(kUsb));
        ASSERT_TRUE(Put(L"W:\\set\\Mendora.ini", c.index));
        if (c.withBadWim)
            ASSERT_TRUE(Put(L"W:\\set\\1.wim", "not an image at all"));
        else
            ASSERT_TRUE(Put(L"W:\\set\\0.dat", "index of pieces"));
        auto mgr = std::make_unique<CFileBackupMgr>(kHome);
        mgr->Backuper().SetProgramFolder(L"V:\\prog");
        mgr->SetRestoreFileTypes(kTypePictures);
        mgr->SetRestorePaths(L"W:\\set", kHome);
        std::vector<UINT> asked;
        mgr->SetAsker([&](UINT id, const std::wstring&) { asked.push_back(id); return int(c.answer); });
        CRecordingNotifier restore;
        ASSERT_EQ(S_OK, mgr->StartRestore(&restore));
        ASSERT_TRUE(restore.Wait());
        EXPECT_EQ(c.asked, asked) << c.index;
        EXPECT_EQ(c.completed, restore.m_bRestoreCompleted) << c.index;
        if (c.withBadWim) {
            EXPECT_TRUE(DeleteFileW(L"W:\\set\\1.wim")) << "the image is still open";
        }
    }
}

} // namespace
