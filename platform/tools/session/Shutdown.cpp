// shutdown.exe of the simulated PC: -s ends the session as "shutdown", -r as
// "reboot" (Wine's own shutdown does nothing).
#include "SessionEnd.h"

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"shutdown.exe");
    std::wstring line;
    const wchar_t* kind = nullptr;
    for (int i = 1; i < argc; ++i) {
        line += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
        if (!_wcsicmp(argv[i], L"-s") || !_wcsicmp(argv[i], L"/s"))
            kind = L"shutdown";
        else if (!_wcsicmp(argv[i], L"-r") || !_wcsicmp(argv[i], L"/r"))
            kind = L"reboot";
    }
    return EndSimulatedSession(pc, line, kind);
}
