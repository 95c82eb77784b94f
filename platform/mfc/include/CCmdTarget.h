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

// One interface of an object: its id and where its nested object lies.
struct AFX_INTERFACEMAP_ENTRY {
    const IID* piid; // null ends the table
    size_t nOffset;
};
// The interface table of a class, chained to its base's.
struct AFX_INTERFACEMAP {
    const AFX_INTERFACEMAP*(PASCAL* pfnGetBaseMap)();
    const AFX_INTERFACEMAP_ENTRY* pEntry;
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

    // COM interfaces of the object's interface table (searched from the class
    // to its bases); IUnknown answers the first interface listed.
    LPUNKNOWN GetInterface(const void* iid);
    DWORD InternalQueryInterface(const void* iid, LPVOID* ppvObj);
    DWORD ExternalQueryInterface(const void* iid, LPVOID* ppvObj) { return InternalQueryInterface(iid, ppvObj); }
    // The IDispatch of the interface table (null without one), counted when bAddRef.
    LPDISPATCH GetIDispatch(BOOL bAddRef);
    static const AFX_INTERFACEMAP* PASCAL GetThisInterfaceMap();
    virtual const AFX_INTERFACEMAP* GetInterfaceMap() const;

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
