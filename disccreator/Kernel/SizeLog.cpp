#include "SizeLog.h"

#include "FileCollector.h"
#include "IEntry.h"
#include "ISet.h"
#include "DiscErrorCode.h"

HRESULT SizeLog::Log(ISet* pSet)
{
    if (!pSet)
        return RD_E_NULL_ARG;
    HRESULT hr = OpenLog();
    if (FAILED(hr))
        return hr;
    FileCollector selection(FALSE);
    Select(pSet, m_applyFolder.c_str(), &selection);
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
