#include "CAutoLockDrv.h"

#include "CAutoTrace.h"
#include "CSBRMgr.h"
#include "DiskMgmt.h"

CAutoLockDrv::CAutoLockDrv(CSBRMgr* pMgr) : m_pMgr(pMgr), m_bLocked(FALSE)
{
    CAutoTrace trace(L"CAutoLockDrv", L"CAutoLockDrv", this);
    if (!m_pMgr || FAILED(m_pMgr->IsBootDriveReady()))
        return;
    HRESULT hr = m_pMgr->LockTray(TRUE);
    if (FAILED(hr))
        trace.Print(L"CSBRMgr::LockTray failed. hr = %lx", hr);
    else
        m_bLocked = TRUE;
}

CAutoLockDrv::~CAutoLockDrv()
{
    CAutoTrace trace(L"CAutoLockDrv", L"~CAutoLockDrv", this);
    if (!m_bLocked || FAILED(m_pMgr->IsBootDriveReady()))
        return;
    HRESULT hr = m_pMgr->LockTray(FALSE);
    if (FAILED(hr))
        trace.Print(L"CSBRMgr::LockTray failed. hr = %lx", hr);
    else
        m_bLocked = FALSE;
}
