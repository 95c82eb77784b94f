// A file backup onto a set of DVDs and the restore from them, on a desktop PC
// whose partition D: holds the user's files and whose writer E: is fed from
// its queue. Small size rules make the set span three discs, with a split
// image whose pieces lie on two of them.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CDiscBurner.h"
#include "CFileBackupMgr.h"
#include "DiscRig.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "TestFiles.h"

using namespace DiscRig;
using namespace TestFiles;

namespace {

const wchar_t kHome = L'D';
const wchar_t kProgram[] = L"C:\\backup-prog";
const DWORD kWaitMs = 300000;
const size_t kSmall = 200 * 1024;
const size_t kBig = 1536 * 1024;

class CRecorder : public CFileBackupNotifier {
public:
    CRecorder() : m_hDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CRecorder() override { CloseHandle(m_hDone); }
    BOOL OnScanDone() override { return SetEvent(m_hDone); }
    BOOL OnBackupDone(HRESULT hr) override
    {
        m_hrDone = hr;
        return SetEvent(m_hDone);
    }
    BOOL OnBurnProgress(int iPercent, float) override
    {
        m_nBurnEvents++;
        if (m_pCancelOnDisc2 && m_pBurner->m_nBurnDisc == 2 && iPercent > 0)
            m_pCancelOnDisc2->Cancel();
        return TRUE;
    }
    BOOL OnRestoreProgress(LPCWSTR text, int percent) override
    {
        if (text && percent == -1)
            m_restored.insert(text);
        return TRUE;
    }
    BOOL OnRestoreDone(BOOL completed) override
    {
        m_bCompleted = completed;
        return SetEvent(m_hDone);
    }
    bool Wait()
    {
        bool ok = WaitForSingleObject(m_hDone, kWaitMs) == WAIT_OBJECT_0;
        ResetEvent(m_hDone);
        return ok;
    }

    HANDLE m_hDone;
    HRESULT m_hrDone = E_PENDING;
    BOOL m_bCompleted = -1;
    int m_nBurnEvents = 0;
    std::set<std::wstring> m_restored;
    CFileBackupMgr* m_pCancelOnDisc2 = nullptr;
    CDiscBurner* m_pBurner = nullptr;
};

std::string Noise(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    unsigned state = 2166136261u ^ seed;
    for (size_t i = 0; i < n; i++) {
        state = state * 1664525u + 1013904223u;
        s[i] = char(state >> 24);
    }
    return s;
}

bool Put(const std::wstring& path, const std::string& bytes)
{
    NvCreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str());
    return WriteBytes(path, bytes);
}

enum Kind { kPicture, kMusic, kDocument };

struct UserFile {
    const wchar_t* path;
    size_t size;
    Kind kind;
};

// Equal small files make equal parts, whatever order the folder lists them.
const UserFile kUserFiles[] = {
    {L"D:\\Users\\Ann\\Pictures\\beach.jpg", kSmall, kPicture},
    {L"D:\\Users\\Ann\\Pictures\\Trip\\HILL.PNG", kSmall, kPicture},
    {L"D:\\Users\\Ann\\Music\\song.mp3", kSmall, kMusic},
    {L"D:\\Users\\Ann\\Music\\tune.wma", kSmall, kMusic},
    {L"D:\\Users\\Ann\\Documents\\letter.docx", kSmall, kDocument},
    {L"D:\\Users\\Ann\\Documents\\sums.xls", kSmall, kDocument},
    {L"D:\\Users\\Ann\\Videos\\panorama.bmp", kBig, kPicture},
};

class FileBackupDiscTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ClearDrive(kHome));
        for (const UserFile& f : kUserFiles)
            ASSERT_TRUE(Put(f.path, Noise(f.size, unsigned(f.size + f.kind + wcslen(f.path)))));
        ASSERT_TRUE(Put(L"D:\\Users\\Ann\\notes.log", "not of a selected type"));
        ASSERT_TRUE(Put(std::wstring(kProgram) + L"\\Retrova.exe", "restore program"));
        for (const wchar_t* bits : {L"v32", L"v64"})
            ASSERT_TRUE(Put(std::wstring(kProgram) + L"\\wimgapi\\" + bits + L"\\wimgapi.dll", "lib"));
        ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.burnMs = 300; }));
        ASSERT_EQ(S_OK, m_burner.Init());
        m_burner.SetProgramFolder(kProgram);
        m_burner.SetPrompt(&m_user);
        DiscSizes discs;
        discs.ullCapacity = 1400 * 1024;
        discs.ullReserve = 64 * 1024;
        m_burner.SetDiscSizes(discs);
        m_mgr = std::make_unique<CFileBackupMgr>(kHome);
        m_mgr->SetDiscBurner(&m_burner);
        m_mgr->Backuper().SetProgramFolder(kProgram);
        BackupSizes sizes;
        sizes.ullPartBytes = 300 * 1024;
        sizes.ullBigFileBytes = 1024 * 1024;
        sizes.iSplitPieceMiB = 1;
        m_mgr->Backuper().SetSizes(sizes);
    }

    void TearDown() override
    {
        m_mgr.reset();
        m_burner.Uninit();
    }

    // Scans for pictures, music and documents and backs them up to E:.
    HRESULT Backup(CRecorder& recorder)
    {
        m_mgr->SetBackupFileTypes(kTypePictures | kTypeMusic | kTypeDocuments);
        if (m_mgr->StartScan(&recorder) != S_OK || !recorder.Wait())
            return E_ABORT;
        m_mgr->SetDestination(kWriter, TRUE);
        if (m_mgr->StartBackup(&recorder) != S_OK || !recorder.Wait())
            return E_ABORT;
        return recorder.m_hrDone;
    }

    CDiscBurner m_burner;
    CUser m_user {m_burner};
    std::unique_ptr<CFileBackupMgr> m_mgr;
};

std::wstring SetFolderOn(const std::wstring& root)
{
    WIN32_FIND_DATAW fd {};
    HANDLE h = FindFirstFileW((root + L"Backup Files *").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return L"";
    FindClose(h);
    return root + fd.cFileName;
}

std::wstring IniText(const std::wstring& ini, const std::wstring& section, const std::wstring& key)
{
    wchar_t wsz[64] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", wsz, 64, ini.c_str());
    return wsz;
}

// Files below a folder by the path they had when backed up, with bytes.
void FilesBelow(const std::wstring& dir, const std::wstring& orig, std::map<std::wstring, std::string>* files)
{
    WIN32_FIND_DATAW fd {};
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            FilesBelow(dir + L"\\" + name, orig + L"\\" + name, files);
        else
            (*files)[orig + L"\\" + name] = ReadBytes(dir + L"\\" + name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

// Three blank DVDs with a recorded one between the first two; the recorded
// one is refused with a message and pushed out. Then the three discs are
// restored, disc 3 offered first when disc 2 is wanted; only pictures and
// documents come back, each equal to its original.
TEST_F(FileBackupDiscTest, ThreeDiscSetIsBurnedAndRestored)
{
    const DiscSpec blank {DTM_DVDR, kDvdSectors, true};
    ASSERT_FALSE(Load({blank, {DTM_DVDR, kDvdSectors, false}, blank, blank}).empty());
    CRecorder backup;
    ASSERT_EQ(S_OK, Backup(backup));
    EXPECT_EQ(3, m_burner.m_nDiscCount);
    EXPECT_EQ(std::vector<UINT> {kTextDiscUnusable}, m_user.m_refused);
    EXPECT_GT(backup.m_nBurnEvents, 3);
    EXPECT_FALSE(Exists(m_mgr->Backuper().WorkDir())) << "the burned set stays in the work folder";

    std::wstring ids[3];
    for (int i = 0; i < 3; i++) {
        ids[i] = DiscLabelled(L"File Backup " + std::to_wstring(i + 1));
        ASSERT_NE(L"", ids[i]) << "disc " << i + 1 << " not burned";
    }
    ASSERT_TRUE(LoadKnown({ids[0]}));
    std::wstring set = SetFolderOn(L"E:\\");
    ASSERT_NE(L"", set);
    std::wstring ini = set + L"\\Mendora.ini";
    EXPECT_EQ(L"3", IniText(ini, L"Count", L"DiscCount"));
    EXPECT_TRUE(Exists(set + L"\\Mendora.exe")) << "the first disc carries the restore program";
    // The big picture's part is split; its pieces lie on discs 2 and 3.
    int nSplit = -1;
    for (int n = 0; n < 10 && nSplit < 0; n++)
        if (!IniText(ini, std::to_wstring(n) + L".wim", std::to_wstring(n) + L".0").empty())
            nSplit = n;
    ASSERT_GE(nSplit, 0) << "no split image in the index";
    std::wstring section = std::to_wstring(nSplit) + L".wim";
    EXPECT_EQ(L"2", IniText(ini, section, std::to_wstring(nSplit) + L".0"));
    EXPECT_EQ(L"3", IniText(ini, section, std::to_wstring(nSplit) + L".1"));

    ASSERT_TRUE(LoadKnown({ids[0], ids[2], ids[1], ids[2]}));
    m_mgr->SetRestoreFileTypes(kTypePictures | kTypeDocuments);
    m_mgr->SetRestorePaths(set, L'C');
    std::vector<std::wstring> asked;
    m_mgr->SetAsker([&](UINT id, const std::wstring& arg) {
        asked.push_back(std::to_wstring(id) + L" " + arg);
        return id == 241 ? IDOK : IDNO;
    });
    CRecorder restore;
    ASSERT_EQ(S_OK, m_mgr->StartRestore(&restore));
    ASSERT_TRUE(restore.Wait());
    EXPECT_EQ(TRUE, restore.m_bCompleted);
    EXPECT_EQ((std::vector<std::wstring> {L"241 2", L"241 2", L"241 3"}), asked);
    std::map<std::wstring, std::string> restored;
    FilesBelow(std::wstring(m_mgr->RestoreDir()) + L"C", L"D:", &restored);
    std::map<std::wstring, std::string> expected;
    for (const UserFile& f : kUserFiles)
        if (f.kind != kMusic)
            expected[f.path] = Noise(f.size, unsigned(f.size + f.kind + wcslen(f.path)));
    EXPECT_EQ(expected.size(), restored.size());
    for (const auto& file : expected) {
        auto it = restored.find(file.first);
        ASSERT_NE(restored.end(), it) << "not restored";
        EXPECT_TRUE(file.second == it->second) << "bytes differ";
    }
    EXPECT_EQ(expected.size(), restore.m_restored.size()) << "each restored file is reported";
    EXPECT_FALSE(Exists(std::wstring(m_mgr->RestoreDir()) + L"C\\Users\\Ann\\Music")) << "skipped music leaves no folder";
}

// A cancel while disc 2 burns ends the backup as cancelled and opens the
// tray; disc 1 stays burned.
TEST_F(FileBackupDiscTest, CancelDuringDisc2)
{
    const DiscSpec blank {DTM_DVDR, kDvdSectors, true};
    std::vector<std::wstring> ids = Load({blank, blank, blank});
    ASSERT_EQ(3u, ids.size());
    ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.burnMs = 1500; }));
    CRecorder backup;
    backup.m_pCancelOnDisc2 = m_mgr.get();
    backup.m_pBurner = &m_burner;
    EXPECT_EQ(NV_E_USER_CANCELLED, Backup(backup));
    EXPECT_EQ(2, m_burner.m_nBurnDisc);
    SimPcState state = Read();
    SimOptical* drive = state.FindOptical(kWriter);
    ASSERT_NE(nullptr, drive);
    EXPECT_EQ(L"cancelled", drive->burn);
    auto label = [&](const std::wstring& id) {
        SimDisc* disc = state.FindDisc(id);
        return disc ? disc->label : L"?";
    };
    EXPECT_EQ(L"File Backup 1", label(ids[0]));
    EXPECT_EQ(L"", label(ids[1])) << "the cancelled disc carries no label";
    EXPECT_EQ(1u, drive->queue.size() + (drive->disc.empty() ? 0 : 1)) << "the tray opened: the third disc came in";
    EXPECT_FALSE(Exists(m_mgr->Backuper().WorkDir()));
}

// Disc numbers in a disc set's index are bounded by the set: a damaged
// index is refused with a question, never used to index the disc table.
TEST_F(FileBackupDiscTest, DamagedDiscIndexIsRefused)
{
    struct Case {
        const char* index;
        std::wstring asked;
    } cases[] = {
        {"[Count]\r\nWIMCount=1\r\nDiscCount=99\r\n", L"253 Mendora.ini"},
        {"[Count]\r\nWIMCount=1\r\nDiscCount=x2\r\n", L"253 Mendora.ini"},
        {"[Count]\r\nWIMCount=1\r\nDiscCount=2\r\n[0.wim]\r\n0.0=1\r\n0.1=5\r\n", L"253 0.wim"},
        {"[Count]\r\nWIMCount=1\r\nDiscCount=2\r\n[0.wim]\r\n0.0=1\r\n0.1=0\r\n", L"253 0.wim"},
    };
    for (const Case& c : cases) {
        std::wstring id = NewRecordedDisc(L"File Backup 1");
        ASSERT_NE(L"", id);
        // The disc's own folder may be a path of the host: one level at a time.
        std::wstring set = DiscFolder(id) + L"\\Backup Files 2026-01-01 000000\\";
        ASSERT_TRUE(CreateDirectoryW(set.c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(set + L"Mendora.ini", c.index));
        ASSERT_TRUE(WriteBytes(set + L"0.dat", "piece index"));
        ASSERT_TRUE(WriteBytes(set + L"0.0", "piece"));
        ASSERT_TRUE(LoadKnown({id}));
        m_mgr->SetRestoreFileTypes(kTypePictures);
        m_mgr->SetRestorePaths(L"E:\\Backup Files 2026-01-01 000000", L'C');
        std::vector<std::wstring> asked;
        m_mgr->SetAsker([&](UINT uId, const std::wstring& arg) {
            asked.push_back(std::to_wstring(uId) + L" " + arg);
            return uId == 241 ? IDCANCEL : IDNO;
        });
        CRecorder restore;
        ASSERT_EQ(S_OK, m_mgr->StartRestore(&restore));
        ASSERT_TRUE(restore.Wait());
        EXPECT_EQ(FALSE, restore.m_bCompleted) << c.index;
        EXPECT_EQ(std::vector<std::wstring> {c.asked}, asked) << c.index;
    }
}

} // namespace
