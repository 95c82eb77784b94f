// Mutated images through open, load and apply, in one process: a few
// thousand variants of a handful of small seeds (none, XPRESS, LZX, with an
// integrity table, with hard links). None may crash, hang, allocate far
// beyond the image, or write outside its target folder.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "WimCraft.h"
#include "WimTestTree.h"
#include "wimgapi.h"

using namespace WimTestTree;

namespace {

const std::wstring kDir = L"W:\\fuzz";
const std::wstring kBox = kDir + L"\\box";
const std::wstring kTarget = kBox + L"\\target";
const std::wstring kMutant = kDir + L"\\mutant.wim";
const int kIterations = 2400;
const DWORD kSlowIteration = 5000;            // ms: a hang, not a slow disk
const size_t kMemoryCeiling = 256u << 20;     // the seeds are a few hundred KiB

// A fixed generator, so that a failure names an iteration that repeats.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    size_t Below(size_t n) { return n ? (size_t)(Next() % n) : 0; }

private:
    uint64_t m_state;
};

// Values that sit on the edges of sizes, counts and offsets.
uint64_t Edge(Rng& rng, size_t fileSize)
{
    const uint64_t edges[] = {0, 1, 2, 7, 8, 0x7F, 0xFF, 0x7FFF, 0x8000, 0x8001, 0xFFFF, 0x10000, 0x7FFFFFFF,
                              0x80000000, 0xFFFFFFFF, 0x100000000ull, 1ull << 56, (1ull << 56) - 1, 1ull << 63,
                              ~0ull, ~0ull - 0x7FFE, fileSize, fileSize - 1, fileSize + 1, fileSize / 2};
    return edges[rng.Below(sizeof(edges) / sizeof(edges[0]))];
}

// Where the structure is: the header, the lookup table, the XML, the
// metadata resource and the integrity table, besides the stream data.
std::vector<std::pair<size_t, size_t>> Regions(const std::string& wim)
{
    std::vector<std::pair<size_t, size_t>> r = {{0, wim::kHeaderSize}};
    wim::Header h = WimCraft::ReadHeader(wim);
    auto add = [&](const wim::ResHdr& res) {
        if (res.offset < wim.size() && res.size) r.push_back({(size_t)res.offset, (size_t)std::min<uint64_t>(res.size, wim.size() - res.offset)});
    };
    add(h.lookup);
    add(h.xml);
    add(h.integrity);
    for (size_t i = 0; i < WimCraft::LookupCount(wim) && h.lookup.offset + (i + 1) * wim::kLookupEntrySize <= wim.size(); ++i)
        add(WimCraft::LookupRes(wim, i));
    return r;
}

std::string Mutate(const std::string& seed, Rng& rng)
{
    std::string m = seed;
    std::vector<std::pair<size_t, size_t>> regions = Regions(seed);
    int edits = 1 + (int)rng.Below(3);
    for (int e = 0; e < edits; ++e) {
        std::pair<size_t, size_t> region = regions[rng.Below(regions.size())];
        size_t at = region.first + rng.Below(region.second);
        switch (rng.Below(5)) {
        case 0: // one flipped bit
            m[at] = (char)(m[at] ^ (1 << rng.Below(8)));
            break;
        case 1: // a random byte
            m[at] = (char)rng.Next();
            break;
        case 2: { // an edge value over a 4- or 8-byte field
            size_t width = rng.Below(2) ? 8 : 4;
            at &= ~(size_t)3;
            if (at + width > m.size()) break;
            uint64_t v = Edge(rng, m.size());
            for (size_t i = 0; i < width; ++i)
                m[at + i] = (char)(v >> (8 * i));
            break;
        }
        case 3: // a small number in a 2-byte field (counts, name lengths)
            if (at + 2 <= m.size()) {
                uint16_t v = (uint16_t)(rng.Next() & 0x1FF);
                m[at] = (char)v;
                m[at + 1] = (char)(v >> 8);
            }
            break;
        default: // truncated
            if (rng.Below(4) == 0) m.resize(at);
            break;
        }
    }
    return m;
}

std::vector<std::wstring> Listing(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

// Open, load and apply; the result only has to be a clean success or failure.
bool Exercise(const std::wstring& wim, bool verify)
{
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, verify ? WIM_FLAG_VERIFY : 0, 0,
                             nullptr);
    if (!h) return false;
    WIM_INFO info;
    WIMGetAttributes(h, &info, sizeof(info));
    bool ok = false;
    HANDLE img = WIMLoadImage(h, 1);
    if (img) {
        ok = WIMApplyImage(img, kTarget.c_str(), 0) != FALSE;
        WIMCloseHandle(img);
    }
    WIMCloseHandle(h);
    return ok;
}

std::vector<std::string> Seeds()
{
    std::wstring src = kDir + L"\\src";
    MakeTree(src, {L"sub", L"sub\\deeper"});
    std::string text;
    for (int i = 0; i < 9000; ++i)
        text += std::to_string(i * 7) + (i % 13 ? " " : "\n");
    WriteFileBytes(src + L"\\numbers.txt", text); // more than one chunk
    WriteFileBytes(src + L"\\sub\\same.txt", text);
    WriteFileBytes(src + L"\\sub\\deeper\\small.txt", "small");
    WriteFileBytes(src + L"\\empty.txt", "");
    for (int i = 0; i < 5; ++i) // enough small files in one folder to be decoded ahead
        WriteFileBytes(src + L"\\sub\\s" + std::to_wstring(i) + L".txt", std::string(300 + i, (char)('k' + i)));
    CreateHardLinkW((src + L"\\sub\\link.txt").c_str(), (src + L"\\sub\\deeper\\small.txt").c_str(), nullptr);

    std::vector<std::string> seeds;
    struct Capture {
        DWORD compression;
        DWORD flags;
    } captures[] = {{WIM_COMPRESS_XPRESS, WIM_FLAG_VERIFY}, {WIM_COMPRESS_NONE, 0}};
    for (const Capture& c : captures) {
        std::wstring path = kDir + L"\\seed.wim";
        HANDLE h = WIMCreateFile(path.c_str(), WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, c.flags, c.compression, nullptr);
        HANDLE img = h ? WIMCaptureImage(h, src.c_str(), 0) : nullptr;
        if (img) WIMCloseHandle(img);
        if (h) WIMCloseHandle(h);
        seeds.push_back(ReadFileBytes(path));
    }
    seeds.push_back(WimCraft::Make(kDir + L"\\links.wim",
                                   {{u"a", "alpha", 3}, {u"b", "beta", 3}, {u"c", "alpha", 3}, {u"d", "", 0}},
                                   wim::Compression::Xpress));
    // From the independent writer on the Linux side: LZX with an integrity table.
    seeds.push_back(ReadFileBytes(Fixture(L"fuzz-lzx.wim")));
    seeds.push_back(ReadFileBytes(Fixture(L"fuzz-xpress.wim")));
    return seeds;
}

// A longer campaign by hand: WIM_FUZZ_ITERATIONS and WIM_FUZZ_FIRST.
int FromEnvironment(const char* name, int fallback)
{
    const char* v = getenv(name);
    return v && *v ? atoi(v) : fallback;
}

} // namespace

TEST(WimFuzzTest, MutatedImagesFailCleanly)
{
    DeleteTree(kDir);
    CreateDirectoryW(kDir.c_str(), nullptr);
    CreateDirectoryW(kBox.c_str(), nullptr);
    std::vector<std::string> seeds = Seeds();
    for (size_t i = 0; i < seeds.size(); ++i) {
        ASSERT_GT(seeds[i].size(), wim::kHeaderSize) << "seed " << i;
        ASSERT_TRUE(WriteFileBytes(kMutant, seeds[i]));
        ASSERT_TRUE(Exercise(kMutant, true)) << "seed " << i << " does not apply unmutated";
        DeleteTree(kTarget);
    }

    int applied = 0;
    DWORD slowest = 0;
    const int first = FromEnvironment("WIM_FUZZ_FIRST", 0);
    const int iterations = FromEnvironment("WIM_FUZZ_ITERATIONS", kIterations);
    for (int it = first; it < first + iterations; ++it) {
        Rng rng((uint64_t)it);
        const std::string& seed = seeds[(size_t)it % seeds.size()];
        ASSERT_TRUE(WriteFileBytes(kMutant, Mutate(seed, rng)));
        DWORD start = GetTickCount();
        if (Exercise(kMutant, rng.Below(2) == 0)) ++applied;
        DWORD took = GetTickCount() - start;
        slowest = std::max(slowest, took);
        ASSERT_LT(took, kSlowIteration) << "iteration " << it;
        std::vector<std::wstring> left = Listing(kBox);
        ASSERT_TRUE(left.empty() || (left.size() == 1 && left[0] == L"target"))
            << "iteration " << it << " wrote beside its target: " << std::string(left[0].begin(), left[0].end());
        DeleteTree(kTarget);
    }
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc)));
    EXPECT_LT(pmc.PeakWorkingSetSize, kMemoryCeiling);
    // Some mutations land in data nobody reads; most must be refused.
    EXPECT_GT(applied, 0);
    EXPECT_LT(applied, iterations);
    printf("%d of %d mutants applied; slowest %lu ms; peak %lu KiB\n", applied, iterations, slowest,
           (unsigned long)(pmc.PeakWorkingSetSize / 1024));
    DeleteTree(kDir);
}
