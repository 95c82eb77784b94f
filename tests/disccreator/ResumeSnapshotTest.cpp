// Resume snapshot: a saved plan loads back whole; damaged or stale files
// are no usable snapshot; loading never adds to sets already held.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DiscMedia.h"
#include "FileEntry.h"
#include "PlanTestFiles.h"
#include "ResumeSnapshot.h"
#include "Splitter.h"
#include "TestFiles.h"

using Plan = std::vector<std::vector<std::wstring>>;

namespace {

const wchar_t kFolder[] = L"O:\\prog";
const wchar_t kFile[] = L"O:\\prog\\ResumeSnapshot.xml";

void AddEntry(Splitter& splitter, int iSet, const wchar_t* pwszFrom, BOOL bFolder, UINT uLevel)
{
    FileEntry* pEntry = new FileEntry(pwszFrom, L"disc\\x", L".ext", uLevel, TRUE, bFolder, TRUE, TRUE, 300, TRUE, 0);
    ASSERT_EQ(S_OK, splitter.AddEntryToSet(iSet, pEntry));
}

// A three-set plan rebuilt the way a resumed run holds it.
void ThreeSets(Splitter& splitter)
{
    AddEntry(splitter, 1, L"D:\\bootmgr", FALSE, 0);
    AddEntry(splitter, 1, L"C:\\preload\\base.wim", FALSE, 1);
    AddEntry(splitter, 2, L"C:\\preload\\base2.wim", FALSE, 1);
    AddEntry(splitter, 3, L"D:\\zq\\Apps\\AppA", TRUE, 4294967295u);
    splitter.SetTotalOnAllSets();
}

std::string Snapshot(const char* total, const char* resume, const std::string& sets)
{
    return std::string("<?xml version='1.0'?>\r\n<Root><DiscType>DVD+R DL</DiscType><TotalSetNo>") + total
           + "</TotalSetNo><ResumeSetNo>" + resume + "</ResumeSetNo>" + sets + "</Root>\r\n";
}

const std::string kItem = "<Item From=\"D:\\a\" To=\"a\" MustProcess=\"true\" Folder=\"false\" PriorityLevel=\"1\"/>";
const std::string kTwoSets = "<Set1>" + kItem + "</Set1><Set2>" + kItem + "</Set2>";

class ResumeSnapshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestFiles::ClearDrive(L'O');
        ASSERT_TRUE(PlanTestFiles::MakeFolder(kFolder));
    }
};

} // namespace

TEST_F(ResumeSnapshotTest, SavedPlanLoadsBackWhole)
{
    ResumeSnapshot snapshot(kFolder);
    Splitter saved;
    ThreeSets(saved);
    ASSERT_EQ(S_OK, snapshot.Save(&saved, 2, DTM_DVDPR_DL));
    EXPECT_TRUE(snapshot.Exists());
    EXPECT_FALSE(TestFiles::Exists(std::wstring(kFile) + L".tmp"));

    Splitter loaded;
    ASSERT_EQ(S_OK, snapshot.Load(&loaded));
    EXPECT_EQ(DTM_DVDPR_DL, snapshot.GetDiscType());
    EXPECT_EQ(3, snapshot.GetTotalSetNo());
    EXPECT_EQ(2, snapshot.GetResumeSetNo());
    EXPECT_EQ(PlanTestFiles::Plan(saved), PlanTestFiles::Plan(loaded));
    ISet* pSet = nullptr;
    ASSERT_EQ(S_OK, loaded.GetSet(3, &pSet));
    EXPECT_EQ(3, pSet->GetTotal());
    pSet->Reset();
    IEntry* pEntry = pSet->Next();
    ASSERT_NE(nullptr, pEntry);
    EXPECT_TRUE(pEntry->IsFolder());
    EXPECT_TRUE(pEntry->IsMustProcess());
    EXPECT_EQ(4294967295u, pEntry->GetPriorityLevel());
    // Not kept by the file.
    EXPECT_FALSE(pEntry->IsOneLevel());
    EXPECT_FALSE(pEntry->GetAtomic());
    EXPECT_EQ(264u, pEntry->GetId());
    EXPECT_EQ(S_FALSE, snapshot.Delete());
    EXPECT_FALSE(snapshot.Exists());
    EXPECT_EQ(S_FALSE, snapshot.Delete());
}

TEST_F(ResumeSnapshotTest, LoadingReplacesTheSetsItFinds)
{
    ResumeSnapshot snapshot(kFolder);
    Splitter splitter;
    ThreeSets(splitter);
    ASSERT_EQ(S_OK, snapshot.Save(&splitter, 2, DTM_DVDMR));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, snapshot.Load(&splitter));
        ISet* pSet = nullptr;
        ASSERT_EQ(S_OK, splitter.GetSet(1, &pSet));
        EXPECT_EQ(2u, pSet->GetCount()) << "load " << i;
        EXPECT_EQ(3, splitter.GetSetCount());
    }
}

TEST_F(ResumeSnapshotTest, DamagedOrStaleFilesAreNoUsableSnapshot)
{
    struct Case {
        const char* name;
        std::string text;
    } const kCases[] = {
        {"cut short", Snapshot("2", "2", kTwoSets).substr(0, 90)},
        {"no Root", "<?xml version='1.0'?>\r\n<Other/>\r\n"},
        {"Set2 missing", Snapshot("2", "2", "<Set1>" + kItem + "</Set1>")},
        {"ResumeSetNo 0", Snapshot("2", "0", kTwoSets)},
        {"ResumeSetNo 1: nothing was burned", Snapshot("2", "1", kTwoSets)},
        {"ResumeSetNo past the last set", Snapshot("2", "3", kTwoSets)},
        {"TotalSetNo 0", Snapshot("0", "2", "")},
        {"TotalSetNo beyond any disc count", Snapshot("101", "2", kTwoSets)},
        {"numbers not numbers", Snapshot("two", "2x", kTwoSets)},
        {"path longer than 259 characters",
         Snapshot("2", "2", "<Set1><Item From=\"D:\\" + std::string(300, 'p') + "\"/></Set1><Set2/>")},
    };
    for (const Case& c : kCases) {
        ASSERT_TRUE(PlanTestFiles::WriteText(kFile, c.text));
        ResumeSnapshot snapshot(kFolder);
        Splitter splitter;
        ThreeSets(splitter);
        EXPECT_TRUE(FAILED(snapshot.Load(&splitter))) << c.name;
        EXPECT_EQ(0, splitter.GetSetCount()) << c.name;
        EXPECT_EQ(1, snapshot.GetResumeSetNo()) << c.name;
    }
}

TEST_F(ResumeSnapshotTest, MediaNames)
{
    struct Case {
        const char* name;
        int type;
    } const kCases[] = {{"dvd+r dl", DTM_DVDPR_DL}, {"DVD-RW", DTM_DVDMRW}, {"Blu-ray", DTM_DVDMR}};
    for (const Case& c : kCases) {
        std::string sets = "<Set1/><Set2/>";
        std::string text = Snapshot("2", "2", sets);
        text.replace(text.find("DVD+R DL"), 8, c.name);
        ASSERT_TRUE(PlanTestFiles::WriteText(kFile, text));
        ResumeSnapshot snapshot(kFolder);
        Splitter splitter;
        EXPECT_EQ(S_OK, snapshot.Load(&splitter)) << c.name;
        EXPECT_EQ(c.type, snapshot.GetDiscType()) << c.name;
        EXPECT_EQ(2, splitter.GetSetCount()) << c.name; // empty sets keep their numbers
    }
}

TEST_F(ResumeSnapshotTest, FailedSaveLeavesTheEarlierFileWhole)
{
    ResumeSnapshot snapshot(kFolder);
    Splitter splitter;
    ThreeSets(splitter);
    ASSERT_EQ(S_OK, snapshot.Save(&splitter, 2, DTM_DVDMR));
    std::string before = TestFiles::ReadBytes(kFile);
    // The temporary file cannot be written: a folder holds its name.
    ASSERT_TRUE(PlanTestFiles::MakeFolder(std::wstring(kFile) + L".tmp"));
    EXPECT_TRUE(FAILED(snapshot.Save(&splitter, 3, DTM_DVDMR)));
    EXPECT_EQ(before, TestFiles::ReadBytes(kFile));
    Splitter loaded;
    ASSERT_EQ(S_OK, snapshot.Load(&loaded));
    EXPECT_EQ(2, snapshot.GetResumeSetNo());
}
