// BCDBoot.exe: "<W>:\Windows /s <S>:" lays "boot\bcd" and "bootmgr" on the
// system partition S:.
#include "BootTool.h"

#include <cstdio>

namespace {

bool WriteText(const std::wstring& path, const char* text)
{
    MakeFoldersOf(path);
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    fputs(text, f);
    fclose(f);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"BCDBoot.exe");
    if (!pc.Open())
        return 2;
    std::wstring args = JoinArguments(argc, argv);
    int code = StartTool(pc, L"BCDBoot", args);
    if (code)
        return code;
    if (argc != 4 || _wcsicmp(argv[2], L"/s") || wcslen(argv[3]) != 2 || argv[3][1] != L':') {
        pc.Journal(L"exit 87, not \"<windows folder> /s <letter>:\"");
        return 87;
    }
    std::wstring windows = argv[1];
    std::wstring target = std::wstring(argv[3]) + L"\\";
    if (GetFileAttributesW(windows.c_str()) == INVALID_FILE_ATTRIBUTES) {
        pc.Journal(L"exit 2, no Windows folder " + windows);
        return 2;
    }
    if (!IsWritableTarget(target)) {
        pc.Refuse(L"BCDBoot onto " + target);
        return 5;
    }
    if (!WriteText(target + L"boot\\bcd", "boot store\r\n") || !WriteText(target + L"bootmgr", "boot manager\r\n")) {
        pc.Journal(L"exit 3, the boot files cannot be written");
        return 3;
    }
    pc.Journal(L"exit 0");
    return 0;
}
