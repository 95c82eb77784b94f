#include "CXpressEncoder.h"

#include <algorithm>
#include <cstring>

#include "CHuffmanEncoder.h"

namespace {

const unsigned kNumSymbols = 512;
const uint32_t kMinMatch = 3;
const uint32_t kMaxChain = 24;
const uint32_t kNiceLength = 128;

unsigned Log2(uint32_t v)
{
    unsigned n = 0;
    while (v >>= 1) ++n;
    return n;
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

inline uint32_t Hash3(const uint8_t* p)
{
    uint32_t v = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    return (v * 0x9E3779B1u) >> (32 - 15);
}

} // namespace

CXpressEncoder::CXpressEncoder() : m_head(1u << kHashBits), m_prev(65536) {}

void CXpressEncoder::Insert(const uint8_t* in, size_t pos, size_t inSize)
{
    if (pos + kMinMatch > inSize) return;
    uint32_t h = Hash3(in + pos);
    m_prev[pos] = m_head[h];
    m_head[h] = (int32_t)pos;
}

uint32_t CXpressEncoder::LongestMatch(const uint8_t* in, size_t pos, size_t inSize, uint32_t* offset) const
{
    if (pos + kMinMatch > inSize) return 0;
    uint32_t best = 0;
    size_t maxLen = inSize - pos;
    int32_t cand = m_head[Hash3(in + pos)];
    for (uint32_t chain = 0; cand >= 0 && chain < kMaxChain; ++chain, cand = m_prev[cand]) {
        const uint8_t* a = in + cand;
        const uint8_t* b = in + pos;
        if (a[best] != b[best] || a[0] != b[0]) continue;
        size_t len = 0;
        while (len < maxLen && a[len] == b[len]) ++len;
        if (len > best) {
            best = (uint32_t)len;
            *offset = (uint32_t)(pos - cand);
            if (len >= kNiceLength || len == maxLen) break;
        }
    }
    return best >= kMinMatch ? best : 0;
}

void CXpressEncoder::Parse(const uint8_t* in, size_t inSize)
{
    std::fill(m_head.begin(), m_head.end(), -1);
    m_tokens.clear();
    size_t pos = 0;
    while (pos < inSize) {
        uint32_t offset = 0;
        uint32_t len = LongestMatch(in, pos, inSize, &offset);
        Insert(in, pos, inSize);
        if (len && len < kNiceLength && pos + 1 < inSize) {
            // One step of lazy evaluation: prefer a longer match one byte on.
            uint32_t nextOffset = 0;
            uint32_t next = LongestMatch(in, pos + 1, inSize, &nextOffset);
            if (next > len + 1) {
                m_tokens.push_back({0, in[pos]});
                ++pos;
                continue;
            }
        }
        if (!len) {
            m_tokens.push_back({0, in[pos]});
            ++pos;
            continue;
        }
        m_tokens.push_back({len, offset});
        for (size_t i = 1; i < len; ++i)
            Insert(in, pos + i, inSize);
        pos += len;
    }
}

size_t CXpressEncoder::Compress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outCapacity)
{
    if (inSize == 0 || inSize > 65536 || outCapacity < 260) return 0;
    Parse(in, inSize);

    uint32_t freq[kNumSymbols] = {};
    for (const Token& t : m_tokens)
        freq[t.length ? MatchSymbol(t.length, t.value) : t.value]++;
    freq[256]++; // end marker
    uint8_t lengths[kNumSymbols];
    uint32_t codes[kNumSymbols];
    CHuffmanEncoder::BuildLengths(freq, kNumSymbols, 15, lengths);
    CHuffmanEncoder::AssignCodes(lengths, kNumSymbols, codes);

    size_t limit = std::min(outCapacity, inSize);
    memset(out, 0, std::min<size_t>(limit, 264));
    for (unsigned i = 0; i < 256; ++i)
        out[i] = (uint8_t)(lengths[2 * i] | lengths[2 * i + 1] << 4);

    BitWriter w(out, limit);
    for (const Token& t : m_tokens) {
        if (!t.length) {
            w.Bits(codes[t.value], lengths[t.value]);
            continue;
        }
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
