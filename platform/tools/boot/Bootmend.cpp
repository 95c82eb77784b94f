// Bootmend.exe, the maker's boot-record tool: the simulated PC has no boot
// record to write, so the call ("RecoverMBR" or none) is only recorded.
#include "BootTool.h"

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(L"Bootmend.exe");
    if (!pc.Open())
        return 2;
    int code = StartTool(pc, L"Bootmend", JoinArguments(argc, argv));
    if (!code)
        pc.Journal(L"exit 0");
    return code;
}
