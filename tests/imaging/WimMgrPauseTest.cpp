// The cooperative pause reaching the work: a real apply through the WIM
// manager on a recovery worker, held while the controller is paused (the
// notebook went on battery) and finished intact when power returns; and the
// copy routine held the same way. O: is the target, N: the temporary folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "CSBRMgr.h"
#include "CWimMgr.h"
#include "NvErrorCode.h"
#include "TestFiles.h"
#include "WimTestTree.h"

using WimTestTree::Compare;
using WimTestTree::Fixture;

namespace {

const DWORD kHeldMs = 1000;
const DWORD kWorkerLimitMs = 120000;

HANDLE g_hGo;
DWORD WINAPI ApplyWorker(LPVOID pv)
{
    WaitForSingleObject(g_hGo, INFINITE);
    CWimMgr* pWim = new CWimMgr(nullptr);
    HRESULT hr = pWim->SetWimImagePath(Fixture(L"wimlib-XPRESS.wim").c_str());
    hr |= pWim->SetTempPath(L"N:\\temp\\");
    hr |= pWim->SetTargetDrive(L'O');
    hr |= pWim->SetImageIndex(1);
    hr |= pWim->SetMessageCallback(&CSBRMgr::ZQWIMMessageCallback);
    pWim->SetMessageCallbackData(pv);
    if (SUCCEEDED(hr))
        hr = pWim->RestoreWimImage();
    pWim->CleanUpHandles();
    pWim->Release();
    return static_cast<DWORD>(hr);
}

class WimMgrPauseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TestFiles::ClearDrive(L'O'));
        ASSERT_TRUE(TestFiles::ClearDrive(L'N'));
        CSBRMgr::m_bUserAbort = FALSE;
        g_hGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override
    {
        SetEvent(g_hGo);
        m_mgr.ResumeZQRecoveryThread();
        m_mgr.WaitWorker(kWorkerLimitMs);
        CloseHandle(g_hGo);
        CSBRMgr::m_bUserAbort = FALSE;
    }

    // Starts the apply with the battery already gone, so that the pause
    // meets it at its first file.
    void StartPausedApply()
    {
        ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_SYSTEM_RECOVERY, ApplyWorker));
        ASSERT_EQ(S_OK, m_mgr.PauseZQRecoveryThread());
        SetEvent(g_hGo);
        Sleep(kHeldMs);
        EXPECT_FALSE(m_mgr.WaitWorker(0)) << "the apply ran on while paused";
        EXPECT_NE(L"", Compare(Fixture(L"tree"), L"O:", false)) << "the whole tree was written while paused";
    }

    CSystemControllerEnvironment m_env;
    CSBRMgr m_mgr{&m_env};
};

TEST_F(WimMgrPauseTest, ApplyHoldsOnBatteryAndFinishesIntact)
{
    StartPausedApply();
    EXPECT_EQ(S_OK, m_mgr.ResumeZQRecoveryThread());
    ASSERT_TRUE(m_mgr.WaitWorker(kWorkerLimitMs));
    DWORD dwStatus = 0, dwPercent = 0;
    ASSERT_EQ(S_OK, m_mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, nullptr));
    EXPECT_NE(static_cast<DWORD>(OS_FAILED), dwStatus) << std::hex << m_mgr.GetZQOpResult();
    EXPECT_EQ(L"", Compare(Fixture(L"tree"), L"O:", false));
}

TEST_F(WimMgrPauseTest, AbortEndsAHeldApply)
{
    StartPausedApply();
    m_mgr.AbortOperation();
    ASSERT_TRUE(m_mgr.WaitWorker(kWorkerLimitMs));
    DWORD dwStatus = 0, dwPercent = 0;
    ASSERT_EQ(S_OK, m_mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(OS_FAILED), dwStatus);
}

// The copy routine with the controller as its data holds between chunks
// while paused, goes on when resumed and cancels the copy on an abort.
// (Called directly: this Wine's CopyFileExW never calls its progress routine,
// so a real copy cannot show the hold.)
struct RoutineCall {
    CSBRMgr* pMgr;
    DWORD dwResult;
};

DWORD WINAPI RoutineWorker(LPVOID pv)
{
    RoutineCall* pCall = static_cast<RoutineCall*>(pv);
    LARGE_INTEGER zero{}, moved{};
    moved.QuadPart = 65536;
    pCall->dwResult = CSBRMgr::ZQCopyProgressRoutine(zero, zero, zero, moved, 0, CALLBACK_CHUNK_FINISHED, nullptr,
                                                     nullptr, pCall->pMgr);
    return 0;
}

TEST_F(WimMgrPauseTest, CopyRoutineHoldsOnBattery)
{
    ASSERT_EQ(S_OK, m_mgr.StartWorker(RO_SYSTEM_RECOVERY, ApplyWorker)); // a worker for the pause to act on
    struct {
        const char* name;
        bool abort;
        DWORD result;
    } cases[] = {{"resumed", false, PROGRESS_CONTINUE}, {"aborted", true, PROGRESS_CANCEL}};
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, m_mgr.PauseZQRecoveryThread()) << c.name;
        RoutineCall call{&m_mgr, 77};
        HANDLE hThread = CreateThread(nullptr, 0, RoutineWorker, &call, 0, nullptr);
        ASSERT_NE(nullptr, hThread);
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(hThread, kHeldMs)) << c.name << ": not held";
        if (c.abort)
            m_mgr.AbortOperation();
        else
            EXPECT_EQ(S_OK, m_mgr.ResumeZQRecoveryThread());
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 10000)) << c.name;
        CloseHandle(hThread);
        EXPECT_EQ(c.result, call.dwResult) << c.name;
    }
    CSBRMgr::m_bUserAbort = FALSE;
    SetEvent(g_hGo);
}

} // namespace
