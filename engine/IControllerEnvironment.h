// What the recovery controller needs of the program and of the machine that
// Wine cannot show faithfully: tests replace it, the program uses the real one.
#pragma once

#include <windows.h>

#include <string>

#include "IClock.h"

class IControllerEnvironment {
public:
    virtual ~IControllerEnvironment() = default;
    // Folder of the program file, with a trailing backslash.
    virtual std::wstring ProgramFolder() = 0;
    virtual HINSTANCE InstanceHandle() = 0;
    // The time-based percent rules read it.
    virtual IClock& Clock() = 0;
    virtual BOOL GetPowerStatus(SYSTEM_POWER_STATUS* pStatus) = 0;
    // Interval of the waits that poll an optical drive.
    virtual DWORD DiscPollMilliseconds() = 0;
    // Volume label of a drive's root; empty when it cannot be read.
    virtual std::wstring VolumeLabel(wchar_t wcDrvLet) = 0;
    // How long the controller's end waits for a disc-information pass.
    virtual DWORD DiscPassWaitMilliseconds() { return kDiscPassWaitMilliseconds; }

    // A drive that answers takes well under a second per call.
    static const DWORD kDiscPassWaitMilliseconds = 30000;
};

// The running program and the real system.
class CSystemControllerEnvironment : public IControllerEnvironment {
public:
    std::wstring ProgramFolder() override;
    HINSTANCE InstanceHandle() override;
    IClock& Clock() override;
    BOOL GetPowerStatus(SYSTEM_POWER_STATUS* pStatus) override;
    DWORD DiscPollMilliseconds() override;
    std::wstring VolumeLabel(wchar_t wcDrvLet) override;
};
