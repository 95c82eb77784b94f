#include "CHuffmanDecoder.h"

bool CHuffmanDecoder::Build(const uint8_t* lengths, unsigned numSymbols, unsigned maxLength)
{
    m_maxLength = maxLength;
    m_tableBits = maxLength < kTableBits ? maxLength : kTableBits;
    for (unsigned i = 0; i <= 16; ++i)
        m_count[i] = 0;
    for (unsigned s = 0; s < numSymbols; ++s) {
        if (lengths[s] > maxLength) return false;
        m_count[lengths[s]]++;
    }
    m_count[0] = 0;
    uint32_t code = 0, index = 0;
    int64_t left = 1;
    for (unsigned len = 1; len <= maxLength; ++len) {
        left = left * 2 - m_count[len];
        if (left < 0) return false;
        m_firstCode[len] = code;
        m_firstIndex[len] = index;
        code = (code + m_count[len]) << 1;
        index += m_count[len];
    }
    m_sorted.assign(index, 0);
    uint32_t next[17];
    for (unsigned len = 1; len <= maxLength; ++len)
        next[len] = m_firstIndex[len];
    for (unsigned s = 0; s < numSymbols; ++s)
        if (lengths[s]) m_sorted[next[lengths[s]]++] = (uint16_t)s;

    m_table.assign(1u << m_tableBits, 0);
    for (unsigned len = 1; len <= m_tableBits; ++len) {
        for (uint32_t i = 0; i < m_count[len]; ++i) {
            uint32_t c = m_firstCode[len] + i;
            uint32_t sym = m_sorted[m_firstIndex[len] + i];
            uint32_t first = c << (m_tableBits - len);
            uint32_t span = 1u << (m_tableBits - len);
            for (uint32_t j = 0; j < span; ++j)
                m_table[first + j] = sym << 8 | len;
        }
    }
    return true;
}

int CHuffmanDecoder::Decode(uint32_t peek, unsigned* length) const
{
    if (m_maxLength == 0) return -1;
    uint32_t entry = m_table[peek >> (m_maxLength - m_tableBits)];
    if (entry) {
        *length = entry & 0xFF;
        return (int)(entry >> 8);
    }
    for (unsigned len = m_tableBits + 1; len <= m_maxLength; ++len) {
        uint32_t c = peek >> (m_maxLength - len);
        if (c - m_firstCode[len] < m_count[len]) {
            *length = len;
            return m_sorted[m_firstIndex[len] + (c - m_firstCode[len])];
        }
    }
    return -1;
}
