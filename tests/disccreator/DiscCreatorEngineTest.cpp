// The engine's listener list, and an engine without a burning helper (its
// Init failed or never ran): every call answers, none crashes.
#include <gtest/gtest.h>

#include <windows.h>

#include "CRecoveryDiscCreator.h"

namespace {

class Listener : public IRecoveryDiscEventHandler {
public:
    BOOL OnEvent(const RecoveryDiscEvent*) override { return TRUE; }
};

TEST(DiscCreatorEngine, ListenersAreKeptOnce)
{
    CRecoveryDiscCreator engine;
    Listener first, second;
    struct Step {
        const char* name;
        bool add;
        IRecoveryDiscEventHandler* handler;
        HRESULT expected;
    } const kSteps[] = {
        {"add null", true, nullptr, E_FAIL},
        {"add first", true, &first, S_OK},
        {"add first again", true, &first, S_FALSE},
        {"add second", true, &second, S_OK},
        {"remove null", false, nullptr, S_FALSE},
        {"remove first", false, &first, S_OK},
        {"remove first again", false, &first, S_FALSE},
    };
    for (const Step& s : kSteps)
        EXPECT_EQ(s.expected, s.add ? engine.AddEventHandler(s.handler) : engine.RemoveEventHandler(s.handler))
            << s.name;
}

TEST(DiscCreatorEngine, WithoutBurningHelperEveryCallFails)
{
    CRecoveryDiscCreator engine;
    BOOL bOut = TRUE;
    int iType = -1;
    EXPECT_EQ(E_FAIL, engine.StartCreate());
    EXPECT_FALSE(engine.IsCreating());
    EXPECT_EQ(E_FAIL, engine.EjectDisc());
    EXPECT_EQ(E_FAIL, engine.LockTray(TRUE));
    EXPECT_EQ(E_FAIL, engine.IsMediaReady());
    EXPECT_EQ(E_FAIL, engine.HasDVDWriter(&bOut));
    EXPECT_EQ(E_FAIL, engine.GetMediaInfo(&iType, &bOut));
    EXPECT_FALSE(engine.CheckBlankMedia());
    bOut = TRUE;
    EXPECT_EQ(E_FAIL, engine.BurnerExists(&bOut));
    EXPECT_FALSE(bOut);
    EXPECT_EQ(0, engine.GetDiscCount());
    engine.Cancel();
    EXPECT_EQ(S_OK, engine.ContinueNextDisc(TRUE));
}

} // namespace
