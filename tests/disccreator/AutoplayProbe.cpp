// Asks the running object table, from a process of its own as the shell
// would, whether an AutoPlay canceller is registered: exit code 0 when it
// is, 1 when not, 2 when the table cannot be asked.
#include <windows.h>

#include "CQueryCancelAutoplay.h"

int wmain()
{
    if (FAILED(CoInitialize(nullptr)))
        return 2;
    int iResult = 2;
    IMoniker* pMoniker = nullptr;
    IRunningObjectTable* pTable = nullptr;
    if (SUCCEEDED(CreateClassMoniker(CLSID_AutoplayCancellerMoniker, &pMoniker)) &&
        SUCCEEDED(GetRunningObjectTable(0, &pTable)))
        iResult = pTable->IsRunning(pMoniker) == S_OK ? 0 : 1;
    if (pTable)
        pTable->Release();
    if (pMoniker)
        pMoniker->Release();
    CoUninitialize();
    return iResult;
}
