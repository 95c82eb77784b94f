// Discs through IBurnMgmt on a PC booted from a user-created disc set: E:
// holds disc 1 ("Recovery12"), disc 2 ("Recovery22") waits in the queue.
#include "CSimPc.h"
#include "DiskMgmt.h"
#include "ToolRunner.h"

#include <gtest/gtest.h>

namespace {

using ToolRunner::State;

class DiscQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt, (void**)&m_pBurn));
        ASSERT_EQ(S_OK, m_pBurn->Initialize(0));
        ASSERT_EQ(S_OK, m_pBurn->SelectDrive(0));
    }
    void TearDown() override
    {
        if (m_pBurn)
            m_pBurn->Release();
        CoUninitialize();
    }

    std::wstring Label()
    {
        BurnDiscLabel label = {};
        return SUCCEEDED(m_pBurn->GetDiscLabel(&label)) ? label.wszLabel : L"(none)";
    }

    IBurnMgmt* m_pBurn = nullptr;
};

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST_F(DiscQueue, EjectFeedsTheNextDisc)
{
    ASSERT_EQ(S_OK, m_pBurn->IsDrvReady());
    EXPECT_EQ(L"Recovery12", Label());
    EXPECT_TRUE(Exists(L"E:\\preload\\SPLIT.LOG"));

    // A locked tray stays shut, however often it was locked.
    ASSERT_EQ(S_OK, m_pBurn->LockTray(TRUE));
    ASSERT_EQ(S_OK, m_pBurn->LockTray(TRUE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DRIVE_LOCKED), m_pBurn->EjectTray(TRUE));
    EXPECT_EQ(L"Recovery12", Label());
    ASSERT_EQ(S_OK, m_pBurn->LockTray(FALSE));

    ASSERT_EQ(S_OK, m_pBurn->EjectTray(TRUE));
    ASSERT_EQ(S_OK, m_pBurn->IsDrvReady());
    EXPECT_EQ(L"Recovery22", Label());
    EXPECT_TRUE(Exists(L"E:\\preload\\base2.swm"));
    EXPECT_FALSE(Exists(L"E:\\preload\\SPLIT.LOG")) << "disc 1 went back to its own folder";
    BurnDiscInfo info = {};
    ASSERT_EQ(S_OK, m_pBurn->GetDiscInfo(&info));
    EXPECT_EQ(1u, info.dwDiscStatus);
    EXPECT_EQ(2298496u, info.dwCapacitySectors);

    // The queue is empty now: the tray stays open and the drive is not ready.
    ASSERT_EQ(S_OK, m_pBurn->EjectTray(TRUE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_READY), m_pBurn->IsDrvReady());
    EXPECT_EQ(L"(none)", Label());
    EXPECT_EQ(DRIVE_CDROM, GetDriveTypeW(L"E:\\"));
    EXPECT_FALSE(Exists(L"E:\\"));
    EXPECT_TRUE(State().opticals[0].trayOpen);

    // The harness puts the first disc back, as a user would.
    CSimPc pc(L"test");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) { return pc.InsertDisc(s, s.opticals[0], L"ucrd1"); }));
    EXPECT_EQ(S_OK, m_pBurn->IsDrvReady());
    EXPECT_EQ(L"Recovery12", Label());
    EXPECT_TRUE(Exists(L"E:\\preload\\SPLIT.LOG"));
}

TEST_F(DiscQueue, SelectionIsCheckedAndShared)
{
    EXPECT_EQ(E_INVALIDARG, m_pBurn->SelectDrive(1));
    WCHAR letter = 0;
    EXPECT_EQ(E_INVALIDARG, m_pBurn->GetDrvLetter(3, &letter));
    ASSERT_EQ(S_OK, m_pBurn->GetDrvLetter(0, &letter));
    EXPECT_EQ(L'E', letter);
    EXPECT_EQ(E_POINTER, m_pBurn->GetDrvLetter(0, nullptr));
    EXPECT_EQ(E_POINTER, m_pBurn->GetDiscInfo(nullptr));
}
