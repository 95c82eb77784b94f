// wpeutil.exe of the simulated Windows PE: "Reboot" and "Shutdown" end the
// session; other commands (SetMuiLanguage ...) are only journalled.
#include "SessionEnd.h"

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"wpeutil.exe");
    std::wstring line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
    const wchar_t* kind = nullptr;
    if (argc > 1 && !_wcsicmp(argv[1], L"Reboot"))
        kind = L"reboot";
    else if (argc > 1 && !_wcsicmp(argv[1], L"Shutdown"))
        kind = L"shutdown";
    return EndSimulatedSession(pc, line, kind);
}
