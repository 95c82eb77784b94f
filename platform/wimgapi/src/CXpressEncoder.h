// Compression of one chunk (at most 64 KiB) into the XPRESS (LZ77 + Huffman)
// format. Holds its match-finder tables so that a writer can reuse them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CXpressEncoder {
public:
    CXpressEncoder();
    // Returns the compressed size, or 0 when the result would not be smaller
    // than the input (the writer then stores the chunk as it is).
    size_t Compress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outCapacity);

private:
    struct Token {
        uint32_t length; // 0 = a run of literals
        uint32_t value;  // the run's byte count, or the match offset
    };

    void Parse(const uint8_t* in, size_t inSize);
    // Also enters pos in the tables (Insert), hashing it once for both.
    uint32_t LongestMatch(const uint8_t* in, size_t pos, size_t inSize, uint32_t* offset);
    // Enters pos in the tables; returns the chain's head before it.
    uint32_t Insert(const uint8_t* in, size_t pos, size_t inSize);
    void Literals(size_t count);

    // Twice as many heads as a chunk has positions (512 KiB): with fewer,
    // chains fill with positions whose four bytes differ.
    static const unsigned kHashBits = 17;
    // Hash heads and chains hold m_base + position; below m_base is empty.
    std::vector<uint32_t> m_head;
    std::vector<uint32_t> m_prev;
    uint32_t m_base = 0;
    std::vector<Token> m_tokens;
};
