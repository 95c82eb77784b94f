#include "CXpressEncoder.h"

#include <algorithm>
#include <cstring>

#include "CHuffmanEncoder.h"

namespace {

const unsigned kNumSymbols = 512;
const uint32_t kMinMatch = 3;
// Chains are keyed on four bytes: keyed on three, common short prefixes fill
// them with candidates that match no further, so longer matches fall out of
// reach; three-byte matches are given up for that, which costs little.
const uint32_t kHashLength = 4;
const size_t kTableBytes = 256; // the code lengths, two to a byte
const uint32_t kMaxChain = 16;
const uint32_t kNiceLength = 128;
// A match this long is taken at once: looking one byte further for a longer
// one costs a second search and rarely pays.
const uint32_t kLazyBelow = 32;
const size_t kMaxChunk = 65536;
// After 2^kSkipShift positions without a match, every other one is looked
// at, and so on up to one in kMaxSkip.
const unsigned kSkipShift = 5;
const size_t kMaxSkip = 64;
const uint32_t kChanceLength = 4;
// Once a match this long is found, a quarter of the chain is searched.
const uint32_t kGoodLength = 16;
// Positions are stored as base + position: a chunk raises the base past the
// positions of the one before, so the tables need no clearing per chunk.
const uint32_t kLastBase = 0xFFFFFFFFu - 2 * kMaxChunk;

unsigned Log2(uint32_t v)
{
    return v ? 31u - (unsigned)__builtin_clz(v) : 0u;
}

unsigned MatchSymbol(uint32_t length, uint32_t offset)
{
    uint32_t header = std::min<uint32_t>(length - kMinMatch, 15);
    return 256 + (Log2(offset) << 4) + header;
}

// Places 16-bit words where the decoder will fetch them: a word is read as
// soon as the bits consumed pass the end of the previous one, so its slot is
// reserved at that moment, before any length bytes that follow.
class BitWriter {
public:
    BitWriter(uint8_t* out, size_t capacity) : m_out(out), m_cap(capacity)
    {
        m_slots[0] = 256;
        m_slots[1] = 258;
        m_pos = 260;
    }
    bool Ok() const { return m_ok; }
    size_t Size() const { return m_pos; }

    void Bits(uint32_t value, unsigned count)
    {
        if (!count) return;
        m_acc = (m_acc << count) | (value & ((1u << count) - 1));
        m_accBits += count;
        m_total += count;
        if (m_accBits >= 16) {
            m_accBits -= 16;
            Store((uint16_t)(m_acc >> m_accBits));
        }
        if (m_total > 16ull * (m_nextSlot - 1)) {
            m_slots[m_nextSlot % 4] = m_pos;
            ++m_nextSlot;
            size_t at = m_pos;
            if (Advance(2)) m_out[at] = m_out[at + 1] = 0;
        }
    }
    void Byte(uint8_t v)
    {
        size_t at = m_pos;
        if (Advance(1)) m_out[at] = v;
    }
    void Word(uint16_t v)
    {
        Byte((uint8_t)v);
        Byte((uint8_t)(v >> 8));
    }
    void Flush()
    {
        if (m_accBits) Store((uint16_t)(m_acc << (16 - m_accBits)));
        m_accBits = 0;
    }

private:
    bool Advance(size_t n)
    {
        if (m_pos + n > m_cap) { m_ok = false; return false; }
        m_pos += n;
        return true;
    }
    void Store(uint16_t word)
    {
        size_t at = m_slots[m_word % 4];
        ++m_word;
        if (!m_ok || at + 2 > m_cap) return;
        m_out[at] = (uint8_t)word;
        m_out[at + 1] = (uint8_t)(word >> 8);
    }

    uint8_t* m_out;
    size_t m_cap;
    size_t m_pos;
    size_t m_slots[4] = {};
    uint64_t m_word = 0;
    uint64_t m_nextSlot = 2;
    uint64_t m_total = 0;
    uint64_t m_acc = 0;
    unsigned m_accBits = 0;
    bool m_ok = true;
};

// Bytes a and b share, up to max, eight at a time.
inline size_t CommonLength(const uint8_t* a, const uint8_t* b, size_t max)
{
    size_t len = 0;
    while (len + 8 <= max) {
        uint64_t x, y;
        memcpy(&x, a + len, 8);
        memcpy(&y, b + len, 8);
        if (uint64_t diff = x ^ y) return len + ((size_t)__builtin_ctzll(diff) >> 3);
        len += 8;
    }
    while (len < max && a[len] == b[len]) ++len;
    return len;
}

inline uint32_t Hash4(const uint8_t* p, unsigned bits)
{
    uint32_t v;
    memcpy(&v, p, kHashLength);
    return (v * 0x9E3779B1u) >> (32 - bits);
}

} // namespace

CXpressEncoder::CXpressEncoder() : m_head(1u << kHashBits, 0), m_prev(kMaxChunk)
{
    m_tokens.reserve(kMaxChunk + 1);
}

uint32_t CXpressEncoder::Insert(const uint8_t* in, size_t pos, size_t inSize)
{
    if (pos + kHashLength > inSize) return 0;
    uint32_t h = Hash4(in + pos, kHashBits);
    uint32_t before = m_head[h];
    m_prev[pos] = before;
    m_head[h] = m_base + (uint32_t)pos;
    return before;
}

uint32_t CXpressEncoder::LongestMatch(const uint8_t* in, size_t pos, size_t inSize, uint32_t* offset)
{
    if (pos + kHashLength > inSize) return 0;
    uint32_t best = 0;
    size_t maxLen = inSize - pos;
    uint32_t at = Insert(in, pos, inSize);
    for (uint32_t chain = 0; at >= m_base && chain < kMaxChain; ++chain, at = m_prev[at - m_base]) {
        size_t cand = at - m_base;
        const uint8_t* a = in + cand;
        const uint8_t* b = in + pos;
        if (a[best] != b[best] || a[0] != b[0]) continue;
        size_t len = CommonLength(a, b, maxLen);
        if (len > best) {
            if (best < kGoodLength && len >= kGoodLength) chain += (kMaxChain - chain) * 3 / 4;
            best = (uint32_t)len;
            *offset = (uint32_t)(pos - cand);
            if (len >= kNiceLength || len == maxLen) break;
        }
    }
    return best >= kMinMatch ? best : 0;
}

// Literals go in runs: a token per byte costs more than finding the matches
// in data that hardly compresses.
void CXpressEncoder::Literals(size_t count)
{
    if (!m_tokens.empty() && m_tokens.back().length == 0) m_tokens.back().value += (uint32_t)count;
    else m_tokens.push_back({0, (uint32_t)count});
}

void CXpressEncoder::Parse(const uint8_t* in, size_t inSize)
{
    if (m_base >= kLastBase) {
        std::fill(m_head.begin(), m_head.end(), 0);
        m_base = 0;
    }
    m_base += kMaxChunk; // past every position of the chunk before
    m_tokens.clear();
    size_t pos = 0;
    size_t inserted = 0; // positions below this are in the tables
    uint32_t misses = 0;
    auto insertTo = [&](size_t end) {
        for (; inserted < end; ++inserted)
            Insert(in, inserted, inSize);
    };
    while (pos < inSize) {
        uint32_t offset = 0;
        uint32_t len = LongestMatch(in, pos, inSize, &offset);
        inserted = pos + 1;
        if (!len) {
            // Where nothing matches for a while the data hardly compresses:
            // look less often, still emitting every byte.
            size_t step = std::min<size_t>(1 + (misses++ >> kSkipShift), kMaxSkip);
            step = std::min(step, inSize - pos);
            Literals(step);
            pos += step;
            continue;
        }
        // A short match in data that does not compress is chance.
        misses = len > kChanceLength ? 0 : misses / 2;
        // Lazy evaluation: while a match one byte on is longer, emit a
        // literal and take that one instead.
        while (len < kLazyBelow && pos + 1 < inSize) {
            uint32_t nextOffset = 0;
            uint32_t next = LongestMatch(in, pos + 1, inSize, &nextOffset);
            inserted = pos + 2;
            if (next <= len + 1) break;
            Literals(1);
            ++pos;
            len = next;
            offset = nextOffset;
        }
        m_tokens.push_back({len, offset});
        pos += len;
        insertTo(pos);
    }
}

size_t CXpressEncoder::Compress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outCapacity)
{
    if (inSize == 0 || inSize > kMaxChunk || outCapacity < 260) return 0;
    Parse(in, inSize);

    uint32_t freq[kNumSymbols] = {};
    const uint8_t* at = in;
    for (const Token& t : m_tokens) {
        if (t.length) {
            freq[MatchSymbol(t.length, t.value)]++;
            at += t.length;
            continue;
        }
        for (const uint8_t* end = at + t.value; at < end; ++at)
            freq[*at]++;
    }
    freq[256]++; // end marker
    uint8_t lengths[kNumSymbols];
    uint32_t codes[kNumSymbols];
    CHuffmanEncoder::BuildLengths(freq, kNumSymbols, 15, lengths);
    CHuffmanEncoder::AssignCodes(lengths, kNumSymbols, codes);
    // Symbols and offset bits alone: a chunk that cannot shrink is stored
    // before any bit is written.
    uint64_t bits = 0;
    for (unsigned s = 0; s < kNumSymbols; ++s)
        bits += (uint64_t)freq[s] * lengths[s];
    for (const Token& t : m_tokens)
        if (t.length) bits += Log2(t.value);
    if (kTableBytes + bits / 8 >= inSize) return 0;

    size_t limit = std::min(outCapacity, inSize);
    memset(out, 0, std::min<size_t>(limit, 264));
    for (unsigned i = 0; i < 256; ++i)
        out[i] = (uint8_t)(lengths[2 * i] | lengths[2 * i + 1] << 4);

    BitWriter w(out, limit);
    at = in;
    for (const Token& t : m_tokens) {
        if (!t.length) {
            for (const uint8_t* end = at + t.value; at < end; ++at)
                w.Bits(codes[*at], lengths[*at]);
            if (!w.Ok()) return 0;
            continue;
        }
        at += t.length;
        unsigned sym = MatchSymbol(t.length, t.value);
        w.Bits(codes[sym], lengths[sym]);
        uint32_t extra = t.length - kMinMatch;
        if (extra >= 15) {
            if (extra - 15 < 255) {
                w.Byte((uint8_t)(extra - 15));
            } else {
                w.Byte(255);
                w.Word((uint16_t)extra);
            }
        }
        unsigned offBits = Log2(t.value);
        w.Bits(t.value - (1u << offBits), offBits);
        if (!w.Ok()) return 0;
    }
    w.Bits(codes[256], lengths[256]);
    w.Flush();
    if (!w.Ok() || w.Size() >= inSize) return 0;
    return w.Size();
}
