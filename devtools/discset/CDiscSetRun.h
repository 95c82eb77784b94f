// One disc-set creation as the wizard would run it, on the console: checks,
// image split, plan, then disc after disc, each blank disc taken from the
// drive's queue.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "CBurningHelper.h"
#include "CRecoveryDiscCreator.h"
#include "CSimPc.h"

// Exit codes of the driver.
enum DiscSetResult {
    DSR_DONE = 0,       // every disc burned, markers written
    DSR_FAILED = 1,     // a check, the split, the plan or a burn failed
    DSR_STOPPED = 2,    // cancelled, or stopped on request after a disc
    DSR_USAGE = 3,
};

struct DiscSetOptions {
    int stopAfter = 0;                      // cancel once this disc is done (0: never)
    int blankDiscs = 0;                     // new blank DVD-Rs queued before the run
    std::map<int, std::wstring> faults;     // disc number -> drive fault for its burn
    // Go on with a snapshot the engine refused, as a wizard that does not
    // look at the load's result would (the engine must then fail cleanly).
    bool keepUnusableSnapshot = false;
};

class CDiscSetRun : public IRecoveryDiscEventHandler, public IMediaRefusalNotice {
public:
    explicit CDiscSetRun(const DiscSetOptions& options) : m_options(options) {}
    int Run();

    BOOL OnEvent(const RecoveryDiscEvent* pEvent) override;
    void ShowMediaRefused() override;

private:
    int Check();
    bool Resume();
    bool SplitImage();
    bool Plan();
    bool InsertBlankDisc();
    bool ApplyFault(int iDisc);
    bool QueueBlankDiscs();
    HRESULT ChangeWriter(const std::function<HRESULT(CSimPc&, SimPcState&, SimOptical&)>& change);
    int Follow();
    bool Handle(const RecoveryDiscEvent& event);
    void PrintProgress(const RecoveryDiscEvent& event);

    DiscSetOptions m_options;
    CRecoveryDiscCreator m_engine;
    std::deque<RecoveryDiscEvent> m_events;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    int m_iLastPercent = -1;
    int m_iLastState = 0;
    int m_iEndState = 0;
};
