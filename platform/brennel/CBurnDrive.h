// One optical drive of the simulated PC as the engine shows it. The object
// holds only the letter: every call reads the shared state, so a drive
// unplugged meanwhile answers with a failure.
#pragma once

#include "Brennel.h"
#include "CBrennelUnknown.h"

// IID of the drive interface; the drive is reached through the engine only,
// so the identifier is ours.
// {6D2B4E1A-3C57-4B8E-9A61-0F2D8C7B5E34}
static const IID IID_IBurnDrive = {0x6D2B4E1A, 0x3C57, 0x4B8E, {0x9A, 0x61, 0x0F, 0x2D, 0x8C, 0x7B, 0x5E, 0x34}};

class CBurnDrive final : public CBrennelUnknown<CBurnDrive, IBurnDrive> {
public:
    explicit CBurnDrive(char letter);

    STDMETHODIMP GetLetter(char* pcLetter) override;
    STDMETHODIMP GetInquiry(BurnInquiry* pInquiry) override;
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP GetCapabilities(DWORD* pdwCaps) override;
    STDMETHODIMP GetMediaState(int* pnState) override;
    STDMETHODIMP GetCurDiscTypeMode(int* pnMode, void* pReserved1, void* pReserved2) override;
    STDMETHODIMP Reserved10() override { return E_NOTIMPL; }
    STDMETHODIMP LockTray(BOOL bLock) override;
    STDMETHODIMP Tray(BOOL bOpen) override;

private:
    friend class CBrennelUnknown<CBurnDrive, IBurnDrive>;
    ~CBurnDrive() = default;

    char m_cLetter;
};
