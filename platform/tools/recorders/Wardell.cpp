// The maker's driver component as regsvr32 registers it: a COM server with
// nothing to serve, journalling its registration on the simulated PC.
#include "CSimPc.h"

namespace {
HRESULT JournalCall(const wchar_t* pwszCall)
{
    CSimPc pc(L"Wardell.dll");
    if (pc.Open())
        pc.Journal(pwszCall);
    return S_OK;
}
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() { return JournalCall(L"DllRegisterServer"); }
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return JournalCall(L"DllUnregisterServer");
}
