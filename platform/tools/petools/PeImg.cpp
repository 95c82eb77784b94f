// peimg.exe over the simulated PC: "/import=PACK IMAGE", "/install=*NAME*
// IMAGE", "/uninstall=*NAME* IMAGE", "/lang=CULTURE IMAGE" and "/inf=INF
// FOLDER". IMAGE is the mounted image's folder or its Windows folder. Each
// command leaves a mark in the image that a test can see:
//   /import     copies the pack into Windows\servicing\Packages\<pack's folder>
//   /install    writes Windows\servicing\Packages\<NAME>.installed
//   /uninstall  removes that file
//   /lang       writes Windows\servicing\Packages\default-language.txt; the
//               culture's pack must have been imported first
//   /inf        copies the INF into FOLDER
// Exit codes: 0 done, 1 failure asked by the description ("peimg_fail"),
// 2 file missing, 3 folder missing, 87 bad command line.
#include "PeToolRun.h"

#include <cwctype>

using namespace PeToolRun;

namespace {

const int kAsked = 1;
const int kFileMissing = 2;
const int kFolderMissing = 3;
const int kBadCommand = 87;
const wchar_t kPackages[] = L"\\Windows\\servicing\\Packages";

std::wstring WithoutTrailingSlashes(std::wstring path)
{
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring LastElement(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ParentOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The mounted image's root: the folder given, or the parent of its Windows
// folder. Empty when it holds no Windows folder.
std::wstring ImageRoot(const std::wstring& given)
{
    std::wstring path = WithoutTrailingSlashes(given);
    if (!_wcsicmp(LastElement(path).c_str(), L"Windows"))
        path = ParentOf(path);
    return IsFolder(path + L"\\Windows") ? path : std::wstring();
}

// "*HTA*" -> "HTA"; empty when the pattern holds anything but a plain name.
std::wstring PackageName(const std::wstring& pattern)
{
    std::wstring name;
    for (wchar_t c : pattern) {
        if (c == L'*')
            continue;
        if (!iswalnum(c) && c != L'-' && c != L'_')
            return std::wstring();
        name += c;
    }
    return name;
}

bool WriteText(const std::wstring& path, const char* text)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    return CloseHandle(h) && ok;
}

int Import(CSimPc& pc, const std::wstring& pack, const std::wstring& root)
{
    if (!IsFile(pack))
        return Exit(pc, kFileMissing, L"no pack " + pack);
    std::wstring folder = root + kPackages + L"\\" + LastElement(ParentOf(pack));
    if (!MakeFolders(folder) || !CopyFileW(pack.c_str(), (folder + L"\\" + LastElement(pack)).c_str(), FALSE))
        return Exit(pc, kFolderMissing, L"cannot write " + folder);
    return Exit(pc, 0);
}

int Install(CSimPc& pc, const std::wstring& pattern, const std::wstring& root, bool install)
{
    std::wstring name = PackageName(pattern);
    if (name.empty())
        return Exit(pc, kBadCommand, L"bad package pattern " + pattern);
    std::wstring folder = root + kPackages;
    std::wstring marker = folder + L"\\" + name + L".installed";
    if (!install) {
        DeleteFileW(marker.c_str());
        return Exit(pc, 0);
    }
    if (!MakeFolders(folder) || !WriteText(marker, "installed\r\n"))
        return Exit(pc, kFolderMissing, L"cannot write " + marker);
    return Exit(pc, 0);
}

int Language(CSimPc& pc, const std::wstring& culture, const std::wstring& root)
{
    std::wstring folder = root + kPackages;
    if (PackageName(culture).empty() || !IsFolder(folder + L"\\" + culture))
        return Exit(pc, kFileMissing, L"no language pack imported for " + culture);
    std::string text(culture.begin(), culture.end());
    if (!WriteText(folder + L"\\default-language.txt", (text + "\r\n").c_str()))
        return Exit(pc, kFolderMissing, L"cannot write the language");
    return Exit(pc, 0);
}

int AddDriver(CSimPc& pc, const std::wstring& inf, const std::wstring& folder)
{
    if (!IsFile(inf))
        return Exit(pc, kFileMissing, L"no INF " + inf);
    std::wstring target = WithoutTrailingSlashes(folder);
    if (!IsFolder(target))
        return Exit(pc, kFolderMissing, L"no folder " + target);
    if (!CopyFileW(inf.c_str(), (target + L"\\" + LastElement(inf)).c_str(), FALSE))
        return Exit(pc, kFolderMissing, L"cannot copy the INF");
    return Exit(pc, 0);
}

} // namespace

int wmain()
{
    CSimPc pc(L"peimg.exe");
    if (!Start(pc, L"peimg.exe"))
        return kBadCommand;
    std::vector<std::wstring> args = Arguments();
    size_t eq = args.empty() ? std::wstring::npos : args[0].find(L'=');
    // A path with a blank that was not quoted arrives as more than two words.
    if (args.size() != 2 || args[0].size() < 2 || args[0][0] != L'/' || eq == std::wstring::npos)
        return Exit(pc, kBadCommand, L"expected /command=value and one path");
    std::wstring op = args[0].substr(1, eq - 1);
    std::wstring value = args[0].substr(eq + 1);
    if (FailureAsked(pc, L"peimg_fail", op))
        return Exit(pc, kAsked, L"failing as the description asks");
    if (!_wcsicmp(op.c_str(), L"inf"))
        return AddDriver(pc, value, args[1]);
    std::wstring root = ImageRoot(args[1]);
    if (root.empty())
        return Exit(pc, kFolderMissing, L"no mounted image at " + args[1]);
    if (!_wcsicmp(op.c_str(), L"import"))
        return Import(pc, value, root);
    if (!_wcsicmp(op.c_str(), L"install") || !_wcsicmp(op.c_str(), L"uninstall"))
        return Install(pc, value, root, !_wcsicmp(op.c_str(), L"install"));
    if (!_wcsicmp(op.c_str(), L"lang"))
        return Language(pc, value, root);
    return Exit(pc, kBadCommand, L"unknown command " + op);
}
