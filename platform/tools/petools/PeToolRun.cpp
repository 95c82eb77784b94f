#include "PeToolRun.h"

#include <shellapi.h>

#include <cstdio>
#include <sstream>

namespace PeToolRun {

std::wstring RawArguments()
{
    const wchar_t* p = GetCommandLineW();
    // The program's name is quoted or ends at the first blank.
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p)
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

bool Start(CSimPc& pc, const wchar_t* pwszTool)
{
    if (!pc.Open()) {
        fwprintf(stderr, L"%ls: there is no simulated PC (SIMPC_ROOT).\n", pwszTool);
        return false;
    }
    pc.Journal(L"run " + RawArguments());
    return true;
}

std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> args;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return args;
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

bool FailureAsked(CSimPc& pc, const wchar_t* key, const std::wstring& op)
{
    SimPcState state;
    if (FAILED(pc.Read(state)))
        return false;
    std::wistringstream words(state.Value(key));
    std::wstring word;
    while (words >> word)
        if (word == L"*" || !_wcsicmp(word.c_str(), op.c_str()))
            return true;
    return false;
}

int Exit(CSimPc& pc, int code, const std::wstring& why)
{
    pc.Journal(L"exit " + std::to_wstring(code) + (why.empty() ? L"" : L", " + why));
    return code;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& path)
{
    DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::wstring& path)
{
    if (path.empty() || IsFolder(path))
        return true;
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !MakeFolders(path.substr(0, slash)))
        return false;
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace PeToolRun
