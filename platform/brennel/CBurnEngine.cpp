#include "CBurnEngine.h"

#include "CBurnDrive.h"
#include "CBurnSession.h"
#include "CBurnerPc.h"

#include <new>
#include <vector>

namespace {

HRESULT NewDrive(char letter, IBurnDrive** ppDrive)
{
    CBurnDrive* drive = new (std::nothrow) CBurnDrive(letter);
    if (!drive)
        return E_OUTOFMEMORY;
    *ppDrive = drive;
    return S_OK;
}

} // namespace

STDMETHODIMP CBurnEngine::Refresh(DWORD)
{
    // The state is read afresh on every call; nothing is cached to refresh.
    return S_OK;
}

STDMETHODIMP CBurnEngine::GetDriveCount(UINT* puCount)
{
    if (!puCount)
        return E_POINTER;
    *puCount = 0;
    std::vector<char> letters;
    HRESULT hr = CBurnerPc::PresentLetters(letters);
    if (SUCCEEDED(hr))
        *puCount = (UINT)letters.size();
    return hr;
}

STDMETHODIMP CBurnEngine::GetDrive(char cLetter, IBurnDrive** ppDrive)
{
    if (!ppDrive)
        return E_POINTER;
    *ppDrive = nullptr;
    SimOptical drive;
    HRESULT hr = CBurnerPc::ReadPresent(cLetter, drive);
    return FAILED(hr) ? hr : NewDrive(cLetter, ppDrive);
}

STDMETHODIMP CBurnEngine::GetDriveByIndex(UINT uIndex, IBurnDrive** ppDrive)
{
    if (!ppDrive)
        return E_POINTER;
    *ppDrive = nullptr;
    std::vector<char> letters;
    HRESULT hr = CBurnerPc::PresentLetters(letters);
    if (FAILED(hr))
        return hr;
    if (uIndex >= letters.size())
        return E_INVALIDARG;
    return NewDrive(letters[uIndex], ppDrive);
}

STDMETHODIMP CBurnEngine::CreateBurner(REFGUID kind, IUnknown** ppBurner)
{
    if (!ppBurner)
        return E_POINTER;
    *ppBurner = nullptr;
    if (kind != GUID_BurnerKindCD && kind != GUID_BurnerKindDVD)
        return E_INVALIDARG;
    CBurnSession* burner = new (std::nothrow) CBurnSession(kind == GUID_BurnerKindCD);
    if (!burner)
        return E_OUTOFMEMORY;
    *ppBurner = static_cast<IBurnSession*>(burner);
    return S_OK;
}
