#include "CPaintDC.h"
#include "CWnd.h"

IMPLEMENT_DYNAMIC(CPaintDC, CDC)

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd()) {
    m_bOwned = FALSE;
    if (!Attach(::BeginPaint(m_hWnd, &m_ps))) AfxTrace(L"CPaintDC: BeginPaint failed for %p\n", m_hWnd);
}

CPaintDC::~CPaintDC() {
    if (!m_hDC) return;
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}
