// Decompression of one LZX chunk of a WIM resource (32 KiB window, each
// chunk on its own, x86 call translation always on).
#pragma once

#include <cstddef>
#include <cstdint>

#include "CHuffmanDecoder.h"

class CLzxDecoder {
public:
    bool Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

    static const unsigned kNumMainSymbols = 256 + 30 * 8;
    static const unsigned kNumLengthSymbols = 249;

private:
    class BitReader;
    bool ReadLengths(BitReader& br, uint8_t* lengths, unsigned first, unsigned count);
    bool DecodeBlock(BitReader& br, int type, uint8_t* out, size_t* position, size_t blockEnd, size_t end);
    static void UndoCallTranslation(uint8_t* data, size_t size);

    uint8_t m_mainLengths[kNumMainSymbols];
    uint8_t m_lengthLengths[kNumLengthSymbols];
    uint32_t m_r[3];
    CHuffmanDecoder m_main;
    CHuffmanDecoder m_length;
    CHuffmanDecoder m_aligned;
    CHuffmanDecoder m_pre;
};
