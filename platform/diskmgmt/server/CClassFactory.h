// A class factory for one coclass of the in-process server.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <new>

// Objects and server locks alive in this DLL; DllCanUnloadNow reads it.
extern std::atomic<long> g_lServerRefs;

template <class T>
class CClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
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
        T* object = new (std::nothrow) T();
        if (!object)
            return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL bLock) override
    {
        bLock ? ++g_lServerRefs : --g_lServerRefs;
        return S_OK;
    }
};
