// The engine object: the optical drives of the simulated PC and the burners.
#pragma once

#include "Brennel.h"
#include "BrennelModule.h"

#include <atomic>

class CBurnEngine final : public IBurnEngine {
public:
    CBurnEngine() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Refresh(DWORD dwReserved) override;
    // Drives that are plugged in; an unplugged drive is not listed.
    STDMETHODIMP GetDriveCount(UINT* puCount) override;
    STDMETHODIMP GetDrive(char cLetter, IBurnDrive** ppDrive) override;
    STDMETHODIMP GetDriveByIndex(UINT uIndex, IBurnDrive** ppDrive) override;
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP CreateBurner(REFGUID kind, IUnknown** ppBurner) override;

private:
    ~CBurnEngine() = default;

    CBrennelObject m_object;
    std::atomic<long> m_lRefs{1};
};
