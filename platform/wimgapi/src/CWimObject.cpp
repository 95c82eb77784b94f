#include "CWimObject.h"

std::mutex& CWimObject::Lock()
{
    static std::mutex lock;
    return lock;
}

std::set<CWimObject*>& CWimObject::Live()
{
    static std::set<CWimObject*> live;
    return live;
}

HANDLE CWimObject::Publish(CWimObject* object)
{
    std::lock_guard<std::mutex> guard(Lock());
    Live().insert(object);
    return reinterpret_cast<HANDLE>(object);
}

CWimObject* CWimObject::From(HANDLE handle, Kind kind)
{
    std::lock_guard<std::mutex> guard(Lock());
    CWimObject* object = reinterpret_cast<CWimObject*>(handle);
    if (!handle || !Live().count(object) || object->m_kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

CWimObject* CWimObject::Withdraw(HANDLE handle)
{
    std::lock_guard<std::mutex> guard(Lock());
    CWimObject* object = reinterpret_cast<CWimObject*>(handle);
    if (!handle || !Live().erase(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}
