// A per-thread object of type TYPE (derived from CNoTrackObject), made on a
// thread's first use and destroyed when that thread ends or the variable goes.
#pragma once
#include "CThreadSlotData.h"

class CThreadLocalObject {
public:
    // The calling thread's object, made with pfnCreateObject on first use.
    CNoTrackObject* GetData(CNoTrackObject*(AFXAPI* pfnCreateObject)());
    // The calling thread's object or null; never makes one.
    CNoTrackObject* GetDataNA();
    ~CThreadLocalObject();

private:
    int m_nSlot = 0; // 0: no slot yet
};

template <class TYPE>
class CThreadLocal : public CThreadLocalObject {
public:
    TYPE* GetData() { return static_cast<TYPE*>(CThreadLocalObject::GetData(&CreateObject)); }
    TYPE* GetDataNA() { return static_cast<TYPE*>(CThreadLocalObject::GetDataNA()); }
    operator TYPE*() { return GetData(); }
    TYPE* operator->() { return GetData(); }

    static CNoTrackObject* AFXAPI CreateObject() { return new TYPE; }
};

#define THREAD_LOCAL(class_name, ident_name) CThreadLocal<class_name> ident_name;
#define EXTERN_THREAD_LOCAL(class_name, ident_name) extern CThreadLocal<class_name> ident_name;
