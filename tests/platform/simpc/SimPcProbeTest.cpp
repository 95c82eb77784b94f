// The simulated PC as the programs see it, through the disk library,
// IDiskMgmt, IBurnMgmt and Wine's drives, against its description. Built
// once per profile.
#include "CSimPc.h"
#include "CSimPcProbe.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class SimPcProbe : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

} // namespace

TEST_F(SimPcProbe, AllInterfacesAgreeWithTheDescription)
{
    CSimPcProbe probe;
    ASSERT_EQ(S_OK, probe.Run());
    EXPECT_EQ(0, probe.Mismatches()) << Narrow(probe.Report());
}

// The controller makes the objects on its UI thread and calls them from its
// worker threads without marshalling.
TEST_F(SimPcProbe, ObjectsServeOtherThreads)
{
    IDiskMgmt* pDisk = nullptr;
    IBurnMgmt* pBurn = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DiskMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IDiskMgmt, (void**)&pDisk));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt, (void**)&pBurn));
    int mismatches = -1;
    std::wstring report;
    std::thread worker([&]() {
        CSimPcProbe probe;
        if (FAILED(probe.Load()))
            return;
        probe.CheckDiskMgmt(pDisk);
        probe.CheckBurnMgmt(pBurn);
        mismatches = probe.Mismatches();
        report = probe.Report();
    });
    worker.join();
    EXPECT_EQ(0, mismatches) << Narrow(report);
    pBurn->Release();
    pDisk->Release();
}

// Every disc of the profile, queued or put aside, in the first drive in
// turn: IBurnMgmt and the burning engine report the same disc.
TEST_F(SimPcProbe, EveryDiscAgreesInTheDrive)
{
    IBurnMgmt* pBurn = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt, (void**)&pBurn));
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    SimPcState state;
    ASSERT_EQ(S_OK, pc.Read(state));
    for (const SimDisc& disc : state.discs) {
        SCOPED_TRACE(Narrow(disc.id));
        ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) { return pc.InsertDisc(s, s.opticals.at(0), disc.id); }));
        CSimPcProbe probe;
        ASSERT_EQ(S_OK, probe.Load());
        probe.CheckBurnMgmt(pBurn);
        probe.CheckBrennel(pBurn);
        EXPECT_EQ(0, probe.Mismatches()) << Narrow(probe.Report());
        EXPECT_NE(std::wstring::npos, probe.Report().find(L"label \"" + disc.label + L"\"")) << Narrow(probe.Report());
    }
    pBurn->Release();
}
