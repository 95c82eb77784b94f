#include "CGdiObject.h"
#include "CPen.h"
#include "CBrush.h"
#include "CFont.h"
#include "CBitmap.h"
#include "CRgn.h"
#include "CHandleTable.h"

IMPLEMENT_DYNCREATE(CGdiObject, CObject)

typedef CHandleTable<CGdiObject> GdiMap;

HGDIOBJ AFXAPI CGdiObject::AfxSafeHandle(const CGdiObject* p) { return p ? p->m_hObject : nullptr; }

CGdiObject::~CGdiObject() { DeleteObject(); }

// A temporary wrapper of the class that matches the handle's kind.
static CGdiObject* MakeWrapper(HGDIOBJ h) {
    switch (::GetObjectType(h)) {
    case OBJ_PEN:
    case OBJ_EXTPEN: return new CPen;
    case OBJ_BRUSH: return new CBrush;
    case OBJ_FONT: return new CFont;
    case OBJ_BITMAP: return new CBitmap;
    case OBJ_REGION: return new CRgn;
    default: return new CGdiObject;
    }
}

CGdiObject* PASCAL CGdiObject::FromHandle(HGDIOBJ hObject) {
    if (!hObject) return nullptr;
    if (CGdiObject* p = GdiMap::Permanent(hObject)) return p;
    if (CGdiObject* p = GdiMap::Temporary(hObject)) return p;
    CGdiObject* p = MakeWrapper(hObject);
    p->m_hObject = hObject;
    p->m_bOwned = FALSE;
    GdiMap::AddTemporary(hObject, p);
    return p;
}

void PASCAL CGdiObject::DeleteTempMap() {
    GdiMap::DeleteTemporaries([](CGdiObject* p) { p->m_hObject = nullptr; });
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    if (!hObject) {
        AfxTrace(L"CGdiObject::Attach: no object (%lu)\n", GetLastError());
        return FALSE;
    }
    if (m_hObject) {
        AfxTrace(L"CGdiObject::Attach: already holds %p\n", m_hObject);
        return FALSE;
    }
    m_hObject = hObject;
    m_bOwned = TRUE;
    GdiMap::AddPermanent(hObject, this);
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    if (h) GdiMap::RemovePermanent(h, this);
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    BOOL owned = m_bOwned;
    HGDIOBJ h = Detach();
    return owned ? ::DeleteObject(h) : TRUE;
}

BOOL CGdiObject::CreateStockObject(int nIndex) {
    if (!Attach(::GetStockObject(nIndex))) return FALSE;
    m_bOwned = FALSE;
    return TRUE;
}
