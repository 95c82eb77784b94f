#include "CBaseObject.h"

#include "CAutoTrace.h"

volatile LONG CBaseObject::s_lObjectCount = 0;

CBaseObject::CBaseObject()
{
    InterlockedIncrement(&s_lObjectCount);
    // The line keeps its 32-bit form; a 64-bit address shows its low half.
    DebugPrint(L"Construction: Current Object THIS Pointer = %lX\n",
               static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(this)));
}

CBaseObject::~CBaseObject()
{
    InterlockedDecrement(&s_lObjectCount);
    DebugPrint(L"Destruction: Current Object THIS Pointer = %lX\n",
               static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(this)));
}

LONG CBaseObject::GetObjectCount()
{
    return InterlockedCompareExchange(&s_lObjectCount, 0, 0);
}
