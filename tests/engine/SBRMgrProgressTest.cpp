// The controller's operation status: percent rules on a fake clock, the end
// of a worker, abort through the imaging callback, and the pause on battery.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>

#include "CSBRMgr.h"
#include "EngineTestHelpers.h"
#include "NvErrorCode.h"
#include "TestFiles.h"

using namespace TestFiles;

namespace {

class CFakeClock : public IClock {
public:
    ULONGLONG TickCount64() override { return m_now * 1000; }
    void LocalTime(SYSTEMTIME* pst) override { GetLocalTime(pst); }
    ULONGLONG m_now = 1000; // seconds
};

class CFakeEnvironment : public IControllerEnvironment {
public:
    std::wstring ProgramFolder() override { return m_folder; }
    HINSTANCE InstanceHandle() override { return GetModuleHandleW(nullptr); }
    IClock& Clock() override { return m_clock; }
    BOOL GetPowerStatus(SYSTEM_POWER_STATUS* p) override
    {
        *p = m_power;
        return m_bPowerOk;
    }
    DWORD DiscPollMilliseconds() override { return 10; }
    std::wstring VolumeLabel(wchar_t) override { return std::wstring(); }

    std::wstring m_folder = L"P:\\";
    CFakeClock m_clock;
    SYSTEM_POWER_STATUS m_power{};
    BOOL m_bPowerOk = TRUE;
};

#ifndef RV_DISCORA
// A worker that runs until told to end, with the code it is to return.
HANDLE g_hEndWorker;
std::atomic<DWORD> g_dwWorkerResult;
DWORD WINAPI WaitingWorker(LPVOID)
{
    WaitForSingleObject(g_hEndWorker, INFINITE);
    return g_dwWorkerResult;
}

// A worker of 40 short steps that honours the pause between them.
std::atomic<int> g_iStepsDone;
DWORD WINAPI SteppingWorker(LPVOID pv)
{
    CSBRMgr* pMgr = static_cast<CSBRMgr*>(pv);
    for (int i = 0; i < 40; ++i) {
        if (!pMgr->WaitWhilePaused())
            return static_cast<DWORD>(NV_E_USER_CANCELLED);
        ++g_iStepsDone;
        Sleep(5);
    }
    return 0;
}

class SBRMgrProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hEndWorker = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_dwWorkerResult = 0;
        CSBRMgr::m_bUserAbort = FALSE;
        CSBRMgr::m_dwPercent = 0;
        CSBRMgr::m_ullTransferredBytes = 0;
        CSBRMgr::m_ullSingleFileTransfer = 0;
    }
    void TearDown() override
    {
        SetEvent(g_hEndWorker);
        m_mgr.WaitWorker(5000);
        CloseHandle(g_hEndWorker);
        CSBRMgr::m_bUserAbort = FALSE;
    }

    DWORD Poll(DWORD* pdwStatus = nullptr)
    {
        DWORD dwStatus = 0, dwPercent = 12345;
        wchar_t wszFile[MAX_PATH];
        EXPECT_EQ(S_OK, m_mgr.GetZQProgress(&dwStatus, &dwPercent, wszFile, MAX_PATH, nullptr));
        if (pdwStatus)
            *pdwStatus = dwStatus;
        return dwPercent;
    }

    CFakeEnvironment m_env;
    CSBRMgr m_mgr{&m_env};
};

TEST_F(SBRMgrProgressTest, ConstructedEmpty)
{
    EXPECT_EQ(INVALID_INDEX, m_mgr.GetRPDATAPartIndexCached());
    EXPECT_EQ(INVALID_INDEX, m_mgr.GetShrinkPartIndex());
    EXPECT_EQ(0u, m_mgr.GetDiskCount());
    EXPECT_EQ(RO_NONE, m_mgr.GetOperation());
    EXPECT_FALSE(m_mgr.GetPowerWarning());
    EXPECT_EQ(S_OK, m_mgr.GetZQOpResult());
}

TEST_F(SBRMgrProgressTest, PollArgumentsAndMissingWorker)
{
    DWORD dwStatus = 0, dwPercent = 0;
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr.GetZQProgress(nullptr, &dwPercent, nullptr, 0, nullptr)) << "no status";
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr.GetZQProgress(&dwStatus, nullptr, nullptr, 0, nullptr)) << "no outputs";
    // No worker was ever started: its exit code cannot be read.
    EXPECT_EQ(S_OK, m_mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(OS_FAILED), dwStatus);
    EXPECT_EQ(NV_E_THREAD_EXIT_CODE, m_mgr.GetZQOpResult());
    EXPECT_EQ(S_OK, m_mgr.ClearZQOpResult());
    EXPECT_EQ(S_OK, m_mgr.GetZQOpResult());
}

TEST_F(SBRMgrProgressTest, TimeBasedRules)
{
    struct Step {
        ULONGLONG t;
        DWORD percent;
    };
    struct {
        const char* name;
        RecoveryOperation op;
        OperationStatus status;
        Step steps[4];
    } rules[] = {
        {"factory reset, repartition", RO_FACTORY_RESET, OS_REPARTITION, {{0, 4}, {45, 7}, {60, 8}, {61, 8}}},
        {"factory reset, shrink", RO_FACTORY_RESET, OS_SHRINK, {{0, 1}, {29, 1}, {59, 3}, {61, 4}}},
        {"remove recovery partition", RO_REMOVE_RP, OS_REMOVE_RP, {{0, 0}, {30, 10}, {297, 99}, {400, 99}}},
    };
    for (const auto& rule : rules) {
        SetEvent(g_hEndWorker);
        m_mgr.WaitWorker(5000);
        ResetEvent(g_hEndWorker);
        ASSERT_EQ(S_OK, m_mgr.StartWorker(rule.op, WaitingWorker)) << rule.name;
        CSBRMgr::m_enZQStatus = rule.status;
        ULONGLONG base = m_env.m_clock.m_now;
        for (const Step& step : rule.steps) {
            m_env.m_clock.m_now = base + step.t;
            DWORD dwStatus = 0;
            EXPECT_EQ(step.percent, Poll(&dwStatus)) << rule.name << " at " << step.t << " s";
            EXPECT_EQ(static_cast<DWORD>(rule.status), dwStatus) << rule.name;
        }
        m_env.m_clock.m_now += 1000;
    }
}

// System recovery counts copied files on an installed Windows and follows
// its own steps when Windows PE was booted from a disc.
TEST_F(SBRMgrProgressTest, SystemRecoveryRules)
{
    struct {
        const char* name;
        bool fromDisc;
        OperationStatus status;
        DWORD files, copied;
        ULONGLONG total, done;
        DWORD imagePercent;
        ULONGLONG t; // seconds since the first poll of the formatting rule
        DWORD expected;
    } cases[] = {
        {"files, none listed", false, OS_COPY_FILE_FROM_CDROM, 0, 0, 0, 0, 0, 0, 1},
        {"files, three of four", false, OS_COPY_FILE_FROM_CDROM, 4, 3, 0, 0, 0, 0, 75},
        {"files, none copied", false, OS_COPY_FILE_FROM_CDROM, 4, 0, 0, 0, 0, 0, 1},
        {"image at 0", false, OS_REINSTALL, 0, 0, 0, 0, 0, 0, 1},
        {"image at 64", false, OS_REINSTALL, 0, 0, 0, 0, 64, 0, 64},
        {"disc, formatting starts", true, OS_FORMATTING, 0, 0, 0, 0, 0, 0, 1},
        {"disc, formatting 30 s", true, OS_FORMATTING, 0, 0, 0, 0, 0, 30, 2},
        {"disc, formatting 120 s", true, OS_FORMATTING, 0, 0, 0, 0, 0, 120, 8},
        {"disc, formatting 121 s", true, OS_FORMATTING, 0, 0, 0, 0, 0, 121, 8},
        {"disc, preparing", true, OS_PREPARE_UCRD_COPY, 0, 0, 0, 0, 0, 0, 8},
        {"disc, copy without total", true, OS_COPY_FILE_FROM_CDROM, 0, 0, 0, 0, 0, 0, 1},
        {"disc, copy of a fifth", true, OS_COPY_FILE_FROM_CDROM, 0, 0, 1000, 200, 0, 0, 8 + 15},
        {"disc, image at 50", true, OS_REINSTALL, 0, 0, 0, 0, 50, 0, 83 + 8},
        {"disc, other status", true, OS_SHRINK, 0, 0, 0, 0, 0, 0, 1},
    };
    ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_SYSTEM_RECOVERY, WaitingWorker));
    const ULONGLONG base = m_env.m_clock.m_now;
    for (const auto& c : cases) {
        EngineTest::CPrivateHKLM hklm(L"ProgressBoot");
        if (c.fromDisc) {
            ASSERT_TRUE(EngineTest::SetRegString(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control",
                                                 L"FirmwareBootDevice", L"multi(0)disk(0)cdrom(0)"));
        }
        CSBRMgr::m_enZQStatus = c.status;
        m_mgr.m_dwDiscFileCount = c.files;
        m_mgr.m_dwCopiedFileCount = c.copied;
        m_mgr.m_ullTotalCopySize = c.total;
        CSBRMgr::m_ullTransferredBytes = c.done;
        CSBRMgr::m_ullSingleFileTransfer = 0;
        CSBRMgr::m_dwPercent = c.imagePercent;
        m_env.m_clock.m_now = base + c.t;
        EXPECT_EQ(c.expected, Poll()) << c.name;
    }
}

TEST_F(SBRMgrProgressTest, WaitingDiscIndex)
{
    struct {
        const char* name;
        OperationStatus status;
        HRESULT hr;
        DWORD index; // 77: not written
    } cases[] = {
        {"waiting", OS_WAIT_DISC, S_OK, 2},
        {"copying", OS_COPY_FILE_FROM_CDROM, NV_E_INVALID_ARG, 77},
        {"no operation", OS_NONE, NV_E_INVALID_ARG, 77},
    };
    CSBRMgr::m_dwWaitingDiscIndex = 2;
    for (const auto& c : cases) {
        CSBRMgr::m_enZQStatus = c.status;
        DWORD dwIndex = 77;
        EXPECT_EQ(c.hr, m_mgr.GetWaitingDiscIndex(&dwIndex)) << c.name;
        EXPECT_EQ(c.index, dwIndex) << c.name;
    }
    CSBRMgr::m_enZQStatus = OS_WAIT_DISC;
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr.GetWaitingDiscIndex(nullptr));
}

TEST_F(SBRMgrProgressTest, ByteAndImageRules)
{
    struct {
        const char* name;
        RecoveryOperation op;
        OperationStatus status;
        ULONGLONG total, done, single;
        DWORD imagePercent;
        DWORD expected;
    } cases[] = {
        {"copy, nothing to copy", RO_FACTORY_RESET, OS_COPY_FILE_FROM_CDROM, 0, 0, 0, 0, 1},
        {"copy, half", RO_FACTORY_RESET, OS_COPY_FILE_FROM_CDROM, 1000, 400, 100, 0, 8 + 37},
        {"copy, all", RO_FACTORY_RESET, OS_COPY_FILE_FROM_CDROM, 1000, 1000, 0, 0, 83},
        {"preparing the copy", RO_FACTORY_RESET, OS_PREPARE_UCRD_COPY, 0, 0, 0, 0, 8},
        {"reinstall at 50", RO_FACTORY_RESET, OS_REINSTALL, 0, 0, 0, 50, 83 + 8},
        {"reinstall at 100", RO_FACTORY_RESET, OS_REINSTALL, 0, 0, 0, 100, 99 + 1},
        {"factory discs, repartition", RO_SSRD_FACTORY_RESET, OS_REPARTITION, 0, 0, 0, 0, 1},
        {"factory discs, copy with no total", RO_SSRD_FACTORY_RESET, OS_SSRD_COPY_CDROM_FILE, 0, 0, 0, 0, 1},
        {"factory discs, copy a tenth", RO_SSRD_FACTORY_RESET, OS_SSRD_COPY_CDROM_FILE, 100, 10, 0, 0, 7},
        {"factory discs, first image", RO_SSRD_FACTORY_RESET, OS_SSRD_RESTORE_UP, 0, 0, 0, 50, 80},
        {"factory discs, second image", RO_SSRD_FACTORY_RESET, OS_SSRD_RESTORE_SECOND, 0, 0, 0, 90, 99},
        {"factory discs, other status", RO_SSRD_FACTORY_RESET, OS_SHRINK, 0, 0, 0, 0, 1},
        {"system recovery, image at 0", RO_SYSTEM_RECOVERY, OS_REINSTALL, 0, 0, 0, 0, 1},
        {"system recovery, image at 42", RO_SYSTEM_RECOVERY, OS_REINSTALL, 0, 0, 0, 42, 42},
        {"re-imaging", RO_REIMAGE, OS_REIMAGE_APPLY, 0, 0, 0, 37, 37},
    };
    ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_FACTORY_RESET, WaitingWorker));
    for (const auto& c : cases) {
        SetEvent(g_hEndWorker);
        m_mgr.WaitWorker(5000);
        ResetEvent(g_hEndWorker);
        ASSERT_EQ(S_OK, m_mgr.StartWorker(c.op, WaitingWorker)) << c.name;
        CSBRMgr::m_enZQStatus = c.status;
        m_mgr.m_ullTotalCopySize = c.total;
        CSBRMgr::m_ullTransferredBytes = c.done;
        CSBRMgr::m_ullSingleFileTransfer = c.single;
        CSBRMgr::m_dwPercent = c.imagePercent;
        // 100 and more reads as 99 while the worker runs.
        DWORD expected = c.expected >= 100 ? 99 : c.expected;
        EXPECT_EQ(expected, Poll()) << c.name;
    }
}

TEST_F(SBRMgrProgressTest, WorkerEnd)
{
    struct {
        const char* name;
        DWORD exitCode;
        DWORD status;
        DWORD percent; // 12345: not written
        HRESULT opResult;
    } cases[] = {
        {"success below 100", 0, OS_REIMAGE_APPLY, 100, S_OK},
        {"success with a positive code", 1, OS_REIMAGE_APPLY, 100, S_OK},
        {"failure", static_cast<DWORD>(NV_E_WIM_APPLY), OS_FAILED, 12345, NV_E_WIM_APPLY},
    };
    for (const auto& c : cases) {
        m_mgr.ClearZQOpResult();
        ResetEvent(g_hEndWorker);
        g_dwWorkerResult = c.exitCode;
        ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_REIMAGE, WaitingWorker)) << c.name;
        CSBRMgr::m_enZQStatus = OS_REIMAGE_APPLY;
        CSBRMgr::m_dwPercent = 60;
        EXPECT_EQ(60u, Poll()) << c.name << " while running";
        SetEvent(g_hEndWorker);
        ASSERT_TRUE(m_mgr.WaitWorker(5000)) << c.name;
        DWORD dwStatus = 0;
        EXPECT_EQ(c.percent, Poll(&dwStatus)) << c.name;
        EXPECT_EQ(c.status, dwStatus) << c.name;
        EXPECT_EQ(c.opResult, m_mgr.GetZQOpResult()) << c.name;
    }
}

// A kind without a percent rule leaves the caller's percent as it was,
// while the worker runs and after it ended.
TEST_F(SBRMgrProgressTest, UnlistedKindKeepsTheCallersPercent)
{
    for (DWORD dwKind : {0ul, 5ul, 6ul, 8ul}) {
        SetEvent(g_hEndWorker);
        m_mgr.WaitWorker(5000);
        ResetEvent(g_hEndWorker);
        ASSERT_EQ(S_OK, m_mgr.StartWorker(static_cast<RecoveryOperation>(dwKind), WaitingWorker)) << dwKind;
        CSBRMgr::m_enZQStatus = OS_REINSTALL;
        CSBRMgr::m_dwPercent = 150;
        EXPECT_EQ(12345u, Poll()) << "kind " << dwKind << " while running";
        SetEvent(g_hEndWorker);
        ASSERT_TRUE(m_mgr.WaitWorker(5000));
        EXPECT_EQ(12345u, Poll()) << "kind " << dwKind << " after the end";
    }
}

TEST_F(SBRMgrProgressTest, ImagingCallback)
{
    struct {
        const char* name;
        DWORD message;
        WPARAM wParam;
        DWORD result;
    } cases[] = {
        {"progress", 38008, 42, 0},
        {"error", 38015, reinterpret_cast<WPARAM>(L"C:\\x"), 0},
        {"retry", 38017, reinterpret_cast<WPARAM>(L"C:\\x"), 0},
        {"info", 38020, reinterpret_cast<WPARAM>(L"C:\\x"), 0},
        {"warning", 38021, reinterpret_cast<WPARAM>(L"C:\\x"), 0},
        {"unknown", 38999, 0, 0},
        {"process", 38009, reinterpret_cast<WPARAM>(L"A:\\Windows\\notepad.exe"), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, CSBRMgr::ZQWIMMessageCallback(c.message, c.wParam, 5, nullptr)) << c.name;
    EXPECT_EQ(42u, CSBRMgr::m_dwPercent.load());
    EXPECT_EQ(L"A:\\Windows\\notepad.exe", CSBRMgr::GetCurrentFile());

    // A path longer than the field is cut, never copied past it.
    std::wstring longPath(400, L'p');
    CSBRMgr::ZQWIMMessageCallback(38009, reinterpret_cast<WPARAM>(longPath.c_str()), 0, nullptr);
    EXPECT_EQ(std::wstring(259, L'p'), CSBRMgr::GetCurrentFile());
}

TEST_F(SBRMgrProgressTest, AbortStopsImagingAndIsReported)
{
    ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_SYSTEM_RECOVERY, WaitingWorker));
    CSBRMgr::m_enZQStatus = OS_REINSTALL;
    DWORD dwStatus = 0, dwPercent = 0;
    BOOL bAbort = FALSE;
    EXPECT_EQ(S_OK, m_mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, &bAbort));
    EXPECT_FALSE(bAbort) << "before the abort";

    m_mgr.AbortOperation();
    EXPECT_EQ(0xFFFFFFFFu, CSBRMgr::ZQWIMMessageCallback(38009, reinterpret_cast<WPARAM>(L"A:\\f"), 0, nullptr));
    EXPECT_EQ(0u, CSBRMgr::ZQWIMMessageCallback(38008, 10, 0, nullptr)) << "progress still passes";
    EXPECT_EQ(S_OK, m_mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, &bAbort));
    EXPECT_TRUE(bAbort);
}

TEST_F(SBRMgrProgressTest, CopyRoutines)
{
    LARGE_INTEGER zero{}, moved{};
    moved.QuadPart = 4096;
    struct {
        DWORD reason;
        ULONGLONG expected;
    } cases[] = {{CALLBACK_CHUNK_FINISHED, 4096}, {CALLBACK_STREAM_SWITCH, 4096}, {7, 0}};
    for (const auto& c : cases) {
        CSBRMgr::m_ullSingleFileTransfer = 0;
        EXPECT_EQ(static_cast<DWORD>(PROGRESS_CONTINUE),
                  CSBRMgr::ZQCopyProgressRoutine(zero, zero, zero, moved, 0, c.reason, nullptr, nullptr, nullptr));
        EXPECT_EQ(c.expected, CSBRMgr::m_ullSingleFileTransfer.load()) << "reason " << c.reason;
    }
    CSBRMgr::m_ullTransferredBytes = 100;
    CSBRMgr::m_ullSingleFileTransfer = 50;
    CSBRMgr::ZQCopyFileDoneRoutine(1000);
    EXPECT_EQ(1100u, CSBRMgr::m_ullTransferredBytes.load());
    EXPECT_EQ(0u, CSBRMgr::m_ullSingleFileTransfer.load());
}

#endif

TEST(SBRMgrPower, ACPower)
{
    CFakeEnvironment m_env;
    CSBRMgr m_mgr(&m_env);
    BOOL bOffline = 7;
    EXPECT_EQ(NV_E_INVALID_ARG, m_mgr.ACPowerIsOffline(nullptr));
    struct {
        const char* name;
        BOOL bCallOk;
        BYTE acLine;
        HRESULT result;
        BOOL offline; // 7: not written
    } cases[] = {
        {"on mains", TRUE, 1, S_OK, FALSE},
        {"on battery", TRUE, 0, S_OK, TRUE},
        {"unknown line status", TRUE, 255, NV_E_AC_LINE_STATUS, 7},
        {"query failed", FALSE, 0, S_OK, FALSE},
    };
    for (const auto& c : cases) {
        m_env.m_bPowerOk = c.bCallOk;
        m_env.m_power.ACLineStatus = c.acLine;
        bOffline = 7;
        EXPECT_EQ(c.result, m_mgr.ACPowerIsOffline(&bOffline)) << c.name;
        EXPECT_EQ(c.offline, bOffline) << c.name;
    }
}

#ifndef RV_DISCORA
// Steps done after the counter has had time to move.
int StepsAfter(DWORD dwMilliseconds)
{
    Sleep(dwMilliseconds);
    return g_iStepsDone;
}

TEST_F(SBRMgrProgressTest, BatteryPauseAndResume)
{
    EXPECT_EQ(1, m_mgr.PauseZQRecoveryThread()) << "no worker yet";
    EXPECT_EQ(S_OK, m_mgr.ResumeZQRecoveryThread()) << "nothing paused";

    g_iStepsDone = 0;
    ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_SYSTEM_RECOVERY, SteppingWorker));
    while (g_iStepsDone < 3)
        Sleep(1);
    EXPECT_EQ(S_OK, m_mgr.PauseZQRecoveryThread());
    // Two battery events before the mains come back.
    EXPECT_EQ(S_OK, m_mgr.PauseZQRecoveryThread());
    int iPaused = StepsAfter(100);
    EXPECT_EQ(iPaused, StepsAfter(200)) << "the worker goes on while paused";
    EXPECT_LT(iPaused, 40);

    // The pause holds no lock: the trace and the poll still work.
    DWORD dwStatus = 0;
    Poll(&dwStatus);

    EXPECT_EQ(S_OK, m_mgr.ResumeZQRecoveryThread());
    EXPECT_TRUE(m_mgr.WaitWorker(5000)) << "one resume after two pauses ends the pause";
    EXPECT_EQ(40, g_iStepsDone.load());
}

TEST_F(SBRMgrProgressTest, AbortEndsAPausedWorker)
{
    g_iStepsDone = 0;
    ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_SYSTEM_RECOVERY, SteppingWorker));
    EXPECT_EQ(S_OK, m_mgr.PauseZQRecoveryThread());
    m_mgr.AbortOperation();
    EXPECT_TRUE(m_mgr.WaitWorker(5000));
    DWORD dwStatus = 0;
    Poll(&dwStatus);
    EXPECT_EQ(static_cast<DWORD>(OS_FAILED), dwStatus);
    EXPECT_EQ(NV_E_USER_CANCELLED, m_mgr.GetZQOpResult());
}

#endif

TEST(SBRMgrObject, RestoreSourcePath)
{
    CFakeEnvironment env;
    CSBRMgr mgr(&env);
    std::wstring longPath = L"D:\\" + std::wstring(300, L'b');
    struct {
        const char* name;
        std::wstring in;
        std::wstring out;
    } cases[] = {
        {"no backslash", L"D:\\Backup", L"D:\\Backup\\"},
        {"backslash", L"D:\\Backup\\", L"D:\\Backup\\"},
        {"too long", longPath, longPath.substr(0, 258) + L"\\"},
    };
    for (const auto& c : cases) {
        mgr.SetRestoreSourcePath(c.in.c_str());
        EXPECT_EQ(c.out, mgr.GetRestoreSourcePath()) << c.name;
    }
}

} // namespace
