// Entry points of the library: bound by name, never registered.
#include "BrennelModule.h"

#include "Brennel.h"
#include "CBurnEngine.h"

#include <new>

std::atomic<long> g_lBrennelObjects{0};

namespace {

class CBurnEngineFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: its references keep nothing alive.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        CBurnEngine* engine = new (std::nothrow) CBurnEngine();
        if (!engine)
            return E_OUTOFMEMORY;
        HRESULT hr = engine->QueryInterface(riid, ppv);
        engine->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL bLock) override
    {
        bLock ? ++g_lBrennelObjects : --g_lBrennelObjects;
        return S_OK;
    }
};

CBurnEngineFactory g_factory;

} // namespace

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_BurnEngine)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

HRESULT WINAPI DllCanUnloadNow(void)
{
    return g_lBrennelObjects == 0 ? S_OK : S_FALSE;
}

} // extern "C"
