// Per-thread state of the library: the message being handled, the window
// being created and the modal loops running on the thread.
#pragma once
#include "AfxDefs.h"

struct AFX_THREAD_STATE {
    MSG m_lastSentMsg;                 // message a window procedure is handling (for Default)
    MSG m_msgCur;                      // last message taken from the queue
    CWnd* m_pWndInit;                  // window whose creation the hook waits for
    HHOOK m_hHookCbt;                  // creation hook while one is waiting
    int m_nModalDepth;                 // nested message loops running on the thread
    int m_nWndProcDepth;               // window procedures running on the thread
    CWinThread* m_pCurrentWinThread;   // the thread object of this thread, if any
};

AFX_THREAD_STATE* AFXAPI AfxGetThreadState();
// The message the current window procedure is handling.
const MSG* AFXAPI AfxGetCurrentMessage();
// Takes one message from the queue and dispatches it; FALSE on WM_QUIT.
BOOL AFXAPI AfxPumpMessage();
// Offers a queued message to PreTranslateMessage; TRUE when it was consumed.
BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg);
// Whether a message lets the thread do its idle work afterwards.
BOOL AFXAPI AfxIsIdleMessage(MSG* pMsg);
// Idle work of a thread: drops its temporary wrappers when no window
// procedure of the thread is running.
void AFXAPI AfxDeleteTempMaps();
// Drops the temporary device-context, GDI-object, menu and image-list wrappers.
void AFXAPI AfxDeleteGdiTempMaps();
