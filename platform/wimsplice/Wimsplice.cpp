// Split and merge of WIM files too big for one disc. The pieces are plain
// slices of the file; n.dat says how many and proves the joined result.
#include "Wimsplice.h"

#include <vector>

#include "CPieceIndex.h"
#include "CSha1.h"

namespace {

const HRESULT kFileError = (HRESULT)0x80070000 | ERROR_FILE_NOT_FOUND;
const size_t kBuffer = 1024 * 1024;

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { if (Valid()) CloseHandle(m_h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h;
};

HRESULT LastResult()
{
    DWORD err = GetLastError();
    return HRESULT_FROM_WIN32(err ? err : ERROR_GEN_FAILURE);
}

std::wstring PieceName(const std::wstring& base, uint32_t i) { return base + L"." + std::to_wstring(i); }

// Copies size bytes from one handle to another, hashing them.
bool Pump(HANDLE from, HANDLE to, uint64_t size, CSha1* sha, std::vector<uint8_t>& buf)
{
    while (size) {
        DWORD want = (DWORD)(size < buf.size() ? size : buf.size()), got = 0, put = 0;
        if (!ReadFile(from, buf.data(), want, &got, nullptr) || got != want) return false;
        sha->Update(buf.data(), got);
        if (!WriteFile(to, buf.data(), got, &put, nullptr) || put != got) return false;
        size -= got;
    }
    return true;
}

} // namespace

extern "C" int WINAPI SplitBigWIM(LPCWSTR partPath, int maxPieceMiB)
{
    if (!partPath || !*partPath || maxPieceMiB <= 0) return E_INVALIDARG;
    std::wstring path = partPath, base = CPieceIndex::Base(path);
    CPieceIndex index;
    {
    Handle in(CreateFileW(partPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    if (!in.Valid() || !GetFileSizeEx(in.Get(), &size)) return LastResult();
    index.totalSize = (uint64_t)size.QuadPart;
    index.pieceSize = (uint64_t)maxPieceMiB * 1024 * 1024;
    index.pieceCount = (uint32_t)((index.totalSize + index.pieceSize - 1) / index.pieceSize) + (index.totalSize == 0);
    std::vector<uint8_t> buf(kBuffer);
    CSha1 sha;
    for (uint32_t i = 0; i < index.pieceCount; ++i) {
        Handle out(CreateFileW(PieceName(base, i).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        uint64_t left = index.totalSize - i * index.pieceSize;
        if (!out.Valid() || !Pump(in.Get(), out.Get(), left < index.pieceSize ? left : index.pieceSize, &sha, buf))
            return LastResult();
    }
    Sha1Digest d = sha.Final();
    memcpy(index.sha1, d.bytes, 20);
    if (!index.Save(base + L".dat")) return LastResult();
    }
    // The whole file is gone only once every piece and the index exist.
    return DeleteFileW(partPath) ? 0 : LastResult();
}

extern "C" HRESULT WINAPI MergeIntoWIM(LPCWSTR wimPathToBuild)
{
    if (!wimPathToBuild || !*wimPathToBuild) return E_INVALIDARG;
    std::wstring path = wimPathToBuild, base = CPieceIndex::Base(path);
    CPieceIndex index;
    if (!index.Load(base + L".dat")) return kFileError;
    std::wstring temp = path + L".merge~";
    std::vector<uint8_t> buf(kBuffer);
    CSha1 sha;
    HRESULT hr = S_OK;
    {
        Handle out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!out.Valid()) return LastResult();
        for (uint32_t i = 0; i < index.pieceCount; ++i) {
            Handle in(CreateFileW(PieceName(base, i).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr));
            LARGE_INTEGER size;
            uint64_t left = index.totalSize - i * index.pieceSize;
            uint64_t expect = left < index.pieceSize ? left : index.pieceSize;
            if (!in.Valid() || !GetFileSizeEx(in.Get(), &size) || (uint64_t)size.QuadPart != expect ||
                !Pump(in.Get(), out.Get(), expect, &sha, buf)) {
                hr = in.Valid() ? HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT) : LastResult();
                break;
            }
        }
    }
    if (FAILED(hr)) {
        DeleteFileW(temp.c_str());
        return hr;
    }
    if (memcmp(sha.Final().bytes, index.sha1, 20) != 0) {
        DeleteFileW(temp.c_str());
        return HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
    }
    return MoveFileExW(temp.c_str(), wimPathToBuild, MOVEFILE_REPLACE_EXISTING) ? S_OK : LastResult();
}
