#include "ZQSimScrambler.h"

namespace {

// Nibble substitution of short files and of the first four bytes.
const BYTE kNibble[16] = {0x9, 0x4, 0xE, 0x1, 0xB, 0x7, 0x0, 0xD, 0x3, 0xC, 0x6, 0xF, 0x2, 0x8, 0x5, 0xA};
// Feedback of the first register, indexed by its top four bits.
const BYTE kFeedback[16] = {0x5B, 0xC2, 0x17, 0xE9, 0x3D, 0x84, 0xA6, 0x70,
                            0x1F, 0xD8, 0x62, 0xB5, 0x09, 0x4E, 0xF3, 0x2A};

BYTE Rotl8(BYTE b, int n)
{
    return static_cast<BYTE>((b << n) | (b >> (8 - n)));
}

// The 256-entry byte substitution; bijective, so files can be made.
struct ByteTables {
    BYTE abForward[256];
    BYTE abInverse[256];
    ByteTables()
    {
        for (int b = 0; b < 256; ++b) {
            abForward[b] = static_cast<BYTE>(Rotl8(static_cast<BYTE>(b * 167 + 89), 3) ^ 0xA5);
            abInverse[abForward[b]] = static_cast<BYTE>(b);
        }
    }
};

const ByteTables& Tables()
{
    static const ByteTables s_tables;
    return s_tables;
}

BYTE NibbleInverse(BYTE n)
{
    for (BYTE i = 0; i < 16; ++i) {
        if (kNibble[i] == n)
            return i;
    }
    return 0;
}

} // namespace

// Two shift registers seeded from the first four (unscrambled) bytes.
class ZQSimScrambler::Keystream {
public:
    explicit Keystream(const BYTE (&abSeed)[4])
        : m_dwReg1((static_cast<DWORD>(abSeed[0]) << 24) | (static_cast<DWORD>(abSeed[1]) << 16)
                   | (static_cast<DWORD>(abSeed[2]) << 4) | 0x00000001),
          m_dwReg2((static_cast<DWORD>(abSeed[3]) << 20) | (static_cast<DWORD>(abSeed[1]) << 8)
                   | (static_cast<DWORD>(abSeed[0]) >> 4) | 0x80000000)
    {
    }

    BYTE Next()
    {
        BYTE bFeed1 = static_cast<BYTE>(kFeedback[m_dwReg1 >> 28] ^ (m_dwReg1 >> 5) ^ (m_dwReg1 >> 13));
        BYTE bFeed2 = static_cast<BYTE>((m_dwReg2 >> 3) ^ (m_dwReg2 >> 11) ^ (m_dwReg2 >> 17));
        DWORD dwSum = static_cast<BYTE>(~bFeed1) + static_cast<BYTE>(~bFeed2) + m_dwCarry;
        m_dwCarry = dwSum >> 8;
        m_dwReg1 = (m_dwReg1 >> 8) | (static_cast<DWORD>(bFeed1) << 24);
        m_dwReg2 = (m_dwReg2 >> 8) | (static_cast<DWORD>(bFeed2) << 24);
        return static_cast<BYTE>(dwSum);
    }

private:
    DWORD m_dwReg1;
    DWORD m_dwReg2;
    DWORD m_dwCarry = 0;
};

BYTE ZQSimScrambler::UnswapNibbles(BYTE b)
{
    return static_cast<BYTE>((kNibble[b & 0x0F] << 4) | kNibble[b >> 4]);
}

BYTE ZQSimScrambler::SwapNibbles(BYTE b)
{
    return static_cast<BYTE>((NibbleInverse(b & 0x0F) << 4) | NibbleInverse(b >> 4));
}

void ZQSimScrambler::Unscramble(std::vector<BYTE>& vecData)
{
    size_t nHead = vecData.size() < 4 ? vecData.size() : 4;
    for (size_t i = 0; i < nHead; ++i)
        vecData[i] = UnswapNibbles(vecData[i]);
    if (vecData.size() <= 4)
        return;
    const BYTE abSeed[4] = {vecData[0], vecData[1], vecData[2], vecData[3]};
    Keystream keys(abSeed);
    const ByteTables& tables = Tables();
    for (size_t i = 4; i < vecData.size(); ++i)
        vecData[i] = static_cast<BYTE>(tables.abForward[vecData[i]] ^ keys.Next());
}

void ZQSimScrambler::Scramble(std::vector<BYTE>& vecData)
{
    if (vecData.size() > 4) {
        const BYTE abSeed[4] = {vecData[0], vecData[1], vecData[2], vecData[3]};
        Keystream keys(abSeed);
        const ByteTables& tables = Tables();
        for (size_t i = 4; i < vecData.size(); ++i)
            vecData[i] = tables.abInverse[static_cast<BYTE>(vecData[i] ^ keys.Next())];
    }
    size_t nHead = vecData.size() < 4 ? vecData.size() : 4;
    for (size_t i = 0; i < nHead; ++i)
        vecData[i] = SwapNibbles(vecData[i]);
}
