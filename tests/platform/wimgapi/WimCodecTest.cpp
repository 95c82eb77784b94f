// The XPRESS coder and the chunk decoders on their own: round trips over
// data shapes that stress matches and codes, and damaged input; and the
// worker pool they run on.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CHuffmanEncoder.h"
#include "CLzxDecoder.h"
#include "CSha1.h"
#include "CWorkerPool.h"
#include "CXpressDecoder.h"
#include "CXpressEncoder.h"

namespace {

std::vector<uint8_t> Shape(int kind, size_t size)
{
    std::vector<uint8_t> v(size);
    unsigned seed = 12345u + (unsigned)kind;
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        uint8_t r = (uint8_t)(seed >> 16);
        switch (kind) {
        case 0: v[i] = 0; break;                                  // one long run
        case 1: v[i] = (uint8_t)"abcab"[i % 5]; break;            // short period
        case 2: v[i] = r % 4; break;                              // few symbols
        case 3: v[i] = i >= 300 && r % 3 ? v[i - 300] : r; break; // far matches
        case 4: v[i] = r; break;                                  // incompressible
        case 5: v[i] = (i / 64) % 2 && i >= 128 ? v[i - 128] : r; break; // literal runs between matches
        }
    }
    return v;
}

} // namespace

TEST(WimCodecTest, XpressRoundTrips)
{
    const size_t sizes[] = {1, 3, 17, 4095, 32768};
    CXpressEncoder enc;
    CXpressDecoder dec;
    for (int kind = 0; kind < 6; ++kind) {
        for (size_t size : sizes) {
            std::vector<uint8_t> in = Shape(kind, size), packed(size + 1024), out(size);
            size_t n = enc.Compress(in.data(), in.size(), packed.data(), packed.size());
            if (!n) {
                // Only data that does not shrink may be left uncompressed.
                EXPECT_TRUE(kind == 4 || size < 300) << "kind " << kind << " size " << size;
                continue;
            }
            EXPECT_LT(n, size) << "kind " << kind << " size " << size;
            ASSERT_TRUE(dec.Decompress(packed.data(), n, out.data(), out.size())) << "kind " << kind << " size " << size;
            EXPECT_EQ(in, out) << "kind " << kind << " size " << size;
        }
    }
}

// One encoder serves every chunk of a capture: what it kept of earlier
// chunks must never turn into a match, also after its tables wrap (a chunk
// moves their base by 64 Ki, so 2^16 chunks pass the wrap).
TEST(WimCodecTest, XpressEncoderReusedAcrossManyChunks)
{
    const size_t kChunks = 66000;
    CXpressEncoder enc;
    CXpressDecoder dec;
    std::vector<uint8_t> shapes[4];
    for (int kind = 0; kind < 4; ++kind)
        shapes[kind] = Shape(kind, 1024);
    std::vector<uint8_t> packed(2048), out(1024);
    size_t compressed = 0;
    for (size_t i = 0; i < kChunks; ++i) {
        // Sizes and starts that move, so that stale positions land inside
        // the new chunk.
        const std::vector<uint8_t>& shape = shapes[i % 4];
        size_t start = i % 97, size = 200 + i % 700;
        const uint8_t* in = shape.data() + start;
        size_t n = enc.Compress(in, size, packed.data(), packed.size());
        if (!n) continue;
        ++compressed;
        ASSERT_TRUE(dec.Decompress(packed.data(), n, out.data(), size)) << "chunk " << i;
        ASSERT_TRUE(std::equal(in, in + size, out.begin())) << "chunk " << i;
    }
    EXPECT_GT(compressed, kChunks / 2);
}

// Damaged chunks fail (or decode to something) without reading or writing
// outside their buffers; run under a checker this would show an overrun.
TEST(WimCodecTest, DamagedChunksFailSafely)
{
    std::vector<uint8_t> in = Shape(3, 32768), packed(40000);
    CXpressEncoder enc;
    size_t n = enc.Compress(in.data(), in.size(), packed.data(), packed.size());
    ASSERT_GT(n, 300u);
    struct Case {
        const char* what;
        size_t keep;
        size_t flipAt;
    } cases[] = {{"truncated after the table", 260, 0}, {"truncated half way", n / 2, 0}, {"flipped code lengths", n, 10},
                 {"flipped bit stream", n, 400}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bad(packed.begin(), packed.begin() + (long)c.keep), out(in.size());
        if (c.flipAt) bad[c.flipAt] ^= 0xFF;
        CXpressDecoder dec;
        bool ok = dec.Decompress(bad.data(), bad.size(), out.data(), out.size());
        if (ok) {
            EXPECT_NE(in, out) << c.what;
        }
        CLzxDecoder lzx;
        std::vector<uint8_t> out2(in.size());
        lzx.Decompress(bad.data(), bad.size(), out2.data(), out2.size());
    }
}

// LZX stored blocks: the header's bits end inside a word, the rest of that
// word is padding, then the three repeat offsets and the raw bytes (an odd
// count padded by one byte). The reader looks ahead in whole words and must
// give back the ones it took past the padding.
TEST(WimCodecTest, LzxStoredBlocks)
{
    // Type 3, no default size, 16-bit size; words little-endian, bits from the top.
    auto header = [](uint16_t size) {
        uint16_t w1 = (uint16_t)(0x6000 | size >> 4), w2 = (uint16_t)((size & 0xF) << 12);
        std::vector<uint8_t> v = {(uint8_t)w1, (uint8_t)(w1 >> 8), (uint8_t)w2, (uint8_t)(w2 >> 8)};
        const uint8_t repeats[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        v.insert(v.end(), repeats, repeats + 12);
        return v;
    };
    struct Case {
        const char* what;
        std::string data;
        size_t cut; // bytes dropped from the end
        bool ok;
    } cases[] = {{"odd size, padded", "hello", 0, true},
                 {"even size", "bytes!", 0, true},
                 {"odd size, padding missing", "hello", 1, false},
                 {"data cut short", "hello", 3, false}};
    for (const Case& c : cases) {
        std::vector<uint8_t> in = header((uint16_t)c.data.size());
        in.insert(in.end(), c.data.begin(), c.data.end());
        if (c.data.size() % 2) in.push_back(0);
        in.resize(in.size() - c.cut);
        std::vector<uint8_t> out(c.data.size());
        CLzxDecoder lzx;
        bool ok = lzx.Decompress(in.data(), in.size(), out.data(), out.size());
        EXPECT_EQ(c.ok, ok) << c.what;
        if (ok && c.cut == 0) {
            EXPECT_EQ(c.data, std::string(out.begin(), out.end())) << c.what;
        }
    }
}

// Every code the builder makes is complete (the decoders refuse others) and
// within its length limit, and only symbols that occur get a code.
TEST(WimCodecTest, HuffmanLengthsFormCompleteLimitedCodes)
{
    const unsigned kSymbols = CHuffmanEncoder::kMaxSymbols, kLimit = 15;
    struct Case {
        const char* what;
        std::vector<uint32_t> freq;
    };
    std::vector<Case> cases = {{"one symbol", {0, 0, 7}}, {"two symbols", {3, 0, 0, 9}},
                               {"all equal", std::vector<uint32_t>(kSymbols, 5)}};
    // Fibonacci weights make a tree 39 deep: it must be flattened to fit.
    std::vector<uint32_t> fib(40, 0);
    fib[0] = fib[1] = 1;
    for (size_t i = 2; i < fib.size(); ++i)
        fib[i] = fib[i - 1] + fib[i - 2];
    cases.push_back({"skewed past the limit", fib});
    std::vector<uint32_t> mixed(kSymbols, 0);
    for (unsigned s = 0; s < kSymbols; s += 3)
        mixed[s] = 1 + (s * 2654435761u) % 1000;
    cases.push_back({"sparse and uneven", mixed});
    for (Case& c : cases) {
        c.freq.resize(kSymbols, 0);
        uint8_t lengths[CHuffmanEncoder::kMaxSymbols];
        CHuffmanEncoder::BuildLengths(c.freq.data(), kSymbols, kLimit, lengths);
        uint64_t kraft = 0; // in units of 2^-kLimit
        unsigned coded = 0;
        for (unsigned s = 0; s < kSymbols; ++s) {
            ASSERT_LE(lengths[s], kLimit) << c.what;
            if (c.freq[s]) {
                EXPECT_GT(lengths[s], 0) << c.what << ": symbol " << s;
            }
            if (lengths[s]) {
                kraft += 1ull << (kLimit - lengths[s]);
                ++coded;
            }
        }
        EXPECT_GE(coded, 2u) << c.what;
        EXPECT_EQ(1ull << kLimit, kraft) << c.what << ": not a complete code";
    }
}

TEST(WimCodecTest, Sha1KnownAnswers)
{
    struct Case {
        std::string input;
        const char* hex;
    } cases[] = {{"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
                 {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
                 {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"}};
    for (const Case& c : cases) {
        Sha1Digest d = CSha1::Of(c.input.data(), c.input.size());
        char hex[41];
        for (int i = 0; i < 20; ++i)
            snprintf(hex + 2 * i, 3, "%02x", d.bytes[i]);
        EXPECT_STREQ(c.hex, hex) << "input of " << c.input.size() << " bytes";
    }
}

// The processor's SHA instructions, where used, agree with the portable code
// at every length and alignment around the block size.
TEST(WimCodecTest, Sha1InstructionsMatchPortable)
{
    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (uint8_t)(i * 131 + (i >> 7));
    printf("SHA instructions %s\n", CSha1::Accelerated() ? "used" : "not available");
    const size_t lengths[] = {0, 1, 55, 56, 63, 64, 65, 127, 128, 129, 1000, 4096, 4999};
    for (size_t offset = 0; offset < 3; ++offset)
        for (size_t n : lengths) {
            Sha1Digest fast = CSha1::Of(data.data() + offset, n);
            EXPECT_TRUE(fast == CSha1::PortableOf(data.data() + offset, n)) << n << " bytes at +" << offset;
        }
    // Fed in uneven pieces.
    CSha1 pieces;
    for (size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 97 + 1)
        pieces.Update(data.data() + at, std::min(step, data.size() - at));
    EXPECT_TRUE(pieces.Final() == CSha1::PortableOf(data.data(), data.size()));
}

// A job limited to some workers runs every piece, on those workers only.
TEST(WimCodecTest, WorkerPoolKeepsALimitedJobToItsWorkers)
{
    CWorkerPool& pool = CWorkerPool::Instance();
    const size_t kPieces = 2000;
    for (unsigned limit : {0u, 1u, 2u, pool.Workers()}) {
        std::vector<std::atomic<int>> runs(kPieces);
        std::atomic<unsigned> highest{0};
        pool.Run(kPieces, [&](size_t i, unsigned worker) {
            runs[i]++;
            Sleep(0); // long enough for every worker to wake and take pieces
            for (unsigned seen = highest; worker > seen && !highest.compare_exchange_weak(seen, worker);) {
            }
        }, 2, limit);
        for (size_t i = 0; i < kPieces; ++i)
            ASSERT_EQ(1, runs[i].load()) << "limit " << limit << ", piece " << i;
        EXPECT_LT(highest.load(), limit ? limit : pool.Workers()) << "limit " << limit;
    }
}
