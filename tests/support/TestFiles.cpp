#include "TestFiles.h"

#include <windows.h>

#include <algorithm>
#include <map>

namespace TestFiles {

namespace {

// Entries of a folder by name, folders marked with a trailing backslash.
std::map<std::wstring, bool> List(const std::wstring& folder)
{
    std::map<std::wstring, bool> entries;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return entries;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        entries[name] = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
    return entries;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

} // namespace

std::wstring DriveRoot(wchar_t wcLetter)
{
    return std::wstring(1, wcLetter) + L":\\";
}

bool DeleteTree(const std::wstring& path)
{
    DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return true;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY))
        return DeleteFileW(path.c_str()) != FALSE;
    // A folder link goes by itself: what it points at is not ours to delete.
    if (attrs & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveDirectoryW(path.c_str()) != FALSE;
    for (const auto& entry : List(path))
        DeleteTree(Join(path, entry.first));
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

bool ClearDrive(wchar_t wcLetter)
{
    std::wstring root = DriveRoot(wcLetter);
    if (GetDriveTypeW(root.c_str()) <= DRIVE_NO_ROOT_DIR)
        return false;
    bool ok = true;
    for (const auto& entry : List(root)) {
        if (!DeleteTree(Join(root, entry.first)))
            ok = false;
    }
    return ok;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buf[65536];
    DWORD read = 0;
    while (ReadFile(h, buf, sizeof buf, &read, nullptr) && read > 0)
        bytes.append(buf, read);
    CloseHandle(h);
    return bytes;
}

std::wstring CompareTrees(const std::wstring& left, const std::wstring& right)
{
    auto l = List(left), r = List(right);
    for (const auto& entry : l) {
        auto it = r.find(entry.first);
        std::wstring lp = Join(left, entry.first), rp = Join(right, entry.first);
        if (it == r.end())
            return L"only in " + left + L": " + entry.first;
        if (it->second != entry.second)
            return L"file against folder: " + lp;
        if (entry.second) {
            std::wstring diff = CompareTrees(lp, rp);
            if (!diff.empty())
                return diff;
        } else if (ReadBytes(lp) != ReadBytes(rp)) {
            return L"contents differ: " + lp;
        }
    }
    for (const auto& entry : r) {
        if (!l.count(entry.first))
            return L"only in " + right + L": " + entry.first;
    }
    return std::wstring();
}

} // namespace TestFiles
