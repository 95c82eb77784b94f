// The clock. Tests replace it to drive time-based rules without waiting.
#pragma once

#include <windows.h>

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since the system started.
    virtual ULONGLONG TickCount64() = 0;
    virtual void LocalTime(SYSTEMTIME* pst) = 0;
};

// The real clock (GetTickCount64, GetLocalTime).
IClock& SystemClock();
