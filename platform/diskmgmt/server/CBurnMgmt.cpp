#include "CBurnMgmt.h"

#include "CClassFactory.h"
#include "CSimPc.h"

#include <cwchar>
#include <string>

namespace {

const wchar_t* Who()
{
    return sizeof(void*) == 8 ? L"IBurnMgmt/64" : L"IBurnMgmt/32";
}

std::wstring Hex(HRESULT hr)
{
    wchar_t buf[16];
    swprintf(buf, 16, L"0x%08lX", (unsigned long)hr);
    return buf;
}

const HRESULT kNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);

// Unplugged drives are not listed: index i is the i-th drive present.
SimOptical* PresentDrive(SimPcState& state, DWORD dwDrive)
{
    DWORD n = 0;
    for (SimOptical& o : state.opticals) {
        if (!o.present)
            continue;
        if (n++ == dwDrive)
            return &o;
    }
    return nullptr;
}

} // namespace

CBurnMgmt::CBurnMgmt() { ++g_lServerRefs; }
CBurnMgmt::~CBurnMgmt() { --g_lServerRefs; }

STDMETHODIMP CBurnMgmt::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IBurnMgmt) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IBurnMgmt*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBurnMgmt::AddRef() { return (ULONG)++m_lRefs; }

STDMETHODIMP_(ULONG) CBurnMgmt::Release()
{
    long left = --m_lRefs;
    if (left == 0)
        delete this;
    return (ULONG)left;
}

HRESULT CBurnMgmt::OnDrive(DWORD dwDrive, bool bWrite, const wchar_t* call,
                           const std::function<HRESULT(CSimPc&, SimPcState&, SimOptical&)>& action)
{
    CSimPc pc(Who());
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    auto run = [&](SimPcState& state) -> HRESULT {
        SimOptical* drive = PresentDrive(state, dwDrive);
        return drive ? action(pc, state, *drive) : E_INVALIDARG;
    };
    HRESULT hr;
    if (bWrite) {
        hr = pc.Update(run);
    } else {
        SimPcState state;
        hr = pc.Read(state);
        if (SUCCEEDED(hr))
            hr = run(state);
    }
    pc.Journal(std::wstring(call) + L" on drive " + std::to_wstring((long)dwDrive) + L" -> " + Hex(hr));
    return hr;
}

STDMETHODIMP CBurnMgmt::Initialize(DWORD dwReserved)
{
    CSimPc pc(Who());
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    pc.Journal(L"Initialize(" + std::to_wstring(dwReserved) + L") -> 0x00000000");
    return S_OK;
}

STDMETHODIMP CBurnMgmt::GetDriveCount(DWORD* pdwCount)
{
    if (!pdwCount)
        return E_POINTER;
    *pdwCount = 0;
    CSimPc pc(Who());
    SimPcState state;
    HRESULT hr = pc.Open() ? pc.Read(state) : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (SUCCEEDED(hr))
        for (const SimOptical& o : state.opticals)
            *pdwCount += o.present ? 1 : 0;
    pc.Journal(L"GetDriveCount() -> " + Hex(hr) + L", " + std::to_wstring(*pdwCount));
    return hr;
}

STDMETHODIMP CBurnMgmt::GetDrvLetter(DWORD dwDrive, WCHAR* pwcLetter)
{
    if (!pwcLetter)
        return E_POINTER;
    *pwcLetter = 0;
    return OnDrive(dwDrive, false, L"GetDrvLetter", [&](CSimPc&, SimPcState&, SimOptical& drive) {
        *pwcLetter = drive.letter;
        return S_OK;
    });
}

STDMETHODIMP CBurnMgmt::SelectDrive(DWORD dwDrive)
{
    HRESULT hr = OnDrive(dwDrive, false, L"SelectDrive", [](CSimPc&, SimPcState&, SimOptical&) { return S_OK; });
    if (SUCCEEDED(hr))
        m_dwSelected = dwDrive;
    return hr;
}

STDMETHODIMP CBurnMgmt::GetDiscLabel(BurnDiscLabel* pLabel)
{
    if (!pLabel)
        return E_POINTER;
    ZeroMemory(pLabel, sizeof(*pLabel));
    return OnDrive(m_dwSelected, false, L"GetDiscLabel", [&](CSimPc&, SimPcState& state, SimOptical& drive) {
        if (!drive.IsReady())
            return kNotReady;
        const SimDisc* disc = state.FindDisc(drive.disc);
        lstrcpynW(pLabel->wszLabel, disc->label.c_str(), ARRAYSIZE(pLabel->wszLabel));
        pLabel->dwValue = (DWORD)lstrlenW(pLabel->wszLabel);
        return S_OK;
    });
}

STDMETHODIMP CBurnMgmt::GetDiscInfo(BurnDiscInfo* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    ZeroMemory(pInfo, sizeof(*pInfo));
    return OnDrive(m_dwSelected, false, L"GetDiscInfo", [&](CSimPc&, SimPcState& state, SimOptical& drive) {
        if (!drive.IsReady())
            return kNotReady;
        const SimDisc* disc = state.FindDisc(drive.disc);
        pInfo->dwMediaType = disc->media;
        pInfo->dwDiscStatus = disc->blank ? 0 : 1;
        pInfo->dwFreeSectors = disc->freeSectors;
        pInfo->dwCapacitySectors = disc->capacity;
        return S_OK;
    });
}

STDMETHODIMP CBurnMgmt::IsDrvReady()
{
    return OnDrive(m_dwSelected, false, L"IsDrvReady", [](CSimPc&, SimPcState&, SimOptical& drive) {
        return drive.IsReady() ? S_OK : kNotReady;
    });
}

STDMETHODIMP CBurnMgmt::LockTray(BOOL bLock)
{
    // A state, not a count: callers lock several times and unlock once.
    return OnDrive(m_dwSelected, true, bLock ? L"LockTray(TRUE)" : L"LockTray(FALSE)",
                   [&](CSimPc&, SimPcState&, SimOptical& drive) {
                       drive.locked = bLock != FALSE;
                       return S_OK;
                   });
}

STDMETHODIMP CBurnMgmt::EjectTray(BOOL bOpen)
{
    return OnDrive(m_dwSelected, true, bOpen ? L"EjectTray(TRUE)" : L"EjectTray(FALSE)",
                   [&](CSimPc& pc, SimPcState& state, SimOptical& drive) -> HRESULT {
                       if (!bOpen) {
                           drive.trayOpen = false;
                           return S_OK;
                       }
                       if (drive.locked)
                           return HRESULT_FROM_WIN32(ERROR_DRIVE_LOCKED);
                       if (drive.IsBurning())
                           return HRESULT_FROM_WIN32(ERROR_BUSY);
                       return pc.EjectDisc(state, drive);
                   });
}
