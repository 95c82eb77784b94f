// Run-time class of a CObject: its name, its base, and creation by class.
#pragma once
#include "AfxDefs.h"

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                               // 0xFFFF for classes that are not serial
    CObject* (PASCAL* m_pfnCreateObject)();       // null when the class cannot be created by class
    CRuntimeClass* (PASCAL* m_pfnGetBaseClass)(); // null for the root
    CRuntimeClass* m_pNextClass;                  // chain of registered classes
    CRuntimeClass* m_pBaseClass;                  // the base's run-time class; null for the root

    CRuntimeClass* GetBaseClass() const { return m_pfnGetBaseClass ? m_pfnGetBaseClass() : nullptr; }
    CObject* CreateObject();
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    // Registered classes by name; null when none has the name.
    static CRuntimeClass* PASCAL FromName(LPCSTR lpszClassName);
    static CRuntimeClass* PASCAL FromName(LPCWSTR lpszClassName);
    static CObject* PASCAL CreateObject(LPCSTR lpszClassName);
    static CObject* PASCAL CreateObject(LPCWSTR lpszClassName);
    // Adds a class to the registry; done once per class at start-up.
    static void PASCAL Register(CRuntimeClass* pClass);
};

// Registers a run-time class while globals are constructed.
struct AFX_CLASSINIT {
    explicit AFX_CLASSINIT(CRuntimeClass* pNewClass) { CRuntimeClass::Register(pNewClass); }
};

#define VERSIONABLE_SCHEMA (0x80000000)

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name) \
public: \
    static CRuntimeClass* PASCAL GetThisClass(); \
    virtual CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name) \
    static CObject* PASCAL CreateObject();

#define DECLARE_SERIAL(class_name) \
    DECLARE_DYNCREATE(class_name) \
    friend CArchive& AFXAPI operator>>(CArchive& ar, class_name*& pOb);

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew) \
    CRuntimeClass* PASCAL class_name::GetThisClass() { \
        static CRuntimeClass rc = { #class_name, (int)sizeof(class_name), (UINT)(wSchema), pfnNew, \
                                    &base_class_name::GetThisClass, nullptr, \
                                    base_class_name::GetThisClass() }; \
        return &rc; \
    } \
    CRuntimeClass* class_name::GetRuntimeClass() const { return class_name::GetThisClass(); } \
    static const AFX_CLASSINIT _afx_init_##class_name(class_name::GetThisClass());

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
    CObject* PASCAL class_name::CreateObject() { return new class_name; } \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema) \
    CObject* PASCAL class_name::CreateObject() { return new class_name; } \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject) \
    __attribute__((unused)) CArchive& AFXAPI operator>>(CArchive& ar, class_name*& pOb) { \
        pOb = (class_name*)ar.ReadObject(RUNTIME_CLASS(class_name)); \
        return ar; \
    }

#define DYNAMIC_DOWNCAST(class_name, object) ((class_name*)AfxDynamicDownCast(RUNTIME_CLASS(class_name), object))
#define STATIC_DOWNCAST(class_name, object) (static_cast<class_name*>(object))
CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject);
