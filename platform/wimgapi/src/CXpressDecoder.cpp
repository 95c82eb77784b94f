#include "CXpressDecoder.h"

namespace {

const size_t kTableBytes = 256;
const unsigned kNumSymbols = 512;

// Reads the chunk the way the format defines it: a 32-bit window over
// 16-bit little-endian words, with length bytes interleaved in the input.
class InputCursor {
public:
    InputCursor(const uint8_t* in, size_t size) : m_in(in), m_size(size), m_pos(kTableBytes) {}
    uint32_t Read16()
    {
        uint32_t v = Byte(m_pos) | Byte(m_pos + 1) << 8;
        m_pos += 2;
        return v;
    }
    bool ReadByte(uint32_t* v)
    {
        if (m_pos >= m_size) return false;
        *v = m_in[m_pos++];
        return true;
    }
    bool Read16Strict(uint32_t* v)
    {
        if (m_pos + 2 > m_size) return false;
        *v = Read16();
        return true;
    }

private:
    // A decoder may look a little past the last word it needs.
    uint32_t Byte(size_t i) const { return i < m_size ? m_in[i] : 0; }

    const uint8_t* m_in;
    size_t m_size;
    size_t m_pos;
};

} // namespace

bool CXpressDecoder::Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize)
{
    if (inSize < kTableBytes + 4) return outSize == 0;
    uint8_t lengths[kNumSymbols];
    for (unsigned i = 0; i < kTableBytes; ++i) {
        lengths[2 * i] = in[i] & 0x0F;
        lengths[2 * i + 1] = in[i] >> 4;
    }
    if (!m_code.Build(lengths, kNumSymbols, 15)) return false;

    InputCursor cur(in, inSize);
    uint32_t nextBits = cur.Read16() << 16;
    nextBits |= cur.Read16();
    int extraBits = 16;
    size_t outPos = 0;

    auto consume = [&](unsigned n) {
        if (n == 0) return;
        nextBits <<= n;
        extraBits -= (int)n;
        if (extraBits < 0) {
            nextBits |= cur.Read16() << (-extraBits);
            extraBits += 16;
        }
    };

    while (outPos < outSize) {
        unsigned len = 0;
        int sym = m_code.Decode(nextBits >> 17, &len);
        if (sym < 0) return false;
        consume(len);
        if (sym < 256) {
            out[outPos++] = (uint8_t)sym;
            continue;
        }
        sym -= 256;
        uint32_t matchLen = sym & 15;
        unsigned offsetBits = (unsigned)sym >> 4;
        if (matchLen == 15) {
            if (!cur.ReadByte(&matchLen)) return false;
            if (matchLen == 255) {
                if (!cur.Read16Strict(&matchLen) || matchLen < 15) return false;
                matchLen -= 15;
            }
            matchLen += 15;
        }
        matchLen += 3;
        uint32_t offset = offsetBits ? nextBits >> (32 - offsetBits) : 0;
        offset += 1u << offsetBits;
        consume(offsetBits);
        if (offset > outPos || matchLen > outSize - outPos) return false;
        const uint8_t* src = out + outPos - offset;
        for (uint32_t i = 0; i < matchLen; ++i)
            out[outPos + i] = src[i];
        outPos += matchLen;
    }
    return true;
}
