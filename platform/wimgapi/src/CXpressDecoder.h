// Decompression of one XPRESS (LZ77 + Huffman) chunk of a WIM resource.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CHuffmanDecoder.h"

class CXpressDecoder {
public:
    // Fills exactly outSize bytes; FALSE for data that does not decode to
    // that size (never reads or writes outside the two buffers).
    bool Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

private:
    CHuffmanDecoder m_code;
};
