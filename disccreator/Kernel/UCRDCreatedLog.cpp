#include "UCRDCreatedLog.h"

#include "DiscErrorCode.h"

HRESULT UCRDCreatedLog::Log(ISet* pSet)
{
    if (!pSet)
        return RD_E_NULL_ARG;
    HRESULT hr = OpenLog();
    if (FAILED(hr))
        return hr;
    AddToSet(pSet);
    CloseLog();
    return S_OK;
}
