// Message tables: each class's table names its base's table, and a lookup
// walks from the class to its bases, so a derived entry wins.
#pragma once
#include "AfxDefs.h"

typedef void (CCmdTarget::*AFX_PMSG)(void);
typedef void (CWnd::*AFX_PMSGW)(void);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;        // window message, or WM_COMMAND / WM_NOTIFY (+ WM_REFLECT_BASE)
    UINT nCode;           // notification code, or the colour kind
    UINT nID;             // first control id
    UINT nLastID;         // last control id (same as nID for one id)
    UINT_PTR nSig;        // handler kind (AfxSig)
    AFX_PMSG pfn;         // handler
    const UINT* pnRegisteredMessage; // ON_REGISTERED_MESSAGE: the message id, known at run time
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (PASCAL* pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Handler kinds: the signature the dispatcher casts the handler back to.
enum AfxSig : UINT_PTR {
    AfxSig_end = 0,
    // commands and notifications (CCmdTarget members)
    AfxSigCmd_v,        // void ()
    AfxSigCmd_w,        // void (UINT id)
    AfxSigCmd_b,        // BOOL ()            (_EX reflection)
    AfxSigCmd_bw,       // BOOL (UINT id)     (_EX commands)
    AfxSigNotify_v,     // void (NMHDR*, LRESULT*)
    AfxSigNotify_b,     // BOOL (NMHDR*, LRESULT*)
    AfxSigNotify_w,     // void (UINT id, NMHDR*, LRESULT*)
    AfxSigCmdUI,        // void (CCmdUI*)
    // window messages (CWnd members)
    AfxSig_vv,          // void ()
    AfxSig_bv,          // BOOL ()
    AfxSig_wv,          // UINT ()
    AfxSig_vb,          // void (BOOL)
    AfxSig_bb,          // BOOL (BOOL)
    AfxSig_vw,          // void (UINT)
    AfxSig_vt,          // void (UINT_PTR)
    AfxSig_vbw,         // void (BOOL, UINT)
    AfxSig_vii,         // void (int, int)
    AfxSig_vwii,        // void (UINT, int, int)
    AfxSig_vwww,        // void (UINT, UINT, UINT)
    AfxSig_vwp,         // void (UINT, CPoint)
    AfxSig_vwl,         // void (UINT, LPARAM)
    AfxSig_bwsp,        // BOOL (UINT, short, CPoint)
    AfxSig_lp,          // LRESULT (CPoint)
    AfxSig_vW,          // void (CWnd*)
    AfxSig_vWp,         // void (CWnd*, CPoint)
    AfxSig_vwWb,        // void (UINT, CWnd*, BOOL)
    AfxSig_bWww,        // BOOL (CWnd*, UINT, UINT)
    AfxSig_iWww,        // int (CWnd*, UINT, UINT)
    AfxSig_bD,          // BOOL (CDC*)
    AfxSig_is,          // int (LPCREATESTRUCT)
    AfxSig_bis,         // BOOL (LPCREATESTRUCT)
    AfxSig_hDWw,        // HBRUSH (CDC*, CWnd*, UINT)
    AfxSig_hDw,         // HBRUSH (CDC*, UINT)       (reflected colour)
    AfxSig_lwl,         // LRESULT (WPARAM, LPARAM)
    AfxSig_wwl,         // UINT (UINT, LPARAM)
    AfxSig_bwt,         // BOOL (UINT, DWORD_PTR)
    AfxSig_vPOS,        // void (WINDOWPOS*)
    AfxSig_vMMI,        // void (MINMAXINFO*)
    AfxSig_vbNCCALC,    // void (BOOL, NCCALCSIZE_PARAMS*)
    AfxSig_viDRAW,      // void (int, LPDRAWITEMSTRUCT)
    AfxSig_viMEASURE,   // void (int, LPMEASUREITEMSTRUCT)
    AfxSig_vDRAW,       // void (LPDRAWITEMSTRUCT)    (reflected)
    AfxSig_vwwh,        // void (UINT, UINT, HMENU)  (menu select)
    AfxSig_vHbb,        // void (CMenu*, UINT, BOOL) (init menu popup)
    AfxSig_vwwScroll,   // void (UINT, UINT, CScrollBar*)
};

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap(); \
    virtual const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() { \
        typedef theClass ThisClass; \
        typedef baseClass TheBaseClass; \
        (void)sizeof(ThisClass*); \
        _Pragma("GCC diagnostic push") \
        _Pragma("GCC diagnostic ignored \"-Wcast-function-type\"") \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP() \
            {0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0, nullptr} \
        }; \
        _Pragma("GCC diagnostic pop") \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap; \
    }

// Casts that check the handler's signature at compile time. The table
// stores every handler as one type and the dispatcher casts it back by kind.
#define AFX_CMD(type, fn) reinterpret_cast<AFX_PMSG>(static_cast<type>(fn))
#define AFX_WND(type, fn) reinterpret_cast<AFX_PMSG>(static_cast<type>(fn))

// Commands and control notifications.
#define ON_COMMAND(id, fn) {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(id), AfxSigCmd_v, AFX_CMD(void (CCmdTarget::*)(), &ThisClass::fn), nullptr},
#define ON_COMMAND_EX(id, fn) {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(id), AfxSigCmd_bw, AFX_CMD(BOOL (CCmdTarget::*)(UINT), &ThisClass::fn), nullptr},
#define ON_COMMAND_RANGE(id, idLast, fn) {WM_COMMAND, CN_COMMAND, (UINT)(id), (UINT)(idLast), AfxSigCmd_w, AFX_CMD(void (CCmdTarget::*)(UINT), &ThisClass::fn), nullptr},
#define ON_UPDATE_COMMAND_UI(id, fn) {WM_COMMAND, (UINT)CN_UPDATE_COMMAND_UI, (UINT)(id), (UINT)(id), AfxSigCmdUI, AFX_CMD(void (CCmdTarget::*)(CCmdUI*), &ThisClass::fn), nullptr},
#define ON_CONTROL(code, id, fn) {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), AfxSigCmd_v, AFX_CMD(void (CCmdTarget::*)(), &ThisClass::fn), nullptr},
#define ON_CONTROL_RANGE(code, id, idLast, fn) {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(idLast), AfxSigCmd_w, AFX_CMD(void (CCmdTarget::*)(UINT), &ThisClass::fn), nullptr},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_BN_SETFOCUS(id, fn) ON_CONTROL(BN_SETFOCUS, id, fn)
#define ON_BN_KILLFOCUS(id, fn) ON_CONTROL(BN_KILLFOCUS, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_NOTIFY(code, id, fn) {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id), AfxSigNotify_v, AFX_CMD(void (CCmdTarget::*)(NMHDR*, LRESULT*), &ThisClass::fn), nullptr},
#define ON_NOTIFY_RANGE(code, id, idLast, fn) {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(idLast), AfxSigNotify_w, AFX_CMD(void (CCmdTarget::*)(UINT, NMHDR*, LRESULT*), &ThisClass::fn), nullptr},
#define ON_NOTIFY_EX(code, id, fn) {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id), AfxSigNotify_b, AFX_CMD(BOOL (CCmdTarget::*)(NMHDR*, LRESULT*), &ThisClass::fn), nullptr},

// Reflected notifications, handled by the control that sent them.
#define ON_CONTROL_REFLECT(code, fn) {WM_COMMAND + WM_REFLECT_BASE, (UINT)(code), 0, 0, AfxSigCmd_v, AFX_CMD(void (CCmdTarget::*)(), &ThisClass::fn), nullptr},
#define ON_CONTROL_REFLECT_EX(code, fn) {WM_COMMAND + WM_REFLECT_BASE, (UINT)(code), 0, 0, AfxSigCmd_b, AFX_CMD(BOOL (CCmdTarget::*)(), &ThisClass::fn), nullptr},
#define ON_NOTIFY_REFLECT(code, fn) {WM_NOTIFY + WM_REFLECT_BASE, (UINT)(code), 0, 0, AfxSigNotify_v, AFX_CMD(void (CCmdTarget::*)(NMHDR*, LRESULT*), &ThisClass::fn), nullptr},
#define ON_NOTIFY_REFLECT_EX(code, fn) {WM_NOTIFY + WM_REFLECT_BASE, (UINT)(code), 0, 0, AfxSigNotify_b, AFX_CMD(BOOL (CCmdTarget::*)(NMHDR*, LRESULT*), &ThisClass::fn), nullptr},
#define ON_WM_CTLCOLOR_REFLECT() {WM_CTLCOLOR + WM_REFLECT_BASE, 0, 0, 0, AfxSig_hDw, AFX_WND(HBRUSH (CWnd::*)(CDC*, UINT), &ThisClass::CtlColor), nullptr},
#define ON_WM_DRAWITEM_REFLECT() {WM_DRAWITEM + WM_REFLECT_BASE, 0, 0, 0, AfxSig_vDRAW, AFX_WND(void (CWnd::*)(LPDRAWITEMSTRUCT), &ThisClass::DrawItem), nullptr},

// Any message, with the raw parameters.
#define ON_MESSAGE(message, fn) {(UINT)(message), 0, 0, 0, AfxSig_lwl, AFX_WND(LRESULT (CWnd::*)(WPARAM, LPARAM), &ThisClass::fn), nullptr},
#define ON_REGISTERED_MESSAGE(nMessageVariable, fn) {0xC000, 0, 0, 0, AfxSig_lwl, AFX_WND(LRESULT (CWnd::*)(WPARAM, LPARAM), &ThisClass::fn), &(nMessageVariable)},

#define AFX_ON_WM(msg, sig, type, fn) {msg, 0, 0, 0, sig, AFX_WND(type, &ThisClass::fn), nullptr},
#define ON_WM_CREATE() AFX_ON_WM(WM_CREATE, AfxSig_is, int (CWnd::*)(LPCREATESTRUCT), OnCreate)
#define ON_WM_NCCREATE() AFX_ON_WM(WM_NCCREATE, AfxSig_bis, BOOL (CWnd::*)(LPCREATESTRUCT), OnNcCreate)
#define ON_WM_DESTROY() AFX_ON_WM(WM_DESTROY, AfxSig_vv, void (CWnd::*)(), OnDestroy)
#define ON_WM_NCDESTROY() AFX_ON_WM(WM_NCDESTROY, AfxSig_vv, void (CWnd::*)(), OnNcDestroy)
#define ON_WM_CLOSE() AFX_ON_WM(WM_CLOSE, AfxSig_vv, void (CWnd::*)(), OnClose)
#define ON_WM_PAINT() AFX_ON_WM(WM_PAINT, AfxSig_vv, void (CWnd::*)(), OnPaint)
#define ON_WM_NCPAINT() AFX_ON_WM(WM_NCPAINT, AfxSig_vv, void (CWnd::*)(), OnNcPaint)
#define ON_WM_ERASEBKGND() AFX_ON_WM(WM_ERASEBKGND, AfxSig_bD, BOOL (CWnd::*)(CDC*), OnEraseBkgnd)
#define ON_WM_SETFOCUS() AFX_ON_WM(WM_SETFOCUS, AfxSig_vW, void (CWnd::*)(CWnd*), OnSetFocus)
#define ON_WM_KILLFOCUS() AFX_ON_WM(WM_KILLFOCUS, AfxSig_vW, void (CWnd::*)(CWnd*), OnKillFocus)
#define ON_WM_CAPTURECHANGED() AFX_ON_WM(WM_CAPTURECHANGED, AfxSig_vW, void (CWnd::*)(CWnd*), OnCaptureChanged)
#define ON_WM_TIMER() AFX_ON_WM(WM_TIMER, AfxSig_vt, void (CWnd::*)(UINT_PTR), OnTimer)
#define ON_WM_ENABLE() AFX_ON_WM(WM_ENABLE, AfxSig_vb, void (CWnd::*)(BOOL), OnEnable)
#define ON_WM_SHOWWINDOW() AFX_ON_WM(WM_SHOWWINDOW, AfxSig_vbw, void (CWnd::*)(BOOL, UINT), OnShowWindow)
#define ON_WM_SIZE() AFX_ON_WM(WM_SIZE, AfxSig_vwii, void (CWnd::*)(UINT, int, int), OnSize)
#define ON_WM_MOVE() AFX_ON_WM(WM_MOVE, AfxSig_vii, void (CWnd::*)(int, int), OnMove)
#define ON_WM_WINDOWPOSCHANGING() AFX_ON_WM(WM_WINDOWPOSCHANGING, AfxSig_vPOS, void (CWnd::*)(WINDOWPOS*), OnWindowPosChanging)
#define ON_WM_WINDOWPOSCHANGED() AFX_ON_WM(WM_WINDOWPOSCHANGED, AfxSig_vPOS, void (CWnd::*)(WINDOWPOS*), OnWindowPosChanged)
#define ON_WM_GETMINMAXINFO() AFX_ON_WM(WM_GETMINMAXINFO, AfxSig_vMMI, void (CWnd::*)(MINMAXINFO*), OnGetMinMaxInfo)
#define ON_WM_NCCALCSIZE() AFX_ON_WM(WM_NCCALCSIZE, AfxSig_vbNCCALC, void (CWnd::*)(BOOL, NCCALCSIZE_PARAMS*), OnNcCalcSize)
#define ON_WM_NCHITTEST() AFX_ON_WM(WM_NCHITTEST, AfxSig_lp, LRESULT (CWnd::*)(CPoint), OnNcHitTest)
#define ON_WM_NCACTIVATE() AFX_ON_WM(WM_NCACTIVATE, AfxSig_bb, BOOL (CWnd::*)(BOOL), OnNcActivate)
#define ON_WM_ACTIVATE() AFX_ON_WM(WM_ACTIVATE, AfxSig_vwWb, void (CWnd::*)(UINT, CWnd*, BOOL), OnActivate)
#define ON_WM_MOUSEACTIVATE() AFX_ON_WM(WM_MOUSEACTIVATE, AfxSig_iWww, int (CWnd::*)(CWnd*, UINT, UINT), OnMouseActivate)
#define ON_WM_SETCURSOR() AFX_ON_WM(WM_SETCURSOR, AfxSig_bWww, BOOL (CWnd::*)(CWnd*, UINT, UINT), OnSetCursor)
#define ON_WM_CTLCOLOR() AFX_ON_WM(WM_CTLCOLOR, AfxSig_hDWw, HBRUSH (CWnd::*)(CDC*, CWnd*, UINT), OnCtlColor)
#define ON_WM_DRAWITEM() AFX_ON_WM(WM_DRAWITEM, AfxSig_viDRAW, void (CWnd::*)(int, LPDRAWITEMSTRUCT), OnDrawItem)
#define ON_WM_MEASUREITEM() AFX_ON_WM(WM_MEASUREITEM, AfxSig_viMEASURE, void (CWnd::*)(int, LPMEASUREITEMSTRUCT), OnMeasureItem)
#define ON_WM_LBUTTONDOWN() AFX_ON_WM(WM_LBUTTONDOWN, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_ON_WM(WM_LBUTTONUP, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_ON_WM(WM_LBUTTONDBLCLK, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_ON_WM(WM_RBUTTONDOWN, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_ON_WM(WM_RBUTTONUP, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnRButtonUp)
#define ON_WM_RBUTTONDBLCLK() AFX_ON_WM(WM_RBUTTONDBLCLK, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnRButtonDblClk)
#define ON_WM_MBUTTONDOWN() AFX_ON_WM(WM_MBUTTONDOWN, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnMButtonDown)
#define ON_WM_MBUTTONUP() AFX_ON_WM(WM_MBUTTONUP, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnMButtonUp)
#define ON_WM_MOUSEMOVE() AFX_ON_WM(WM_MOUSEMOVE, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnMouseMove)
#define ON_WM_MOUSELEAVE() AFX_ON_WM(WM_MOUSELEAVE, AfxSig_vv, void (CWnd::*)(), OnMouseLeave)
#define ON_WM_MOUSEWHEEL() AFX_ON_WM(WM_MOUSEWHEEL, AfxSig_bwsp, BOOL (CWnd::*)(UINT, short, CPoint), OnMouseWheel)
#define ON_WM_NCLBUTTONDOWN() AFX_ON_WM(WM_NCLBUTTONDOWN, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnNcLButtonDown)
#define ON_WM_NCLBUTTONUP() AFX_ON_WM(WM_NCLBUTTONUP, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnNcLButtonUp)
#define ON_WM_NCLBUTTONDBLCLK() AFX_ON_WM(WM_NCLBUTTONDBLCLK, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnNcLButtonDblClk)
#define ON_WM_NCRBUTTONDOWN() AFX_ON_WM(WM_NCRBUTTONDOWN, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnNcRButtonDown)
#define ON_WM_NCRBUTTONUP() AFX_ON_WM(WM_NCRBUTTONUP, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnNcRButtonUp)
#define ON_WM_NCMOUSEMOVE() AFX_ON_WM(WM_NCMOUSEMOVE, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), OnNcMouseMove)
#define ON_WM_KEYDOWN() AFX_ON_WM(WM_KEYDOWN, AfxSig_vwww, void (CWnd::*)(UINT, UINT, UINT), OnKeyDown)
#define ON_WM_KEYUP() AFX_ON_WM(WM_KEYUP, AfxSig_vwww, void (CWnd::*)(UINT, UINT, UINT), OnKeyUp)
#define ON_WM_CHAR() AFX_ON_WM(WM_CHAR, AfxSig_vwww, void (CWnd::*)(UINT, UINT, UINT), OnChar)
#define ON_WM_SYSKEYDOWN() AFX_ON_WM(WM_SYSKEYDOWN, AfxSig_vwww, void (CWnd::*)(UINT, UINT, UINT), OnSysKeyDown)
#define ON_WM_SYSKEYUP() AFX_ON_WM(WM_SYSKEYUP, AfxSig_vwww, void (CWnd::*)(UINT, UINT, UINT), OnSysKeyUp)
#define ON_WM_SYSCOMMAND() AFX_ON_WM(WM_SYSCOMMAND, AfxSig_vwl, void (CWnd::*)(UINT, LPARAM), OnSysCommand)
#define ON_WM_CONTEXTMENU() AFX_ON_WM(WM_CONTEXTMENU, AfxSig_vWp, void (CWnd::*)(CWnd*, CPoint), OnContextMenu)
#define ON_WM_GETDLGCODE() AFX_ON_WM(WM_GETDLGCODE, AfxSig_wv, UINT (CWnd::*)(), OnGetDlgCode)
#define ON_WM_SYSCOLORCHANGE() AFX_ON_WM(WM_SYSCOLORCHANGE, AfxSig_vv, void (CWnd::*)(), OnSysColorChange)
#define ON_WM_QUERYENDSESSION() AFX_ON_WM(WM_QUERYENDSESSION, AfxSig_bv, BOOL (CWnd::*)(), OnQueryEndSession)
#define ON_WM_POWERBROADCAST() AFX_ON_WM(WM_POWERBROADCAST, AfxSig_wwl, UINT (CWnd::*)(UINT, LPARAM), OnPowerBroadcast)
#define ON_WM_DEVICECHANGE() AFX_ON_WM(WM_DEVICECHANGE, AfxSig_bwt, BOOL (CWnd::*)(UINT, DWORD_PTR), OnDeviceChange)
#define ON_WM_MENUSELECT() AFX_ON_WM(WM_MENUSELECT, AfxSig_vwwh, void (CWnd::*)(UINT, UINT, HMENU), OnMenuSelect)
#define ON_WM_INITMENUPOPUP() AFX_ON_WM(WM_INITMENUPOPUP, AfxSig_vHbb, void (CWnd::*)(CMenu*, UINT, BOOL), OnInitMenuPopup)
#define ON_WM_HSCROLL() AFX_ON_WM(WM_HSCROLL, AfxSig_vwwScroll, void (CWnd::*)(UINT, UINT, CScrollBar*), OnHScroll)
#define ON_WM_VSCROLL() AFX_ON_WM(WM_VSCROLL, AfxSig_vwwScroll, void (CWnd::*)(UINT, UINT, CScrollBar*), OnVScroll)
