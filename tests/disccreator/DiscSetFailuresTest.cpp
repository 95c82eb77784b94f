// Disc-set runs that cannot finish end in failure without burning a
// disc they should not and without the finished-set markers.
#include "DiscSetDriverFixture.h"

#include "PlanTestFiles.h"
#include "TestFiles.h"

namespace {

class DiscSetFailures : public DiscSetDriverFixture {
protected:
    void ExpectNoMarkers()
    {
        EXPECT_FALSE(TestFiles::Exists(kWindowsMarker));
        EXPECT_FALSE(TestFiles::Exists(kRecoveryMarker));
    }
};

// A required file that is missing: the plan fails and nothing is burned.
TEST_F(DiscSetFailures, PlanThatCannotBeMadeBurnsNothing)
{
    const std::wstring ruleFile = std::wstring(kProgramFolder) + L"FileSet.xml";
    std::string rules = TestFiles::ReadBytes(ruleFile);
    const std::string kFileSet = "<FileSet>";
    size_t at = rules.find(kFileSet);
    ASSERT_NE(std::string::npos, at);
    rules.insert(at + kFileSet.size(),
                 "<Missing From=\"D:\\nothing.bin\" To=\"nothing.bin\" MustProcess=\"true\" PriorityLevel=\"0\"/>");
    ASSERT_TRUE(TestFiles::WriteBytes(ruleFile, rules));
    QueueBlankDiscs(3);
    std::string out;
    EXPECT_EQ(1u, RunDriver(L"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("plan: failed")) << out;
    EXPECT_EQ(std::string::npos, out.find("state ")) << out;
    EXPECT_TRUE(BurnedDiscs().empty());
    ExpectNoMarkers();
}

// A snapshot cut short is no plan: the run ends in the failure state,
// never with an empty disc, even when the caller goes on after the refusal.
TEST_F(DiscSetFailures, DamagedSnapshotEndsInFailure)
{
    ASSERT_TRUE(TestFiles::WriteBytes(Snapshot(), "<?xml version=\"1.0\"?><Root><DiscType>DVD-R</DiscType>"
                                                  "<TotalSetNo>3</TotalSetNo><ResumeSetNo>2</ResumeSetNo><Set1>"));
    QueueBlankDiscs(1);
    std::string out;
    EXPECT_EQ(1u, RunDriver(L"--keep-unusable-snapshot", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("snapshot unusable")) << out;
    EXPECT_NE(std::string::npos, out.find("state 6")) << out;
    EXPECT_TRUE(BurnedDiscs().empty());
    ExpectNoMarkers();
    DeleteFileW(Snapshot().c_str());
}

// The run removes the image parts it wrote and nothing else: a folder of
// that name it did not make keeps its other files.
TEST_F(DiscSetFailures, PartsFolderKeepsWhatTheRunDidNotWrite)
{
    ASSERT_TRUE(PlanTestFiles::MakeFolder(kSplitFolder));
    const std::wstring notes = std::wstring(kSplitFolder) + L"\\notes.txt";
    ASSERT_TRUE(TestFiles::WriteBytes(notes, "mine\r\n"));
    ASSERT_TRUE(TestFiles::WriteBytes(Snapshot(), "<?xml version=\"1.0\"?><Root>"));
    QueueBlankDiscs(1);
    std::string out;
    EXPECT_EQ(1u, RunDriver(L"--keep-unusable-snapshot", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("split: 100%")) << out;
    EXPECT_EQ("mine\r\n", TestFiles::ReadBytes(notes));
    EXPECT_FALSE(TestFiles::Exists(std::wstring(kSplitFolder) + L"\\base.wim"));
    EXPECT_FALSE(TestFiles::Exists(std::wstring(kSplitFolder) + L"\\base95.wim"));
    EXPECT_TRUE(TestFiles::Exists(L"D:\\preload\\base.wim"));
    DeleteFileW(Snapshot().c_str());
    TestFiles::DeleteTree(kSplitFolder);
}

// Nothing was burned: no snapshot either, the next run starts afresh.
TEST_F(DiscSetFailures, FailureOnTheFirstDiscLeavesNoSnapshot)
{
    QueueBlankDiscs(3);
    std::string out;
    EXPECT_EQ(1u, RunDriver(L"--fault 1:fail-at:30", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("state 6 disc 1")) << out;
    EXPECT_TRUE(BurnedDiscs().empty());
    EXPECT_FALSE(TestFiles::Exists(Snapshot()));
    ExpectNoMarkers();
}

TEST_F(DiscSetFailures, DriveUnpluggedDuringDiscTwo)
{
    QueueBlankDiscs(3);
    std::string out;
    EXPECT_EQ(1u, RunDriver(L"--fault 2:unplug-at:40", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("state 6 disc 2")) << out;
    EXPECT_NE(std::string::npos, out.find("result: failed")) << out;
    std::vector<SimDisc> discs = BurnedDiscs();
    ASSERT_EQ(1u, discs.size()) << out;
    EXPECT_EQ(L"Recovery13", discs[0].label);
    ExpectNoMarkers();
    // The next run may go on with disc 2.
    EXPECT_NE(std::string::npos, TestFiles::ReadBytes(Snapshot()).find("<ResumeSetNo>2</ResumeSetNo>"));
    EXPECT_FALSE(TestFiles::Exists(kSplitFolder));
}

} // namespace
