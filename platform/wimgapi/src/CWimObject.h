// Base of the objects behind WIMGAPI handles, and the table that tells a live
// handle from a stale or foreign one.
#pragma once

#include <windows.h>

#include <mutex>
#include <set>

class CWimObject {
public:
    enum class Kind { Wim, Image };
    explicit CWimObject(Kind kind) : m_kind(kind) {}
    virtual ~CWimObject() = default;
    Kind GetKind() const { return m_kind; }

    static HANDLE Publish(CWimObject* object);
    // The live object of that kind behind the handle, or null (last error set).
    static CWimObject* From(HANDLE handle, Kind kind);
    // Removes the handle from the table; the caller deletes the object.
    static CWimObject* Withdraw(HANDLE handle);

private:
    static std::mutex& Lock();
    static std::set<CWimObject*>& Live();
    Kind m_kind;
};
