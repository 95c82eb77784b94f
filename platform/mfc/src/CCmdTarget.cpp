#include "CCmdTarget.h"
#include "CCmdUI.h"

// Handlers are stored as one member type and cast back by their kind.
#pragma GCC diagnostic ignored "-Wcast-function-type"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* PASCAL CCmdTarget::FindMessageEntry(const AFX_MSGMAP* pMap, UINT nMsg, UINT nCode, UINT nID) {
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e && e->nSig != AfxSig_end; ++e) {
            UINT msg = e->pnRegisteredMessage ? *e->pnRegisteredMessage : e->nMessage;
            if (msg == nMsg && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID) return e;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    UINT nMsg = WM_COMMAND;
    UINT code = (UINT)nCode;
    if ((UINT)nCode != CN_UPDATE_COMMAND_UI && HIWORD(nCode) != 0) {
        nMsg = HIWORD(nCode);
        code = LOWORD(nCode);
    }
    // Notification codes are negative 16-bit values packed into the low word.
    if (nMsg == WM_NOTIFY || nMsg == WM_NOTIFY + WM_REFLECT_BASE) code = (UINT)(int)(short)code;
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(GetMessageMap(), nMsg, code, nID);
    if (!e) return FALSE;
    return DispatchCmdMsg(this, nID, nCode, e->pfn, pExtra, e->nSig, pHandlerInfo);
}

BOOL PASCAL CCmdTarget::DispatchCmdMsg(CCmdTarget* pTarget, UINT nID, int nCode, AFX_PMSG pfn, void* pExtra,
                                       UINT_PTR nSig, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (pHandlerInfo) {
        pHandlerInfo->pTarget = pTarget;
        pHandlerInfo->pmf = pfn;
        return TRUE;
    }
    (void)nCode;
    AFX_NOTIFY* pNotify = static_cast<AFX_NOTIFY*>(pExtra);
    switch (nSig) {
    case AfxSigCmd_v:
        (pTarget->*pfn)();
        return TRUE;
    case AfxSigCmd_w:
        (pTarget->*reinterpret_cast<void (CCmdTarget::*)(UINT)>(pfn))(nID);
        return TRUE;
    case AfxSigCmd_b:
        return (pTarget->*reinterpret_cast<BOOL (CCmdTarget::*)()>(pfn))();
    case AfxSigCmd_bw:
        return (pTarget->*reinterpret_cast<BOOL (CCmdTarget::*)(UINT)>(pfn))(nID);
    case AfxSigNotify_v:
        if (!pNotify) return FALSE;
        (pTarget->*reinterpret_cast<void (CCmdTarget::*)(NMHDR*, LRESULT*)>(pfn))(pNotify->pNMHDR, pNotify->pResult);
        return TRUE;
    case AfxSigNotify_b:
        if (!pNotify) return FALSE;
        return (pTarget->*reinterpret_cast<BOOL (CCmdTarget::*)(NMHDR*, LRESULT*)>(pfn))(pNotify->pNMHDR, pNotify->pResult);
    case AfxSigNotify_w:
        if (!pNotify) return FALSE;
        (pTarget->*reinterpret_cast<void (CCmdTarget::*)(UINT, NMHDR*, LRESULT*)>(pfn))(nID, pNotify->pNMHDR, pNotify->pResult);
        return TRUE;
    case AfxSigCmdUI: {
        CCmdUI* pCmdUI = static_cast<CCmdUI*>(pExtra);
        if (!pCmdUI) return FALSE;
        pCmdUI->m_bContinueRouting = FALSE;
        (pTarget->*reinterpret_cast<void (CCmdTarget::*)(CCmdUI*)>(pfn))(pCmdUI);
        return !pCmdUI->m_bContinueRouting;
    }
    default:
        AfxTrace(L"CCmdTarget::DispatchCmdMsg: handler kind %u is not a command\n", (unsigned)nSig);
        return FALSE;
    }
}

DWORD CCmdTarget::InternalAddRef() { return (DWORD)InterlockedIncrement(&m_dwRef); }

DWORD CCmdTarget::InternalRelease() {
    long n = InterlockedDecrement(&m_dwRef);
    if (n == 0) OnFinalRelease();
    return (DWORD)n;
}

void CCmdTarget::OnFinalRelease() { delete this; }

const AFX_INTERFACEMAP* PASCAL CCmdTarget::GetThisInterfaceMap() {
    static const AFX_INTERFACEMAP_ENTRY entries[] = {{nullptr, (size_t)-1}};
    static const AFX_INTERFACEMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_INTERFACEMAP* CCmdTarget::GetInterfaceMap() const { return GetThisInterfaceMap(); }

LPUNKNOWN CCmdTarget::GetInterface(const void* iid) {
    if (!iid) return nullptr;
    const IID& wanted = *static_cast<const IID*>(iid);
    bool unknown = IsEqualIID(wanted, IID_IUnknown);
    for (const AFX_INTERFACEMAP* map = GetInterfaceMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_INTERFACEMAP_ENTRY* e = map->pEntry; e && e->piid; ++e)
            if (unknown || IsEqualIID(wanted, *e->piid)) return reinterpret_cast<LPUNKNOWN>(reinterpret_cast<BYTE*>(this) + e->nOffset);
    }
    return nullptr;
}

DWORD CCmdTarget::InternalQueryInterface(const void* iid, LPVOID* ppvObj) {
    if (!ppvObj) return (DWORD)E_POINTER;
    *ppvObj = GetInterface(iid);
    if (!*ppvObj) return (DWORD)E_NOINTERFACE;
    InternalAddRef();
    return (DWORD)S_OK;
}

LPDISPATCH CCmdTarget::GetIDispatch(BOOL bAddRef) {
    LPDISPATCH p = reinterpret_cast<LPDISPATCH>(GetInterface(&IID_IDispatch));
    if (p && bAddRef) InternalAddRef();
    return p;
}
