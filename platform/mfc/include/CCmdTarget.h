// Object that receives commands through its message table.
#pragma once
#include "CObject.h"
#include "AfxMsgMap.h"

// Parameters of a WM_NOTIFY passed to a notification handler.
struct AFX_NOTIFY {
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

// Filled instead of calling the handler when a caller only asks whether one exists.
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget;
    AFX_PMSG pmf;
};

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;

    // Routes a command or notification: nCode is the notification code, with
    // the message (WM_NOTIFY, or reflected) in its high word when not WM_COMMAND.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // Reference count of objects shared between owners.
    DWORD InternalAddRef();
    DWORD InternalRelease();
    virtual void OnFinalRelease();
    DWORD ExternalAddRef() { return InternalAddRef(); }
    DWORD ExternalRelease() { return InternalRelease(); }
    void EnableAutomation() {}

    // Finds the first entry for a message in a table chain; null when none.
    static const AFX_MSGMAP_ENTRY* PASCAL FindMessageEntry(const AFX_MSGMAP* pMap, UINT nMsg, UINT nCode, UINT nID);

    long m_dwRef = 1;

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // Calls a command, notification or update handler by its kind.
    static BOOL PASCAL DispatchCmdMsg(CCmdTarget* pTarget, UINT nID, int nCode, AFX_PMSG pfn, void* pExtra,
                                      UINT_PTR nSig, AFX_CMDHANDLERINFO* pHandlerInfo);
};
