// Mutated images through open, load and apply, in one process: a few
// thousand variants of a handful of small seeds (none, XPRESS, LZX, with an
// integrity table, with hard links, split sets). None may crash, hang,
// allocate far beyond the image, write outside its target folder, or apply
// anything but the seed's own tree.
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
const size_t kSeeds = 7;
const size_t kSplitSeed = 2;                  // our own split set
const LONGLONG kSplitPartSize = 4000;         // bytes: a stream or two per part

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

// A seed: the bytes of each part of an image, the first part first.
struct Seed {
    std::vector<std::string> parts;
    std::wstring expected; // the tree the unmutated seed applies to
};

std::wstring PartPath(const std::wstring& first, size_t part)
{
    if (part == 0) return first;
    return first.substr(0, first.size() - 4) + std::to_wstring(part + 1) + first.substr(first.size() - 4);
}

bool WriteParts(const std::wstring& first, const std::vector<std::string>& parts)
{
    for (size_t i = 0; i < parts.size(); ++i)
        if (!WriteFileBytes(PartPath(first, i), parts[i])) return false;
    return true;
}

// Open (with the other parts as references), load and apply; the result
// only has to be a clean success or failure.
bool Exercise(const std::wstring& first, size_t parts, bool verify)
{
    DWORD flags = verify ? WIM_FLAG_VERIFY : 0;
    HANDLE h = WIMCreateFile(first.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, flags, 0, nullptr);
    if (!h) return false;
    WIM_INFO info;
    WIMGetAttributes(h, &info, sizeof(info));
    WIMGetImageCount(h);
    bool ok = true;
    for (size_t i = 1; i < parts && ok; ++i)
        ok = WIMSetReferenceFile(h, PartPath(first, i).c_str(), WIM_REFERENCE_APPEND | flags) != FALSE;
    HANDLE img = ok ? WIMLoadImage(h, 1) : nullptr;
    ok = false;
    if (img) {
        ok = WIMApplyImage(img, kTarget.c_str(), 0) != FALSE;
        WIMCloseHandle(img);
    }
    WIMCloseHandle(h);
    return ok;
}

// The parts of a split set on disk, first.swm, first2.swm, ...
std::vector<std::string> ReadParts(const std::wstring& first)
{
    std::vector<std::string> parts;
    for (size_t i = 0; Exists(PartPath(first, i)); ++i)
        parts.push_back(ReadFileBytes(PartPath(first, i)));
    return parts;
}

std::vector<Seed> Seeds()
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

    std::vector<Seed> seeds;
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
        seeds.push_back({{ReadFileBytes(path)}});
    }
    // Our own split of the XPRESS seed, in parts of a stream or two.
    std::wstring whole = kDir + L"\\whole.wim", split = kDir + L"\\split.swm";
    WriteFileBytes(whole, seeds[0].parts[0]);
    HANDLE h = WIMCreateFile(whole.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    LARGE_INTEGER partSize;
    partSize.QuadPart = kSplitPartSize;
    if (h && WIMSplitFile(h, split.c_str(), &partSize, 0)) seeds.push_back({ReadParts(split)});
    if (h) WIMCloseHandle(h);
    seeds.push_back({{WimCraft::Make(kDir + L"\\links.wim",
                                     {{u"a", "alpha", 3}, {u"b", "beta", 3}, {u"c", "alpha", 3}, {u"d", "", 0}},
                                     wim::Compression::Xpress)}});
    // From the independent writer on the Linux side: LZX with an integrity
    // table, XPRESS, and a split LZX set.
    seeds.push_back({{ReadFileBytes(Fixture(L"fuzz-lzx.wim"))}});
    seeds.push_back({{ReadFileBytes(Fixture(L"fuzz-xpress.wim"))}});
    seeds.push_back({ReadParts(Fixture(L"fuzz-split.swm"))});
    return seeds;
}

// Both ways, so that a file left out and a file made up both show.
std::wstring SameTree(const std::wstring& expected, const std::wstring& actual)
{
    std::wstring d = Compare(expected, actual, false);
    return d.empty() ? Compare(actual, expected, false) : d;
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
    std::vector<Seed> seeds = Seeds();
    ASSERT_EQ(kSeeds, seeds.size()) << "a seed could not be made";
    for (size_t i = 0; i < seeds.size(); ++i) {
        ASSERT_FALSE(seeds[i].parts.empty()) << "seed " << i;
        ASSERT_GT(seeds[i].parts[0].size(), wim::kHeaderSize) << "seed " << i;
        ASSERT_TRUE(WriteParts(kMutant, seeds[i].parts));
        ASSERT_TRUE(Exercise(kMutant, seeds[i].parts.size(), true)) << "seed " << i << " does not apply unmutated";
        seeds[i].expected = kDir + L"\\expected" + std::to_wstring(i);
        ASSERT_TRUE(MoveFileW(kTarget.c_str(), seeds[i].expected.c_str())) << "seed " << i;
    }
    ASSERT_GE(seeds[kSplitSeed].parts.size(), 2u) << "the split seed is one part";

    int applied = 0;
    DWORD slowest = 0;
    const int first = FromEnvironment("WIM_FUZZ_FIRST", 0);
    const int iterations = FromEnvironment("WIM_FUZZ_ITERATIONS", kIterations);
    for (int it = first; it < first + iterations; ++it) {
        Rng rng((uint64_t)it);
        const Seed& seed = seeds[(size_t)it % seeds.size()];
        std::vector<std::string> parts = seed.parts;
        size_t victim = rng.Below(parts.size());
        parts[victim] = Mutate(parts[victim], rng);
        ASSERT_TRUE(WriteParts(kMutant, parts));
        DWORD start = GetTickCount();
        bool ok = Exercise(kMutant, parts.size(), rng.Below(2) == 0);
        DWORD took = GetTickCount() - start;
        slowest = std::max(slowest, took);
        ASSERT_LT(took, kSlowIteration) << "iteration " << it;
        std::vector<std::wstring> left = Listing(kBox);
        ASSERT_TRUE(left.empty() || (left.size() == 1 && left[0] == L"target"))
            << "iteration " << it << " wrote beside its target: " << std::string(left[0].begin(), left[0].end());
        // Every stream and the metadata carry a hash: what applies is the
        // seed's tree or nothing.
        if (ok) {
            ++applied;
            std::wstring diff = SameTree(seed.expected, kTarget);
            ASSERT_EQ(L"", diff) << "iteration " << it << " applied a different tree";
        }
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
