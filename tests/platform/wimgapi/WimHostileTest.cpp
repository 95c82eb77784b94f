// Damaged and crafted images, one minimal fixture per fault: each fails
// with a clear error, fast, without a large allocation, and applies nothing
// it should not.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CFileIo.h"
#include "CResourceReader.h"
#include "WimCraft.h"
#include "WimTestTree.h"
#include "wimgapi.h"

using namespace WimTestTree;

namespace {

const std::wstring kDir = L"W:\\t\\hostile";
const std::wstring kWim = kDir + L"\\crafted.wim";
const size_t kMiB = 1024 * 1024;
// More than any of these images may make us hold, far less than the faults did.
const size_t kMemorySlack = 64 * kMiB;
const DWORD kQuick = 3000; // ms

size_t PeakMemory()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.PeakWorkingSetSize;
}

struct Outcome {
    bool opened = false;
    bool loaded = false;
    bool applied = false;
    DWORD error = 0;
};

// Open (verifying when asked), load image 1, apply into target.
Outcome OpenLoadApply(const std::wstring& wim, const std::wstring& target, bool verify)
{
    Outcome o;
    SetLastError(0xDEADBEEF);
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, verify ? WIM_FLAG_VERIFY : 0, 0,
                             nullptr);
    o.error = GetLastError();
    if (!h) return o;
    o.opened = true;
    SetLastError(0xDEADBEEF);
    HANDLE img = WIMLoadImage(h, 1);
    o.error = GetLastError();
    if (img) {
        o.loaded = true;
        SetLastError(0xDEADBEEF);
        o.applied = WIMApplyImage(img, target.c_str(), 0) != FALSE;
        o.error = GetLastError();
        WIMCloseHandle(img);
    }
    WIMCloseHandle(h);
    return o;
}

class WimHostileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(kDir);
        CreateDirectoryW(L"W:\\t", nullptr);
        CreateDirectoryW(kDir.c_str(), nullptr);
        m_seed = WimCraft::Make(kDir + L"\\seed.wim",
                                {{u"a.txt", std::string(100000, 'a') + "tail"}, {u"b.txt", "bee"}},
                                wim::Compression::Xpress, true);
        ASSERT_FALSE(m_seed.empty());
    }
    std::string m_seed;
};

} // namespace

// An original size near 2^64 used to wrap the chunk count, and the reader
// then indexed past its chunk table. Refused from the sizes alone, in the
// lookup table and when a reader is made over such a header directly.
TEST_F(WimHostileTest, OriginalSizeNearTwoToTheSixtyFour)
{
    const uint64_t sizes[] = {~0ull, ~0ull - 32766, 1ull << 63, 1ull << 40};
    for (uint64_t size : sizes) {
        std::string bad = m_seed;
        size_t stream = 1; // entry 0 is the metadata
        wim::ResHdr res = WimCraft::LookupRes(bad, stream);
        ASSERT_NE(0, res.flags & wim::kResCompressed);
        res.originalSize = size;
        WimCraft::SetLookupRes(&bad, stream, res);
        ASSERT_TRUE(WimCraft::Save(kWim, bad));
        Outcome o = OpenLoadApply(kWim, kDir + L"\\out", false);
        EXPECT_FALSE(o.applied) << size;
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, o.error) << size;

        CFileIo io;
        ASSERT_EQ(0u, io.Open(std::u16string(kWim.begin(), kWim.end()), CFileIo::Read));
        CResourceReader reader(io, res, wim::kChunkSize, wim::Compression::Xpress);
        uint8_t buf[64];
        EXPECT_EQ(wim::kErrInvalidData, reader.Read(buf, sizeof(buf))) << size;
    }
}

// A chunk size of 0xFFFFFFFF in the integrity table used to be allocated
// whole. The table below means the same hashes (the file is smaller than a
// chunk either way), so it verifies; a wrong count or a zero size is refused.
TEST_F(WimHostileTest, IntegrityChunkSizeIsNotAnAllocation)
{
    wim::Header h = WimCraft::ReadHeader(m_seed);
    ASSERT_NE(0u, h.integrity.offset);
    struct Case {
        const char* what;
        uint32_t count;
        uint32_t chunk;
        bool opens;
    } cases[] = {{"chunk of 4 GiB - 1", 1, 0xFFFFFFFFu, true},
                 {"chunk of 4 GiB - 1, wrong count", 7, 0xFFFFFFFFu, false},
                 {"zero chunk", 1, 0, false},
                 {"count past the table", 0x7FFFFFFF, 1, false}};
    for (const Case& c : cases) {
        std::string bad = m_seed;
        uint8_t* table = reinterpret_cast<uint8_t*>(&bad[(size_t)h.integrity.offset]);
        wim::Put32(table + 4, c.count);
        wim::Put32(table + 8, c.chunk);
        ASSERT_TRUE(WimCraft::Save(kWim, bad));
        size_t before = PeakMemory();
        SetLastError(0xDEADBEEF);
        HANDLE wim = WIMCreateFile(kWim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY, 0, nullptr);
        DWORD err = GetLastError();
        EXPECT_LT(PeakMemory(), before + kMemorySlack) << c.what;
        EXPECT_EQ(c.opens, wim != nullptr) << c.what;
        if (!c.opens) {
            EXPECT_EQ((DWORD)ERROR_FILE_CORRUPT, err) << c.what;
        }
        if (wim) WIMCloseHandle(wim);
    }
}

// XML and metadata that inflate to hundreds of MiB from a small file are
// refused before they are decoded, quickly and without the allocation.
TEST_F(WimHostileTest, InflatingTablesAreRefused)
{
    const uint64_t kChunks = 10000; // 312 MiB of zeros in about 3 MB
    struct Case {
        const char* what;
        bool xml;
    } cases[] = {{"XML", true}, {"metadata", false}};
    for (const Case& c : cases) {
        std::string bad = m_seed;
        wim::ResHdr bomb = WimCraft::AppendZeroBomb(&bad, kChunks);
        if (c.xml) {
            wim::Header h = WimCraft::ReadHeader(bad);
            h.xml = bomb;
            h.integrity = wim::ResHdr();
            WimCraft::WriteHeader(&bad, h);
        } else {
            bomb.flags |= wim::kResMetadata;
            WimCraft::SetLookupRes(&bad, 0, bomb);
        }
        ASSERT_TRUE(WimCraft::Save(kWim, bad));
        size_t before = PeakMemory();
        DWORD start = GetTickCount();
        Outcome o = OpenLoadApply(kWim, kDir + L"\\out", false);
        EXPECT_LT(GetTickCount() - start, kQuick) << c.what;
        EXPECT_LT(PeakMemory(), before + kMemorySlack) << c.what;
        EXPECT_FALSE(o.loaded) << c.what;
        EXPECT_EQ((DWORD)ERROR_INVALID_DATA, o.error) << c.what;
    }
}

// Entries sharing a hard-link id are linked only when they declare the same
// data; the others get their own, so no file takes another file's content.
TEST_F(WimHostileTest, HardLinkIdWithDifferentData)
{
    std::string bytes = WimCraft::Make(kWim,
                                       {{u"first.txt", "first", 7},
                                        {u"other.txt", "other data", 7},
                                        {u"empty.txt", "", 7},
                                        {u"same.txt", "first", 7},
                                        {u"unlinked.txt", "first", 0}},
                                       wim::Compression::None);
    ASSERT_FALSE(bytes.empty());
    std::wstring out = kDir + L"\\links";
    Outcome o = OpenLoadApply(kWim, out, true);
    ASSERT_TRUE(o.applied) << o.error;
    struct Case {
        const wchar_t* name;
        const char* data;
        bool linked;
    } cases[] = {{L"first.txt", "first", true},
                 {L"other.txt", "other data", false},
                 {L"empty.txt", "", false},
                 {L"same.txt", "first", true},
                 {L"unlinked.txt", "first", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.data, ReadFileBytes(out + L"\\" + c.name)) << c.name;
        if (wcscmp(c.name, L"first.txt") != 0) {
            EXPECT_EQ(c.linked, SameFile(out + L"\\first.txt", out + L"\\" + c.name)) << c.name;
        }
    }
}

// A name repeated in one folder (in another case too): the later entry wins,
// also when the earlier one is among small files written side by side, and
// when the two are in batches that different threads write.
TEST_F(WimHostileTest, RepeatedNameLaterEntryWins)
{
    const std::string big(2 * kMiB + 3, 'B');
    struct Case {
        const char* what;
        std::vector<WimCraft::File> files;
        const char* expected;
    };
    std::vector<Case> cases = {
        {"small then large", {{u"a1", "one"}, {u"a2", "two"}, {u"a3", "three"}, {u"a4", "four"}, {u"A2", big}}, nullptr},
        {"large then small", {{u"a2", big}, {u"a1", "one"}, {u"a3", "three"}, {u"a4", "four"}, {u"A2", "two"}}, "two"},
        {"both small", {{u"a1", "one"}, {u"a2", "two"}, {u"a3", "three"}, {u"a4", "four"}, {u"a2", "again"}}, "again"},
        // The large file ends the first batch; the repeat is in the second.
        {"small in two batches",
         {{u"a1", "one"}, {u"a2", "two"}, {u"a3", "three"}, {u"a4", "four"}, {u"b", big},
          {u"c1", "c1"}, {u"c2", "c2"}, {u"c3", "c3"}, {u"A2", "again"}},
         "again"},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(WimCraft::Make(kWim, c.files, wim::Compression::Xpress).empty()) << c.what;
        std::wstring out = kDir + L"\\repeated";
        DeleteTree(out);
        Outcome o = OpenLoadApply(kWim, out, true);
        ASSERT_TRUE(o.applied) << c.what << ": " << o.error;
        EXPECT_EQ(c.expected ? std::string(c.expected) : big, ReadFileBytes(out + L"\\a2")) << c.what;
        EXPECT_EQ("four", ReadFileBytes(out + L"\\a4")) << c.what;
    }
}

// A stream met again is copied from the file that first got it; when a
// later entry of the same name has replaced that file with data of the same
// size, the copy is refused and the stream is decoded instead.
TEST_F(WimHostileTest, CopyFromReplacedFileDecodesAgain)
{
    const std::string first(3 * kMiB + 5, 'F'), second(3 * kMiB + 5, 'S');
    ASSERT_FALSE(
        WimCraft::Make(kWim, {{u"x.bin", first}, {u"X.BIN", second}, {u"y.bin", first}}, wim::Compression::Xpress)
            .empty());
    std::wstring out = kDir + L"\\copied";
    Outcome o = OpenLoadApply(kWim, out, true);
    ASSERT_TRUE(o.applied) << o.error;
    EXPECT_TRUE(ReadFileBytes(out + L"\\x.bin") == second) << "the later entry wins";
    EXPECT_TRUE(ReadFileBytes(out + L"\\y.bin") == first) << "the copy took the replaced file's data";
}
