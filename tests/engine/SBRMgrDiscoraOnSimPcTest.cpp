// The disc creator's share of the controller on simulated PCs: partition
// numbers, the Windows partition's letter without the Windows PE fall-backs,
// solid-state answers and the disc-information pass.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CSBRMgr.h"

namespace {

class CPcEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override
    {
        std::wstring bin = CSystemControllerEnvironment::ProgramFolder();
        return bin.substr(0, bin.rfind(L'\\', bin.size() - 2) + 1) + L"tests\\engine\\sbrmgr\\";
    }
};

struct Expected {
    const char* profile;
    DWORD vendor;
    DWORD up, rptool, rpdata;
    wchar_t upLet;
    BOOL localSSD, ssdPlusHDD;
};

const Expected kPcs[] = {
    {"desktop-w7", ZQ_VENDOR_DOZ, 2, 3, 3, L'C', FALSE, FALSE},
    {"notebook-w7-ssd-hdd-pe", ZQ_VENDOR_CNB, 1, 2, 2, L'B', TRUE, TRUE},
    // No partitions: the disc creator has no Windows fall-back for the letter.
    {"pe-factory-disc", ZQ_VENDOR_DOZ, 2, 3, 3, 0, FALSE, FALSE},
};

TEST(SBRMgrDiscoraOnSimPc, DisksLettersAndDrives)
{
    char szProfile[64] = {};
    GetEnvironmentVariableA("SUITE_SIMPC", szProfile, sizeof szProfile);
    const Expected* pRow = nullptr;
    for (const Expected& e : kPcs) {
        if (std::string(szProfile) == e.profile)
            pRow = &e;
    }
    ASSERT_NE(nullptr, pRow) << "no expectations for profile " << szProfile;
    const Expected& e = *pRow;

    CPcEnvironment env;
    CSBRMgr mgr(&env);
    ASSERT_EQ(S_OK, mgr.Init());
    mgr.SetZQOSVer(ZQ_PLATFORM_WIN7);
    mgr.SetZQVendor(e.vendor);
    ASSERT_EQ(S_OK, mgr.InitDisk());
    EXPECT_EQ(e.up, mgr.GetUPPartIndex()) << e.profile;
    EXPECT_EQ(e.rptool, mgr.GetRPTOOLPartIndex()) << e.profile;
    EXPECT_EQ(e.rpdata, mgr.GetRPDATAPartIndex()) << e.profile;
    EXPECT_EQ(e.upLet, towupper(mgr.GetUPDrvLet())) << e.profile;
    EXPECT_EQ(e.localSSD, mgr.LocalSSDIsExist()) << e.profile;
    EXPECT_EQ(e.ssdPlusHDD, mgr.IsOneSSDPlusOneHDD()) << e.profile;

    ASSERT_EQ(S_OK, mgr.InitBurning()) << e.profile;
    ASSERT_EQ(S_OK, mgr.UpdateDiscInfoCache()) << e.profile;
    ASSERT_TRUE(mgr.WaitDiscInfoPass(10000)) << e.profile;
    EXPECT_EQ(L'E', mgr.GetDiscInfoEntry(0).wcDrvLet) << e.profile;
}

} // namespace
