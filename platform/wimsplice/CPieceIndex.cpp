#include "CPieceIndex.h"

#include <cstring>

namespace {
const char kMagic[8] = {'W', 'S', 'P', 'L', 'I', 'C', 'E', '1'};
const size_t kSize = 8 + 8 + 4 + 8 + 20;
}

std::wstring CPieceIndex::Base(const std::wstring& wimPath)
{
    size_t slash = wimPath.find_last_of(L"\\/");
    size_t dot = wimPath.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return wimPath;
    return wimPath.substr(0, dot);
}

bool CPieceIndex::Save(const std::wstring& path) const
{
    uint8_t raw[kSize];
    memcpy(raw, kMagic, 8);
    memcpy(raw + 8, &totalSize, 8);
    memcpy(raw + 16, &pieceCount, 4);
    memcpy(raw + 20, &pieceSize, 8);
    memcpy(raw + 28, sha1, 20);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = WriteFile(h, raw, sizeof(raw), &done, nullptr) && done == sizeof(raw);
    CloseHandle(h);
    return ok;
}

bool CPieceIndex::Load(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    uint8_t raw[kSize];
    DWORD got = 0;
    BOOL ok = ReadFile(h, raw, sizeof(raw), &got, nullptr) && got == sizeof(raw);
    CloseHandle(h);
    if (!ok || memcmp(raw, kMagic, 8) != 0) return false;
    memcpy(&totalSize, raw + 8, 8);
    memcpy(&pieceCount, raw + 16, 4);
    memcpy(&pieceSize, raw + 20, 8);
    memcpy(sha1, raw + 28, 20);
    // Pieces must account for the whole file, no more.
    return pieceSize && pieceCount == (totalSize + pieceSize - 1) / pieceSize + (totalSize == 0);
}
