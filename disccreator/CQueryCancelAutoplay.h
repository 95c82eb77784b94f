// Keeps the shell's AutoPlay off while the disc creator runs: an object in
// the running object table, under a class moniker, that answers every
// AutoPlay query with "cancel".
#pragma once

#include <windows.h>
#include <shobjidl.h>

// {F0F7762C-240F-46F1-BABE-E1323986D282}: the moniker the canceller is registered under.
extern const CLSID CLSID_AutoplayCancellerMoniker;

class CQueryCancelAutoplay : public IQueryCancelAutoPlay {
public:
    CQueryCancelAutoplay() = default;
    virtual ~CQueryCancelAutoplay() = default;
    CQueryCancelAutoplay(const CQueryCancelAutoplay&) = delete;
    CQueryCancelAutoplay& operator=(const CQueryCancelAutoplay&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // S_FALSE for every drive and content: AutoPlay does not run.
    STDMETHODIMP AllowAutoPlay(LPCWSTR pszPath, DWORD dwContentType, LPCWSTR pszLabel, DWORD dwSerialNumber) override;

private:
    LONG m_cRef = 1;
};

// Registers one canceller for the process (after CoInitialize).
HRESULT RegisterAutoplayCanceller();
// Takes it out of the table again (before CoUninitialize). Always 0.
HRESULT RevokeAutoplayCanceller();
