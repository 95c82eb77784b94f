// A disc-set run stopped after its first disc and started again goes on
// with the second disc of the same set.
#include "DiscSetDriverFixture.h"

#include "TestFiles.h"

namespace {

class DiscSetResume : public DiscSetDriverFixture {};

TEST_F(DiscSetResume, SecondRunContinuesWithDiscTwo)
{
    // The end of a run ejects the blank disc the tray had just taken in.
    QueueBlankDiscs(4);
    std::string out;
    ASSERT_EQ(2u, RunDriver(L"--stop-after 1", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("stop: after disc 1")) << out;
    std::vector<SimDisc> discs = BurnedDiscs();
    ASSERT_EQ(1u, discs.size()) << out;
    EXPECT_EQ(L"Recovery13", discs[0].label);
    std::string setId = IniValue(TestFiles::ReadBytes(DiscFolder(discs[0]) + L"\\SETINFO.LOG"), "SetID");
    EXPECT_NE(std::string::npos, TestFiles::ReadBytes(Snapshot()).find("<ResumeSetNo>2</ResumeSetNo>"));
    EXPECT_FALSE(TestFiles::Exists(kWindowsMarker));
    EXPECT_FALSE(TestFiles::Exists(kRecoveryMarker));
    EXPECT_FALSE(TestFiles::Exists(kSplitFolder)) << "the stopped run left its image parts";

    ASSERT_EQ(0u, RunDriver(L"", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("resume: 3 discs, next disc 2")) << out;
    EXPECT_EQ(std::string::npos, out.find("disc 1 ")) << "disc 1 burned again:\n" << out;
    discs = BurnedDiscs();
    ASSERT_EQ(3u, discs.size()) << out;
    const wchar_t* const kLabels[] = {L"Recovery13", L"Recovery23", L"Recovery33"};
    for (size_t i = 0; i < discs.size(); ++i) {
        EXPECT_EQ(kLabels[i], discs[i].label);
        EXPECT_EQ(setId, IniValue(TestFiles::ReadBytes(DiscFolder(discs[i]) + L"\\SETINFO.LOG"), "SetID")) << i;
    }
    EXPECT_TRUE(TestFiles::Exists(kWindowsMarker));
    EXPECT_TRUE(TestFiles::Exists(kRecoveryMarker));
    EXPECT_FALSE(TestFiles::Exists(Snapshot()));
    EXPECT_FALSE(TestFiles::Exists(kSplitFolder));
}

} // namespace
