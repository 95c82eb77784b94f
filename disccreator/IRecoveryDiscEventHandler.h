// What the disc-creation engine tells the pages about a run.
#pragma once

#include <windows.h>

enum RecoveryDiscState {
    RDS_PREPARE_SET = 1,    // a set is handed to the burning helper (0.8, then 1.0)
    RDS_BURN_FINISH = 2,    // the disc is being finished
    RDS_BURN_WRITE = 3,     // the disc is being written
    RDS_DISC_DONE = 4,      // written and ejected
    RDS_ALL_DONE = 5,       // every set burned; the run has ended
    RDS_FAILED = 6,         // the run ended with a failure
    RDS_WAIT_NEXT_DISC = 7, // waiting for the next blank disc
    RDS_CANCELLED = 8,      // the run was cancelled
};

struct RecoveryDiscEvent {
    int state;
    float progress;
    int setNo;
    BOOL stateChanged;
};

class IRecoveryDiscEventHandler {
public:
    virtual ~IRecoveryDiscEventHandler() = default;
    // Called on the thread that raised the event; must return at once.
    virtual BOOL OnEvent(const RecoveryDiscEvent* pEvent) = 0;
};
