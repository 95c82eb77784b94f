#include "WimTestTree.h"

#include <map>

namespace WimTestTree {

namespace {

const DWORD kCompared = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_DIRECTORY;

std::map<std::wstring, WIN32_FIND_DATAW> List(const std::wstring& dir)
{
    std::map<std::wstring, WIN32_FIND_DATAW> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((Long(dir) + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") out[n] = fd;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

} // namespace

std::wstring Fixture(const std::wstring& name) { return std::wstring(WIM_FIXTURE_DIR) + L"\\" + name; }

std::wstring Long(const std::wstring& path)
{
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
    wchar_t full[32768];
    DWORD n = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
    std::wstring f(full, n);
    while (f.size() > 3 && f.back() == L'\\') f.pop_back();
    return L"\\\\?\\" + f;
}

std::wstring Compare(const std::wstring& expected, const std::wstring& actual, bool attributes)
{
    auto want = List(expected), got = List(actual);
    for (const auto& kv : want) {
        std::wstring e = expected + L"\\" + kv.first, a = actual + L"\\" + kv.first;
        auto it = got.find(kv.first);
        if (it == got.end()) return L"missing " + a;
        const WIN32_FIND_DATAW& w = kv.second;
        const WIN32_FIND_DATAW& g = it->second;
        bool dir = (w.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (dir != ((g.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) return L"kind differs: " + a;
        if (attributes && (w.dwFileAttributes & kCompared) != (g.dwFileAttributes & kCompared))
            return L"attributes differ: " + a;
        if (dir) {
            std::wstring sub = Compare(e, a, attributes);
            if (!sub.empty()) return sub;
            continue;
        }
        if (CompareFileTime(&w.ftLastWriteTime, &g.ftLastWriteTime) != 0) return L"write time differs: " + a;
        if (w.nFileSizeLow != g.nFileSizeLow || w.nFileSizeHigh != g.nFileSizeHigh) return L"size differs: " + a;
        if (ReadFileBytes(e) != ReadFileBytes(a)) return L"content differs: " + a;
    }
    for (const auto& kv : got)
        if (!want.count(kv.first)) return L"unexpected " + actual + L"\\" + kv.first;
    return L"";
}

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    BY_HANDLE_FILE_INFORMATION ia = {}, ib = {};
    for (auto p : {std::make_pair(&a, &ia), std::make_pair(&b, &ib)}) {
        HANDLE h = CreateFileW(Long(*p.first).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        GetFileInformationByHandle(h, p.second);
        CloseHandle(h);
    }
    return ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

unsigned long long WriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Long(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (unsigned long long)data.ftLastWriteTime.dwHighDateTime << 32 | data.ftLastWriteTime.dwLowDateTime;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

bool MakeTree(const std::wstring& root, const std::vector<std::wstring>& folders)
{
    CreateDirectoryW(Long(root).c_str(), nullptr);
    for (const std::wstring& f : folders) {
        std::wstring path = root;
        size_t start = 0;
        while (start <= f.size()) {
            size_t end = f.find(L'\\', start);
            if (end == std::wstring::npos) end = f.size();
            path += L"\\" + f.substr(start, end - start);
            CreateDirectoryW(Long(path).c_str(), nullptr);
            start = end + 1;
        }
    }
    return true;
}

void DeleteTree(const std::wstring& path)
{
    for (const auto& kv : List(path)) {
        std::wstring child = path + L"\\" + kv.first;
        SetFileAttributesW(Long(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        if (kv.second.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(child);
        else DeleteFileW(Long(child).c_str());
    }
    RemoveDirectoryW(Long(path).c_str());
}

bool CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(Long(to).c_str(), nullptr);
    for (const auto& kv : List(from)) {
        std::wstring a = from + L"\\" + kv.first, b = to + L"\\" + kv.first;
        if (kv.second.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CopyTree(a, b)) return false;
        } else if (!CopyFileW(Long(a).c_str(), Long(b).c_str(), FALSE)) {
            return false;
        }
    }
    return true;
}

} // namespace WimTestTree
