// Progress of a burn, as the burning helper reports it to its listeners.
#pragma once

#include <windows.h>

enum BurnEventCode {
    BEC_FINISH = 2, // the disc is being finished
    BEC_WRITE = 3,  // the disc is being written (0.0 when a burn is attached)
};

class IBurnEventHandler {
public:
    virtual ~IBurnEventHandler() = default;
    // Called on the thread that burns; must return at once.
    virtual BOOL OnBurnEvent(int iCode, float fProgress) = 0;
};
