// SHA-1 of a stream, fed in pieces. WIM files name every stream by it.
#pragma once

#include <cstddef>
#include <cstdint>

struct Sha1Digest {
    uint8_t bytes[20];
    bool operator==(const Sha1Digest& other) const;
    bool operator!=(const Sha1Digest& other) const { return !(*this == other); }
    bool operator<(const Sha1Digest& other) const;
    bool IsZero() const;
};

class CSha1 {
public:
    CSha1();
    void Update(const void* data, size_t size);
    Sha1Digest Final();
    static Sha1Digest Of(const void* data, size_t size);
    // Whether this processor's SHA instructions are used.
    static bool Accelerated();
    // The portable code only, to check the other against it.
    static Sha1Digest PortableOf(const void* data, size_t size);

private:
    void Block(const uint8_t* block);
    void Blocks(const uint8_t* data, size_t blocks);

    uint32_t m_state[5];
    uint64_t m_totalBytes;
    uint8_t m_buffer[64];
    size_t m_buffered;
    bool m_portable = false;
};
