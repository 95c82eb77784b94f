#include "CUIXAccessible.h"
#include <cstddef>

#pragma GCC diagnostic ignored "-Winvalid-offsetof"

namespace {
// Deepest chain of VARIANT references followed; a longer one cannot name a child.
const int kMaxVariantDepth = 16;
} // namespace

CUIXAccessible::CUIXAccessible() {
    m_user32.Init(L"user32.dll");
    m_user32.GetProcAddress(&m_pfnNotifyWinEvent, "NotifyWinEvent");
}

CUIXAccessible::~CUIXAccessible() {
    m_oleacc.FreeLibrary();
    m_user32.FreeLibrary();
}

HRESULT CUIXAccessible::GetAccessibleParent(IDispatch**) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleChildCount(long*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleChild(VARIANT, IDispatch**) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleName(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleValue(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleDescription(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleRole(VARIANT, VARIANT*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleState(VARIANT, VARIANT*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleHelp(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleHelpTopic(BSTR*, VARIANT, long*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleKeyboardShortcut(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::GetAccessibleFocus(VARIANT*) { return S_FALSE; }
HRESULT CUIXAccessible::GetAccessibleSelection(VARIANT*) { return S_FALSE; }
HRESULT CUIXAccessible::GetAccessibleDefaultAction(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::AccessibleSelect(long, VARIANT) { return E_NOTIMPL; }
HRESULT CUIXAccessible::AccessibleLocation(long*, long*, long*, long*, VARIANT) { return E_NOTIMPL; }
HRESULT CUIXAccessible::AccessibleNavigate(long, VARIANT, VARIANT*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::AccessibleHitTest(long, long, VARIANT*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::AccessibleDoDefaultAction(VARIANT) { return E_NOTIMPL; }
HRESULT CUIXAccessible::PutAccessibleName(VARIANT, BSTR) { return E_NOTIMPL; }
HRESULT CUIXAccessible::PutAccessibleValue(VARIANT, BSTR) { return E_NOTIMPL; }
CCmdTarget* CUIXAccessible::GetAccessibleCmdTarget() { return nullptr; }

void CUIXAccessible::NotifyWinEvent(DWORD event, HWND hWnd, LONG idObject, LONG idChild) {
    if (m_pfnNotifyWinEvent) m_pfnNotifyWinEvent(event, hWnd, idObject, idChild);
}

BOOL CUIXAccessible::LoadOleAcc() {
    if (!m_oleacc.GetHandle()) m_oleacc.LoadLibrary(L"oleacc.dll");
    return m_oleacc.GetHandle() != nullptr;
}

HRESULT CUIXAccessible::AccessibleObjectFromWindow(HWND hWnd, DWORD dwId, REFIID riid, void** ppvObject) {
    if (!LoadOleAcc()) return E_FAIL;
    if (!m_pfnAccessibleObjectFromWindow) m_oleacc.GetProcAddress(&m_pfnAccessibleObjectFromWindow, "AccessibleObjectFromWindow");
    return m_pfnAccessibleObjectFromWindow ? m_pfnAccessibleObjectFromWindow(hWnd, dwId, riid, ppvObject) : E_FAIL;
}

LRESULT CUIXAccessible::LresultFromObject(REFIID riid, WPARAM wParam, LPUNKNOWN punk) {
    if (!LoadOleAcc()) return E_FAIL;
    if (!m_pfnLresultFromObject) m_oleacc.GetProcAddress(&m_pfnLresultFromObject, "LresultFromObject");
    return m_pfnLresultFromObject ? m_pfnLresultFromObject(riid, wParam, punk) : E_FAIL;
}

int CUIXAccessible::GetChildIndex(const VARIANT* pVar) {
    for (int depth = 0; pVar && depth < kMaxVariantDepth; ++depth) {
        switch (pVar->vt) {
        case VT_EMPTY: return CHILDID_SELF;
        case VT_I2: return pVar->iVal;
        case VT_I4: return pVar->lVal;
        case VT_BYREF | VT_I2: return pVar->piVal ? *pVar->piVal : -1;
        case VT_BYREF | VT_I4: return pVar->plVal ? *pVar->plVal : -1;
        case VT_BYREF | VT_VARIANT: pVar = pVar->pvarVal; continue;
        default: return -1;
        }
    }
    return -1;
}

CUIXAccessible* CUIXAccessible::XAccessible::Owner() {
    return reinterpret_cast<CUIXAccessible*>(reinterpret_cast<BYTE*>(this) - offsetof(CUIXAccessible, m_xAccessible));
}

ULONG CUIXAccessible::XAccessible::AddRef() {
    CCmdTarget* target = Owner()->GetAccessibleCmdTarget();
    return target ? target->ExternalAddRef() : 1;
}

ULONG CUIXAccessible::XAccessible::Release() {
    CCmdTarget* target = Owner()->GetAccessibleCmdTarget();
    return target ? target->ExternalRelease() : 1;
}

HRESULT CUIXAccessible::XAccessible::QueryInterface(REFIID iid, LPVOID* ppvObj) {
    CCmdTarget* target = Owner()->GetAccessibleCmdTarget();
    if (!target) {
        if (ppvObj) *ppvObj = nullptr;
        return E_NOINTERFACE;
    }
    return (HRESULT)target->ExternalQueryInterface(&iid, ppvObj);
}

HRESULT CUIXAccessible::XAccessible::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::XAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT CUIXAccessible::XAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT CUIXAccessible::XAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT CUIXAccessible::XAccessible::get_accParent(IDispatch** p) { return Owner()->GetAccessibleParent(p); }
HRESULT CUIXAccessible::XAccessible::get_accChildCount(long* p) { return Owner()->GetAccessibleChildCount(p); }
HRESULT CUIXAccessible::XAccessible::get_accChild(VARIANT v, IDispatch** p) { return Owner()->GetAccessibleChild(v, p); }
HRESULT CUIXAccessible::XAccessible::get_accName(VARIANT v, BSTR* p) { return Owner()->GetAccessibleName(v, p); }
HRESULT CUIXAccessible::XAccessible::get_accValue(VARIANT v, BSTR* p) { return Owner()->GetAccessibleValue(v, p); }
HRESULT CUIXAccessible::XAccessible::get_accDescription(VARIANT v, BSTR* p) {
    return Owner()->GetAccessibleDescription(v, p);
}
HRESULT CUIXAccessible::XAccessible::get_accRole(VARIANT v, VARIANT* p) { return Owner()->GetAccessibleRole(v, p); }
HRESULT CUIXAccessible::XAccessible::get_accState(VARIANT v, VARIANT* p) { return Owner()->GetAccessibleState(v, p); }
HRESULT CUIXAccessible::XAccessible::get_accHelp(VARIANT v, BSTR* p) { return Owner()->GetAccessibleHelp(v, p); }
HRESULT CUIXAccessible::XAccessible::get_accHelpTopic(BSTR* f, VARIANT v, long* t) {
    return Owner()->GetAccessibleHelpTopic(f, v, t);
}
HRESULT CUIXAccessible::XAccessible::get_accKeyboardShortcut(VARIANT v, BSTR* p) {
    return Owner()->GetAccessibleKeyboardShortcut(v, p);
}
HRESULT CUIXAccessible::XAccessible::get_accFocus(VARIANT* p) { return Owner()->GetAccessibleFocus(p); }
HRESULT CUIXAccessible::XAccessible::get_accSelection(VARIANT* p) { return Owner()->GetAccessibleSelection(p); }
HRESULT CUIXAccessible::XAccessible::get_accDefaultAction(VARIANT v, BSTR* p) {
    return Owner()->GetAccessibleDefaultAction(v, p);
}
HRESULT CUIXAccessible::XAccessible::accSelect(long f, VARIANT v) { return Owner()->AccessibleSelect(f, v); }
HRESULT CUIXAccessible::XAccessible::accLocation(long* x, long* y, long* cx, long* cy, VARIANT v) {
    return Owner()->AccessibleLocation(x, y, cx, cy, v);
}
HRESULT CUIXAccessible::XAccessible::accNavigate(long d, VARIANT s, VARIANT* e) { return Owner()->AccessibleNavigate(d, s, e); }
HRESULT CUIXAccessible::XAccessible::accHitTest(long x, long y, VARIANT* p) { return Owner()->AccessibleHitTest(x, y, p); }
HRESULT CUIXAccessible::XAccessible::accDoDefaultAction(VARIANT v) { return Owner()->AccessibleDoDefaultAction(v); }
HRESULT CUIXAccessible::XAccessible::put_accName(VARIANT v, BSTR s) { return Owner()->PutAccessibleName(v, s); }
HRESULT CUIXAccessible::XAccessible::put_accValue(VARIANT v, BSTR s) { return Owner()->PutAccessibleValue(v, s); }
