#include "CSha1.h"

#include <cstring>

namespace {
inline uint32_t Rol(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
}

bool Sha1Digest::operator==(const Sha1Digest& other) const { return memcmp(bytes, other.bytes, 20) == 0; }
bool Sha1Digest::operator<(const Sha1Digest& other) const { return memcmp(bytes, other.bytes, 20) < 0; }
bool Sha1Digest::IsZero() const
{
    for (uint8_t b : bytes)
        if (b) return false;
    return true;
}

CSha1::CSha1()
    : m_state{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u}, m_totalBytes(0), m_buffer{}, m_buffered(0)
{
}

void CSha1::Block(const uint8_t* p)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t)p[4 * i] << 24 | (uint32_t)p[4 * i + 1] << 16 | (uint32_t)p[4 * i + 2] << 8 | p[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) { f = (b & c) | (~b & d); k = 0x5A827999u; }
        else if (i < 40) { f = b ^ c ^ d; k = 0x6ED9EBA1u; }
        else if (i < 60) { f = (b & c) | (b & d) | (c & d); k = 0x8F1BBCDCu; }
        else { f = b ^ c ^ d; k = 0xCA62C1D6u; }
        uint32_t t = Rol(a, 5) + f + e + k + w[i];
        e = d; d = c; c = Rol(b, 30); b = a; a = t;
    }
    m_state[0] += a; m_state[1] += b; m_state[2] += c; m_state[3] += d; m_state[4] += e;
}

void CSha1::Update(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    m_totalBytes += size;
    if (m_buffered) {
        size_t take = 64 - m_buffered < size ? 64 - m_buffered : size;
        memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take; p += take; size -= take;
        if (m_buffered < 64) return;
        Block(m_buffer);
        m_buffered = 0;
    }
    for (; size >= 64; p += 64, size -= 64)
        Block(p);
    memcpy(m_buffer, p, size);
    m_buffered = size;
}

Sha1Digest CSha1::Final()
{
    uint64_t bits = m_totalBytes * 8;
    uint8_t pad[72] = {0x80};
    size_t padLen = (m_buffered < 56 ? 56 : 120) - m_buffered;
    for (int i = 0; i < 8; ++i)
        pad[padLen + i] = (uint8_t)(bits >> (56 - 8 * i));
    Update(pad, padLen + 8);
    Sha1Digest d;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            d.bytes[4 * i + j] = (uint8_t)(m_state[i] >> (24 - 8 * j));
    return d;
}

Sha1Digest CSha1::Of(const void* data, size_t size)
{
    CSha1 s;
    s.Update(data, size);
    return s.Final();
}
