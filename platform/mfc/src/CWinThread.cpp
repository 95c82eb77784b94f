#include "CWinThread.h"
#include "CWinApp.h"
#include "CWnd.h"
#include "AfxThreadState.h"
#include <process.h>

IMPLEMENT_DYNCREATE(CWinThread, CCmdTarget)

CWinThread::CWinThread() = default;

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
    if (m_hThread) ::CloseHandle(m_hThread);
    AFX_THREAD_STATE* st = AfxGetThreadState();
    if (st->m_pCurrentWinThread == this) st->m_pCurrentWinThread = nullptr;
}

CWinThread* AFXAPI AfxGetThread() { return AfxGetThreadState()->m_pCurrentWinThread; }

// What a thread of ours leaves behind: its temporary wrappers and its creation hook.
static void ThreadCleanup() {
    AFX_THREAD_STATE* st = AfxGetThreadState();
    CWnd::DeleteTempMap();
    AfxDeleteGdiTempMaps();
    if (st->m_hHookCbt) ::UnhookWindowsHookEx(st->m_hHookCbt);
    st->m_hHookCbt = nullptr;
    st->m_pCurrentWinThread = nullptr;
}

DWORD WINAPI CWinThread::ThreadEntry(LPVOID pParam) {
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    AfxGetThreadState()->m_pCurrentWinThread = pThread;
    UINT nResult;
    if (pThread->m_pfnThreadProc) {
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    } else if (!pThread->InitInstance()) {
        nResult = (UINT)pThread->ExitInstance();
    } else {
        nResult = (UINT)pThread->Run();
    }
    ThreadCleanup();
    pThread->Delete();
    return nResult;
}

static unsigned __stdcall CrtThreadEntry(void* pParam) { return CWinThread::ThreadEntry(pParam); }

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    unsigned id = 0;
    uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, CrtThreadEntry, this, dwCreateFlags, &id);
    if (!h) {
        AfxTrace(L"CWinThread::CreateThread failed (%lu)\n", GetLastError());
        return FALSE;
    }
    m_hThread = (HANDLE)h;
    m_nThreadID = id;
    return TRUE;
}

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                                  DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete pThread;
        return nullptr;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) pThread->ResumeThread();
    return pThread;
}

CWinThread* AFXAPI AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    CObject* pObject = pThreadClass ? pThreadClass->CreateObject() : nullptr;
    CWinThread* pThread = pObject && pObject->IsKindOf(RUNTIME_CLASS(CWinThread)) ? static_cast<CWinThread*>(pObject) : nullptr;
    if (!pThread) {
        delete pObject;
        return nullptr;
    }
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete pThread;
        return nullptr;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) pThread->ResumeThread();
    return pThread;
}

void AFXAPI AfxEndThread(UINT nExitCode, BOOL bDelete) {
    CWinThread* pThread = AfxGetThread();
    ThreadCleanup();
    if (pThread && bDelete) pThread->Delete();
    _endthreadex(nExitCode);
    ::ExitThread(nExitCode);
}

void CWinThread::Delete() {
    if (m_bAutoDelete) delete this;
}

BOOL CWinThread::InitInstance() { return FALSE; }

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
    return CWnd::WalkPreTranslateTree(nullptr, pMsg);
}

BOOL CWinThread::PumpMessage() {
    BOOL got = ::GetMessageW(&m_msgCur, nullptr, 0, 0);
    AfxGetThreadState()->m_msgCur = m_msgCur;
    if (!got) return FALSE;
    if (m_msgCur.message != WM_KICKIDLE && !PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinThread::OnIdle(LONG lCount) {
    if (lCount == 0) AfxDeleteTempMaps();
    return FALSE;
}

BOOL CWinThread::IsIdleMessage(MSG* pMsg) { return AfxIsIdleMessage(pMsg); }

int CWinThread::Run() {
    BOOL bIdle = TRUE;
    LONG lIdleCount = 0;
    for (;;) {
        while (bIdle && !::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(lIdleCount++)) bIdle = FALSE;
        }
        do {
            if (!PumpMessage()) return ExitInstance();
            if (IsIdleMessage(&m_msgCur)) {
                bIdle = TRUE;
                lIdleCount = 0;
            }
        } while (::PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE));
    }
}

// The exit code a WM_QUIT carried, from this loop or a modal one.
int CWinThread::ExitInstance() {
    if (m_msgCur.message == WM_QUIT) return (int)m_msgCur.wParam;
    const MSG& m = AfxGetThreadState()->m_msgCur;
    return m.message == WM_QUIT ? (int)m.wParam : 0;
}

CWnd* CWinThread::GetMainWnd() {
    if (m_pActiveWnd) return m_pActiveWnd;
    return m_pMainWnd;
}
