#include "CClientDC.h"
#include "CWnd.h"

IMPLEMENT_DYNAMIC(CClientDC, CDC)

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) {
    m_bOwned = FALSE;
    if (!Attach(::GetDC(m_hWnd))) AfxTrace(L"CClientDC: GetDC failed for %p\n", m_hWnd);
}

CClientDC::~CClientDC() {
    if (!m_hDC) return;
    ::ReleaseDC(m_hWnd, Detach());
}
