#include "CAnimateCtrl.h"
#include "AfxFunctions.h"

IMPLEMENT_DYNAMIC(CAnimateCtrl, CWnd)

BOOL CAnimateCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    AfxInitCommonControls();
    return CWnd::Create(ANIMATE_CLASSW, nullptr, dwStyle, rect, pParentWnd, nID);
}
