// The AutoPlay canceller and its registration in the running object table.
#include "CQueryCancelAutoplay.h"

#include <new>

const CLSID CLSID_AutoplayCancellerMoniker = {
    0xF0F7762C, 0x240F, 0x46F1, {0xBA, 0xBE, 0xE1, 0x32, 0x39, 0x86, 0xD2, 0x82}};

namespace {

// {DDEFE873-6997-4E68-BE26-39B633ADBE12}
const IID kIidQueryCancelAutoPlay = {0xDDEFE873, 0x6997, 0x4E68, {0xBE, 0x26, 0x39, 0xB6, 0x33, 0xAD, 0xBE, 0x12}};
const DWORD kRotFlags = ROTFLAGS_REGISTRATIONKEEPSALIVE | ROTFLAGS_ALLOWANYCLIENT;

DWORD g_dwCookie = 0;

} // namespace

STDMETHODIMP CQueryCancelAutoplay::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidQueryCancelAutoPlay)) {
        *ppv = static_cast<IQueryCancelAutoPlay*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CQueryCancelAutoplay::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CQueryCancelAutoplay::Release()
{
    LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CQueryCancelAutoplay::AllowAutoPlay(LPCWSTR, DWORD, LPCWSTR, DWORD)
{
    OutputDebugStringW(L"CANCEL Autoplay!!");
    return S_FALSE;
}

HRESULT RegisterAutoplayCanceller()
{
    IMoniker* pMoniker = nullptr;
    HRESULT hr = CreateClassMoniker(CLSID_AutoplayCancellerMoniker, &pMoniker);
    if (FAILED(hr))
        return hr;
    IRunningObjectTable* pTable = nullptr;
    hr = GetRunningObjectTable(0, &pTable);
    if (FAILED(hr)) {
        pMoniker->Release();
        return hr;
    }
    CQueryCancelAutoplay* pCanceller = new (std::nothrow) CQueryCancelAutoplay;
    if (!pCanceller) {
        hr = E_OUTOFMEMORY;
    } else {
        IUnknown* pUnknown = nullptr;
        hr = pCanceller->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown));
        if (SUCCEEDED(hr)) {
            hr = pTable->Register(kRotFlags, pUnknown, pMoniker, &g_dwCookie);
            pUnknown->Release();
        }
        pCanceller->Release();
    }
    pTable->Release();
    pMoniker->Release();
    return hr;
}

HRESULT RevokeAutoplayCanceller()
{
    IRunningObjectTable* pTable = nullptr;
    if (SUCCEEDED(GetRunningObjectTable(0, &pTable))) {
        pTable->Revoke(g_dwCookie);
        pTable->Release();
    }
    g_dwCookie = 0;
    return S_OK;
}
