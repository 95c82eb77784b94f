// Outside programs that the recovery program starts (drvload, Appvane,
// StartRep): each journals its command line and working folder on the
// simulated PC and ends with 0.
#include "CSimPc.h"

#include <string>

#ifndef RECORDER_NAME
#error RECORDER_NAME names the program in the journal
#endif

int wmain(int argc, wchar_t** argv)
{
    CSimPc pc(RECORDER_NAME);
    if (!pc.Open())
        return 1;
    std::wstring line = L"run";
    for (int i = 1; i < argc; ++i)
        line += L" " + std::wstring(argv[i]);
    wchar_t wszDir[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, wszDir);
    pc.Journal(line + L" (in " + wszDir + L")");
    return 0;
}
