#include "SizeLog.h"

#include "FileCollector.h"
#include "IEntry.h"
#include "ISet.h"
#include "DiscErrorCode.h"

HRESULT SizeLog::Log(ISet* pSet)
{
    FileCollector selection(FALSE);
    HRESULT hr = OpenAndSelect(pSet, &selection);
    if (FAILED(hr))
        return hr;
    if (pSet->GetNumber() == 1)
        m_ullTotal = 0;
    IEntry* pEntry = nullptr;
    for (selection.Reset(); selection.Next(&pEntry, FALSE) == S_OK;)
        m_ullTotal += pEntry->GetSize(FALSE);
    if (pSet->IsLast()) {
        if (FAILED(hr = WriteLog(L"[Master]\n"))
            || FAILED(hr = WriteFormatted(false, L"Size_Preload_Total=%I64d\n", static_cast<LONGLONG>(m_ullTotal))))
            return hr;
    }
    AddToSet(pSet);
    CloseLog();
    return S_OK;
}
