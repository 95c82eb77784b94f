#include "CObject.h"
#include <cstring>
#include <string>
#include <mutex>

namespace {
struct ClassRegistry {
    std::mutex lock;
    CRuntimeClass* head = nullptr;
};
ClassRegistry& Registry() {
    static ClassRegistry r;
    return r;
}
std::string ToNarrow(LPCWSTR s) {
    std::string out;
    for (; s && *s; ++s) out += (*s < 0x80) ? (char)*s : '?';
    return out;
}
} // namespace

CRuntimeClass* PASCAL CObject::GetThisClass() {
    static CRuntimeClass rc = {"CObject", (int)sizeof(CObject), 0xFFFF, nullptr, nullptr, nullptr, nullptr};
    return &rc;
}
static const AFX_CLASSINIT _afx_init_CObject(CObject::GetThisClass());

CRuntimeClass* CObject::GetRuntimeClass() const { return GetThisClass(); }

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xFFFF; }

void CObject::Serialize(CArchive&) {}

CObject* CRuntimeClass::CreateObject() {
    if (!m_pfnCreateObject) {
        AfxTrace(L"CRuntimeClass::CreateObject: %S cannot be created by class\n", m_lpszClassName);
        return nullptr;
    }
    return m_pfnCreateObject();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass ? c->m_pBaseClass : c->GetBaseClass())
        if (c == pBaseClass) return TRUE;
    return FALSE;
}

void PASCAL CRuntimeClass::Register(CRuntimeClass* pClass) {
    ClassRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.lock);
    for (CRuntimeClass* c = r.head; c; c = c->m_pNextClass)
        if (c == pClass) return;
    pClass->m_pNextClass = r.head;
    r.head = pClass;
}

CRuntimeClass* PASCAL CRuntimeClass::FromName(LPCSTR lpszClassName) {
    if (!lpszClassName) return nullptr;
    ClassRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.lock);
    for (CRuntimeClass* c = r.head; c; c = c->m_pNextClass)
        if (strcmp(c->m_lpszClassName, lpszClassName) == 0) return c;
    return nullptr;
}

CRuntimeClass* PASCAL CRuntimeClass::FromName(LPCWSTR lpszClassName) {
    if (!lpszClassName) return nullptr;
    return FromName(ToNarrow(lpszClassName).c_str());
}

CObject* PASCAL CRuntimeClass::CreateObject(LPCSTR lpszClassName) {
    CRuntimeClass* c = FromName(lpszClassName);
    return c ? c->CreateObject() : nullptr;
}

CObject* PASCAL CRuntimeClass::CreateObject(LPCWSTR lpszClassName) {
    CRuntimeClass* c = FromName(lpszClassName);
    return c ? c->CreateObject() : nullptr;
}

CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject) {
    return (pObject && pObject->IsKindOf(pClass)) ? pObject : nullptr;
}
