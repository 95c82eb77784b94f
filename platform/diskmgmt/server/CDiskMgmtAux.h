// The auxiliary object of IDiskMgmt; its rescan has nothing to refresh on the
// simulated PC, whose description is read afresh on every call.
#pragma once

#include "DiskMgmt.h"

#include <atomic>

class CDiskMgmtAux : public IDiskMgmtAux {
public:
    CDiskMgmtAux();
    virtual ~CDiskMgmtAux();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Reserved1() override { return E_NOTIMPL; }
    STDMETHODIMP Rescan(DWORD dwDisk) override;

private:
    std::atomic<long> m_lRefs{1};
};
