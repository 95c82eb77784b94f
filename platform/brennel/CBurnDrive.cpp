#include "CBurnDrive.h"

#include "CBurnerPc.h"
#include "SimPcText.h"

#include <cctype>
#include <string>

namespace {

const size_t kVendorChars = 8;
const size_t kProductChars = 16;
const size_t kRevisionChars = 4;

// Inquiry texts are fixed-width and blank-padded, as a drive reports them.
void PutPadded(char* field, size_t width, const std::wstring& text)
{
    std::string narrow = SimPcText::Narrow(text);
    for (size_t i = 0; i < width; ++i) {
        unsigned char c = i < narrow.size() ? (unsigned char)narrow[i] : ' ';
        field[i] = c >= 0x20 && c < 0x7F ? (char)c : ' ';
    }
    field[width] = 0;
}

std::wstring Hex(HRESULT hr)
{
    return SimPcText::Format(L"0x%08lX", (unsigned long)hr);
}

} // namespace

CBurnDrive::CBurnDrive(char letter) : CBrennelUnknown(IID_IBurnDrive), m_cLetter((char)toupper((unsigned char)letter)) {}

STDMETHODIMP CBurnDrive::GetLetter(char* pcLetter)
{
    if (!pcLetter)
        return E_POINTER;
    *pcLetter = m_cLetter;
    return S_OK;
}

STDMETHODIMP CBurnDrive::GetInquiry(BurnInquiry* pInquiry)
{
    if (!pInquiry)
        return E_POINTER;
    ZeroMemory(pInquiry, sizeof(*pInquiry));
    SimOptical drive;
    HRESULT hr = CBurnerPc::ReadPresent(m_cLetter, drive);
    if (FAILED(hr))
        return hr;
    PutPadded(pInquiry->szVendor, kVendorChars, drive.vendor);
    PutPadded(pInquiry->szProduct, kProductChars, drive.product);
    PutPadded(pInquiry->szRevision, kRevisionChars, drive.revision);
    return S_OK;
}

STDMETHODIMP CBurnDrive::GetCapabilities(DWORD* pdwCaps)
{
    if (!pdwCaps)
        return E_POINTER;
    *pdwCaps = 0;
    SimOptical drive;
    HRESULT hr = CBurnerPc::ReadPresent(m_cLetter, drive);
    if (SUCCEEDED(hr))
        *pdwCaps = drive.caps;
    return hr;
}

STDMETHODIMP CBurnDrive::GetMediaState(int* pnState)
{
    if (!pnState)
        return E_POINTER;
    *pnState = 0;
    SimOptical drive;
    bool hasDisc = false;
    HRESULT hr = CBurnerPc::ReadPresent(m_cLetter, drive, nullptr, &hasDisc);
    if (FAILED(hr))
        return hr;
    *pnState = drive.trayOpen ? BRN_MEDIA_TRAY_OPEN : hasDisc ? BRN_MEDIA_READY : BRN_MEDIA_NONE;
    return S_OK;
}

STDMETHODIMP CBurnDrive::GetCurDiscTypeMode(int* pnMode, void*, void*)
{
    if (!pnMode)
        return E_POINTER;
    *pnMode = 0;
    SimOptical drive;
    SimDisc disc;
    bool hasDisc = false;
    HRESULT hr = CBurnerPc::ReadPresent(m_cLetter, drive, &disc, &hasDisc);
    if (FAILED(hr))
        return hr;
    if (!hasDisc)
        return BRN_E_NO_MEDIUM;
    *pnMode = (int)disc.media;
    return S_OK;
}

STDMETHODIMP CBurnDrive::LockTray(BOOL bLock)
{
    HRESULT hr = CBurnerPc::ChangeDrive(m_cLetter, [&](CSimPc&, SimPcState&, SimOptical& drive) -> HRESULT {
        if (!drive.present)
            return BRN_E_DRIVE_GONE;
        // A state, not a count, as IBurnMgmt keeps it.
        drive.locked = bLock != FALSE;
        return S_OK;
    });
    CBurnerPc::Journal(SimPcText::Format(L"LockTray(%ls) on %hc: -> %ls", bLock ? L"TRUE" : L"FALSE", m_cLetter,
                                         Hex(hr).c_str()));
    return hr;
}

STDMETHODIMP CBurnDrive::Tray(BOOL bOpen)
{
    HRESULT hr = CBurnerPc::ChangeDrive(m_cLetter, [&](CSimPc& pc, SimPcState& state, SimOptical& drive) -> HRESULT {
        if (!drive.present)
            return BRN_E_DRIVE_GONE;
        if (drive.IsBurning())
            return BRN_E_BUSY;
        if (!bOpen) {
            drive.trayOpen = false;
            return S_OK;
        }
        if (drive.locked)
            return BRN_E_TRAY_LOCKED;
        return pc.EjectDisc(state, drive);
    });
    CBurnerPc::Journal(SimPcText::Format(L"Tray(%ls) on %hc: -> %ls", bOpen ? L"open" : L"close", m_cLetter,
                                         Hex(hr).c_str()));
    return hr;
}
