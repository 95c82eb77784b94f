// Walk and packing: tables of sizes and capacities, levels, folders, the
// counting estimate against the real split, and repeated runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DiscErrorCode.h"
#include "FileCollectors.h"
#include "FileEntry.h"
#include "LogCollector.h"
#include "NvErrorCode.h"
#include "PlanTestFiles.h"
#include "RuleCollector.h"
#include "SplitRule.h"
#include "Splitter.h"
#include "TestFiles.h"
#include "Walker.h"

using Plan = std::vector<std::vector<std::wstring>>;

namespace {

struct File {
    const wchar_t* name;
    ULONGLONG size;
    UINT level;
    BOOL must;
};

class SplitterTest : public ::testing::Test {
protected:
    void SetUp() override { TestFiles::ClearDrive(L'O'); }

    void AddFile(const File& f)
    {
        std::wstring path = std::wstring(L"O:\\src\\") + f.name;
        ASSERT_TRUE(PlanTestFiles::MakeFile(path, f.size));
        m_rules.Add(new FileEntry(path.c_str(), f.name, L"", f.level, f.must, FALSE, FALSE, FALSE, 0, FALSE, 0));
    }
    void AddFolder(const wchar_t* pwszFrom, BOOL bMust, BOOL bOneLevel, const wchar_t* pwszExtension = L"")
    {
        m_rules.Add(new FileEntry(pwszFrom, L"disc", pwszExtension, 1, bMust, TRUE, bOneLevel, FALSE, 0, FALSE, 0));
    }
    HRESULT Run(ULONGLONG ullCapacity, BOOL bEstimate = FALSE)
    {
        Walker walker;
        walker.SetCollectors(&m_rules);
        HRESULT hr = walker.Walk(&m_walked);
        if (FAILED(hr))
            return hr;
        m_splitter.SetCollectors(&m_walked);
        m_splitter.SetRuleAndLogCollectors(&m_ruleCollector, &m_logs);
        return bEstimate ? m_splitter.Estimate(ullCapacity) : m_splitter.Split(ullCapacity);
    }

    FileCollectors m_rules;
    FileCollectors m_walked;
    RuleCollector m_ruleCollector{TRUE};
    LogCollector m_logs{TRUE};
    Splitter m_splitter;
};

} // namespace

TEST_F(SplitterTest, PackingTable)
{
    struct Case {
        const char* name;
        std::vector<File> files;
        HRESULT hr;
        Plan plan;
    } const kCases[] = {
        {"60 60 30", {{L"a", 60, 1, 0}, {L"b", 60, 1, 0}, {L"c", 30, 1, 0}}, S_OK, {{L"a"}, {L"b", L"c"}}},
        {"a set left behind is not filled up", {{L"a", 60, 1, 0}, {L"b", 50, 1, 0}, {L"c", 40, 1, 0}}, S_OK,
         {{L"a"}, {L"b", L"c"}}},
        {"exactly fills the rest", {{L"a", 60, 1, 0}, {L"b", 40, 1, 0}}, S_OK, {{L"a", L"b"}}},
        // Larger than a disc without MustProcess: left out, not planned to fail.
        {"too big, not required", {{L"big", 150, 1, 0}, {L"c", 30, 1, 0}}, S_OK, {{L"c"}}},
        {"too big, required", {{L"big", 150, 1, 1}, {L"c", 30, 1, 0}}, RD_E_FILE_TOO_BIG, {}},
        {"nothing", {}, S_OK, {{}}},
        {"level 1 before level 2", {{L"two", 10, 2, 0}, {L"one", 10, 1, 0}, {L"zero", 95, 0, 0}}, S_OK,
         {{L"zero"}, {L"one", L"two"}}},
    };
    for (const Case& c : kCases) {
        SetUp();
        m_rules.Clear();
        for (const File& f : c.files)
            AddFile(f);
        EXPECT_EQ(c.hr, Run(100)) << c.name;
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(c.plan, PlanTestFiles::Plan(m_splitter)) << c.name;
            int iSets = m_splitter.GetSetCount();
            EXPECT_EQ(S_OK, Run(100, TRUE)) << c.name;
            EXPECT_EQ(iSets, m_splitter.GetSetCount()) << c.name << ": estimate differs from split";
        }
    }
}

TEST_F(SplitterTest, SplittingAgainReplacesTheSets)
{
    AddFile({L"a", 60, 1, 0});
    AddFile({L"b", 60, 1, 0});
    ASSERT_EQ(S_OK, Run(100));
    ASSERT_EQ(S_OK, Run(100));
    EXPECT_EQ((Plan{{L"a"}, {L"b"}}), PlanTestFiles::Plan(m_splitter));
    ISet* pSet = nullptr;
    ASSERT_EQ(S_OK, m_splitter.GetSet(2, &pSet));
    EXPECT_EQ(2, pSet->GetTotal());
    EXPECT_TRUE(pSet->IsLast());
    EXPECT_EQ(NV_E_NOT_FOUND, m_splitter.GetSet(3, &pSet));
}

TEST_F(SplitterTest, FolderWalk)
{
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\apps\\top.exe", 5));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\apps\\top.txt", 5));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\apps\\sub\\deep.exe", 5));
    struct Case {
        const char* name;
        BOOL oneLevel;
        const wchar_t* extension;
        std::vector<std::wstring> names;
    } const kCases[] = {
        {"one level", TRUE, L"", {L"top.exe", L"top.txt"}},
        {"every level, filtered", FALSE, L".exe", {L"deep.exe", L"sub", L"top.exe"}},
    };
    for (const Case& c : kCases) {
        m_rules.Clear();
        AddFolder(L"O:\\apps\\", FALSE, c.oneLevel, c.extension);
        ASSERT_EQ(S_OK, Run(1000)) << c.name;
        Plan plan = PlanTestFiles::Plan(m_splitter);
        ASSERT_EQ(1u, plan.size()) << c.name;
        std::vector<std::wstring> names = plan[0];
        std::sort(names.begin(), names.end()); // the listing order is the host's
        EXPECT_EQ(c.names, names) << c.name;
    }
}

TEST_F(SplitterTest, MissingRequiredContentFailsTheWalk)
{
    struct Case {
        const char* name;
        bool folder;
        BOOL must;
        HRESULT hr;
    } const kCases[] = {
        {"missing folder, not required", true, FALSE, S_OK},
        {"missing folder, required", true, TRUE, NV_E_NOT_FOUND},
        {"missing file, not required", false, FALSE, S_OK},
        {"missing file, required", false, TRUE, NV_E_NOT_FOUND},
    };
    for (const Case& c : kCases) {
        m_rules.Clear();
        if (c.folder)
            AddFolder(L"O:\\nowhere\\", c.must, FALSE);
        else
            m_rules.Add(new FileEntry(L"O:\\nowhere.bin", L"n", L"", 1, c.must, FALSE, FALSE, FALSE, 0, FALSE, 0));
        EXPECT_EQ(c.hr, Run(100)) << c.name;
    }
}

TEST_F(SplitterTest, ResumeSetsAreMadeOnDemand)
{
    FileEntry* pEntry = new FileEntry(L"O:\\x", L"x", L"", 1, FALSE, FALSE, FALSE, FALSE, 0, FALSE, 0);
    EXPECT_EQ(S_OK, m_splitter.AddEntryToSet(3, pEntry));
    EXPECT_EQ(1, m_splitter.GetSetCount());
    ISet* pSet = nullptr;
    EXPECT_EQ(NV_E_NOT_FOUND, m_splitter.GetSet(1, &pSet));
    ASSERT_EQ(S_OK, m_splitter.GetSet(3, &pSet));
    EXPECT_EQ(8441036800ull, pSet->GetCapacity());
    EXPECT_EQ(S_OK, m_splitter.RecordBurnedSet(3));
    EXPECT_EQ(S_FALSE, m_splitter.RecordBurnedSet(3));
}

// A companion group too big for a disc stops the packing when any of its
// entries is required, not only when the folder entry that found it is.
TEST_F(SplitterTest, OversizeGroupWithARequiredEntry)
{
    m_ruleCollector.Add(new SplitRule(1, L"\\src\\", L"\\groups\\"));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\src\\apps\\Office\\setup.bin", 100));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\src\\more\\Office.cab", 60));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\src\\groups\\Office.grp", 1));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\src\\other.bin", 10));
    for (BOOL bRequired : {FALSE, TRUE}) {
        m_rules.Clear();
        AddFolder(L"O:\\src\\apps\\", FALSE, FALSE);
        m_rules.Add(new FileEntry(L"O:\\src\\more\\Office.cab", L"x", L"", 1, bRequired, FALSE, FALSE, FALSE, 0, FALSE, 0));
        m_rules.Add(new FileEntry(L"O:\\src\\groups\\Office.grp", L"x", L"", 1, FALSE, FALSE, FALSE, FALSE, 0, FALSE, 0));
        m_rules.Add(new FileEntry(L"O:\\src\\other.bin", L"x", L"", 1, FALSE, FALSE, FALSE, FALSE, 0, FALSE, 0));
        if (bRequired) {
            EXPECT_EQ(RD_E_GROUP_TOO_BIG, Run(100));
        } else {
            ASSERT_EQ(S_OK, Run(100));
            EXPECT_EQ((Plan{{L"other.bin"}}), PlanTestFiles::Plan(m_splitter)); // the group reaches no disc
        }
    }
}
