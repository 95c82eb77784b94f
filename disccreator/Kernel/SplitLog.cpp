#include "SplitLog.h"

#include "DiscErrorCode.h"
#include "FileCollector.h"
#include "IEntry.h"
#include "ISet.h"

HRESULT SplitLog::Log(ISet* pSet)
{
    FileCollector selection(FALSE);
    HRESULT hr = OpenAndSelect(pSet, &selection);
    if (FAILED(hr))
        return hr;
    IEntry* pEntry = nullptr;
    for (selection.Reset(); selection.Next(&pEntry, FALSE) == S_OK;) {
        wchar_t wszName[kPathChars];
        if (FAILED(hr = pEntry->GetFileName(wszName, _countof(wszName)))
            || FAILED(hr = WriteFormatted(false, L"%s=%d\n", wszName, pSet->GetIndex())))
            return hr;
    }
    AddToSet(pSet);
    CloseLog();
    return S_OK;
}
