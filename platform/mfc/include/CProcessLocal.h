// A process-wide object of type TYPE (derived from CNoTrackObject), made on
// first use and destroyed with the variable at process exit.
#pragma once
#include "CNoTrackObject.h"

class CProcessLocalObject {
public:
    CNoTrackObject* GetData(CNoTrackObject*(AFXAPI* pfnCreateObject)());
    CNoTrackObject* GetDataNA() const { return m_pObject; }
    ~CProcessLocalObject();

private:
    CNoTrackObject* volatile m_pObject = nullptr;
};

template <class TYPE>
class CProcessLocal : public CProcessLocalObject {
public:
    TYPE* GetData() { return static_cast<TYPE*>(CProcessLocalObject::GetData(&CreateObject)); }
    TYPE* GetDataNA() { return static_cast<TYPE*>(CProcessLocalObject::GetDataNA()); }
    operator TYPE*() { return GetData(); }
    TYPE* operator->() { return GetData(); }

    static CNoTrackObject* AFXAPI CreateObject() { return new TYPE; }
};

#define PROCESS_LOCAL(class_name, ident_name) CProcessLocal<class_name> ident_name;
#define EXTERN_PROCESS_LOCAL(class_name, ident_name) extern CProcessLocal<class_name> ident_name;
