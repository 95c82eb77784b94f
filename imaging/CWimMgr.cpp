// The WIM manager object: construction, interfaces, reset and handle clean-up.
#include "CWimMgr.h"

#include <new>

#include "CAutoTrace.h"
#include "NvErrorCode.h"

const IID IID_IWimMgr = {0xE6A2A1C6, 0x8D3D, 0x4766, {0xAF, 0x51, 0xBD, 0x31, 0x76, 0xBD, 0x04, 0xCE}};
const CLSID CLSID_WimMgr = {0xA74272CD, 0x3729, 0x4B5F, {0x96, 0x09, 0x68, 0x3B, 0xF4, 0x06, 0x45, 0x83}};

namespace {

// Pairs the class id with its factory; kept for the class's registration
// data, though nothing in the program looks it up.
struct WimMgrClassEntry {
    const CLSID* pClsid;
    CWimMgr* (*pfnCreate)(IUnknown* pOuter, HRESULT* phr);
};

[[maybe_unused]] const WimMgrClassEntry g_WimMgrClassTable[] = {
    {&CLSID_WimMgr, &CWimMgr::CreateInstance},
};

} // namespace

CWimMgr::CWimMgr(IUnknown* pOuter)
    : CUnknown(pOuter)
{
    CAutoTrace trace(L"CWimMgr", L"CWimMgr", this);
    ResetDataMembers();
}

CWimMgr::~CWimMgr()
{
    if (m_lPEInit != 0) {
        m_lPEInit = 0;
        ResetDataMembers();
    }
    // Open handles stay open here: callers close them with CleanUpHandles.
    m_vecRefFiles.clear();
}

CWimMgr* CWimMgr::CreateInstance(IUnknown* pOuter, HRESULT* phr)
{
    CWimMgr* pMgr = new (std::nothrow) CWimMgr(pOuter);
    if (phr)
        *phr = pMgr ? S_OK : NV_E_ALLOC;
    return pMgr;
}

HRESULT STDMETHODCALLTYPE CWimMgr::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return NV_E_INVALID_ARG;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IWimMgr)) {
        IWimMgr* pWimMgr = static_cast<IWimMgr*>(this);
        *ppv = pWimMgr;
        pWimMgr->AddRef();
        return S_OK;
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CWimMgr::QueryInterface(REFIID riid, void** ppv)
{
    return m_pUnknown->QueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CWimMgr::AddRef()
{
    return m_pUnknown->AddRef();
}

ULONG STDMETHODCALLTYPE CWimMgr::Release()
{
    return m_pUnknown->Release();
}

void CWimMgr::ResetDataMembers()
{
    CAutoTrace trace(L"CWimMgr", L"ResetDataMembers", this);
    m_lPEInit = 0;
    m_szPESourcePath[0] = L'\0';
    m_szWimFileName[0] = L'\0';
    m_szMountPath[0] = L'\0';
    m_szTempPath[0] = L'\0';
    m_szPeimgPath[0] = L'\0';
    m_szOscdimgPath[0] = L'\0';
    m_szCaptureTarget[0] = L'\0';
    m_szCaptureSource[0] = L'\0';
    m_dwImageIndex = 0;
    m_dwImageCount = 0;
    m_wcTargetDrive = L'\0';
    m_hWimImage = nullptr;
    m_hImage = nullptr;
    m_pfnMsgCallback = nullptr;
    m_pvMsgCallbackData = nullptr;
    m_vecRefFiles.clear();
    ZeroMemory(&m_oWimInfo, sizeof(m_oWimInfo));
}

HRESULT STDMETHODCALLTYPE CWimMgr::CleanUpHandles()
{
    CAutoTrace trace(L"CWimMgr", L"CleanUpHandles", this);
    // The image goes before the WIM file that holds it.
    if (m_hImage) {
        WIMCloseHandle(m_hImage);
        m_hImage = nullptr;
        trace.Print(L"!!!!! clear m_hImage ");
    }
    if (m_hWimImage) {
        WIMCloseHandle(m_hWimImage);
        m_hWimImage = nullptr;
        trace.Print(L"!!!!! clear m_hWimImage ");
    }
    if (m_pfnMsgCallback) {
        WIMUnregisterMessageCallback(nullptr, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(m_pfnMsgCallback)));
        m_pfnMsgCallback = nullptr;
    }
    return S_OK;
}
