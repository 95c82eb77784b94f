// Wine's floor for the WIM benchmark: the file-system calls an apply or a
// capture cannot avoid, with no imaging work, on as many threads as asked.
//   WineFloor write <manifest> <folder> <threads>  creates the folders and
//       files the manifest lists ("D path" / "F size path") and writes their
//       bytes, sets their times and closes them, then sets the folders'
//       times (last, as an apply must: creating a file changes them);
//   WineFloor read <folder> <threads>  lists the tree, then opens and reads
//       every file in it.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const size_t kBuffer = 1024 * 1024;
// The time every file and folder is given (any fixed time will do).
const FILETIME kTime = {0x12345678, 0x01D00000};

struct Item {
    std::wstring path;
    unsigned long long size;
};

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

void RunThreads(int threads, const std::vector<Item>& files, void (*work)(const Item&, std::vector<char>&))
{
    std::atomic<size_t> next(0);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            std::vector<char> buf(kBuffer, 'x');
            for (size_t i; (i = next++) < files.size();)
                work(files[i], buf);
        });
    for (std::thread& th : pool)
        th.join();
}

void WriteOne(const Item& f, std::vector<char>& buf)
{
    HANDLE h = CreateFileW(f.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    for (unsigned long long left = f.size; left;) {
        DWORD n = (DWORD)(left < buf.size() ? left : buf.size()), done = 0;
        if (!WriteFile(h, buf.data(), n, &done, nullptr)) break;
        left -= n;
    }
    SetFileTime(h, &kTime, &kTime, &kTime);
    CloseHandle(h);
}

void DateFolder(const Item& d, std::vector<char>&)
{
    HANDLE h = CreateFileW(d.path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    SetFileTime(h, &kTime, &kTime, &kTime);
    CloseHandle(h);
}

void ReadOne(const Item& f, std::vector<char>& buf)
{
    HANDLE h = CreateFileW(f.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD got = 0;
    while (ReadFile(h, buf.data(), (DWORD)buf.size(), &got, nullptr) && got) {
    }
    CloseHandle(h);
}

void List(const std::wstring& dir, std::vector<Item>* files)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoStandard, &fd, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) List(path, files);
        else files->push_back({path, (unsigned long long)fd.nFileSizeHigh << 32 | fd.nFileSizeLow});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && wcscmp(argv[1], L"write") == 0) {
        std::ifstream manifest(argv[2]);
        std::wstring root = argv[3];
        int threads = _wtoi(argv[4]);
        CreateDirectoryW(root.c_str(), nullptr);
        std::vector<Item> files, folders;
        std::string kind, line;
        while (manifest >> kind) {
            unsigned long long size = 0;
            if (kind == "F") manifest >> size;
            manifest.get();
            std::getline(manifest, line);
            std::wstring path = root + L"\\" + Widen(line);
            if (kind == "D") {
                CreateDirectoryW(path.c_str(), nullptr);
                folders.push_back({path, 0});
            } else {
                files.push_back({path, size});
            }
        }
        RunThreads(threads, files, WriteOne);
        RunThreads(threads, folders, DateFolder);
        return 0;
    }
    if (argc == 4 && wcscmp(argv[1], L"read") == 0) {
        std::vector<Item> files;
        List(argv[2], &files);
        RunThreads(_wtoi(argv[3]), files, ReadOne);
        return 0;
    }
    fprintf(stderr, "usage: WineFloor write <manifest> <folder> <threads> | read <folder> <threads>\n");
    return 2;
}
