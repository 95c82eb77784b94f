// Common types, constants and helpers of the class library.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <tchar.h>

#ifndef AFXAPI
#define AFXAPI __stdcall
#endif
#ifndef PASCAL
#define PASCAL __stdcall
#endif
#ifndef AFX_CDECL
#define AFX_CDECL __cdecl
#endif

// Iterator of the list-like collections: an opaque pointer.
struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)-1L)

class CObject;
class CCmdTarget;
class CWnd;
class CDC;
class CArchive;
class CWinThread;
class CWinApp;
class CDialog;
class CCmdUI;

// Command codes passed to OnCmdMsg besides control notification codes.
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((UINT)(-1))

// Messages a parent reflects back to the child control that sent them.
#define WM_REFLECT_BASE 0xBC00
// The single colour message the tables use for every WM_CTLCOLORxxx.
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

// Private messages of the library.
#define WM_KICKIDLE 0x036A
#define WM_IDLEUPDATECMDUI 0x0363
#define WM_INITIALUPDATE 0x0364

// Flags of CWnd::m_nFlags.
#define WF_TOOLTIPS 0x0001
#define WF_TEMPHIDE 0x0002
#define WF_STAYACTIVE 0x0020
#define WF_STAYDISABLED 0x0004
#define WF_MODALLOOP 0x0008
#define WF_CONTINUEMODAL 0x0010
#define WF_OLECTLCONTAINER 0x0100
#define WF_TRACKINGTOOLTIPS 0x0400

// Flags of CWnd::RunModalLoop.
#define MLF_NOIDLEMSG 0x0001
#define MLF_NOKICKIDLE 0x0002
#define MLF_SHOWONIDLE 0x0004

// Standard ids.
#define AFX_IDS_APP_TITLE 0xE000
#define AFX_IDW_PANE_FIRST 0xE900
#define ID_EDIT_COPY 0xE122
#define ID_EDIT_CUT 0xE123
#define ID_EDIT_PASTE 0xE125
#define ID_FILE_MRU_FILE1 0xE110
#define AFX_IDW_STATUS_BAR 0xE801

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// A debugger line from the library itself (the product's logger is not ours to use).
void AFX_CDECL AfxTrace(LPCWSTR format, ...);

#ifndef ASSERT
#define ASSERT(f) ((void)0)
#endif
#ifndef VERIFY
#define VERIFY(f) ((void)(f))
#endif
#ifndef ENSURE
#define ENSURE(f) ((void)(f))
#endif
#ifndef TRACE
#define TRACE(...) ((void)0)
#endif
#ifndef UNUSED_ALWAYS
#define UNUSED_ALWAYS(x) ((void)(x))
#endif
