// rstrui.exe, System Restore: the simulated PC keeps no restore points, so
// the call ("/OFFLINE:<W>:\Windows" in Windows PE, or none) is only recorded.
#include "BootTool.h"

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"rstrui.exe");
    if (!pc.Open())
        return 2;
    int code = StartTool(pc, L"rstrui", JoinArguments(argc, argv));
    if (!code)
        pc.Journal(L"exit 0");
    return code;
}
