// Counts the live objects of the process: a leak shows as a count that does
// not return to where it was.
#pragma once

#include <windows.h>

class CBaseObject {
public:
    CBaseObject();
    ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    static LONG GetObjectCount();

private:
    static volatile LONG s_lObjectCount;
};
