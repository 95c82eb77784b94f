#include "IClock.h"

namespace {

class CSystemClock : public IClock {
public:
    ULONGLONG TickCount64() override { return GetTickCount64(); }
    void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
};

} // namespace

IClock& SystemClock()
{
    static CSystemClock s_clock;
    return s_clock;
}
