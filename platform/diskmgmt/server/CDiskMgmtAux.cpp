#include "CDiskMgmtAux.h"

#include "CClassFactory.h"
#include "CSimPc.h"

#include <string>

CDiskMgmtAux::CDiskMgmtAux() { ++g_lServerRefs; }
CDiskMgmtAux::~CDiskMgmtAux() { --g_lServerRefs; }

STDMETHODIMP CDiskMgmtAux::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid != IID_IUnknown) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDiskMgmtAux*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CDiskMgmtAux::AddRef() { return (ULONG)++m_lRefs; }

STDMETHODIMP_(ULONG) CDiskMgmtAux::Release()
{
    long left = --m_lRefs;
    if (left == 0)
        delete this;
    return (ULONG)left;
}

STDMETHODIMP CDiskMgmtAux::Rescan(DWORD dwDisk)
{
    CSimPc pc(sizeof(void*) == 8 ? L"IDiskMgmt/64" : L"IDiskMgmt/32");
    if (pc.Open())
        pc.Journal(L"Rescan(" + std::to_wstring((long)dwDisk) + L") -> 0");
    return S_OK;
}
