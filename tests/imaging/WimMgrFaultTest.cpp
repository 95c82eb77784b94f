// How the WIM manager reads failures of the imaging API, over a scripted
// wimgapi.dll that sits beside this program: a missing handle is a failure
// even when the last error says nothing, a WIM file that cannot be finished
// fails the capture, and a part that cannot be registered ends the apply.
// U: holds the files that the reference search finds.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "CWimMgr.h"
#include "Deadline.h"
#include "FakeWimgapi.h"
#include "NvErrorCode.h"
#include "TestFiles.h"

namespace {

DWORD CALLBACK SilentCallback(DWORD, WPARAM, LPARAM, PVOID)
{
    return 0;
}

class WimMgrFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HMODULE hFake = GetModuleHandleW(L"wimgapi.dll");
        ASSERT_NE(nullptr, hFake);
        m_pfnScript = reinterpret_cast<PFN_FakeWimScript>(
            reinterpret_cast<void (*)()>(GetProcAddress(hFake, "FakeWimScript")));
        m_pfnState = reinterpret_cast<PFN_FakeWimGetState>(
            reinterpret_cast<void (*)()>(GetProcAddress(hFake, "FakeWimGetState")));
        ASSERT_NE(nullptr, m_pfnScript) << "the scripted library must be the one loaded";
        ASSERT_NE(nullptr, m_pfnState);
        TestFiles::ClearDrive(L'U');
        CreateDirectoryW(L"U:\\preload", nullptr);
        for (const wchar_t* name : {L"U:\\preload\\base.swm", L"U:\\preload\\base2.swm", L"U:\\preload\\base3.swm"})
            ASSERT_TRUE(TestFiles::WriteBytes(name, "part"));
    }

    FakeWimState State() const
    {
        FakeWimState state = {};
        m_pfnState(&state);
        return state;
    }

    PFN_FakeWimScript m_pfnScript = nullptr;
    PFN_FakeWimGetState m_pfnState = nullptr;
};

HRESULT Capture(CWimMgr* pMgr)
{
    HRESULT hr = pMgr->SetCaptureSource(L"U:\\preload");
    hr |= pMgr->SetCaptureTarget(L"U:\\capture.wim");
    hr |= pMgr->SetMessageCallback(&SilentCallback);
    return FAILED(hr) ? hr : pMgr->BackupToImage();
}

HRESULT Apply(CWimMgr* pMgr)
{
    HRESULT hr = pMgr->SetWimImagePath(L"U:\\preload\\base.swm");
    hr |= pMgr->SetTempPath(L"U:\\temp");
    hr |= pMgr->SetTargetDrive(L'U');
    hr |= pMgr->SetRefPath(L"U:\\preload\\*.swm");
    hr |= pMgr->SetImageIndex(1);
    hr |= pMgr->SetMessageCallback(&SilentCallback);
    return FAILED(hr) ? hr : pMgr->RestoreWimImage();
}

} // namespace

TEST_F(WimMgrFaultTest, FailuresNeverReadAsSuccess)
{
    struct {
        const char* name;
        DWORD faults;
        std::function<HRESULT(CWimMgr*)> run;
        HRESULT expected;
        LONG referenceCalls; // -1: not checked
    } cases[] = {
        {"capture", FAKE_NONE, Capture, S_OK, -1},
        {"capture: no image handle and no last error", FAKE_CAPTURE_NULL, Capture, NV_E_WIM_CAPTURE, -1},
        {"capture: WIM file not finished on close", FAKE_CLOSE_WRITTEN, Capture, NV_E_WIM_CAPTURE, -1},
        {"capture: no WIM handle and no last error", FAKE_CREATE_NULL, Capture, NV_E_WIM_CREATE_FILE, -1},
        {"apply", FAKE_NONE, Apply, S_OK, 2},
        {"apply: no WIM handle and no last error", FAKE_CREATE_NULL, Apply, NV_E_FILE_IO, 0},
        {"apply: attributes unreadable", FAKE_ATTRIBUTES, Apply, NV_E_SET_ATTRIBUTES, 0},
        {"apply: no image handle and no last error", FAKE_LOAD_NULL, Apply, NV_E_CLOSE_HANDLE, 2},
        {"apply: apply fails with no last error", FAKE_APPLY, Apply, NV_E_FAIL, 2},
        // One attempt, then the apply gives up instead of trying for ever.
        {"apply: a part refused", FAKE_REFERENCE, Apply, NV_E_FAIL, 1},
    };
    for (const auto& c : cases) {
        m_pfnScript(c.faults);
        CWimMgr* pMgr = new CWimMgr(nullptr);
        EXPECT_EQ(c.expected, RunWithDeadline([&] { return c.run(pMgr); }, 60000, c.name)) << c.name;
        FakeWimState state = State();
        EXPECT_EQ(0, state.openHandles) << c.name << ": handles left open";
        EXPECT_EQ(0, state.registeredCallbacks) << c.name << ": callback left registered";
        if (c.referenceCalls >= 0) {
            EXPECT_EQ(c.referenceCalls, state.referenceCalls) << c.name;
        }
        if (c.faults == FAKE_REFERENCE) {
            EXPECT_EQ(0, state.applyCalls) << c.name << ": applied without its parts";
        }
        pMgr->CleanUpHandles();
        pMgr->Release();
    }
}

// This program's folder has no Wimsplice.dll; neither has the current one.
TEST_F(WimMgrFaultTest, MergeWithoutTheLibrary)
{
    ASSERT_TRUE(TestFiles::WriteBytes(L"U:\\preload\\X.DAT", "piece index"));
    SetCurrentDirectoryW(L"U:\\");
    CWimMgr* pMgr = new CWimMgr(nullptr);
    EXPECT_EQ(NV_E_LOAD_LIBRARY, pMgr->MergeImage(L"U:\\preload\\X.wim"));
    pMgr->Release();
    EXPECT_TRUE(TestFiles::Exists(L"U:\\preload\\X.DAT")) << "the piece is kept";
}

// Opening again replaces a handle; the one it replaces is closed, not lost.
TEST_F(WimMgrFaultTest, ReopeningClosesTheReplacedHandle)
{
    m_pfnScript(FAKE_NONE);
    struct {
        const char* name;
        std::function<HRESULT(CWimMgr*)> step;
        LONG open;
    } steps[] = {
        {"open the WIM file", [](CWimMgr* m) { return m->OpenWimImageReadOnly(); }, 1},
        {"load the image", [](CWimMgr* m) { return m->OpenImage(1); }, 2},
        {"open the WIM file again", [](CWimMgr* m) { return m->OpenWimImageReadOnly(); }, 2},
        {"load the image again", [](CWimMgr* m) { return m->OpenImage(1); }, 2},
        {"clean up", [](CWimMgr* m) { return m->CleanUpHandles(); }, 0},
    };
    CWimMgr* pMgr = new CWimMgr(nullptr);
    ASSERT_EQ(S_OK, pMgr->SetWimImagePath(L"U:\\preload\\base.swm"));
    for (const auto& s : steps) {
        EXPECT_EQ(S_OK, s.step(pMgr)) << s.name;
        EXPECT_EQ(s.open, State().openHandles) << s.name;
    }
    pMgr->Release();
}
