// diskpart.exe over the simulated PC: "diskpart /s script", or the commands
// on standard input. The script text goes into the PC's journal.
#include "CDiskPartScript.h"

#include <cstdio>
#include <string>

namespace {

bool ReadAll(HANDLE h, std::string& text)
{
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got)
        text.append(buf, got);
    return true;
}

bool ReadScript(const wchar_t* path, std::string& text)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ReadAll(h, text);
    CloseHandle(h);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"diskpart.exe");
    if (!pc.Open()) {
        fputws(L"DiskPart: there is no simulated PC (SIMPC_ROOT).\n", stderr);
        return CDiskPartScript::kFailed;
    }
    // The PC can make the tool hang before it starts ("hang_diskpart",
    // milliseconds) or fail without touching anything ("fail_diskpart", the
    // exit code).
    SimPcState state;
    int fail = 0;
    if (SUCCEEDED(pc.Read(state))) {
        DWORD hang = (DWORD)_wtoi(state.Value(L"hang_diskpart", L"0").c_str());
        if (hang) {
            pc.Journal(L"hanging " + std::to_wstring(hang) + L" ms, as the PC tells");
            Sleep(hang);
        }
        fail = _wtoi(state.Value(L"fail_diskpart", L"0").c_str());
    }
    std::wstring args;
    for (int i = 1; i < argc; ++i)
        args += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    std::string script;
    if (argc >= 3 && !_wcsicmp(argv[1], L"/s")) {
        if (!ReadScript(argv[2], script)) {
            pc.Journal(L"run " + args + L" -> 3, the script cannot be read");
            fwprintf(stderr, L"DiskPart: the script file %ls cannot be opened.\n", argv[2]);
            return 3;
        }
    } else {
        ReadAll(GetStdHandle(STD_INPUT_HANDLE), script);
    }
    pc.Journal(L"run " + args, script);
    if (fail) {
        pc.Journal(L"exit " + std::to_wstring(fail) + L", as the PC tells");
        return fail;
    }
    CDiskPartScript runner(pc);
    std::wstring output;
    int code = runner.Run(script, output);
    fputws(output.c_str(), stdout);
    pc.Journal(L"exit " + std::to_wstring(code));
    return code;
}
