#include "CSha1.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SHA1_HAVE_X86 1
#endif

namespace {
inline uint32_t Rol(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

#ifdef SHA1_HAVE_X86
const unsigned kCpuidFeatures = 1, kCpuidExtended = 7;
const unsigned kSsse3Bit = 1u << 9, kSse41Bit = 1u << 19; // leaf 1, ECX
const unsigned kShaBit = 1u << 29;                        // leaf 7, EBX

// The SHA extensions hash about ten times as fast as the portable code;
// asked of the processor once, since the same build runs on machines with
// and without them.
bool HasShaInstructions()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(kCpuidFeatures, &a, &b, &c, &d)) return false;
    if (!(c & kSsse3Bit) || !(c & kSse41Bit)) return false;
    if (__get_cpuid_max(0, nullptr) < kCpuidExtended) return false;
    __cpuid_count(kCpuidExtended, 0, a, b, c, d);
    return (b & kShaBit) != 0;
}

const bool g_shaInstructions = HasShaInstructions();

// Four rounds (group g of 20) with the message schedule interleaved: words
// of group g + 1 finished, of g + 3 started.
#define SHA1_GROUP(g)                                                                    \
    do {                                                                                 \
        if ((g) < 4) m[(g)] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * (g))), kByteSwap); \
        if ((g) == 0) e[0] = _mm_add_epi32(e[0], m[0]);                                  \
        else e[(g) & 1] = _mm_sha1nexte_epu32(e[(g) & 1], m[(g) % 4]);                  \
        e[((g) + 1) & 1] = abcd;                                                         \
        if ((g) >= 3 && (g) <= 18) m[((g) + 1) % 4] = _mm_sha1msg2_epu32(m[((g) + 1) % 4], m[(g) % 4]); \
        abcd = _mm_sha1rnds4_epu32(abcd, e[(g) & 1], (g) / 5);                          \
        if ((g) >= 1 && (g) <= 16) m[((g) + 3) % 4] = _mm_sha1msg1_epu32(m[((g) + 3) % 4], m[(g) % 4]); \
        if ((g) >= 2 && (g) <= 17) m[((g) + 2) % 4] = _mm_xor_si128(m[((g) + 2) % 4], m[(g) % 4]); \
    } while (0)

__attribute__((target("sha,sse4.1,ssse3"))) void BlocksWithShaInstructions(uint32_t* state, const uint8_t* data,
                                                                            size_t blocks)
{
    const __m128i kByteSwap = _mm_set_epi64x(0x0001020304050607ll, 0x08090a0b0c0d0e0fll);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32((int)state[4], 0, 0, 0);
    for (; blocks; --blocks, data += 64) {
        __m128i savedAbcd = abcd, savedE = e0;
        __m128i m[4];
        __m128i e[2] = {e0, e0};
        SHA1_GROUP(0); SHA1_GROUP(1); SHA1_GROUP(2); SHA1_GROUP(3); SHA1_GROUP(4);
        SHA1_GROUP(5); SHA1_GROUP(6); SHA1_GROUP(7); SHA1_GROUP(8); SHA1_GROUP(9);
        SHA1_GROUP(10); SHA1_GROUP(11); SHA1_GROUP(12); SHA1_GROUP(13); SHA1_GROUP(14);
        SHA1_GROUP(15); SHA1_GROUP(16); SHA1_GROUP(17); SHA1_GROUP(18); SHA1_GROUP(19);
        e0 = _mm_sha1nexte_epu32(e[0], savedE);
        abcd = _mm_add_epi32(abcd, savedAbcd);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = (uint32_t)_mm_extract_epi32(e0, 3);
}
#undef SHA1_GROUP
#endif
} // namespace

bool Sha1Digest::operator==(const Sha1Digest& other) const { return memcmp(bytes, other.bytes, 20) == 0; }
bool Sha1Digest::operator<(const Sha1Digest& other) const { return memcmp(bytes, other.bytes, 20) < 0; }
bool Sha1Digest::IsZero() const
{
    for (uint8_t b : bytes)
        if (b) return false;
    return true;
}

CSha1::CSha1()
    : m_state{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u}, m_totalBytes(0), m_buffer{}, m_buffered(0)
{
}

void CSha1::Block(const uint8_t* p)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t)p[4 * i] << 24 | (uint32_t)p[4 * i + 1] << 16 | (uint32_t)p[4 * i + 2] << 8 | p[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) { f = (b & c) | (~b & d); k = 0x5A827999u; }
        else if (i < 40) { f = b ^ c ^ d; k = 0x6ED9EBA1u; }
        else if (i < 60) { f = (b & c) | (b & d) | (c & d); k = 0x8F1BBCDCu; }
        else { f = b ^ c ^ d; k = 0xCA62C1D6u; }
        uint32_t t = Rol(a, 5) + f + e + k + w[i];
        e = d; d = c; c = Rol(b, 30); b = a; a = t;
    }
    m_state[0] += a; m_state[1] += b; m_state[2] += c; m_state[3] += d; m_state[4] += e;
}

void CSha1::Blocks(const uint8_t* p, size_t blocks)
{
#ifdef SHA1_HAVE_X86
    if (g_shaInstructions && !m_portable) {
        BlocksWithShaInstructions(m_state, p, blocks);
        return;
    }
#endif
    for (; blocks; --blocks, p += 64)
        Block(p);
}

bool CSha1::Accelerated()
{
#ifdef SHA1_HAVE_X86
    return g_shaInstructions;
#else
    return false;
#endif
}

void CSha1::Update(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_totalBytes += size;
    if (m_buffered) {
        size_t take = 64 - m_buffered < size ? 64 - m_buffered : size;
        memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take; p += take; size -= take;
        if (m_buffered < 64) return;
        Blocks(m_buffer, 1);
        m_buffered = 0;
    }
    size_t blocks = size / 64;
    if (blocks) Blocks(p, blocks);
    p += blocks * 64;
    size -= blocks * 64;
    memcpy(m_buffer, p, size);
    m_buffered = size;
}

Sha1Digest CSha1::Final()
{
    uint64_t bits = m_totalBytes * 8;
    uint8_t pad[72] = {0x80};
    size_t padLen = (m_buffered < 56 ? 56 : 120) - m_buffered;
    for (int i = 0; i < 8; ++i)
        pad[padLen + i] = (uint8_t)(bits >> (56 - 8 * i));
    Update(pad, padLen + 8);
    Sha1Digest d;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            d.bytes[4 * i + j] = (uint8_t)(m_state[i] >> (24 - 8 * j));
    return d;
}

Sha1Digest CSha1::Of(const void* data, size_t size)
{
    CSha1 s;
    s.Update(data, size);
    return s.Final();
}

Sha1Digest CSha1::PortableOf(const void* data, size_t size)
{
    CSha1 s;
    s.m_portable = true;
    s.Update(data, size);
    return s.Final();
}
