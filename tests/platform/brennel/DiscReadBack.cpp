// Reads a disc back the way a second program would: by its drive letter (or
// any folder, to list the sources alike). Prints the volume label as Wine
// reports it, the label file Wine reads it from, then one line per folder ("D path [hidden]") and per file
// ("F path size hash"), sorted by path.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

const unsigned long long kWholeHashMax = 64ull << 20;
const DWORD kEndBytes = 1u << 20;

void HashRange(HANDLE file, unsigned long long from, unsigned long long count, unsigned long long& h)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)from;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    unsigned char buf[65536];
    DWORD got = 0;
    while (count && ReadFile(file, buf, (DWORD)(count < sizeof(buf) ? count : sizeof(buf)), &got, nullptr) && got) {
        for (DWORD i = 0; i < got; ++i)
            h = (h ^ buf[i]) * 1099511628211ull;
        count -= got;
    }
}

// FNV-1a of the contents; of the first and last MiB only for a large file,
// so that multi-GiB sets list quickly.
unsigned long long Hash(const std::wstring& path, unsigned long long size)
{
    unsigned long long h = 1469598103934665603ull;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    if (size <= kWholeHashMax) {
        HashRange(file, 0, size, h);
    } else {
        HashRange(file, 0, kEndBytes, h);
        HashRange(file, size - kEndBytes, kEndBytes, h);
    }
    CloseHandle(file);
    return h;
}

void Walk(const std::wstring& root, const std::wstring& rel, std::set<std::wstring>& lines)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((root + rel + L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L".." || name == L".windows-label")
            continue;
        std::wstring path = rel + name;
        wchar_t line[1024];
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            swprintf(line, 1024, L"D %ls%ls", path.c_str(), (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) ? L" hidden" : L"");
            lines.insert(line);
            Walk(root, path + L"\\", lines);
        } else {
            unsigned long long size = ((unsigned long long)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
            swprintf(line, 1024, L"F %ls %llu %016llx", path.c_str(), size, Hash(root + path, size));
            lines.insert(line);
        }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

std::string LabelFile(const std::wstring& root)
{
    HANDLE file = CreateFileW((root + L".windows-label").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    char buf[256] = {};
    DWORD got = 0;
    ReadFile(file, buf, sizeof(buf) - 1, &got, nullptr);
    CloseHandle(file);
    std::string text(buf, got);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    std::wstring root = argv[1];
    wchar_t volume[MAX_PATH + 1] = {};
    // Only a drive's root has a volume label; a plain folder lists without one.
    GetVolumeInformationW(root.c_str(), volume, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES)
        return 1;
    printf("volume-label %ls\n", volume);
    printf("label-file %s\n", LabelFile(root).c_str());
    std::set<std::wstring> lines;
    Walk(root, L"", lines);
    for (const std::wstring& line : lines)
        printf("%ls\n", line.c_str());
    return 0;
}
