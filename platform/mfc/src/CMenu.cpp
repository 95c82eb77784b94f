#include "CMenu.h"
#include "CWnd.h"
#include "CHandleTable.h"
#include "AfxFunctions.h"

IMPLEMENT_DYNCREATE(CMenu, CObject)

typedef CHandleTable<CMenu> MenuMap;

HMENU AFXAPI CMenu::AfxSafeHmenu(const CMenu* p) { return p ? p->m_hMenu : nullptr; }

CMenu::~CMenu() { DestroyMenu(); }

CMenu* PASCAL CMenu::FromHandle(HMENU hMenu) {
    if (!hMenu) return nullptr;
    if (CMenu* p = MenuMap::Permanent(hMenu)) return p;
    if (CMenu* p = MenuMap::Temporary(hMenu)) return p;
    CMenu* p = new CMenu;
    p->m_hMenu = hMenu;
    MenuMap::AddTemporary(hMenu, p);
    return p;
}

void PASCAL CMenu::DeleteTempMap() {
    MenuMap::DeleteTemporaries([](CMenu* p) { p->m_hMenu = nullptr; });
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (!hMenu || m_hMenu) {
        AfxTrace(L"CMenu::Attach: cannot attach %p\n", hMenu);
        return FALSE;
    }
    m_hMenu = hMenu;
    MenuMap::AddPermanent(hMenu, this);
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU h = m_hMenu;
    if (h) MenuMap::RemovePermanent(h, this);
    m_hMenu = nullptr;
    return h;
}

BOOL CMenu::LoadMenu(UINT nIDResource) { return LoadMenu(MAKEINTRESOURCEW(nIDResource)); }

BOOL CMenu::LoadMenu(LPCTSTR lpszResourceName) {
    HINSTANCE hInst = AfxFindResourceHandle(lpszResourceName, (LPCTSTR)RT_MENU);
    return Attach(::LoadMenuW(hInst, lpszResourceName));
}

BOOL CMenu::DestroyMenu() {
    if (!m_hMenu) return FALSE;
    return ::DestroyMenu(Detach());
}

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const {
    int n = ::GetMenuStringW(m_hMenu, nIDItem, nullptr, 0, nFlags);
    if (n <= 0) {
        rString.Empty();
        return 0;
    }
    ::GetMenuStringW(m_hMenu, nIDItem, rString.GetBuffer(n), n + 1, nFlags);
    rString.ReleaseBuffer();
    return rString.GetLength();
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) {
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->GetSafeHwnd(), lpRect);
}
