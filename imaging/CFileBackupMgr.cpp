#include "CFileBackupMgr.h"

#include <process.h>

#include "CDiscBurner.h"


CFileBackupMgr::CFileBackupMgr(wchar_t wcHomeDrive)
    : m_Backuper(*this, wcHomeDrive), m_Listener(*this)
{
    InitializeCriticalSection(&m_csLock);
    m_strScanRoot = std::wstring(1, wcHomeDrive ? wcHomeDrive : L'C') + L":";
}

// The burner outlives no manager it still calls.
CFileBackupMgr::~CFileBackupMgr()
{
    if (m_pBurner)
        m_pBurner->RemoveHandler(this);
    DeleteCriticalSection(&m_csLock);
}

void CFileBackupMgr::SetDiscBurner(CDiscBurner* pBurner)
{
    if (m_pBurner)
        m_pBurner->RemoveHandler(this);
    m_pBurner = pBurner;
    if (m_pBurner)
        m_pBurner->AddHandler(this);
}

HRESULT CFileBackupMgr::SetDestination(wchar_t wcDrive, BOOL bToDisc)
{
    m_wcDestDrive = wcDrive;
    m_Backuper.SetDestination(wcDrive);
    // A removable drive is unknown to the engine: the current drive stays.
    if (m_pBurner)
        m_pBurner->SelectDrive(wcDrive);
    m_bToDisc = bToDisc;
    return S_OK;
}

void CFileBackupMgr::Cancel()
{
    m_bCancel = TRUE;
    if (m_bToDisc && m_pBurner)
        m_pBurner->Cancel();
}

BOOL CFileBackupMgr::OnBurnEvent(int iEvent, float fProgress)
{
    float fPercent = fProgress * 100.0f;
    if (!m_pNotifier)
        return TRUE;
    if (iEvent == BEC_WRITE || iEvent == BEC_LEAD_IN)
        m_pNotifier->OnBurnProgress(int(fPercent), fPercent);
    else if (iEvent == BEC_CACHE)
        m_pNotifier->OnBurnStageProgress(int(fPercent), fPercent);
    return TRUE;
}

bool CFileBackupMgr::TakeSlot()
{
    EnterCriticalSection(&m_csLock);
    bool bTaken = m_nFreeSlots > 0;
    if (bTaken)
        m_nFreeSlots--;
    LeaveCriticalSection(&m_csLock);
    return bTaken;
}

void CFileBackupMgr::GiveSlotBack()
{
    EnterCriticalSection(&m_csLock);
    m_nFreeSlots++;
    LeaveCriticalSection(&m_csLock);
}

HRESULT CFileBackupMgr::StartWorker(unsigned(__stdcall* pfn)(void*))
{
    HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, pfn, this, CREATE_SUSPENDED, nullptr));
    if (!h)
        return E_FAIL;
    bool bRunning = ResumeThread(h) != (DWORD)-1;
    if (!bRunning)
        TerminateThread(h, 0);
    CloseHandle(h);
    return bRunning ? S_OK : E_FAIL;
}

HRESULT CFileBackupMgr::StartScan(CFileBackupNotifier* pNotifier)
{
    m_pNotifier = pNotifier;
    m_bCancel = FALSE;
    m_lstFiles.clear();
    m_ullScanBytes = 0;
    m_ullLargestFile = 0; // an earlier selection's big file must not inflate this one's space check
    return StartWorker(ScanThread);
}

HRESULT CFileBackupMgr::StartBackup(CFileBackupNotifier* pNotifier)
{
    m_pNotifier = pNotifier;
    m_bCancel = FALSE;
    return StartWorker(BackupThread);
}

// The slot goes back before the report, so that a page starting the next
// operation from its handler finds it free.
unsigned __stdcall CFileBackupMgr::ScanThread(void* pvArg)
{
    auto* self = static_cast<CFileBackupMgr*>(pvArg);
    if (!self || !self->TakeSlot())
        return 0;
    self->ScanFolder(self->m_strScanRoot);
    bool bDone = !self->m_bCancel;
    if (bDone)
        self->m_Backuper.SetFiles(self->m_lstFiles);
    self->GiveSlotBack();
    if (bDone && self->m_pNotifier)
        self->m_pNotifier->OnScanDone();
    return 1;
}

unsigned __stdcall CFileBackupMgr::BackupThread(void* pvArg)
{
    auto* self = static_cast<CFileBackupMgr*>(pvArg);
    if (!self || !self->TakeSlot())
        return 0;
    HRESULT hr = self->m_Backuper.Backup(self->m_bToDisc);
    self->m_Backuper.Cleanup();
    self->GiveSlotBack();
    if (self->m_pNotifier)
        self->m_pNotifier->OnBackupDone(hr);
    return 1;
}
