// oscdimg.exe over the simulated PC: "oscdimg [-n] [-lLABEL] [-bBOOTFILE]
// SOURCE TARGET". TARGET is not a real ISO 9660 image but a plain archive of
// SOURCE that a test can search:
//   SIMISO\r\n label=L\r\n boot=B\r\n
//   then per file "file=<path below SOURCE>\r\nsize=N\r\n" and its N bytes,
//   and "end\r\n".
// Exit codes: 0 done, 1 failure asked by the description ("oscdimg_fail"),
// 2 file missing, 3 folder missing or target not written, 87 bad command line.
#include "PeToolRun.h"

#include <algorithm>

#include "SimPcText.h"

using namespace PeToolRun;

namespace {

const int kAsked = 1;
const int kFileMissing = 2;
const int kFolderMissing = 3;
const int kBadCommand = 87;

struct Options {
    std::wstring label;
    std::wstring bootFile;
    std::vector<std::wstring> paths;
};

bool Parse(const std::vector<std::wstring>& args, Options& opts)
{
    for (const std::wstring& arg : args) {
        if (arg.size() < 2 || arg[0] != L'-')
            opts.paths.push_back(arg);
        else if (arg == L"-n")
            continue;
        else if (arg[1] == L'l')
            opts.label = arg.substr(2);
        else if (arg[1] == L'b')
            opts.bootFile = arg.substr(2);
        else
            return false;
    }
    return opts.paths.size() == 2;
}

class CArchive {
public:
    explicit CArchive(HANDLE h) : m_h(h) {}
    bool Text(const std::wstring& text)
    {
        std::string utf8 = SimPcText::Narrow(text);
        return Bytes(utf8.data(), utf8.size());
    }
    bool Bytes(const void* data, size_t size)
    {
        DWORD written = 0;
        return WriteFile(m_h, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    }
    bool File(const std::wstring& path, const std::wstring& name);
    bool Tree(const std::wstring& folder, const std::wstring& below);

private:
    HANDLE m_h;
};

bool CArchive::File(const std::wstring& path, const std::wstring& name)
{
    HANDLE in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(in, &size) && Text(L"file=" + name + L"\r\nsize=" + std::to_wstring(size.QuadPart) + L"\r\n");
    char buf[65536];
    DWORD got = 0;
    while (ok && ReadFile(in, buf, sizeof(buf), &got, nullptr) && got)
        ok = Bytes(buf, got);
    CloseHandle(in);
    return ok && Text(L"\r\n");
}

bool CArchive::Tree(const std::wstring& folder, const std::wstring& below)
{
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    std::vector<std::pair<std::wstring, bool>> entries;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..")
            entries.emplace_back(name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    std::sort(entries.begin(), entries.end());
    for (const auto& e : entries) {
        std::wstring rel = below.empty() ? e.first : below + L"\\" + e.first;
        bool ok = e.second ? Tree(folder + L"\\" + e.first, rel) : File(folder + L"\\" + e.first, rel);
        if (!ok)
            return false;
    }
    return true;
}

int Write(CSimPc& pc, const Options& opts)
{
    std::wstring source = opts.paths[0];
    while (source.size() > 3 && source.back() == L'\\')
        source.pop_back();
    const std::wstring& target = opts.paths[1];
    HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return Exit(pc, kFolderMissing, L"cannot create " + target);
    CArchive iso(out);
    bool ok = iso.Text(L"SIMISO\r\nlabel=" + opts.label + L"\r\nboot=" + opts.bootFile + L"\r\n") &&
              iso.Tree(source, L"") && iso.Text(L"end\r\n");
    ok = CloseHandle(out) && ok;
    if (!ok) {
        DeleteFileW(target.c_str());
        return Exit(pc, kFolderMissing, L"cannot write " + target);
    }
    return Exit(pc, 0);
}

} // namespace

int wmain()
{
    CSimPc pc(L"oscdimg.exe");
    if (!Start(pc, L"oscdimg.exe"))
        return kBadCommand;
    Options opts;
    if (!Parse(Arguments(), opts))
        return Exit(pc, kBadCommand, L"expected options, a source folder and a target file");
    if (FailureAsked(pc, L"oscdimg_fail", L"iso"))
        return Exit(pc, kAsked, L"failing as the description asks");
    if (!IsFolder(opts.paths[0]))
        return Exit(pc, kFolderMissing, L"no source folder " + opts.paths[0]);
    if (!opts.bootFile.empty() && !IsFile(opts.bootFile))
        return Exit(pc, kFileMissing, L"no boot sector file " + opts.bootFile);
    return Write(pc, opts);
}
