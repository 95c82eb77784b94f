// Progress of a burn, relayed by the burning-engine client to whoever
// registered for it.
#pragma once

#include <windows.h>

// Events, mapped from the engine's stages.
enum BurnEventCode {
    BEC_FINISH = 2,   // finishing the disc
    BEC_WRITE = 3,    // writing; also sent with 0 when a disc is prepared
    BEC_CACHE = 9,    // filling the drive's cache
    BEC_LEAD_IN = 10, // writing the lead-in
};

class IBurnEventHandler {
public:
    virtual ~IBurnEventHandler() = default;
    // progress runs from 0 to 1; called on the burning thread; the result is
    // ignored.
    virtual BOOL OnBurnEvent(int iEvent, float fProgress) = 0;
};
