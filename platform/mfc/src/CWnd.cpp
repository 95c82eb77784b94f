#include "CWnd.h"
#include "AfxThreadState.h"
#include "CHandleTable.h"
#include "CDC.h"
#include "CFont.h"
#include "CMenu.h"
#include "CWinApp.h"
#include "CDataExchange.h"
#include "CException.h"
#include "CUserException.h"
#include "AfxFunctions.h"

// Handlers are stored as one member type and cast back by their kind.
#pragma GCC diagnostic ignored "-Wcast-function-type"

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

typedef CHandleTable<CWnd> WndMap;

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
    ON_WM_NCDESTROY()
END_MESSAGE_MAP()

CWnd::CWnd() = default;

CWnd::CWnd(HWND hWnd) : m_hWnd(hWnd) {}

CWnd::~CWnd() {
    if (!m_hWnd || WndMap::Permanent(m_hWnd) != this) return;
    // The window must not outlive its object: its messages would reach freed memory.
    HWND h = m_hWnd;
    if (::DestroyWindow(h) && !m_hWnd) return;
    AfxTrace(L"CWnd::~CWnd: window %p could not be destroyed (error %lu); releasing it\n", h, GetLastError());
    if (m_pfnSuper && (WNDPROC)::GetWindowLongPtrW(h, GWLP_WNDPROC) == AfxWndProc)
        ::SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    Detach();
}

// ---- handle maps ----

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd) { return WndMap::Permanent(hWnd); }

CWnd* PASCAL CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    if (CWnd* p = WndMap::Permanent(hWnd)) return p;
    if (CWnd* p = WndMap::Temporary(hWnd)) return p;
    CWnd* p = new CWnd(hWnd);
    WndMap::AddTemporary(hWnd, p);
    return p;
}

void PASCAL CWnd::DeleteTempMap() {
    WndMap::DeleteTemporaries([](CWnd* p) { p->m_hWnd = nullptr; });
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (!hWndNew || m_hWnd) {
        AfxTrace(L"CWnd::Attach: cannot attach %p (object already holds %p)\n", hWndNew, m_hWnd);
        return FALSE;
    }
    if (!WndMap::AddPermanent(hWndNew, this)) {
        AfxTrace(L"CWnd::Attach: window %p already belongs to another object\n", hWndNew);
        return FALSE;
    }
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (h) WndMap::RemovePermanent(h, this);
    m_hWnd = nullptr;
    return h;
}

// ---- creation ----

static LRESULT CALLBACK AfxCbtFilterHook(int code, WPARAM wParam, LPARAM lParam) {
    AFX_THREAD_STATE* st = AfxGetThreadState();
    if (code != HCBT_CREATEWND || !st->m_pWndInit) return ::CallNextHookEx(st->m_hHookCbt, code, wParam, lParam);
    HWND h = (HWND)wParam;
    // The input-method window can be created first; it is not the caller's.
    wchar_t cls[32] = L"";
    ::GetClassNameW(h, cls, 32);
    if (_wcsicmp(cls, L"IME") == 0 || _wcsicmp(cls, L"MSCTFIME UI") == 0)
        return ::CallNextHookEx(st->m_hHookCbt, code, wParam, lParam);
    CWnd* pWnd = st->m_pWndInit;
    st->m_pWndInit = nullptr;
    if (pWnd->Attach(h)) {
        // Runs before the creation size is applied, as the framework promises.
        pWnd->PreSubclassWindow();
        WNDPROC old = (WNDPROC)::SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
        if (old != AfxWndProc) *pWnd->GetSuperWndProcAddr() = old;
    }
    return ::CallNextHookEx(st->m_hHookCbt, code, wParam, lParam);
}

void AFXAPI AfxHookWindowCreate(CWnd* pWnd) {
    AFX_THREAD_STATE* st = AfxGetThreadState();
    if (!st->m_hHookCbt) {
        st->m_hHookCbt = ::SetWindowsHookExW(WH_CBT, AfxCbtFilterHook, nullptr, ::GetCurrentThreadId());
        if (!st->m_hHookCbt) AfxTrace(L"AfxHookWindowCreate: SetWindowsHookEx failed (%lu)\n", GetLastError());
    }
    st->m_pWndInit = pWnd;
}

BOOL AFXAPI AfxUnhookWindowCreate() {
    AFX_THREAD_STATE* st = AfxGetThreadState();
    BOOL attached = st->m_pWndInit == nullptr;
    st->m_pWndInit = nullptr;
    return attached;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
    return TRUE;
}

void CWnd::PreSubclassWindow() {}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, CCreateContext* pContext) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, pParentWnd->GetSafeHwnd(), (HMENU)(UINT_PTR)nID, (LPVOID)pContext);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, pParentWnd->GetSafeHwnd(), (HMENU)(UINT_PTR)nID, lpParam);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
    if (m_hWnd) {
        AfxTrace(L"CWnd::CreateEx: object already holds window %p\n", m_hWnd);
        return FALSE;
    }
    CREATESTRUCTW cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = (LONG)dwStyle;
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    // An inverted rectangle gives a negative size; the system clamps it, we say 0.
    if (cs.cx < 0 && cs.cx != (int)CW_USEDEFAULT) cs.cx = 0;
    if (cs.cy < 0 && cs.cy != (int)CW_USEDEFAULT) cs.cy = 0;
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, (DWORD)cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                  cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    DWORD err = ::GetLastError();
    if (!AfxUnhookWindowCreate()) PostNcDestroy();
    if (!hWnd) {
        AfxTrace(L"CWnd::CreateEx: CreateWindowEx failed (%lu)\n", err);
        return FALSE;
    }
    if (m_hWnd != hWnd) {
        // Destroyed during its creation messages, or never attached.
        AfxTrace(L"CWnd::CreateEx: window %p was not attached to its object\n", hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    HWND h = m_hWnd;
    bool mapped = WndMap::Permanent(h) == this;
    BOOL ok = ::DestroyWindow(h);
    if (!ok) AfxTrace(L"CWnd::DestroyWindow: %p failed (%lu)\n", h, GetLastError());
    // A mapped object was detached by WM_NCDESTROY and may be gone already.
    if (!mapped) m_hWnd = nullptr;
    return ok;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd)) return FALSE;
    PreSubclassWindow();
    WNDPROC old = (WNDPROC)::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
    if (!old) {
        AfxTrace(L"CWnd::SubclassWindow: %p cannot be subclassed (%lu)\n", hWnd, GetLastError());
        Detach();
        return FALSE;
    }
    if (old != AfxWndProc) *GetSuperWndProcAddr() = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    HWND hWndControl = ::GetDlgItem(pParent->GetSafeHwnd(), (int)nID);
    if (!hWndControl) {
        AfxTrace(L"CWnd::SubclassDlgItem: no control %u\n", nID);
        return FALSE;
    }
    return SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow() {
    if (!m_hWnd) return nullptr;
    WNDPROC* pp = GetSuperWndProcAddr();
    // A later subclass (a skin, a hook manager) chained to ours: cutting it
    // out would lose its messages, so only our own procedure is replaced.
    if (*pp && (WNDPROC)::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == AfxWndProc)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, (LONG_PTR)*pp);
    *pp = nullptr;
    return Detach();
}

WNDPROC* CWnd::GetSuperWndProcAddr() { return &m_pfnSuper; }

void CWnd::PostNcDestroy() {}

void CWnd::FinishNcDestroy() {
    CWinThread* pThread = AfxGetThread();
    if (pThread && pThread->m_pMainWnd == this) pThread->m_pMainWnd = nullptr;
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd == this) pApp->m_pMainWnd = nullptr;
    HWND h = m_hWnd;
    if (h && m_pfnSuper && (WNDPROC)::GetWindowLongPtrW(h, GWLP_WNDPROC) == AfxWndProc)
        ::SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    m_pfnSuper = nullptr;
    Detach();
    PostNcDestroy();
}

void CWnd::OnNcDestroy() {
    Default();
    FinishNcDestroy();
}

// ---- message dispatch ----

WNDPROC AFXAPI AfxGetAfxWndProc() { return AfxWndProc; }

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd) return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    return AfxCallWndProc(pWnd, hWnd, nMsg, wParam, lParam);
}

LRESULT AFXAPI AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    AFX_THREAD_STATE* st = AfxGetThreadState();
    MSG saved = st->m_lastSentMsg;
    st->m_lastSentMsg.hwnd = hWnd;
    st->m_lastSentMsg.message = nMsg;
    st->m_lastSentMsg.wParam = wParam;
    st->m_lastSentMsg.lParam = lParam;
    ++st->m_nWndProcDepth;
    LRESULT lResult = 0;
    // No exception may cross the system's frames of the window procedure.
    try {
        lResult = pWnd->WindowProc(nMsg, wParam, lParam);
    } catch (CException* e) {
        AfxTrace(L"AfxCallWndProc: exception in message 0x%04X handler\n", nMsg);
        e->Delete();
    } catch (...) {
        AfxTrace(L"AfxCallWndProc: exception in message 0x%04X handler\n", nMsg);
    }
    // A handler that did not call the base still must let the object go.
    if (nMsg == WM_NCDESTROY && CWnd::FromHandlePermanent(hWnd) == pWnd) pWnd->FinishNcDestroy();
    --st->m_nWndProcDepth;
    st->m_lastSentMsg = saved;
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const MSG* m = AfxGetCurrentMessage();
    return DefWindowProc(m->message, m->wParam, m->lParam);
}

static bool IsCtlColor(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// The control a parent-side message concerns, when it is one the parent reflects.
static HWND ReflectTarget(HWND hWndParent, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsCtlColor(message)) return (HWND)lParam;
    switch (message) {
    case WM_DRAWITEM: {
        auto* p = (LPDRAWITEMSTRUCT)lParam;
        return (p && p->CtlType != ODT_MENU) ? p->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        auto* p = (LPMEASUREITEMSTRUCT)lParam;
        return (p && p->CtlType != ODT_MENU) ? ::GetDlgItem(hWndParent, (int)p->CtlID) : nullptr;
    }
    case WM_DELETEITEM:
        return lParam ? ((LPDELETEITEMSTRUCT)lParam)->hwndItem : nullptr;
    case WM_COMPAREITEM:
        return lParam ? ((LPCOMPAREITEMSTRUCT)lParam)->hwndItem : nullptr;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return (HWND)lParam;
    default:
        (void)wParam;
        return nullptr;
    }
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        NMHDR* pNMHDR = (NMHDR*)lParam;
        LRESULT lResult = 0;
        if (!pNMHDR || !pNMHDR->hwndFrom || !OnNotify(wParam, lParam, &lResult)) return FALSE;
        *pResult = lResult;
        return TRUE;
    }
    UINT nLookup = IsCtlColor(message) ? WM_CTLCOLOR : message;
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), nLookup, 0, 0);
    if (e) return DispatchWndMsg(e, message, wParam, lParam, pResult);
    // Without a parent handler, the control that sent it may handle it itself;
    // only the parent's own object offers it, not a temporary wrapper.
    if (FromHandlePermanent(m_hWnd) != this) return FALSE;
    HWND hWndChild = ReflectTarget(m_hWnd, message, wParam, lParam);
    CWnd* pChild = hWndChild ? FromHandlePermanent(hWndChild) : nullptr;
    return pChild && pChild->OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::DispatchWndMsg(const AFX_MSGMAP_ENTRY* e, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    AFX_PMSG pfn = e->pfn;
    LRESULT r = 0;
#define AFX_CALL(type) (this->*reinterpret_cast<type>(pfn))
    switch (e->nSig) {
    case AfxSig_vv: AFX_CALL(void (CWnd::*)())(); break;
    case AfxSig_bv: r = AFX_CALL(BOOL (CWnd::*)())(); break;
    case AfxSig_wv: r = AFX_CALL(UINT (CWnd::*)())(); break;
    case AfxSig_vb: AFX_CALL(void (CWnd::*)(BOOL))((BOOL)wParam); break;
    case AfxSig_bb: r = AFX_CALL(BOOL (CWnd::*)(BOOL))((BOOL)wParam); break;
    case AfxSig_vw: AFX_CALL(void (CWnd::*)(UINT))((UINT)wParam); break;
    case AfxSig_vt: AFX_CALL(void (CWnd::*)(UINT_PTR))((UINT_PTR)wParam); break;
    case AfxSig_vbw: AFX_CALL(void (CWnd::*)(BOOL, UINT))((BOOL)wParam, (UINT)lParam); break;
    case AfxSig_vii: AFX_CALL(void (CWnd::*)(int, int))((short)LOWORD(lParam), (short)HIWORD(lParam)); break;
    case AfxSig_vwii: AFX_CALL(void (CWnd::*)(UINT, int, int))((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam)); break;
    case AfxSig_vwww: AFX_CALL(void (CWnd::*)(UINT, UINT, UINT))((UINT)wParam, LOWORD(lParam), HIWORD(lParam)); break;
    case AfxSig_vwp: AFX_CALL(void (CWnd::*)(UINT, CPoint))((UINT)wParam, CPoint(lParam)); break;
    case AfxSig_vwl: AFX_CALL(void (CWnd::*)(UINT, LPARAM))((UINT)wParam, lParam); break;
    case AfxSig_bwsp: r = AFX_CALL(BOOL (CWnd::*)(UINT, short, CPoint))(LOWORD(wParam), (short)HIWORD(wParam), CPoint(lParam)); break;
    case AfxSig_lp: r = AFX_CALL(LRESULT (CWnd::*)(CPoint))(CPoint(lParam)); break;
    case AfxSig_vW: AFX_CALL(void (CWnd::*)(CWnd*))(FromHandle((HWND)wParam)); break;
    case AfxSig_vWp: AFX_CALL(void (CWnd::*)(CWnd*, CPoint))(FromHandle((HWND)wParam), CPoint(lParam)); break;
    case AfxSig_vwWb: AFX_CALL(void (CWnd::*)(UINT, CWnd*, BOOL))(LOWORD(wParam), FromHandle((HWND)lParam), (BOOL)HIWORD(wParam)); break;
    case AfxSig_bWww: r = AFX_CALL(BOOL (CWnd::*)(CWnd*, UINT, UINT))(FromHandle((HWND)wParam), LOWORD(lParam), HIWORD(lParam)); break;
    case AfxSig_iWww: r = AFX_CALL(int (CWnd::*)(CWnd*, UINT, UINT))(FromHandle((HWND)wParam), LOWORD(lParam), HIWORD(lParam)); break;
    case AfxSig_bD: r = AFX_CALL(BOOL (CWnd::*)(CDC*))(CDC::FromHandle((HDC)wParam)); break;
    case AfxSig_is: r = AFX_CALL(int (CWnd::*)(LPCREATESTRUCT))((LPCREATESTRUCT)lParam); break;
    case AfxSig_bis: r = AFX_CALL(BOOL (CWnd::*)(LPCREATESTRUCT))((LPCREATESTRUCT)lParam); break;
    case AfxSig_hDWw: {
        UINT nCtlColor = IsCtlColor(message) ? message - WM_CTLCOLORMSGBOX : (UINT)CTLCOLOR_STATIC;
        r = (LRESULT)AFX_CALL(HBRUSH (CWnd::*)(CDC*, CWnd*, UINT))(CDC::FromHandle((HDC)wParam), FromHandle((HWND)lParam), nCtlColor);
        break;
    }
    case AfxSig_lwl: r = AFX_CALL(LRESULT (CWnd::*)(WPARAM, LPARAM))(wParam, lParam); break;
    case AfxSig_wwl: r = AFX_CALL(UINT (CWnd::*)(UINT, LPARAM))((UINT)wParam, lParam); break;
    case AfxSig_bwt: r = AFX_CALL(BOOL (CWnd::*)(UINT, DWORD_PTR))((UINT)wParam, (DWORD_PTR)lParam); break;
    case AfxSig_vPOS: AFX_CALL(void (CWnd::*)(WINDOWPOS*))((WINDOWPOS*)lParam); break;
    case AfxSig_vMMI: AFX_CALL(void (CWnd::*)(MINMAXINFO*))((MINMAXINFO*)lParam); break;
    case AfxSig_vbNCCALC: AFX_CALL(void (CWnd::*)(BOOL, NCCALCSIZE_PARAMS*))((BOOL)wParam, (NCCALCSIZE_PARAMS*)lParam); break;
    case AfxSig_viDRAW: AFX_CALL(void (CWnd::*)(int, LPDRAWITEMSTRUCT))((int)wParam, (LPDRAWITEMSTRUCT)lParam); r = TRUE; break;
    case AfxSig_viMEASURE: AFX_CALL(void (CWnd::*)(int, LPMEASUREITEMSTRUCT))((int)wParam, (LPMEASUREITEMSTRUCT)lParam); r = TRUE; break;
    case AfxSig_vDRAW: AFX_CALL(void (CWnd::*)(LPDRAWITEMSTRUCT))((LPDRAWITEMSTRUCT)lParam); r = TRUE; break;
    case AfxSig_vwwh: AFX_CALL(void (CWnd::*)(UINT, UINT, HMENU))(LOWORD(wParam), HIWORD(wParam), (HMENU)lParam); break;
    case AfxSig_vHbb: AFX_CALL(void (CWnd::*)(CMenu*, UINT, BOOL))(CMenu::FromHandle((HMENU)wParam), LOWORD(lParam), (BOOL)HIWORD(lParam)); break;
    case AfxSig_vwwScroll:
        AFX_CALL(void (CWnd::*)(UINT, UINT, CScrollBar*))(LOWORD(wParam), (UINT)(short)HIWORD(wParam), reinterpret_cast<CScrollBar*>(FromHandle((HWND)lParam)));
        break;
    default:
        AfxTrace(L"CWnd::OnWndMsg: entry for 0x%04X has kind %u, not a window message\n", message, (unsigned)e->nSig);
        return FALSE;
    }
#undef AFX_CALL
    *pResult = r;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    HWND hWndCtrl = (HWND)lParam;
    int nCode = HIWORD(wParam);
    if (hWndCtrl) {
        // The control gets the first chance at its own notification.
        CWnd* pChild = FromHandlePermanent(hWndCtrl);
        LRESULT r = 0;
        if (pChild && pChild != this && pChild->OnChildNotify(WM_COMMAND, wParam, lParam, &r)) return TRUE;
    } else {
        nCode = CN_COMMAND; // menu or accelerator
    }
    return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
    NMHDR* pNMHDR = (NMHDR*)lParam;
    CWnd* pChild = FromHandlePermanent(pNMHDR->hwndFrom);
    if (pChild && pChild != this && pChild->OnChildNotify(WM_NOTIFY, pNMHDR->idFrom, lParam, pResult)) return TRUE;
    AFX_NOTIFY notify = {pResult, pNMHDR};
    return OnCmdMsg((UINT)pNMHDR->idFrom, (int)MAKELONG(pNMHDR->code, WM_NOTIFY), &notify, nullptr);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        int nCode = HIWORD(wParam);
        if (!CCmdTarget::OnCmdMsg(0, (int)MAKELONG(nCode, WM_REFLECT_BASE + WM_COMMAND), nullptr, nullptr)) return FALSE;
        if (pResult) *pResult = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        NMHDR* pNMHDR = (NMHDR*)lParam;
        AFX_NOTIFY notify = {pResult, pNMHDR};
        return CCmdTarget::OnCmdMsg(0, (int)MAKELONG(pNMHDR->code, WM_REFLECT_BASE + WM_NOTIFY), &notify, nullptr);
    }
    if (IsCtlColor(message)) {
        const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0);
        if (!e) return FALSE;
        HBRUSH hbr = (this->*reinterpret_cast<HBRUSH (CWnd::*)(CDC*, UINT)>(e->pfn))(CDC::FromHandle((HDC)wParam),
                                                                                   message - WM_CTLCOLORMSGBOX);
        // A null brush leaves the colours to the parent.
        if (!hbr) return FALSE;
        if (pResult) *pResult = (LRESULT)hbr;
        return TRUE;
    }
    LRESULT r = 0;
    if (!OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, &r)) return FALSE;
    if (pResult) *pResult = r;
    return TRUE;
}

BOOL PASCAL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult) {
    CWnd* pChild = FromHandlePermanent(hWndChild);
    return pChild && pChild->SendChildNotifyLastMsg(pResult);
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* pResult) {
    const MSG* m = AfxGetCurrentMessage();
    return OnChildNotify(m->message, m->wParam, m->lParam, pResult);
}

// ---- modal loops and pre-translation ----

BOOL PASCAL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
    for (HWND h = pMsg->hwnd; h;) {
        CWnd* pWnd = FromHandlePermanent(h);
        if (pWnd && pWnd->PreTranslateMessage(pMsg)) return TRUE;
        if (h == hWndStop || !::IsWindow(h)) break;
        // Parents only: an owned window's keys are not its owner's business.
        if (!(::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) break;
        h = ::GetParent(h);
    }
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::PreTranslateInput(LPMSG lpMsg) {
    bool key = lpMsg->message >= WM_KEYFIRST && lpMsg->message <= WM_KEYLAST;
    bool mouse = lpMsg->message >= WM_MOUSEFIRST && lpMsg->message <= WM_MOUSELAST;
    if (!key && !mouse) return FALSE;
    return IsDialogMessage(lpMsg);
}

BOOL CWnd::ContinueModal() { return (m_nFlags & WF_CONTINUEMODAL) != 0; }

void CWnd::EndModalLoop(int nResult) {
    m_nModalResult = nResult;
    if (!(m_nFlags & WF_CONTINUEMODAL)) return;
    m_nFlags &= ~WF_CONTINUEMODAL;
    // Wakes the loop when it waits for a message (also from another thread).
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

int CWnd::RunModalLoop(DWORD dwFlags) {
    AFX_THREAD_STATE* st = AfxGetThreadState();
    HWND hWnd = m_hWnd;
    BOOL bIdle = TRUE;
    LONG lIdleCount = 0;
    BOOL bShowIdle = (dwFlags & MLF_SHOWONIDLE) && !(GetStyle() & WS_VISIBLE);
    HWND hWndParent = ::GetParent(hWnd);
    m_nFlags |= (WF_MODALLOOP | WF_CONTINUEMODAL);
    ++st->m_nModalDepth;
    MSG* pMsg = &st->m_msgCur;
    int result = -1;
    for (;;) {
        while (bIdle && !::PeekMessageW(pMsg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!::IsWindow(hWnd)) goto done;
            if (bShowIdle) {
                ::ShowWindow(hWnd, SW_SHOWNORMAL);
                ::UpdateWindow(hWnd);
                bShowIdle = FALSE;
            }
            // Only an owner on this thread is told: one on another thread may be waiting for us.
            if (!(dwFlags & MLF_NOIDLEMSG) && hWndParent && lIdleCount == 0 &&
                ::GetWindowThreadProcessId(hWndParent, nullptr) == ::GetCurrentThreadId())
                ::SendMessageW(hWndParent, WM_ENTERIDLE, MSGF_DIALOGBOX, (LPARAM)hWnd);
            if (lIdleCount == 0) AfxDeleteTempMaps();
            if ((dwFlags & MLF_NOKICKIDLE) || !::SendMessageW(hWnd, WM_KICKIDLE, MSGF_DIALOGBOX, lIdleCount++))
                bIdle = FALSE;
        }
        do {
            if (!AfxPumpMessage()) {
                // Somebody ended the thread's loop: pass the request on to the outer loop.
                ::PostQuitMessage((int)pMsg->wParam);
                m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
                --st->m_nModalDepth;
                return -1;
            }
            if (!ContinueModal()) {
                result = m_nModalResult;
                goto done;
            }
            if (!::IsWindow(hWnd)) goto done;
            if (AfxIsIdleMessage(pMsg)) {
                bIdle = TRUE;
                lIdleCount = 0;
            }
        } while (::PeekMessageW(pMsg, nullptr, 0, 0, PM_NOREMOVE));
    }
done:
    if (::IsWindow(hWnd)) {
        m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
        result = m_nModalResult;
    }
    --st->m_nModalDepth;
    return result;
}

// ---- styles and geometry ----

static BOOL ModifyLong(HWND hWnd, int nIndex, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    DWORD dwStyle = (DWORD)::GetWindowLongPtrW(hWnd, nIndex);
    DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle) return FALSE;
    ::SetWindowLongPtrW(hWnd, nIndex, (LONG_PTR)dwNewStyle);
    if (nFlags != 0)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL PASCAL CWnd::ModifyStyle(HWND hWnd, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    return ModifyLong(hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL PASCAL CWnd::ModifyStyleEx(HWND hWnd, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    return ModifyLong(hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    ::ScreenToClient(m_hWnd, (LPPOINT)lpRect);
    ::ScreenToClient(m_hWnd, ((LPPOINT)lpRect) + 1);
    // Mapping into a mirrored window turns the rectangle inside out.
    if (GetExStyle() & WS_EX_LAYOUTRTL) CRect::SwapLeftRight(lpRect);
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
    ::ClientToScreen(m_hWnd, (LPPOINT)lpRect);
    ::ClientToScreen(m_hWnd, ((LPPOINT)lpRect) + 1);
    if (GetExStyle() & WS_EX_LAYOUTRTL) CRect::SwapLeftRight(lpRect);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
}

CWnd* CWnd::GetTopLevelParent() const {
    HWND h = m_hWnd;
    while (h && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) h = ::GetParent(h);
    return FromHandle(h);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    CRect rc;
    GetWindowRect(&rc);
    HWND hCenter = pAlternateOwner ? pAlternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
    if (GetStyle() & WS_CHILD) hCenter = ::GetParent(m_hWnd);
    CRect area;
    if (hCenter && ::IsWindowVisible(hCenter)) {
        ::GetWindowRect(hCenter, &area);
        if (GetStyle() & WS_CHILD) ::MapWindowPoints(nullptr, hCenter, (LPPOINT)&area, 2);
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    int x = area.left + (area.Width() - rc.Width()) / 2;
    int y = area.top + (area.Height() - rc.Height()) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::CalcWindowRect(LPRECT lpClientRect, UINT) {
    ::AdjustWindowRectEx(lpClientRect, GetStyle(), FALSE, GetExStyle());
}

// ---- text, fonts, DCs, menus ----

void CWnd::GetWindowText(CString& rString) const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    ::GetWindowTextW(m_hWnd, rString.GetBuffer(n), n + 1);
    rString.ReleaseBuffer();
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    HWND h = ::GetDlgItem(m_hWnd, nID);
    if (!h) return 0;
    int n = ::GetWindowTextLengthW(h);
    ::GetWindowTextW(h, rString.GetBuffer(n), n + 1);
    rString.ReleaseBuffer();
    return rString.GetLength();
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    ::SendMessageW(m_hWnd, WM_SETFONT, (WPARAM)pFont->GetSafeHandle(), bRedraw);
}

CFont* CWnd::GetFont() const { return CFont::FromHandle((HFONT)::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)); }

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }

CDC* CWnd::GetWindowDC() { return CDC::FromHandle(::GetWindowDC(m_hWnd)); }

int CWnd::ReleaseDC(CDC* pDC) { return pDC ? ::ReleaseDC(m_hWnd, pDC->m_hDC) : 0; }

CMenu* CWnd::GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }

BOOL CWnd::SetMenu(CMenu* pMenu) { return ::SetMenu(m_hWnd, pMenu->GetSafeHmenu()); }

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const { return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert)); }

BOOL CWnd::GetScrollInfo(int nBar, LPSCROLLINFO lpScrollInfo, UINT nMask) {
    lpScrollInfo->cbSize = sizeof(SCROLLINFO);
    lpScrollInfo->fMask = nMask;
    return ::GetScrollInfo(m_hWnd, nBar, lpScrollInfo);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
    for (HWND h = ::GetTopWindow(m_hWnd); h; h = ::GetNextWindow(h, GW_HWNDNEXT)) {
        ::SendMessageW(h, message, wParam, lParam);
        if (bDeep && ::GetTopWindow(h)) CWnd(h).SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

// ---- data exchange ----

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (CUserException* e) {
        // The failing exchange routine has told the user already.
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

// ---- default handlers: the message goes on to the window's own procedure ----

int CWnd::OnCreate(LPCREATESTRUCT) { return (int)Default(); }
BOOL CWnd::OnNcCreate(LPCREATESTRUCT) { return (BOOL)Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnNcPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) { Default(); }
LRESULT CWnd::OnNcHitTest(CPoint) { return Default(); }
BOOL CWnd::OnNcActivate(BOOL) { return (BOOL)Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
int CWnd::OnMouseActivate(CWnd*, UINT, UINT) { return (int)Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return (BOOL)Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnMButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnMButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnMouseLeave() { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
void CWnd::OnNcLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnNcLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnNcLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnNcRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnNcRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnNcMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
UINT CWnd::OnGetDlgCode() { return (UINT)Default(); }
void CWnd::OnSysColorChange() { Default(); }
BOOL CWnd::OnQueryEndSession() { return (BOOL)Default(); }
UINT CWnd::OnPowerBroadcast(UINT, LPARAM) { return (UINT)Default(); }
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return (BOOL)Default(); }
void CWnd::OnMenuSelect(UINT, UINT, HMENU) { Default(); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }

// Parent-side handlers first offer the message to the control that sent it.
HBRUSH CWnd::OnCtlColor(CDC*, CWnd* pWnd, UINT) {
    LRESULT r = 0;
    if (pWnd && ReflectLastMsg(pWnd->m_hWnd, &r)) return (HBRUSH)r;
    return (HBRUSH)Default();
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (lpDrawItemStruct->CtlType != ODT_MENU && ReflectLastMsg(lpDrawItemStruct->hwndItem)) return;
    Default();
}

void CWnd::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    if (lpMeasureItemStruct->CtlType != ODT_MENU && ReflectLastMsg(::GetDlgItem(m_hWnd, nIDCtl))) return;
    Default();
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar* pScrollBar) {
    CWnd* p = reinterpret_cast<CWnd*>(pScrollBar);
    if (p && ReflectLastMsg(p->m_hWnd)) return;
    Default();
}

void CWnd::OnVScroll(UINT, UINT, CScrollBar* pScrollBar) {
    CWnd* p = reinterpret_cast<CWnd*>(pScrollBar);
    if (p && ReflectLastMsg(p->m_hWnd)) return;
    Default();
}
