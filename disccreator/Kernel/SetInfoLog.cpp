#include "SetInfoLog.h"

#include "DiscErrorCode.h"
#include "ISet.h"

HRESULT SetInfoLog::Log(ISet* pSet)
{
    if (!pSet)
        return RD_E_NULL_ARG;
    HRESULT hr = OpenLog();
    if (FAILED(hr))
        return hr;
    AddToSet(pSet);
    if (pSet->GetNumber() == 1) {
        wchar_t wszSetId[kPathChars] = {};
        if (FAILED(hr = WriteLog(L"[SetInfo]\n")) || FAILED(hr = GenUniqueSetID(wszSetId, _countof(wszSetId)))
            || FAILED(hr = WriteFormatted(false, L"SetID=%s\n", wszSetId))
            || FAILED(hr = WriteFormatted(false, L"SetCounts=%d\n", pSet->GetTotal())))
            return hr;
    }
    hr = WriteFormatted(false, L"SetSize%d=%I64u\n", pSet->GetNumber(), pSet->GetUsed());
    if (SUCCEEDED(hr))
        CloseLog();
    return hr;
}
