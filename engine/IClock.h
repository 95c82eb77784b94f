// The clock. Tests replace it to drive time-based rules without waiting.
#pragma once

#include <windows.h>

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since the system started.
    virtual ULONGLONG TickCount64() = 0;
    virtual void LocalTime(SYSTEMTIME* pst) = 0;
    // Every wait of the engine (format passes, tool pauses, drive polls)
    // goes through here, so that tests take no time over them.
    virtual void Sleep(DWORD dwMilliseconds) { ::Sleep(dwMilliseconds); }
    // The time in UTC, for the stamps the markers carry.
    virtual void SystemTime(SYSTEMTIME* pst) { GetSystemTime(pst); }
};

// The real clock (GetTickCount64, GetLocalTime).
IClock& SystemClock();
