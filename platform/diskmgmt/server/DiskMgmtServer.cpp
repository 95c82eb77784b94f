// Entry points of the in-process server of IDiskMgmt and IBurnMgmt. The
// simulated PC's layout registers both classes (ThreadingModel "Both").
#include "CBurnMgmt.h"
#include "CClassFactory.h"
#include "CDiskMgmt.h"

std::atomic<long> g_lServerRefs{0};

namespace {
CClassFactory<CDiskMgmt> g_diskFactory;
CClassFactory<CBurnMgmt> g_burnFactory;
}

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid == CLSID_DiskMgmt)
        return g_diskFactory.QueryInterface(riid, ppv);
    if (rclsid == CLSID_BurnMgmt)
        return g_burnFactory.QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow(void)
{
    return g_lServerRefs == 0 ? S_OK : S_FALSE;
}

} // extern "C"
