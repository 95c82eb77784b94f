// Interface tables of command targets: nested COM objects reached through
// CCmdTarget::InternalQueryInterface and ExternalQueryInterface.
#pragma once
#include "CCmdTarget.h"
#include <cstddef>

// Nested interface objects sit at fixed offsets of their single-inheritance owner.
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

#define DECLARE_INTERFACE_MAP() \
public: \
    static const AFX_INTERFACEMAP* PASCAL GetThisInterfaceMap(); \
    const AFX_INTERFACEMAP* GetInterfaceMap() const override;

#define BEGIN_INTERFACE_MAP(theClass, theBase) \
    const AFX_INTERFACEMAP* theClass::GetInterfaceMap() const { return theClass::GetThisInterfaceMap(); } \
    const AFX_INTERFACEMAP* PASCAL theClass::GetThisInterfaceMap() { \
        typedef theClass ThisClass; \
        static_assert(sizeof(ThisClass) > 0, "complete class"); \
        typedef theBase TheBaseClass; \
        static const AFX_INTERFACEMAP_ENTRY _interfaceEntries[] = {

#define INTERFACE_PART(theClass, iid, localClass) {&iid, offsetof(ThisClass, m_x##localClass)},

#define END_INTERFACE_MAP() \
        {nullptr, (size_t)-1}}; \
        static const AFX_INTERFACEMAP map = {&TheBaseClass::GetThisInterfaceMap, &_interfaceEntries[0]}; \
        return &map; \
    }

#define BEGIN_INTERFACE_PART(localClass, baseClass) \
    class X##localClass : public baseClass { \
    public: \
        STDMETHOD_(ULONG, AddRef)(); \
        STDMETHOD_(ULONG, Release)(); \
        STDMETHOD(QueryInterface)(REFIID iid, LPVOID * ppvObj);

#define END_INTERFACE_PART(localClass) \
    } m_x##localClass; \
    friend class X##localClass;

// Inside a nested interface method: pThis is the owning object.
#define METHOD_PROLOGUE(theClass, localClass) \
    theClass* pThis = reinterpret_cast<theClass*>(reinterpret_cast<BYTE*>(this) - offsetof(theClass, m_x##localClass)); \
    (void)pThis;
