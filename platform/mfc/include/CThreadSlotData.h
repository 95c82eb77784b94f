// Slots of per-thread objects. Each slot holds one CNoTrackObject per thread.
// A thread's objects are destroyed when it ends, however it was started, in
// reverse slot order; freeing a slot destroys its objects in every thread.
#pragma once
#include "CNoTrackObject.h"

class CThreadSlotData {
public:
    static int PASCAL AllocSlot();
    static void PASCAL FreeSlot(int nSlot);
    static CNoTrackObject* PASCAL GetThreadValue(int nSlot);
    static void PASCAL SetValue(int nSlot, CNoTrackObject* pValue);
    // Destroys the calling thread's objects (runs when a thread ends).
    static void PASCAL DeleteThreadValues();
};
