// The byte scrambler of "ZQ.sim". Unscramble reads a stored file; Scramble
// is its inverse, used to make such files.
#pragma once

#include <windows.h>

#include <vector>

class ZQSimScrambler {
public:
    static void Unscramble(std::vector<BYTE>& vecData);
    static void Scramble(std::vector<BYTE>& vecData);

private:
    class Keystream;
    static BYTE UnswapNibbles(BYTE b);
    static BYTE SwapNibbles(BYTE b);
};
