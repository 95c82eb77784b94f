#include "SetDumpLog.h"

#include "DiscErrorCode.h"
#include "IEntry.h"
#include "ISet.h"

HRESULT SetDumpLog::Log(ISet* pSet)
{
    if (!pSet)
        return RD_E_NULL_ARG;
    HRESULT hr = OpenLog();
    if (FAILED(hr))
        return hr;
    pSet->Reset();
    AddToSet(pSet);
    hr = WriteFormatted(true,
                        L"=========================== Set Number : ( %d / %d ), Entry Number : %I64u  "
                        L"=========================== \n",
                        pSet->GetNumber(), pSet->GetTotal(), pSet->GetCount());
    ULONGLONG ullCounter = 1;
    pSet->Reset();
    for (IEntry* pEntry = pSet->Next(); pEntry; pEntry = pSet->Next()) {
        wchar_t wszFolder[kPathChars];
        wchar_t wszName[kPathChars];
        if (FAILED(hr = pEntry->GetFolderPath(wszFolder, _countof(wszFolder)))
            || FAILED(hr = pEntry->GetFileName(wszName, _countof(wszName))))
            continue;
        hr = WriteFormatted(true, L"Entry %06I64u : %s\\%s\n", ullCounter, wszFolder, wszName);
        if (SUCCEEDED(hr))
            ++ullCounter;
    }
    CloseLog();
    return hr;
}
