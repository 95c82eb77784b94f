// Collectors by level, cursor and placed entries, drive letters, and the
// placement of companion groups by split rules.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ContainsNoCase.h"
#include "DiscErrorCode.h"
#include "FileCollector.h"
#include "FileCollectors.h"
#include "FileEntry.h"
#include "ISet.h"
#include "NvErrorCode.h"
#include "PlanTestFiles.h"
#include "SplitRule.h"
#include "TestFiles.h"

namespace {

FileEntry* NewEntry(const std::wstring& from, UINT uLevel = 1, BOOL bFolder = FALSE, BOOL bMust = FALSE)
{
    return new FileEntry(from.c_str(), L"x", L"", uLevel, bMust, bFolder, FALSE, FALSE, 0, FALSE, 0);
}

std::wstring From(IEntry* pEntry)
{
    wchar_t wszFrom[MAX_PATH] = {};
    pEntry->GetFrom(wszFrom, MAX_PATH);
    return wszFrom;
}

} // namespace

TEST(CollectorTest, LevelsInUnsignedOrder)
{
    FileCollectors levels;
    for (UINT uLevel : {4294967295u, 2u, 0u, 1u})
        ASSERT_EQ(S_OK, levels.Add(NewEntry(L"D:\\" + std::to_wstring(uLevel), uLevel)));
    std::vector<std::wstring> order;
    levels.Reset();
    ICollector* pLevel = nullptr;
    while (levels.Next(&pLevel) == S_OK) {
        IEntry* pEntry = nullptr;
        for (pLevel->Reset(); pLevel->Next(&pEntry, FALSE) == S_OK;)
            order.push_back(From(pEntry));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"D:\\0", L"D:\\1", L"D:\\2", L"D:\\4294967295"}), order);
    EXPECT_EQ(NV_E_NOT_FOUND, levels.Next(&pLevel));
    EXPECT_EQ(NV_E_NOT_FOUND, levels.Find(7, &pLevel));
}

TEST(CollectorTest, EachEntryOnceAndPlacedOnesSkipped)
{
    FileCollector list(TRUE);
    FileEntry* pA = NewEntry(L"D:\\a");
    FileEntry* pB = NewEntry(L"D:\\b");
    EXPECT_EQ(S_OK, list.Add(pA));
    EXPECT_EQ(S_FALSE, list.Add(pA));
    EXPECT_EQ(S_OK, list.Add(pB));
    EXPECT_EQ(2u, list.GetCount());
    FileCollectors levels;
    FileEntry* pC = NewEntry(L"D:\\c");
    EXPECT_EQ(S_OK, levels.Add(pC));
    EXPECT_EQ(S_OK, levels.Add(pC));
    pA->SetPlaced(1);
    pB->SetPlaced(1);
    list.Reset();
    IEntry* pOut = pA;
    EXPECT_EQ(S_FALSE, list.Next(&pOut, TRUE));
    EXPECT_EQ(nullptr, pOut);
    list.Reset();
    EXPECT_EQ(S_OK, list.Next(&pOut, FALSE));
    EXPECT_EQ(pA, pOut);
}

TEST(CollectorTest, DriveLettersAndPreloadRelocation)
{
    struct Case {
        wchar_t relocation;
        const wchar_t* preload; // letter the preload folder gets
    } const kCases[] = {{0, L"D:\\preload\\"}, {L'C', L"C:\\preload\\"}};
    for (const Case& c : kCases) {
        FileCollector list(TRUE);
        FileEntry* pPreload = NewEntry(L"x:\\preload\\", 1, TRUE);
        FileEntry* pUpper = NewEntry(L"x:\\PRELOAD\\", 1, TRUE);
        FileEntry* pOther = NewEntry(L"x:\\zq\\preloaded", 1, TRUE);
        list.Add(pPreload);
        list.Add(pUpper);
        list.Add(pOther);
        pPreload->SetPlaced(1); // placed or not, every entry gets its letter
        list.SetDriveLetters(L'D', c.relocation);
        EXPECT_EQ(c.preload, From(pPreload));
        EXPECT_EQ(std::wstring(1, c.relocation ? c.relocation : L'D') + L":\\PRELOAD\\", From(pUpper));
        EXPECT_EQ(L"D:\\zq\\preloaded", From(pOther));
    }
}

TEST(CollectorTest, ContainsNoCaseComparesWholeTexts)
{
    EXPECT_TRUE(ContainsNoCase(L"D:\\ZQ\\Apps\\x", L"\\zq\\apps"));
    EXPECT_TRUE(ContainsNoCase(L"anything", L""));
    EXPECT_FALSE(ContainsNoCase(L"D:\\zq", L"\\zq\\Apps"));
    std::wstring longPath = L"D:\\" + std::wstring(400, L'a') + L"\\tail";
    EXPECT_TRUE(ContainsNoCase(longPath.c_str(), L"\\TAIL"));
}

// Office\ and OfficeLang\ under zq\Apps form the group named by the
// companion file zq\Groups\Office.grp.
class SplitRuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestFiles::ClearDrive(L'O');
        PlanTestFiles::MakeFile(L"O:\\filler.bin", 0);
    }
    void Build(ULONGLONG ullSetup, ULONGLONG ullLang, BOOL bLangMust, bool bCompanionFolder)
    {
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\zq\\Apps\\Office\\setup.exe", ullSetup));
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\zq\\Apps\\OfficeLang\\lang.cab", ullLang));
        m_folder = NewEntry(L"O:\\zq\\Apps\\Office", 1, TRUE);
        m_level.Add(m_folder);
        m_group = {NewEntry(L"O:\\zq\\Apps\\Office\\setup.exe"), NewEntry(L"O:\\zq\\Apps\\OfficeLang", 1, TRUE),
                   NewEntry(L"O:\\zq\\Apps\\OfficeLang\\lang.cab", 1, FALSE, bLangMust)};
        for (FileEntry* pEntry : m_group)
            m_level.Add(pEntry);
        m_level.Add(NewEntry(L"O:\\zq\\Groups\\Office", 1, bCompanionFolder));
        m_level.Reset();
        IEntry* pFirst = nullptr;
        m_level.Next(&pFirst, TRUE); // the packing stands just after the folder entry
    }
    size_t PlacedCount()
    {
        size_t n = 0;
        for (FileEntry* pEntry : m_group)
            n += pEntry->IsPlaced() ? 1 : 0;
        return n;
    }
    FileCollector m_level{TRUE};
    FileEntry* m_folder = nullptr;
    std::vector<FileEntry*> m_group;
    SplitRule m_rule{1, L"\\zq\\Apps\\", L"\\zq\\Groups\\"};
};

TEST_F(SplitRuleTest, GroupPlacement)
{
    struct Case {
        const char* name;
        ULONGLONG capacity, used, setup, lang;
        BOOL langMust;
        bool companionFolder;
        HRESULT hr;
        size_t placed, inSet;
        BOOL droppedRequired;
    } const kCases[] = {
        {"fits the rest exactly", 100, 30, 40, 30, FALSE, false, S_OK, 3, 3, FALSE},
        {"does not fit the rest", 100, 50, 40, 30, FALSE, false, RD_E_GROUP_NO_ROOM, 0, 0, FALSE},
        {"larger than a disc", 100, 0, 100, 50, FALSE, false, RD_E_GROUP_TOO_BIG, 3, 0, FALSE},
        {"larger than a disc, required inside", 100, 0, 100, 50, TRUE, false, RD_E_GROUP_TOO_BIG, 3, 0, TRUE},
        {"companion is a folder", 100, 0, 40, 30, FALSE, true, S_OK, 0, 0, FALSE},
    };
    for (const Case& c : kCases) {
        SetUp();
        m_level.Clear();
        Build(c.setup, c.lang, c.langMust, c.companionFolder);
        m_rule.Reset();
        std::unique_ptr<ISet> set(CreateSet(1, c.capacity, FALSE, FALSE));
        PlanTestFiles::MakeFile(L"O:\\filler.bin", c.used);
        FileEntry filler(L"O:\\filler.bin", L"f", L"", 1, FALSE, FALSE, FALSE, FALSE, 0, FALSE, 0);
        if (c.used)
            set->Add(&filler);
        EXPECT_EQ(c.hr, m_rule.Apply(&m_level, m_folder, set.get())) << c.name;
        EXPECT_EQ(c.placed, PlacedCount()) << c.name;
        EXPECT_EQ(c.inSet + (c.used ? 1 : 0), set->GetCount()) << c.name;
        EXPECT_EQ(c.droppedRequired, m_rule.DroppedRequired()) << c.name;
        EXPECT_FALSE(m_folder->IsPlaced()) << c.name;
    }
}

TEST_F(SplitRuleTest, OutsideTheApplyFolderTheRuleDoesNotApply)
{
    Build(10, 10, FALSE, false);
    std::unique_ptr<ISet> set(CreateSet(1, 100, FALSE, FALSE));
    FileEntry* pElsewhere = NewEntry(L"O:\\zq\\Drv\\Office", 1, TRUE);
    m_level.Add(pElsewhere);
    EXPECT_EQ(S_FALSE, m_rule.Apply(&m_level, pElsewhere, set.get()));
    EXPECT_EQ(RD_E_NULL_ARG, m_rule.Apply(nullptr, pElsewhere, set.get()));
}

// An empty ApplyFolder takes every folder entry; a companion named with only
// an extension has an empty base name, found in every folder path, and
// then groups every entry of the apply list.
TEST(SplitRuleEdges, EmptyTextsMatchEverything)
{
    TestFiles::ClearDrive(L'O');
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\any\\a.bin", 10));
    ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\grp\\.ini", 1));
    FileCollector level(TRUE);
    FileEntry* pFolder = NewEntry(L"O:\\any", 1, TRUE);
    FileEntry* pFile = NewEntry(L"O:\\any\\a.bin");
    FileEntry* pCompanion = NewEntry(L"O:\\grp\\.ini");
    level.Add(pFolder);
    level.Add(pFile);
    level.Add(pCompanion);
    level.Reset();
    IEntry* pFirst = nullptr;
    level.Next(&pFirst, TRUE);
    SplitRule rule(1, L"", L"\\grp\\");
    std::unique_ptr<ISet> set(CreateSet(1, 100, FALSE, FALSE));
    EXPECT_EQ(S_OK, rule.Apply(&level, pFolder, set.get()));
    EXPECT_EQ(2u, set->GetCount()); // a.bin and the companion itself
    EXPECT_TRUE(pFile->IsPlaced());
    EXPECT_TRUE(pCompanion->IsPlaced());
}
