// The engine object: the optical drives of the simulated PC and the burners.
#pragma once

#include "Brennel.h"
#include "CBrennelUnknown.h"

class CBurnEngine final : public CBrennelUnknown<CBurnEngine, IBurnEngine> {
public:
    CBurnEngine() : CBrennelUnknown(IID_IBurnEngine) {}

    STDMETHODIMP Refresh(DWORD dwReserved) override;
    // Drives that are plugged in; an unplugged drive is not listed.
    STDMETHODIMP GetDriveCount(UINT* puCount) override;
    STDMETHODIMP GetDrive(char cLetter, IBurnDrive** ppDrive) override;
    STDMETHODIMP GetDriveByIndex(UINT uIndex, IBurnDrive** ppDrive) override;
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP CreateBurner(REFGUID kind, IUnknown** ppBurner) override;

private:
    friend class CBrennelUnknown<CBurnEngine, IBurnEngine>;
    ~CBurnEngine() = default;
};
