// Builds a length-limited canonical Huffman code from symbol frequencies.
#pragma once

#include <cstdint>

class CHuffmanEncoder {
public:
    static const unsigned kMaxSymbols = 512; // symbols beyond have no code
    // lengths[i] = 0 for a symbol of frequency 0. At least two symbols get a
    // code, so that every code is complete.
    static void BuildLengths(const uint32_t* freq, unsigned numSymbols, unsigned maxLength, uint8_t* lengths);
    // Canonical codes in the order the decoders expect them.
    static void AssignCodes(const uint8_t* lengths, unsigned numSymbols, uint32_t* codes);
};
