#include "CUnknown.h"

#include "CAutoTrace.h"
#include "NvErrorCode.h"

namespace {

// The non-delegating interface has IUnknown's three slots in IUnknown's
// order, so it stands in for IUnknown where the object is its own owner.
IUnknown* AsUnknown(INonDelegatingUnknown* p)
{
    return reinterpret_cast<IUnknown*>(p);
}

} // namespace

CUnknown::CUnknown(IUnknown* pOuter)
    : m_pUnknown(pOuter ? pOuter : AsUnknown(static_cast<INonDelegatingUnknown*>(this))),
      m_lRefCount(1),
      m_lDestroying(0)
{
    DebugPrint(L"CUnknown Constructor is Called. THIS Pointer = %lX\n",
               static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(this)));
}

CUnknown::~CUnknown()
{
    DebugPrint(L"CUnknown Destructor is Called. THIS Pointer = %lX\n",
               static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(this)));
}

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return NV_E_INVALID_ARG;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown))
        return E_NOINTERFACE;
    *ppv = AsUnknown(static_cast<INonDelegatingUnknown*>(this));
    NonDelegatingAddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef()
{
    LONG lRef = InterlockedIncrement(&m_lRefCount);
    return lRef > 1 ? static_cast<ULONG>(lRef) : 1;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease()
{
    LONG lRef = InterlockedDecrement(&m_lRefCount);
    if (lRef > 0)
        return static_cast<ULONG>(lRef);
    if (InterlockedExchange(&m_lDestroying, 1) != 0)
        return 1;
    // An AddRef and Release pair made while the object goes away must not
    // bring it back to zero.
    InterlockedExchange(&m_lRefCount, 1);
    delete this;
    return 0;
}
