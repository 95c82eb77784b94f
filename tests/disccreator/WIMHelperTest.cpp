// The image splitter against our imaging API and split library: events and
// parts for single, multi-part and already split images; every failure
// ends with one failure event.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DiscErrorCode.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "PlanTestFiles.h"
#include "SplitTestKit.h"
#include "TestFiles.h"
#include "WIMHelper.h"
#include "wimgapi.h"

using namespace SplitTestKit;

namespace {

const ULONGLONG kMiB = 1024 * 1024;
const wchar_t kTree[] = L"O:\\tree";
const wchar_t kSource[] = L"O:\\preload\\base.wim";
const wchar_t kTarget[] = L"U:\\preload\\base.wim";

class WIMHelperTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestFiles::ClearDrive(L'O');
        ASSERT_TRUE(MakeTree(kTree, 2 * kMiB + kMiB / 2));
        ASSERT_TRUE(PlanTestFiles::MakeFolder(L"O:\\preload"));
        ASSERT_EQ(0u, Capture(kTree, kSource));
        TestFiles::DeleteTree(JUDGE_DIR);
        ASSERT_TRUE(PlanTestFiles::MakeFolder(std::wstring(JUDGE_DIR) + L"\\sets"));
        ASSERT_EQ(S_OK, NvCopyDir(kTree, (std::wstring(JUDGE_DIR) + L"\\tree").c_str(), TRUE));
    }
    void SetUp() override { TestFiles::ClearDrive(L'U'); }

    std::vector<Event> Run(const wchar_t* pwszSource, const wchar_t* pwszTarget, ULONGLONG ullSplitSize,
                           const wchar_t* pwszLibrary = nullptr)
    {
        Recorder recorder;
        WIMHelper helper;
        helper.AddListener(&recorder);
        if (pwszLibrary)
            helper.SetSpliceLibrary(pwszLibrary);
        EXPECT_EQ(S_OK, helper.Start(pwszSource, pwszTarget, &ullSplitSize));
        EXPECT_EQ(WAIT_OBJECT_0, helper.Wait(INFINITE));
        m_result = helper.GetResult();
        return recorder.Events();
    }
    static void ExpectOneTerminalEvent(const std::vector<Event>& events, int message, const char* name)
    {
        ASSERT_FALSE(events.empty()) << name;
        EXPECT_EQ(message, events.back().message) << name;
        int terminal = 0;
        float last = 0.0f;
        for (const Event& e : events) {
            terminal += e.message == kSplitFinished || e.message == kSplitFailed;
            EXPECT_GE(e.progress, last) << name;
            last = e.progress;
        }
        EXPECT_EQ(1, terminal) << name;
    }
    HRESULT m_result = E_UNEXPECTED;
};

} // namespace

TEST_F(WIMHelperTest, ImageSmallerThanAPartStaysWhole)
{
    // The split library is found in the program folder, wherever the process stands.
    wchar_t wszCurrent[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, wszCurrent);
    ASSERT_TRUE(SetCurrentDirectoryW(L"O:\\"));
    std::vector<Event> events = Run(kSource, kTarget, 64 * kMiB);
    SetCurrentDirectoryW(wszCurrent);
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(WIM_MSG_SPLIT, events[0].message);
    EXPECT_GT(events[0].progress, 0.0f);
    EXPECT_LE(events[0].progress, 0.75f);
    EXPECT_EQ(WIM_MSG_SPLIT, events[1].message);
    EXPECT_GT(events[1].progress, 0.75f);
    EXPECT_EQ(kSplitFinished, events[2].message);
    EXPECT_EQ(1.0f, events[2].progress);
    EXPECT_EQ(S_OK, m_result);
    EXPECT_EQ((std::vector<std::wstring>{L"base.wim"}), PartNames(kTarget));
    EXPECT_TRUE(GetFileAttributesW(L"U:\\preload") & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(WIMHelperTest, PartsGiveBackTheImage)
{
    struct Case {
        const char* name;
        bool alreadySplit;
        const wchar_t* judged; // folder of the set for the Linux side's judge
    } const kCases[] = {{"split here", false, L"split-here"}, {"source already split", true, L"already-split"}};
    for (const Case& c : kCases) {
        SetUp();
        std::wstring source = kSource;
        if (c.alreadySplit) {
            source = L"O:\\presplit\\base.wim";
            PlanTestFiles::MakeFolder(L"O:\\presplit");
            HANDLE h = WIMCreateFile(kSource, WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
            ASSERT_NE(nullptr, h);
            LARGE_INTEGER li;
            li.QuadPart = kMiB;
            ASSERT_TRUE(WIMSplitFile(h, source.c_str(), &li, 0)) << GetLastError();
            WIMCloseHandle(h);
        }
        std::vector<Event> events = Run(source.c_str(), kTarget, kMiB);
        ExpectOneTerminalEvent(events, kSplitFinished, c.name);
        std::vector<std::wstring> parts = PartNames(kTarget);
        EXPECT_GE(parts.size(), 3u) << c.name;
        // The part holding the big file was cut into pieces by the split library.
        bool pieced = false;
        for (const std::wstring& p : parts)
            pieced |= p.find(L".dat") != std::wstring::npos;
        EXPECT_TRUE(pieced) << c.name;
        ASSERT_EQ(S_OK, JoinPieces(kTarget)) << c.name;
        ASSERT_EQ(0u, ApplySet(kTarget, L"U:\\applied")) << c.name;
        EXPECT_EQ(L"", TestFiles::CompareTrees(kTree, L"U:\\applied")) << c.name;
        EXPECT_EQ(S_OK, NvCopyDir(L"U:\\preload", (std::wstring(JUDGE_DIR) + L"\\sets\\" + c.judged).c_str(), TRUE));
        if (c.alreadySplit)
            TestFiles::DeleteTree(L"O:\\presplit");
    }
}

TEST_F(WIMHelperTest, FailuresEndWithAFailureEvent)
{
    PlanTestFiles::WriteText(L"O:\\junk\\base.wim", "not an image");
    struct Case {
        const char* name;
        const wchar_t* source;
        const wchar_t* target;
        ULONGLONG splitSize;
        const wchar_t* library;
        const wchar_t* blocker; // a folder where a part must go
        HRESULT hr;
    } const kCases[] = {
        {"missing source", L"O:\\preload\\none.wim", kTarget, kMiB, nullptr, nullptr, NV_E_FILE_NOT_EXIST},
        {"same drive", kSource, L"O:\\out\\base.wim", kMiB, nullptr, nullptr, NV_E_INVALID_ARG},
        {"not an image", L"O:\\junk\\base.wim", kTarget, kMiB, nullptr, nullptr, RD_E_WIM_CALL},
        {"part cannot be written", kSource, kTarget, kMiB, nullptr, L"U:\\preload\\base2.wim", RD_E_WIM_CALL},
        {"split library missing", kSource, kTarget, kMiB, L"O:\\nowhere\\Wimsplice.dll", nullptr, NV_E_LOAD_LIBRARY},
        {"split size 0", kSource, kTarget, 0, nullptr, nullptr, NV_E_INVALID_ARG},
    };
    for (const Case& c : kCases) {
        SetUp();
        if (c.blocker) {
            ASSERT_TRUE(PlanTestFiles::MakeFolder(c.blocker));
        }
        std::vector<Event> events = Run(c.source, c.target, c.splitSize, c.library);
        ExpectOneTerminalEvent(events, kSplitFailed, c.name);
        EXPECT_EQ(c.hr, events.empty() ? S_OK : events.back().value) << c.name;
        EXPECT_EQ(c.hr, m_result) << c.name;
    }
}

TEST_F(WIMHelperTest, DestroyingTheHelperWaitsForItsThread)
{
    Recorder recorder;
    {
        WIMHelper helper;
        helper.AddListener(&recorder);
        ULONGLONG ullSize = kMiB / 4;
        ASSERT_EQ(S_OK, helper.Start(kSource, kTarget, &ullSize));
        EXPECT_EQ(S_FALSE, helper.Start(kSource, kTarget, &ullSize)); // one split at a time
    }
    std::vector<Event> events = recorder.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(events.back().message == kSplitFinished || events.back().message == kSplitFailed);
}
