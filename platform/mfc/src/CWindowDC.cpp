#include "CWindowDC.h"
#include "CWnd.h"

IMPLEMENT_DYNAMIC(CWindowDC, CDC)

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) {
    m_bOwned = FALSE;
    if (!Attach(::GetWindowDC(m_hWnd))) AfxTrace(L"CWindowDC: GetWindowDC failed for %p\n", m_hWnd);
}

CWindowDC::~CWindowDC() {
    if (!m_hDC) return;
    ::ReleaseDC(m_hWnd, Detach());
}
