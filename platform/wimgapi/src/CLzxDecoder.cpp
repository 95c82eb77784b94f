#include "CLzxDecoder.h"

#include <cstring>

namespace {

const unsigned kNumSlots = 30;
const uint32_t kTranslationSize = 12000000;

const uint8_t kFooterBits[kNumSlots] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint32_t kSlotBase[kNumSlots] = {0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96, 128,
                                       192, 256, 384, 512, 768, 1024, 1536, 2048, 3072, 4096, 6144,
                                       8192, 12288, 16384, 24576};

} // namespace

// 16-bit little-endian words, bits taken from the top. Reading past the end
// yields zeros and marks the reader overrun. The buffer holds up to four
// words, so that most symbols need no refill.
class CLzxDecoder::BitReader {
public:
    BitReader(const uint8_t* in, size_t size) : m_in(in), m_size(size) {}

    // Looking ahead past the end is harmless; using those bits is not.
    bool Overrun() const { return m_pos * 8 - m_bits > (m_size & ~(size_t)1) * 8; }
    void Ensure(unsigned n)
    {
        if (m_bits >= n) return;
        while (m_bits <= kBufferBits - 16) {
            uint64_t w = 0;
            if (m_pos + 2 <= m_size) w = m_in[m_pos] | m_in[m_pos + 1] << 8;
            m_pos += 2;
            m_buf |= w << (kBufferBits - 16 - m_bits);
            m_bits += 16;
        }
    }
    uint32_t Peek(unsigned n) { Ensure(n); return (uint32_t)(m_buf >> (kBufferBits - n)); }
    void Skip(unsigned n) { m_buf <<= n; m_bits -= n; }
    uint32_t Read(unsigned n)
    {
        if (!n) return 0;
        uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    int Symbol(const CHuffmanDecoder& code)
    {
        unsigned len = 0;
        int s = code.Decode(Peek(code.MaxLength()), &len);
        if (s >= 0) Skip(len);
        return s;
    }
    // Drops 1 to 16 bits to reach a word boundary, for a stored block; the
    // whole words read ahead are given back.
    void Align()
    {
        Ensure(1);
        Skip((m_bits - 1) % 16 + 1);
        m_pos -= m_bits / 8;
        m_buf = 0;
        m_bits = 0;
    }
    bool Bytes(uint8_t* dst, size_t n)
    {
        if (m_pos > m_size || m_size - m_pos < n) return false;
        memcpy(dst, m_in + m_pos, n);
        m_pos += n;
        return true;
    }
    bool SkipByte() { return Bytes(m_pad, 1); }

private:
    static const unsigned kBufferBits = 64;

    const uint8_t* m_in;
    size_t m_size;
    size_t m_pos = 0;
    uint64_t m_buf = 0;
    unsigned m_bits = 0;
    uint8_t m_pad[1];
};

bool CLzxDecoder::ReadLengths(BitReader& br, uint8_t* lengths, unsigned first, unsigned count)
{
    uint8_t pre[20];
    for (unsigned i = 0; i < 20; ++i)
        pre[i] = (uint8_t)br.Read(4);
    if (!m_pre.Build(pre, 20, 15)) return false;
    unsigned i = first, end = first + count;
    while (i < end) {
        int sym = br.Symbol(m_pre);
        if (sym < 0) return false;
        unsigned run = 1;
        uint8_t value;
        if (sym == 17) {
            run = 4 + br.Read(4);
            value = 0;
        } else if (sym == 18) {
            run = 20 + br.Read(5);
            value = 0;
        } else if (sym == 19) {
            run = 4 + br.Read(1);
            sym = br.Symbol(m_pre);
            if (sym < 0 || sym > 16) return false;
            value = (uint8_t)((lengths[i] + 17 - sym) % 17);
        } else {
            value = (uint8_t)((lengths[i] + 17 - sym) % 17);
        }
        if (run > end - i) return false;
        for (unsigned k = 0; k < run; ++k)
            lengths[i + k] = value;
        i += run;
    }
    return !br.Overrun();
}

bool CLzxDecoder::DecodeBlock(BitReader& br, int type, uint8_t* out, size_t* position, size_t blockEnd, size_t end)
{
    size_t pos = *position;
    while (pos < blockEnd) {
        int sym = br.Symbol(m_main);
        if (sym < 0 || br.Overrun()) return false;
        if (sym < 256) {
            out[pos++] = (uint8_t)sym;
            continue;
        }
        sym -= 256;
        uint32_t length = sym & 7;
        unsigned slot = (unsigned)sym >> 3;
        if (length == 7) {
            int extra = br.Symbol(m_length);
            if (extra < 0) return false;
            length += (uint32_t)extra;
        }
        length += 2;
        uint32_t offset;
        if (slot == 0) {
            offset = m_r[0];
        } else if (slot == 1) {
            offset = m_r[1];
            m_r[1] = m_r[0];
            m_r[0] = offset;
        } else if (slot == 2) {
            offset = m_r[2];
            m_r[2] = m_r[0];
            m_r[0] = offset;
        } else {
            unsigned footer = kFooterBits[slot];
            uint32_t extra;
            if (type == 2 && footer >= 3) {
                extra = br.Read(footer - 3) << 3;
                int aligned = br.Symbol(m_aligned);
                if (aligned < 0) return false;
                extra += (uint32_t)aligned;
            } else {
                extra = br.Read(footer);
            }
            offset = kSlotBase[slot] + extra - 2;
            m_r[2] = m_r[1];
            m_r[1] = m_r[0];
            m_r[0] = offset;
        }
        if (offset == 0 || offset > pos || length > end - pos) return false;
        const uint8_t* src = out + pos - offset;
        if (offset >= length) {
            memcpy(out + pos, src, length);
        } else {
            for (uint32_t i = 0; i < length; ++i)
                out[pos + i] = src[i]; // overlapping: repeats what it copies
        }
        pos += length;
    }
    *position = pos;
    return !br.Overrun();
}

void CLzxDecoder::UndoCallTranslation(uint8_t* data, size_t size)
{
    if (size <= 10) return;
    for (size_t i = 0; i < size - 10;) {
        if (data[i] != 0xE8) {
            ++i;
            continue;
        }
        int32_t abs = (int32_t)((uint32_t)data[i + 1] | (uint32_t)data[i + 2] << 8 | (uint32_t)data[i + 3] << 16 |
                                (uint32_t)data[i + 4] << 24);
        int32_t cur = (int32_t)i;
        if (abs >= -cur && abs < (int32_t)kTranslationSize) {
            int32_t rel = abs >= 0 ? abs - cur : abs + (int32_t)kTranslationSize;
            for (int k = 0; k < 4; ++k)
                data[i + 1 + k] = (uint8_t)((uint32_t)rel >> (8 * k));
        }
        i += 5;
    }
}

bool CLzxDecoder::Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize)
{
    memset(m_mainLengths, 0, sizeof(m_mainLengths));
    memset(m_lengthLengths, 0, sizeof(m_lengthLengths));
    m_r[0] = m_r[1] = m_r[2] = 1;
    BitReader br(in, inSize);
    size_t pos = 0;
    while (pos < outSize) {
        int type = (int)br.Read(3);
        size_t blockSize = br.Read(1) ? 32768 : br.Read(16);
        if (blockSize == 0 || br.Overrun()) return false;
        if (blockSize > outSize - pos) blockSize = outSize - pos;
        if (type == 1 || type == 2) {
            if (type == 2) {
                uint8_t aligned[8];
                for (unsigned i = 0; i < 8; ++i)
                    aligned[i] = (uint8_t)br.Read(3);
                if (!m_aligned.Build(aligned, 8, 7)) return false;
            }
            if (!ReadLengths(br, m_mainLengths, 0, 256)) return false;
            if (!ReadLengths(br, m_mainLengths, 256, kNumMainSymbols - 256)) return false;
            if (!m_main.Build(m_mainLengths, kNumMainSymbols, 16)) return false;
            if (!ReadLengths(br, m_lengthLengths, 0, kNumLengthSymbols)) return false;
            if (!m_length.Build(m_lengthLengths, kNumLengthSymbols, 16)) return false;
            // A match may run past the block's end; the next block starts after it.
            if (!DecodeBlock(br, type, out, &pos, pos + blockSize, outSize)) return false;
            continue;
        } else if (type == 3) {
            br.Align();
            uint8_t r[12];
            if (!br.Bytes(r, 12)) return false;
            for (int k = 0; k < 3; ++k)
                m_r[k] = (uint32_t)r[4 * k] | (uint32_t)r[4 * k + 1] << 8 | (uint32_t)r[4 * k + 2] << 16 |
                         (uint32_t)r[4 * k + 3] << 24;
            if (!br.Bytes(out + pos, blockSize)) return false;
            if ((blockSize & 1) && !br.SkipByte()) return false;
        } else {
            return false;
        }
        pos += blockSize;
    }
    UndoCallTranslation(out, outSize);
    return true;
}
