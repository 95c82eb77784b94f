// The small index file n.dat of a split WIM: piece count and size, the
// original size and its SHA-1, so that a merge can prove the rebuilt file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CPieceIndex {
public:
    uint64_t totalSize = 0;
    uint32_t pieceCount = 0;
    uint64_t pieceSize = 0;
    uint8_t sha1[20] = {};

    bool Save(const std::wstring& path) const;
    bool Load(const std::wstring& path);

    // "C:\d\n.wim" -> "C:\d\n" ; pieces are base + ".dat", base + ".0", ...
    static std::wstring Base(const std::wstring& wimPath);
};
