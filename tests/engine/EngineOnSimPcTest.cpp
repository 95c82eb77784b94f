// The utilities and readers on simulated PCs booted into Windows PE from a
// recovery disc: E: holds the disc, D: the recovery partition when present.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CRecoverySetInfo.h"
#include "CSMBIOSData.h"
#include "CSimPcSMBiosSource.h"
#include "NvSysUtil.h"
#include "ZQSSRDWimInfo.h"
#include "ZQUCRDWimInfo.h"

namespace {

const ULONGLONG kMiB = 1ULL << 20;
const ULONGLONG kGiB = 1ULL << 30;

std::wstring Profile()
{
    wchar_t wsz[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SIMPC_ROOT", wsz, MAX_PATH);
    return wsz;
}

bool HasValue(const wchar_t* pwszKey, const wchar_t* pwszName)
{
    return RegGetValueW(HKEY_LOCAL_MACHINE, pwszKey, pwszName, RRF_RT_ANY, nullptr, nullptr, nullptr)
           == ERROR_SUCCESS;
}

bool SeenThroughCurrentControlSet(const wchar_t* pwszName)
{
    return !HasValue(L"SYSTEM\\ControlSet001\\Control", pwszName)
           || HasValue(L"SYSTEM\\CurrentControlSet\\Control", pwszName);
}

class CDiscSetInfo : public CRecoverySetInfo {
public:
    wchar_t GetSSRDDrvLet() override { return L'E'; }
    wchar_t GetUCRDDrvLet() override { return L'E'; }
    wchar_t GetRPTOOLDrvLet() override { return L'D'; }
};

TEST(EngineOnSimPcTest, BootedFromTheDisc)
{
    ASSERT_FALSE(Profile().empty()) << "not on a simulated PC";
    BOOL bWinPE = FALSE;
    EXPECT_EQ(S_OK, NvIsWinPE(&bWinPE));
    EXPECT_TRUE(bWinPE);
    DWORD dwCode = 0;
    EXPECT_EQ(S_OK, NvGetOSVersion(&dwCode));
    EXPECT_EQ(static_cast<DWORD>(OSV_WINPE), dwCode);

    // The rig writes the boot values under ControlSet001; the engine reads
    // CurrentControlSet, which on Windows always links there.
    if (!SeenThroughCurrentControlSet(L"FirmwareBootDevice"))
        GTEST_SKIP() << "ControlSet001 values are not seen through CurrentControlSet on this prefix";
    DWORD dwIndex = 99;
    EXPECT_TRUE(NvIsPEBootFromODD(&dwIndex));
    EXPECT_EQ(0u, dwIndex);
}

TEST(EngineOnSimPcTest, SMBiosStringsOfThePc)
{
    CSimPcSMBiosSource source;
    CSMBIOSData data(source);
    ASSERT_TRUE(data.FetchSMBiosData());
    SMBiosType1 t1;
    ASSERT_TRUE(data.GetData(&t1));
    EXPECT_STREQ("Zentara", t1.szManufacturer);
    ASSERT_NE(nullptr, t1.szProductName);
    EXPECT_EQ(0, strncmp(t1.szProductName, "Z-pe-", 5)) << t1.szProductName;
}

TEST(EngineOnSimPcTest, DiscLayoutAndSizes)
{
    CDiscSetInfo info;
    if (GetFileAttributesW(L"E:\\preload\\csp.dat") != INVALID_FILE_ATTRIBUTES) {
        // The factory disc set.
        ZQSSRDWimInfo layout;
        ASSERT_EQ(S_OK, layout.LoadFile(L"E:\\preload\\csp.dat"));
        EXPECT_EQ(200 * kMiB, layout.m_WimInfoPar[0].ullPartitionSize);
        EXPECT_EQ(300 * kGiB, layout.m_WimInfoPar[1].ullPartitionSize);
        ULONGLONG ull = 0;
        EXPECT_EQ(S_OK, info.LoadHeadFreeSpace(&ull));
        EXPECT_EQ(kMiB, ull);
        EXPECT_EQ(S_OK, info.ZQGetSSRDToCopySize(&ull));
        EXPECT_GT(ull, 0u);
        return;
    }
    // The user-created disc set, with the recovery partition on D:.
    for (const wchar_t* path : {L"E:\\csp.dat", L"D:\\CSP.dat"}) {
        ZQUCRDWimInfo layout;
        ASSERT_EQ(S_OK, layout.LoadFile(path)) << path;
        EXPECT_EQ(PR_BP, layout.m_WimInfoPar[1].enPartRole);
        EXPECT_EQ(PR_UP, layout.m_WimInfoPar[2].enPartRole);
        EXPECT_EQ(PR_RP, layout.m_WimInfoPar[3].enPartRole);
        EXPECT_EQ(500 * kGiB, layout.m_ullDiskSize);
    }
    ULONGLONG ull = 0;
    EXPECT_EQ(S_OK, info.GetPreloadSize(&ull));
    EXPECT_GT(ull, 0u);
    ULONGLONG ullPreloadOnly = 0;
    EXPECT_EQ(S_OK, info.ZQGetUCRDToCopySize(&ullPreloadOnly, FALSE));
    EXPECT_EQ(ull, ullPreloadOnly);
    ULONGLONG ullBuild = 0;
    EXPECT_EQ(S_OK, info.ReadNumericValueFromBuildInfoIni(L'E', L"Recovery", L"SizeUP", &ullBuild));
    EXPECT_EQ(40960u, ullBuild);
}

} // namespace
