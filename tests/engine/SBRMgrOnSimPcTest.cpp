// The recovery controller on each simulated PC (the profile the rig laid out
// is named by SUITE_SIMPC): partition numbers, letters, recovery-partition
// health, solid-state answers, free space, disc type and disc order.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <future>
#include <thread>
#include <string>
#include <vector>

#include "CAutoLockDrv.h"
#include "CSBRMgr.h"
#include "CSimPc.h"
#include "CSimPcLock.h"
#include "TestFiles.h"
#include "NvErrorCode.h"
#include "ZQSimKey.h"

namespace {

const ULONGLONG MiB = 1ull << 20;
const ULONGLONG GiB = 1ull << 30;
const DWORD NONE = INVALID_INDEX;

// The program folder holds the MD.ini the build wrote for these tests.
class CPcEnvironment : public CSystemControllerEnvironment {
public:
    std::wstring ProgramFolder() override
    {
        std::wstring bin = CSystemControllerEnvironment::ProgramFolder(); // ...\win64\bin\ .
        std::wstring tree = bin.substr(0, bin.rfind(L'\\', bin.size() - 2) + 1);
        return tree + L"tests\\engine\\sbrmgr\\";
    }
    DWORD DiscPollMilliseconds() override { return 20; }
};

struct Expected {
    const char* profile;
    DWORD platform;
    DWORD vendor;
    DWORD up, sp, rptool, rpdata, data;
    wchar_t upLet, spLet, rpLet, rpdataLet;
    BOOL healthy, localSSD, ssdPlusHDD;
    RecoveryDiscType disc;
    HRESULT freeResult;
    ULONGLONG freeBehindLast, freeWithRPDATA;
    BOOL oneSSDOnly;
};

const Expected kPcs[] = {
    {"desktop-w7", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, 2, 1, 3, 3, 1, L'C', 0, L'D', L'D', TRUE, FALSE, FALSE, RDT_UNKNOWN, S_OK,
     MiB, 200 * GiB - 201 * MiB, FALSE},
    {"desktop-w7-pe", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, 2, 1, 3, 3, 1, L'B', L'A', L'D', L'D', TRUE, FALSE, FALSE, RDT_UNKNOWN, S_OK,
     MiB, 200 * GiB - 201 * MiB, FALSE},
    {"notebook-w7", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB, 1, 4, 2, 2, 1, L'C', 0, L'D', L'D', TRUE, FALSE, FALSE, RDT_UNKNOWN, S_OK,
     10 * GiB - MiB, 40 * GiB - MiB, FALSE},
    {"notebook-w7-pe", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB, 1, 4, 2, 2, 1, L'B', 0, L'D', L'D', TRUE, FALSE, FALSE, RDT_UNKNOWN, S_OK,
     10 * GiB - MiB, 40 * GiB - MiB, FALSE},
    {"notebook-w7-ssd-pe", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB, 1, 4, 2, NONE, NONE, L'B', 0, L'D', L'D', TRUE, TRUE, FALSE,
     RDT_UNKNOWN, S_OK, 10 * GiB - MiB, 40 * GiB - MiB, TRUE},
    {"notebook-w7-ssd-hdd-pe", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB, 1, 4, 2, 2, 1, L'B', 0, L'D', L'G', TRUE, TRUE, TRUE, RDT_UNKNOWN,
     S_OK, 40 * GiB - MiB, 100 * GiB - MiB, FALSE},
    {"notebook-w7-ssd-usb-hdd-pe", ZQ_PLATFORM_WIN7, ZQ_VENDOR_CNB, 1, 4, 2, 2, 1, L'B', 0, L'D', L'G', TRUE, TRUE, TRUE,
     RDT_UNKNOWN, S_OK, 40 * GiB - MiB, 100 * GiB - MiB, FALSE},
    {"pe-factory-disc", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, 2, 1, 3, 3, 1, 0, 0, 0, 0, FALSE, FALSE, FALSE, RDT_SSRD, NV_E_FILE_NOT_EXIST,
     0, 0, FALSE},
    {"pe-user-discs", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, 2, 1, 3, 3, 1, L'B', L'A', L'D', L'D', TRUE, FALSE, FALSE, RDT_UCRD, S_OK, MiB,
     200 * GiB - 201 * MiB, FALSE},
    {"pe-user-discs-two-drives", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, 2, 1, 3, 3, 1, L'B', L'A', L'D', L'D', TRUE, FALSE, FALSE,
     RDT_UCRD, S_OK, MiB, 200 * GiB - 201 * MiB, FALSE},
    {"desktop-vista", ZQ_PLATFORM_VISTA, ZQ_VENDOR_DOZ, 1, 1, 2, 2, NONE, L'C', 0, L'D', L'D', TRUE, FALSE, FALSE, RDT_UNKNOWN,
     S_OK, 5 * GiB - MiB, 20 * GiB - MiB, FALSE},
    {"desktop-w7-no-rp", ZQ_PLATFORM_WIN7, ZQ_VENDOR_DOZ, 2, 1, 3, 3, 1, L'C', 0, 0, 0, FALSE, FALSE, FALSE, RDT_UNKNOWN,
     S_OK, 200 * GiB - 201 * MiB, 200 * GiB - 201 * MiB, FALSE},
};

std::vector<SimOptical> Opticals()
{
    CSimPc pc(L"test");
    SimPcState state;
    if (!pc.Open() || FAILED(pc.Read(state)))
        return {};
    return state.opticals;
}

std::string Profile()
{
    char sz[128] = {};
    GetEnvironmentVariableA("SUITE_SIMPC", sz, sizeof sz);
    return sz;
}

const Expected* Row()
{
    for (const Expected& e : kPcs) {
        if (Profile() == e.profile)
            return &e;
    }
    return nullptr;
}

class SBRMgrOnSimPc : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pRow = Row();
        ASSERT_NE(nullptr, m_pRow) << "no expectations for profile " << Profile();
        CSBRMgr::m_bUserAbort = FALSE;
        m_pMgr.reset(new CSBRMgr(&m_env));
        ASSERT_EQ(S_OK, m_pMgr->Init());
        m_pMgr->SetZQOSVer(m_pRow->platform);
        m_pMgr->SetZQVendor(m_pRow->vendor);
        ASSERT_EQ(S_OK, m_pMgr->InitDisk());
        ASSERT_EQ(S_OK, m_pMgr->InitBurning());
        // As the host dialog picks the boot drive: the first holding a recovery disc.
        for (DWORD i = 0; i < m_pMgr->GetCDROMCount(); ++i) {
            m_pMgr->SetBootCDROMIndex(i);
            if (m_pMgr->GetRecoveryDiscType() != RDT_UNKNOWN)
                break;
        }
    }

    CPcEnvironment m_env;
    std::unique_ptr<CSBRMgr> m_pMgr;
    const Expected* m_pRow = nullptr;
};

TEST_F(SBRMgrOnSimPc, PartitionsLettersAndHealth)
{
    const Expected& e = *m_pRow;
    CSBRMgr& mgr = *m_pMgr;
    EXPECT_EQ(e.up, mgr.GetUPPartIndex()) << e.profile;
    EXPECT_EQ(e.sp, mgr.GetSPPartIndex()) << e.profile;
    EXPECT_EQ(e.rptool, mgr.GetRPTOOLPartIndex()) << e.profile;
    EXPECT_EQ(e.rpdata, mgr.GetRPDATAPartIndex()) << e.profile;
    EXPECT_EQ(e.data, mgr.GetDATAPartIndex()) << e.profile;
    EXPECT_EQ(e.upLet, towupper(mgr.GetUPDrvLet())) << e.profile;
    EXPECT_EQ(e.spLet, towupper(mgr.GetSPDrvLet())) << e.profile;
    EXPECT_EQ(e.rpLet, towupper(mgr.GetRPTOOLDrvLet())) << e.profile;
    EXPECT_EQ(e.rpdataLet, towupper(mgr.GetRPDATADrvLet())) << e.profile;
    EXPECT_EQ(e.rpLet != 0, mgr.RecoveryPartitionIsExist()) << e.profile;
    EXPECT_EQ(e.healthy, mgr.RecoveryPartitionIsHealthy()) << e.profile;
    EXPECT_EQ(0u, mgr.ZQGetUPDiskIndex()) << e.profile;
}

// Without "ZQ.sim" the vendor is desktop and the platform follows the
// running system; Windows PE counts as Windows 7.
TEST_F(SBRMgrOnSimPc, PlatformWithoutSettingsFile)
{
    ZQPlatform enPlatform = static_cast<ZQPlatform>(0);
    ZQVendor enVendor = static_cast<ZQVendor>(0);
    EXPECT_EQ(S_OK, LoadZQSimSettings(m_env.ProgramFolder().c_str(), &enPlatform, &enVendor));
    EXPECT_EQ(static_cast<ZQPlatform>(m_pRow->platform), enPlatform) << m_pRow->profile;
    EXPECT_EQ(ZQ_VENDOR_DOZ, enVendor) << m_pRow->profile;
}

TEST_F(SBRMgrOnSimPc, SolidStateAndFreeSpace)
{
    const Expected& e = *m_pRow;
    CSBRMgr& mgr = *m_pMgr;
    EXPECT_EQ(e.localSSD, mgr.LocalSSDIsExist()) << e.profile;
    EXPECT_EQ(e.ssdPlusHDD, mgr.IsOneSSDPlusOneHDD()) << e.profile;
    EXPECT_EQ(e.oneSSDOnly, mgr.IsOneSSDOnly()) << e.profile;
    // The factory image goes to the other fixed disk, never to a USB disk.
    DWORD dwDataDisk = !e.ssdPlusHDD ? 0 : (Profile() == "notebook-w7-ssd-usb-hdd-pe" ? 2 : 1);
    EXPECT_EQ(dwDataDisk, mgr.ZQGetRPDATADiskIndex()) << e.profile;

    struct {
        BOOL countRPDATA;
        ULONGLONG expected;
    } cases[] = {{FALSE, e.freeBehindLast}, {TRUE, e.freeWithRPDATA}};
    for (const auto& c : cases) {
        ULONGLONG ullFree = 12345;
        EXPECT_EQ(e.freeResult, mgr.GetRPDATADiskFreeSpace(c.countRPDATA, &ullFree))
            << e.profile << " counting RPDATA " << c.countRPDATA;
        if (SUCCEEDED(e.freeResult)) {
            EXPECT_EQ(c.expected, ullFree) << e.profile << " counting RPDATA " << c.countRPDATA;
        }
    }
}

// A notebook whose main disk is the hard disk keeps RPDATA on its other
// fixed disk, the solid-state one.
TEST_F(SBRMgrOnSimPc, RPDATADiskBesideAMainHardDisk)
{
    if (!m_pRow->ssdPlusHDD)
        GTEST_SKIP() << "one SSD plus one hard disk only";
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    auto swapKinds = [](SimPcState& state) {
        for (SimDisk& d : state.disks) {
            if (!d.removable)
                d.ssd = !d.ssd;
        }
        return S_OK;
    };
    ASSERT_EQ(S_OK, pc.Update(swapKinds));
    CSBRMgr mgr(&m_env);
    ASSERT_EQ(S_OK, mgr.Init());
    mgr.SetZQOSVer(m_pRow->platform);
    mgr.SetZQVendor(m_pRow->vendor);
    ASSERT_EQ(S_OK, mgr.InitDisk());
    EXPECT_TRUE(mgr.IsOneSSDPlusOneHDD());
    EXPECT_EQ(Profile() == "notebook-w7-ssd-usb-hdd-pe" ? 2u : 1u, mgr.ZQGetRPDATADiskIndex());
    EXPECT_EQ(S_OK, pc.Update(swapKinds));
}

// One solid-state disk: no RPDATA partition, and a recovery partition only
// when the disk is above the size threshold.
TEST_F(SBRMgrOnSimPc, OneSSDNotebookThreshold)
{
    if (!m_pRow->oneSSDOnly)
        GTEST_SKIP() << "one solid-state disk only";
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    SimPcState state;
    ASSERT_EQ(S_OK, pc.Read(state));
    const ULONGLONG ullSize = state.disks[0].size;
    struct {
        const char* name;
        ULONGLONG size;
        BOOL above;
        DWORD rptool;
    } cases[] = {
        {"above the threshold", ullSize, TRUE, 2},
        {"at the threshold", 128 * GiB, TRUE, 2},
        {"below the threshold", 128 * GiB - MiB, FALSE, NONE},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, pc.Update([&c](SimPcState& s) {
            s.disks[0].size = c.size;
            return S_OK;
        }));
        CSBRMgr mgr(&m_env);
        ASSERT_EQ(S_OK, mgr.Init());
        mgr.SetZQOSVer(m_pRow->platform);
        mgr.SetZQVendor(m_pRow->vendor);
        ASSERT_EQ(S_OK, mgr.InitDisk());
        BOOL bAbove = 7;
        EXPECT_EQ(S_OK, mgr.SSDIsAboveThreshold(&bAbove)) << c.name;
        EXPECT_EQ(c.above, bAbove) << c.name;
        EXPECT_EQ(c.rptool, mgr.GetRPTOOLPartIndex()) << c.name;
        EXPECT_EQ(NONE, mgr.GetRPDATAPartIndex()) << c.name;
        EXPECT_EQ(NONE, mgr.GetDATAPartIndex()) << c.name;
    }
    EXPECT_EQ(S_OK, pc.Update([ullSize](SimPcState& s) {
        s.disks[0].size = ullSize;
        return S_OK;
    }));
}

// Each item the recovery partition must hold, taken away in turn.
TEST_F(SBRMgrOnSimPc, UnhealthyRecoveryPartition)
{
    if (!m_pRow->healthy || m_pRow->rpLet != L'D' || m_pRow->rpdataLet != L'D')
        GTEST_SKIP() << "a healthy recovery partition on D: holding its own image";
    std::vector<const wchar_t*> items = {L"bootmgr", L"language.ini", L"boot", L"zq", L"preload", L"Recovery"};
    if (m_pRow->vendor == ZQ_VENDOR_CNB)
        items.push_back(L"system.sav");
    for (const wchar_t* pwszItem : items) {
        std::wstring path = std::wstring(L"D:\\") + pwszItem;
        std::wstring away = path + L".away";
        ASSERT_TRUE(MoveFileW(path.c_str(), away.c_str())) << std::string(pwszItem, pwszItem + wcslen(pwszItem));
        CSBRMgr mgr(&m_env);
        ASSERT_EQ(S_OK, mgr.Init());
        mgr.SetZQOSVer(m_pRow->platform);
        mgr.SetZQVendor(m_pRow->vendor);
        ASSERT_EQ(S_OK, mgr.InitDisk());
        EXPECT_FALSE(mgr.RecoveryPartitionIsHealthy()) << "without " << std::string(pwszItem, pwszItem + wcslen(pwszItem));
        ASSERT_TRUE(MoveFileW(away.c_str(), path.c_str()));
    }
    EXPECT_TRUE(m_pMgr->RecoveryPartitionIsHealthy()) << "all items back";
}

TEST_F(SBRMgrOnSimPc, DiscTypeAndDiscInformation)
{
    const Expected& e = *m_pRow;
    CSBRMgr& mgr = *m_pMgr;
    EXPECT_EQ(e.disc, mgr.GetRecoveryDiscType()) << e.profile;
    const DWORD dwDrives = static_cast<DWORD>(Opticals().size());
    EXPECT_EQ(dwDrives, mgr.GetCDROMCount()) << e.profile;

    ASSERT_EQ(S_OK, mgr.UpdateDiscInfoCache()) << e.profile;
    ASSERT_TRUE(mgr.WaitDiscInfoPass(10000)) << e.profile;
    ZQDiscInfo entry = mgr.GetDiscInfoEntry(0);
    EXPECT_EQ(L'E', entry.wcDrvLet) << e.profile;
    EXPECT_EQ(e.disc == RDT_UNKNOWN ? 0u : 2298496ull * 2048, entry.ullCapacity) << e.profile;
    EXPECT_EQ(0, mgr.GetDiscInfoEntry(dwDrives).wcDrvLet) << e.profile;

    if (e.disc == RDT_SSRD) {
        EXPECT_TRUE(mgr.CheckSSRDLabel(1, 2));
        EXPECT_FALSE(mgr.CheckSSRDLabel(2, 2));
    }
}

std::string JournalText()
{
    CSimPc pc(L"test");
    if (!pc.Open())
        return std::string();
    return TestFiles::ReadBytes(pc.Root() + L"\\journal.log");
}

DWORD ThreadsOfThisProcess()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return 0;
    THREADENTRY32 te{};
    te.dwSize = sizeof te;
    DWORD dwCount = 0;
    for (BOOL b = Thread32First(hSnap, &te); b; b = Thread32Next(hSnap, &te)) {
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            ++dwCount;
    }
    CloseHandle(hSnap);
    return dwCount;
}

TEST_F(SBRMgrOnSimPc, DestroyedWhileThePassRuns)
{
    // A first pass settles whatever threads the system keeps for COM.
    ASSERT_EQ(S_OK, m_pMgr->UpdateDiscInfoCache());
    ASSERT_TRUE(m_pMgr->WaitDiscInfoPass(10000));
    DWORD dwThreads = ThreadsOfThisProcess();
    ASSERT_EQ(S_OK, m_pMgr->UpdateDiscInfoCache());
    m_pMgr.reset();
    // The controller waited for its pass: nothing of it runs on.
    std::string journal = JournalText();
    EXPECT_LE(ThreadsOfThisProcess(), dwThreads) << "a pass thread outlived the controller";
    Sleep(300);
    EXPECT_EQ(journal.size(), JournalText().size()) << "the drives were asked after the controller went";
}

// A pass stuck in a drive does not hold the controller's end for ever; the
// thread finishes later on its own state.
TEST_F(SBRMgrOnSimPc, HungPassIsLetGo)
{
    class CShortWait : public CPcEnvironment {
    public:
        DWORD DiscPassWaitMilliseconds() override { return 200; }
    } env;
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    const ULONGLONG kHoldMs = 3000;
    bool bHeld = false;
    size_t cbBefore = 0;
    for (int attempt = 0; attempt < 20 && !bHeld; ++attempt) {
        std::unique_ptr<CSBRMgr> pMgr(new CSBRMgr(&env));
        ASSERT_EQ(S_OK, pMgr->Init());
        ASSERT_EQ(S_OK, pMgr->InitBurning());
        pMgr->SetBootCDROMIndex(0);
        ASSERT_EQ(S_OK, pMgr->UpdateDiscInfoCache());
        // Every stand-in call waits while the test holds the PC's lock.
        CSimPcLock hold(pc.Root());
        if (pMgr->WaitDiscInfoPass(0))
            continue; // the pass was quicker than the lock: try again
        bHeld = true;
        ULONGLONG ullStart = GetTickCount64();
        pMgr.reset();
        ULONGLONG ullTaken = GetTickCount64() - ullStart;
        EXPECT_LT(ullTaken, kHoldMs) << "the end waited for the hung pass";
        Sleep(static_cast<DWORD>(kHoldMs - (ullTaken < kHoldMs ? ullTaken : 0)));
        cbBefore = JournalText().size();
    }
    ASSERT_TRUE(bHeld) << "the pass always ended before the lock was taken";
    // The abandoned pass goes on to the end of its drives.
    for (int i = 0; i < 100 && JournalText().find("SelectDrive", cbBefore) == std::string::npos; ++i)
        Sleep(50);
    EXPECT_NE(std::string::npos, JournalText().find("SelectDrive", cbBefore)) << "the pass never went on";
}

// A pass that had to make its own burn object releases it in its apartment
// and never hands it to the controller.
TEST_F(SBRMgrOnSimPc, PassKeepsNoBurnObjectOfItsApartment)
{
    if (!m_pMgr->IsUnderWinPE())
        GTEST_SKIP() << "the pass makes its own burn object in Windows PE only";
    CSBRMgr mgr(&m_env);
    ASSERT_EQ(S_OK, mgr.Init());
    HRESULT hrStart = E_FAIL;
    // A thread without COM cannot make the burn object for the controller.
    std::thread starter([&] { hrStart = mgr.UpdateDiscInfoCache(); });
    starter.join();
    ASSERT_EQ(S_OK, hrStart);
    ASSERT_TRUE(mgr.WaitDiscInfoPass(10000));
    EXPECT_EQ(L'E', mgr.GetDiscInfoEntry(0).wcDrvLet) << "the pass read the drives with its own object";
    wchar_t wc = 0;
    EXPECT_EQ(E_FAIL, mgr.GetDrvLetter(0, &wc)) << "the controller kept the pass's object";
}

TEST_F(SBRMgrOnSimPc, UserDiscSetInOrder)
{
    if (m_pRow->disc != RDT_UCRD)
        GTEST_SKIP() << "no user-created disc set on " << m_pRow->profile;
    CSBRMgr& mgr = *m_pMgr;
    DWORD dwCount = 0;
    ASSERT_EQ(S_OK, mgr.ZQGetDiscCount(FALSE, &dwCount));
    EXPECT_EQ(2u, dwCount);
    // A second read does not list the files twice.
    ASSERT_EQ(S_OK, mgr.ZQGetDiscCount(FALSE, &dwCount));
    EXPECT_EQ(2u, CSBRMgr::WimFiles().size());
    EXPECT_TRUE(mgr.FirstUCRDIsExist());

    mgr.SetFirstDiscID(mgr.GetDiscID(L"E:\\SETINFO.LOG"), L"E:\\SETINFO.LOG");
    EXPECT_EQ(L"SIMSET-0001", mgr.GetDiscID(L"E:\\SETINFO.LOG"));
    CSBRMgr::m_dwWaitingDiscIndex = 1;
    // Disc 1 is in the drive: it is ejected and disc 2 from the queue is taken.
    auto wait = std::async(std::launch::async, [&mgr] { return mgr.ZQWaitTheCorrectRecoverydisc(1); });
    if (wait.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
        mgr.AbortOperation();
    EXPECT_EQ(S_OK, wait.get());
    EXPECT_EQ(L"Recovery22", m_env.VolumeLabel(L'E'));
    EXPECT_EQ(static_cast<DWORD>(OS_WAIT_DISC), CSBRMgr::m_enZQStatus.load()) << "the first disc was refused";
}

HRESULT FirstUserDiscIn();

// Wine's own volume call shows each disc's label after a swap.
TEST_F(SBRMgrOnSimPc, SwappedDiscsShowTheirLabels)
{
    if (m_pRow->disc != RDT_UCRD)
        GTEST_SKIP() << "no user-created disc set on " << m_pRow->profile;
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    struct {
        const wchar_t* disc;
        const wchar_t* label;
    } cases[] = {{L"ucrd2", L"Recovery22"}, {L"blank", L""}, {L"other", L"Recovery22"}, {L"ucrd1", L"Recovery12"}};
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, pc.Update([&](SimPcState& state) {
            SimOptical& drive = state.opticals[0];
            drive.queue.clear();
            drive.locked = false;
            return pc.InsertDisc(state, drive, c.disc);
        }));
        EXPECT_EQ(std::wstring(c.label), m_env.VolumeLabel(L'E'))
            << std::string(c.disc, c.disc + wcslen(c.disc));
    }
    EXPECT_EQ(S_OK, FirstUserDiscIn());
}

// The tray lock as the simulated PC records it.
bool TrayLocked()
{
    std::vector<SimOptical> drives = Opticals();
    return !drives.empty() && drives[0].locked;
}

// The first disc of the user-created set in the first drive, unlocked, the
// second queued behind it.
HRESULT FirstUserDiscIn()
{
    CSimPc pc(L"test");
    if (!pc.Open())
        return E_FAIL;
    return pc.Update([&pc](SimPcState& state) {
        SimOptical& drive = state.opticals[0];
        drive.queue.clear();
        drive.locked = false;
        HRESULT hr = S_OK;
        if (drive.disc != L"ucrd1") {
            hr = pc.EjectDisc(state, drive);
            if (SUCCEEDED(hr))
                hr = pc.InsertDisc(state, drive, L"ucrd1");
        }
        drive.queue.push_back(L"ucrd2");
        return hr;
    });
}

// After the start-up pass (which ends on the last drive) the tray lock, the
// wait for a disc and the rejection of a wrong one act on the boot drive.
TEST_F(SBRMgrOnSimPc, TrayCallsActOnTheBootDrive)
{
    if (Opticals().size() < 2 || m_pRow->disc != RDT_UCRD)
        GTEST_SKIP() << "a recovery disc in the first of two drives only";
    // Earlier tests may have fed the next disc in: start from the first.
    ASSERT_EQ(S_OK, FirstUserDiscIn());
    m_pMgr.reset(new CSBRMgr(&m_env));
    CSBRMgr& mgr = *m_pMgr;
    ASSERT_EQ(S_OK, mgr.Init());
    mgr.SetZQOSVer(m_pRow->platform);
    mgr.SetZQVendor(m_pRow->vendor);
    ASSERT_EQ(S_OK, mgr.InitBurning());
    mgr.SetBootCDROMIndex(0);
    ASSERT_EQ(RDT_UCRD, mgr.GetRecoveryDiscType());
    ASSERT_EQ(S_OK, mgr.UpdateDiscInfoCache());
    ASSERT_TRUE(mgr.WaitDiscInfoPass(10000));
    EXPECT_EQ(L'I', mgr.GetDiscInfoEntry(1).wcDrvLet);
    {
        CAutoLockDrv lock(m_pMgr.get());
        EXPECT_TRUE(lock.IsLocked());
        std::vector<SimOptical> drives = Opticals();
        EXPECT_TRUE(drives[0].locked) << "the boot drive is locked";
        EXPECT_FALSE(drives[1].locked) << "the other drive is left alone";
    }
    EXPECT_FALSE(Opticals()[0].locked);

    DWORD dwCount = 0;
    ASSERT_EQ(S_OK, mgr.ZQGetDiscCount(FALSE, &dwCount));
    mgr.SetFirstDiscID(mgr.GetDiscID(L"E:\\SETINFO.LOG"), L"E:\\SETINFO.LOG");
    CSBRMgr::m_dwWaitingDiscIndex = 1;
    // Leave the other drive current, as a page's drive walk would.
    ASSERT_EQ(S_OK, mgr.UpdateDiscInfoCache());
    ASSERT_TRUE(mgr.WaitDiscInfoPass(10000));
    auto wait = std::async(std::launch::async, [&mgr] { return mgr.ZQWaitTheCorrectRecoverydisc(1); });
    if (wait.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
        mgr.AbortOperation();
    EXPECT_EQ(S_OK, wait.get());
    std::vector<SimOptical> drives = Opticals();
    EXPECT_EQ(L"ucrd2", drives[0].disc) << "the first disc was ejected from the boot drive";
    EXPECT_EQ(L"blank", drives[1].disc);
    EXPECT_FALSE(drives[1].trayOpen) << "the other drive's tray stayed closed";
    EXPECT_EQ(S_OK, FirstUserDiscIn());
}

TEST_F(SBRMgrOnSimPc, TrayLockedForTheScope)
{
    const bool bDisc = m_pRow->disc != RDT_UNKNOWN;
    {
        CAutoLockDrv lock(m_pMgr.get());
        // Only a drive holding a disc is locked.
        EXPECT_EQ(bDisc, lock.IsLocked() != FALSE) << m_pRow->profile;
        EXPECT_EQ(bDisc, TrayLocked()) << m_pRow->profile;
    }
    EXPECT_FALSE(TrayLocked()) << m_pRow->profile << ": unlocked when the scope ends";
}

TEST_F(SBRMgrOnSimPc, DiscWaitEndsOnAbort)
{
    if (m_pRow->disc != RDT_UCRD)
        GTEST_SKIP() << "no user-created disc set on " << m_pRow->profile;
    CSBRMgr& mgr = *m_pMgr;
    // A set identity no disc has: every disc is refused until the user gives up.
    mgr.SetFirstDiscID(L"NO-SUCH-SET", L"E:\\SETINFO.LOG");
    CSBRMgr::m_dwWaitingDiscIndex = 1;
    auto wait = std::async(std::launch::async, [&mgr] { return mgr.ZQWaitTheCorrectRecoverydisc(1); });
    Sleep(300);
    mgr.AbortOperation();
    ASSERT_EQ(std::future_status::ready, wait.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(NV_E_USER_CANCELLED, wait.get());
    CSBRMgr::m_bUserAbort = FALSE;
}

} // namespace
