// The dump manager of the recovery program: choice of file, merge of the
// pending file, and the moves of a factory reset (L: user partition, X: RAM
// drive, N: the re-created user partition).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "CDumpMgr.h"
#include "TestFiles.h"

using namespace TestFiles;

namespace {

const ULONGLONG kMiB = 0x100000;

const std::wstring kMain = L"L:\\ProgramData\\Recovery\\MendoraDump.txt";
const std::wstring kPending = L"L:\\ProgramData\\Recovery\\MendoraDumpNew.txt";

class CFakeFreeSpace : public IFreeSpace {
public:
    explicit CFakeFreeSpace(ULONGLONG ullFree) : m_ullFree(ullFree) {}
    BOOL GetFreeBytes(const wchar_t* root, ULONGLONG* bytes) override
    {
        m_root = root;
        *bytes = m_ullFree;
        return TRUE;
    }
    ULONGLONG m_ullFree;
    std::wstring m_root;
};

std::wstring CurrentPath(CDumpMgr& mgr)
{
    wchar_t wszPath[MAX_PATH] = L"?";
    mgr.GetDumpFilePath(wszPath, MAX_PATH);
    return wszPath;
}

void MakeRecoveryFolder(wchar_t wcLetter)
{
    std::wstring root = DriveRoot(wcLetter);
    CreateDirectoryW((root + L"ProgramData").c_str(), nullptr);
    CreateDirectoryW((root + L"ProgramData\\Recovery").c_str(), nullptr);
}

// Bytes of every value, more than one 64 KiB copy block.
std::string BinaryPattern(size_t cb)
{
    std::string s(cb, '\0');
    for (size_t i = 0; i < cb; ++i)
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return s;
}

class DumpMgrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (wchar_t letter : {L'L', L'N', L'X'})
            ASSERT_TRUE(ClearDrive(letter)) << "drive " << static_cast<char>(letter) << ": not mapped";
        m_mgr.Initialize();
    }
    void TearDown() override { m_mgr.Uninitialize(); }

    void PrepareWinPE(wchar_t wcLetter = L'L')
    {
        m_mgr.SetDumpMode(DM_WINPE);
        m_mgr.PrepareDumpFilePath(wcLetter);
    }

    CDumpMgr m_mgr;
};

TEST_F(DumpMgrTest, NoFileUntilPrepared)
{
    struct {
        const char* name;
        bool prepare;
        DumpMode mode;
        wchar_t letter;
    } cases[] = {
        {"nothing prepared", false, DM_OS, L'L'},
        {"letter 0", true, DM_OS, 0},
        {"mode unknown", true, DM_UNKNOWN, L'L'},
    };
    for (const auto& c : cases) {
        m_mgr.SetDumpMode(c.mode);
        if (c.prepare)
            m_mgr.PrepareDumpFilePath(c.letter);
        m_mgr.Write(L"line\n");
        EXPECT_EQ(L"", CurrentPath(m_mgr)) << c.name;
        EXPECT_FALSE(Exists(L"L:\\ProgramData")) << c.name;
    }
}

TEST_F(DumpMgrTest, FileChosenByMode)
{
    struct {
        DumpMode mode;
        const std::wstring& file;
    } cases[] = {{DM_OS, kMain}, {DM_WINPE, kPending}};
    for (const auto& c : cases) {
        ClearDrive(L'L');
        CDumpMgr mgr;
        mgr.Initialize();
        mgr.SetDumpMode(c.mode);
        mgr.PrepareDumpFilePath(L'L');
        EXPECT_EQ(c.file, CurrentPath(mgr)) << "mode " << c.mode;
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
                  GetFileAttributesW(L"L:\\ProgramData") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            << "mode " << c.mode;
        mgr.Write(L"first\n");
        mgr.Write(L"second\n");
        EXPECT_EQ("first\r\nsecond\r\n", ReadBytes(c.file)) << "mode " << c.mode;
        mgr.Uninitialize();
    }
}

TEST_F(DumpMgrTest, GetDumpFilePathArguments)
{
    wchar_t wsz[4] = L"abc";
    EXPECT_FALSE(m_mgr.GetDumpFilePath(nullptr, MAX_PATH));
    EXPECT_FALSE(m_mgr.GetDumpFilePath(wsz, 0));
    EXPECT_STREQ(L"abc", wsz);
    m_mgr.SetDumpMode(DM_OS);
    m_mgr.PrepareDumpFilePath(L'L');
    // A short buffer gets a cut path, never an overrun.
    EXPECT_TRUE(m_mgr.GetDumpFilePath(wsz, 4));
    EXPECT_STREQ(L"L:\\", wsz);
}

TEST_F(DumpMgrTest, PendingFileMergedByteForByte)
{
    for (DumpMode mode : {DM_OS, DM_WINPE}) {
        ClearDrive(L'L');
        MakeRecoveryFolder(L'L');
        const std::string old = "old run\r\n";
        const std::string pending = BinaryPattern(3 * 65536 + 123);
        ASSERT_TRUE(WriteBytes(kMain, old));
        ASSERT_TRUE(WriteBytes(kPending, pending));
        CDumpMgr mgr;
        mgr.Initialize();
        mgr.SetDumpMode(mode);
        mgr.PrepareDumpFilePath(L'L');
        EXPECT_EQ(old + pending, ReadBytes(kMain)) << "mode " << mode;
        EXPECT_FALSE(Exists(kPending)) << "mode " << mode;
        mgr.Uninitialize();
    }
}

TEST_F(DumpMgrTest, MergeFailureKeepsPendingFile)
{
    MakeRecoveryFolder(L'L');
    ASSERT_TRUE(WriteBytes(kPending, "pending\r\n"));
    // The main file cannot be opened for appending: a folder of that name.
    ASSERT_TRUE(CreateDirectoryW(kMain.c_str(), nullptr));
    EXPECT_FALSE(m_mgr.MoveDataToMainDumpFile(kMain.c_str(), kPending.c_str()));
    EXPECT_EQ("pending\r\n", ReadBytes(kPending));

    struct {
        const char* name;
        const wchar_t* main;
        const wchar_t* pending;
    } bad[] = {
        {"null main", nullptr, kPending.c_str()},
        {"empty pending", kMain.c_str(), L""},
        {"missing pending", kMain.c_str(), L"L:\\nothing.txt"},
    };
    for (const auto& c : bad)
        EXPECT_FALSE(m_mgr.MoveDataToMainDumpFile(c.main, c.pending)) << c.name;
}

TEST_F(DumpMgrTest, MoveToRamDriveByFreeSpace)
{
    struct {
        const char* name;
        ULONGLONG free, main, pending;
        bool copiesMain, copiesPending;
    } cases[] = {
        {"both fit under 16 MiB", 20 * kMiB, 3 * kMiB, 2 * kMiB, true, true},
        {"only the pending file fits", 15 * kMiB, 14 * kMiB, 1 * kMiB, false, true},
        {"pending file too big", 17 * kMiB, 1 * kMiB, 16 * kMiB, false, false},
        {"under 1 MiB free", kMiB - 1, 10, 10, false, false},
    };
    for (const auto& c : cases) {
        ClearDrive(L'L');
        ClearDrive(L'X');
        CDumpMgr mgr;
        CFakeFreeSpace freeSpace(c.free);
        mgr.SetFreeSpaceSource(&freeSpace);
        mgr.Initialize();
        mgr.SetDumpMode(DM_WINPE);
        mgr.PrepareDumpFilePath(L'L');
        ASSERT_TRUE(WriteBytes(kMain, std::string(c.main, 'm')));
        ASSERT_TRUE(WriteBytes(kPending, std::string(c.pending, 'p')));

        EXPECT_TRUE(mgr.MoveDumpToRamDrive()) << c.name;
        EXPECT_EQ(L"X:\\", freeSpace.m_root) << c.name;
        EXPECT_EQ(c.copiesMain, Exists(L"X:\\MendoraDump.txt")) << c.name;
        EXPECT_EQ(c.copiesPending, Exists(L"X:\\MendoraDumpNew.txt")) << c.name;
        if (c.copiesPending) {
            EXPECT_EQ(c.pending, ReadBytes(L"X:\\MendoraDumpNew.txt").size()) << c.name;
        }
        EXPECT_EQ(L"X:\\MendoraDumpNew.txt", CurrentPath(mgr)) << c.name;
        mgr.Write(L"after move\n");
        std::string ram = ReadBytes(L"X:\\MendoraDumpNew.txt");
        EXPECT_EQ("after move\r\n", ram.substr(ram.size() - 12)) << c.name;
        mgr.Uninitialize();
    }
}

TEST_F(DumpMgrTest, MovesNeverOverwriteAndGoOnAfterFailedCopy)
{
    CFakeFreeSpace freeSpace(100 * kMiB);
    m_mgr.SetFreeSpaceSource(&freeSpace);
    PrepareWinPE();
    ASSERT_TRUE(WriteBytes(kMain, "main\r\n"));
    ASSERT_TRUE(WriteBytes(kPending, "pending\r\n"));
    ASSERT_TRUE(WriteBytes(L"X:\\MendoraDump.txt", "older\r\n"));

    EXPECT_TRUE(m_mgr.MoveDumpToRamDrive());
    EXPECT_EQ("older\r\n", ReadBytes(L"X:\\MendoraDump.txt"));
    EXPECT_EQ("pending\r\n", ReadBytes(L"X:\\MendoraDumpNew.txt"));
}

TEST_F(DumpMgrTest, FactoryResetRoundTrip)
{
    CFakeFreeSpace freeSpace(100 * kMiB);
    m_mgr.SetFreeSpaceSource(&freeSpace);
    PrepareWinPE();
    ASSERT_TRUE(WriteBytes(kMain, "main\r\n"));
    m_mgr.Write(L"on L\n");

    ASSERT_TRUE(m_mgr.MoveDumpToRamDrive());
    m_mgr.Write(L"on X\n");
    ASSERT_TRUE(m_mgr.MoveDumpToTmpDirInUP(L'N'));
    EXPECT_EQ(L"N:\\[(^_^)]\\MendoraDumpNew.txt", CurrentPath(m_mgr));
    EXPECT_TRUE(GetFileAttributesW(L"N:\\[(^_^)]") & FILE_ATTRIBUTE_HIDDEN);
    m_mgr.Write(L"held\n");
    ASSERT_TRUE(m_mgr.MoveDumpToUP(L'N'));
    m_mgr.Write(L"on N\n");

    EXPECT_EQ(L"N:\\ProgramData\\Recovery\\MendoraDumpNew.txt", CurrentPath(m_mgr));
    EXPECT_EQ("main\r\n", ReadBytes(L"N:\\ProgramData\\Recovery\\MendoraDump.txt"));
    EXPECT_EQ("on L\r\non X\r\nheld\r\non N\r\n", ReadBytes(L"N:\\ProgramData\\Recovery\\MendoraDumpNew.txt"));
    EXPECT_FALSE(Exists(L"N:\\[(^_^)]"));
}

class CFailingFreeSpace : public IFreeSpace {
public:
    BOOL GetFreeBytes(const wchar_t*, ULONGLONG*) override { return FALSE; }
};

// A move that fails half-way leaves the dump switched on where it was: a
// recovery that goes on must not lose its log.
TEST_F(DumpMgrTest, FailedMoveKeepsWriting)
{
    CFailingFreeSpace noFreeSpace;
    m_mgr.SetFreeSpaceSource(&noFreeSpace);
    PrepareWinPE();
    m_mgr.Write(L"before\n");
    EXPECT_FALSE(m_mgr.MoveDumpToRamDrive()) << "the RAM drive's free space is unknown";
    m_mgr.Write(L"after\n");
    EXPECT_EQ("before\r\nafter\r\n", ReadBytes(kPending));
}

TEST_F(DumpMgrTest, MoveGuards)
{
    CDumpMgr fresh;
    fresh.Initialize();
    EXPECT_FALSE(fresh.MoveDumpToRamDrive()) << "not initialised";
    EXPECT_FALSE(fresh.MoveDumpToTmpDirInUP(L'N')) << "not initialised";
    EXPECT_FALSE(fresh.MoveDumpToUP(L'N')) << "not initialised";
    fresh.Uninitialize();

    m_mgr.SetDumpMode(DM_OS);
    m_mgr.PrepareDumpFilePath(L'L');
    EXPECT_FALSE(m_mgr.MoveDumpToRamDrive()) << "not WinPE";
    EXPECT_FALSE(m_mgr.MoveDumpToUP(L'N')) << "not WinPE";
    m_mgr.SetDumpMode(DM_WINPE);
    EXPECT_FALSE(m_mgr.MoveDumpToTmpDirInUP(0)) << "letter 0";
    EXPECT_FALSE(m_mgr.MoveDumpToUP(0)) << "letter 0";
    EXPECT_EQ(kMain, CurrentPath(m_mgr)) << "a refused move changes nothing";
}

TEST_F(DumpMgrTest, DisabledDumpWritesNothing)
{
    m_mgr.SetDumpMode(DM_OS);
    m_mgr.PrepareDumpFilePath(L'L');
    m_mgr.SetEnabled(FALSE);
    m_mgr.Write(L"hidden\n");
    m_mgr.SetEnabled(TRUE);
    m_mgr.Write(L"shown\n");
    EXPECT_EQ("shown\r\n", ReadBytes(kMain));
}

TEST_F(DumpMgrTest, WriteAfterUninitializeIsHarmless)
{
    m_mgr.SetDumpMode(DM_OS);
    m_mgr.PrepareDumpFilePath(L'L');
    m_mgr.Write(L"before\n");
    m_mgr.Uninitialize();
    m_mgr.Write(L"after\n");
    EXPECT_EQ("before\r\n", ReadBytes(kMain));
}

TEST_F(DumpMgrTest, NullLineLeavesLock)
{
    m_mgr.SetDumpMode(DM_OS);
    m_mgr.PrepareDumpFilePath(L'L');
    m_mgr.Write(nullptr);
    // Another thread must still get through.
    std::thread other([this] { m_mgr.Write(L"other thread\n"); });
    other.join();
    EXPECT_EQ("other thread\r\n", ReadBytes(kMain));
}

TEST_F(DumpMgrTest, LongLineCutKeepsLineFeed)
{
    m_mgr.SetDumpMode(DM_OS);
    m_mgr.PrepareDumpFilePath(L'L');
    struct {
        size_t chars;
        size_t bytesOnDisk;
    } cases[] = {
        {258, 259 + 1}, // fits: 258 characters and a line feed (CR added on disk)
        {259, 259 + 1}, // 260 bytes with terminator: cut to 258 plus line feed
        {2000, 259 + 1},
    };
    for (const auto& c : cases) {
        DeleteFileW(kMain.c_str());
        std::wstring line(c.chars, L'a');
        line += L'\n';
        m_mgr.Write(line.c_str());
        std::string disk = ReadBytes(kMain);
        EXPECT_EQ(c.bytesOnDisk, disk.size()) << c.chars << " characters";
        EXPECT_EQ("\r\n", disk.substr(disk.size() - 2)) << c.chars << " characters";
    }
}

TEST(ConvertDumpLine, CutNeverSplitsASurrogatePair)
{
    std::wstring line(257, L'a');
    line += L"\xD83D\xDE00\xD83D\xDE00\n";
    char sz[MAX_PATH];
    size_t cb = ConvertDumpLine(line.c_str(), sz);
    EXPECT_LE(cb, 259u);
    EXPECT_EQ('\n', sz[cb - 1]);
    EXPECT_EQ(cb, strlen(sz));
}

} // namespace
