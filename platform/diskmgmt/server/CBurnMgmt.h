// IBurnMgmt over the simulated PC's optical drives. The selected drive is the
// object's only state, shared by all threads that hold the object, as the
// callers expect; every call is safe from any thread.
#pragma once

#include "DiskMgmt.h"

#include <atomic>
#include <functional>

class CSimPc;
struct SimOptical;
struct SimPcState;

class CBurnMgmt : public IBurnMgmt {
public:
    CBurnMgmt();
    virtual ~CBurnMgmt();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Initialize(DWORD dwReserved) override;
    STDMETHODIMP GetDriveCount(DWORD* pdwCount) override;
    STDMETHODIMP GetDrvLetter(DWORD dwDrive, WCHAR* pwcLetter) override;
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP SelectDrive(DWORD dwDrive) override;
    STDMETHODIMP GetDiscLabel(BurnDiscLabel* pLabel) override;
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved8() override { return E_NOTIMPL; }
    STDMETHODIMP GetDiscInfo(BurnDiscInfo* pInfo) override;
    STDMETHODIMP IsDrvReady() override;
    STDMETHODIMP LockTray(BOOL bLock) override;
    STDMETHODIMP EjectTray(BOOL bOpen) override;

private:
    // Runs action on the selected drive (or drive dwDrive) under the PC's lock;
    // the description is written back when action succeeds and changed it.
    HRESULT OnDrive(DWORD dwDrive, bool bWrite, const wchar_t* call,
                    const std::function<HRESULT(CSimPc&, SimPcState&, SimOptical&)>& action);

    std::atomic<long> m_lRefs{1};
    std::atomic<DWORD> m_dwSelected{(DWORD)-1};
};
