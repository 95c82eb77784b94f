#include "AfxThreadState.h"
#include "CWnd.h"
#include "CWinThread.h"
#include <cstdio>

namespace {
thread_local AFX_THREAD_STATE t_state;
}

AFX_THREAD_STATE* AFXAPI AfxGetThreadState() { return &t_state; }

const MSG* AFXAPI AfxGetCurrentMessage() { return &t_state.m_lastSentMsg; }

void AFX_CDECL AfxTrace(LPCWSTR format, ...) {
    wchar_t line[1024];
    va_list a;
    va_start(a, format);
    _vsnwprintf(line, 1023, format, a);
    va_end(a);
    line[1023] = 0;
    OutputDebugStringW(line);
}

HWND AFXAPI AfxSafeHwnd(const CWnd* pWnd) { return pWnd ? pWnd->m_hWnd : nullptr; }

BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg) {
    CWinThread* pThread = AfxGetThread();
    if (pThread) return pThread->PreTranslateMessage(pMsg);
    return CWnd::WalkPreTranslateTree(nullptr, pMsg);
}

BOOL AFXAPI AfxPumpMessage() {
    MSG& msg = t_state.m_msgCur;
    if (!::GetMessageW(&msg, nullptr, 0, 0)) return FALSE;
    if (msg.message != WM_KICKIDLE && !AfxPreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return TRUE;
}

BOOL AFXAPI AfxIsIdleMessage(MSG* pMsg) {
    switch (pMsg->message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118: // the caret's blink timer
        return FALSE;
    default:
        return TRUE;
    }
}

void AFXAPI AfxDeleteTempMaps() {
    if (t_state.m_nWndProcDepth != 0) return;
    CWnd::DeleteTempMap();
    AfxDeleteGdiTempMaps();
}
