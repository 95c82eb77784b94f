// Canonical Huffman code read most-significant bit first, as both WIM
// compression formats use it: codes are ordered by length, then by symbol.
#pragma once

#include <cstdint>
#include <vector>

class CHuffmanDecoder {
public:
    // FALSE for an over-subscribed set of lengths. An incomplete code is
    // accepted; its unused bit patterns fail when decoded.
    bool Build(const uint8_t* lengths, unsigned numSymbols, unsigned maxLength);
    // peek holds the next maxLength bits of the stream, first bit highest.
    // Returns the symbol and its length, or -1 for a pattern of no symbol.
    int Decode(uint32_t peek, unsigned* length) const;
    unsigned MaxLength() const { return m_maxLength; }

private:
    static const unsigned kTableBits = 10;

    unsigned m_maxLength = 0;
    unsigned m_tableBits = 0;
    std::vector<uint32_t> m_table; // symbol << 8 | length; 0 = none
    uint32_t m_count[17] = {};
    uint32_t m_firstCode[17] = {};
    uint32_t m_firstIndex[17] = {};
    std::vector<uint16_t> m_sorted;
};
