#include "BootTool.h"

std::wstring JoinArguments(int argc, wchar_t** argv)
{
    std::wstring line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    return line;
}

int StartTool(CSimPc& pc, const wchar_t* name, const std::wstring& args)
{
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    pc.Journal(L"run " + args + L" in " + folder);
    SimPcState state;
    if (FAILED(pc.Read(state)))
        return 0;
    int code = _wtoi(state.Value(std::wstring(L"fail_") + name, L"0").c_str());
    if (code)
        pc.Journal(L"exit " + std::to_wstring(code) + L", as the PC tells");
    return code;
}

bool IsWritableTarget(const std::wstring& path)
{
    return path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && !CSimPc::IsProtectedLetter(path[0]);
}

void MakeFoldersOf(const std::wstring& path)
{
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}
