// Rule file reader over small FileSet.xml variants.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DiscErrorCode.h"
#include "FileCollectors.h"
#include "IEntry.h"
#include "ILog.h"
#include "LogCollector.h"
#include "NvErrorCode.h"
#include "PlanTestFiles.h"
#include "RuleCollector.h"
#include "TestFiles.h"
#include "XmlReader.h"

namespace {

const wchar_t kFile[] = L"O:\\FileSet.xml";

struct Parsed {
    HRESULT hr = E_UNEXPECTED;
    std::vector<std::wstring> entries; // "level:id:from:flags" in level order
    std::vector<std::wstring> logs;    // "type:toDisc"
    int rules = 0;
    int supportRW = -1;
    int splitSize = -1;
};

std::wstring Describe(IEntry& e)
{
    wchar_t wszFrom[MAX_PATH] = {};
    e.GetFrom(wszFrom, MAX_PATH);
    return std::to_wstring(e.GetPriorityLevel()) + L":" + std::to_wstring(e.GetId()) + L":" + wszFrom + L":"
           + (e.IsMustProcess() ? L"M" : L"") + (e.IsFolder() ? L"F" : L"") + (e.IsOneLevel() ? L"O" : L"")
           + (e.GetAtomic() ? L"A" : L"");
}

Parsed Parse(const std::string& xml)
{
    Parsed p;
    TestFiles::ClearDrive(L'O');
    PlanTestFiles::WriteText(kFile, xml);
    FileCollectors files;
    LogCollector logs(TRUE);
    RuleCollector rules(TRUE);
    XmlReader reader;
    reader.SetLogFolder(L"O:\\");
    if (reader.Init() != S_OK || reader.SetSource(kFile) != S_OK)
        return p;
    p.hr = reader.Parse(&files, &logs, &rules);
    reader.GetSupportRW(&p.supportRW);
    p.splitSize = reader.GetSplitSize();
    files.Reset();
    ICollector* pLevel = nullptr;
    while (files.Next(&pLevel) == S_OK) {
        IEntry* pEntry = nullptr;
        for (pLevel->Reset(); pLevel->Next(&pEntry, FALSE) == S_OK;)
            p.entries.push_back(Describe(*pEntry));
    }
    logs.Reset();
    for (ILog* pLog = logs.Next(); pLog; pLog = logs.Next())
        p.logs.push_back(std::to_wstring(pLog->GetType()) + L":" + std::to_wstring(pLog->GetToDisc()));
    rules.Reset();
    for (IRule* pRule = rules.Next(); pRule; pRule = rules.Next()) {
        int type = 0;
        pRule->GetType(&type);
        p.rules += type == 1;
    }
    return p;
}

std::string Doc(const std::string& body)
{
    return "<?xml version=\"1.0\"?>\r\n<root>" + body + "</root>\r\n";
}

} // namespace

class XmlReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    static void TearDownTestSuite() { CoUninitialize(); }
};

TEST_F(XmlReaderTest, ResultsAndCollectedObjects)
{
    const std::string kLogEl = "<Log><a Type=\"split\" LogFile=\"SPLIT.LOG\" ApplyFolder=\"preload\" To=\"preload\\SPLIT.LOG\" "
                               "ToDisc=\"#2\"/><b Type=\"SPLITX\"/><c Type=\"SetInfo\" LogFile=\"SETINFO.LOG\"/></Log>";
    struct Case {
        const char* name;
        std::string xml;
        HRESULT hr;
        std::vector<std::wstring> entries;
        std::vector<std::wstring> logs;
        int rules;
    } const kCases[] = {
        {"no FileSet", Doc("<Log/>"), RD_E_MISSING, {}, {}, 0},
        {"not XML", "<root><FileSet>", RD_E_MISSING, {}, {}, 0},
        {"FileSet without children", Doc("<FileSet/><Log/><Rule/>"), S_OK, {}, {}, 0},
        {"Log without Rule", Doc("<FileSet/><Log/>"), S_FALSE, {}, {}, 0},
        {"Rule without Log", Doc("<FileSet/><Rule><r ApplyFolder=\"x\"/></Rule>"), S_FALSE, {}, {}, 0},
        {"logs by keyword, ToDisc", Doc("<FileSet/>" + kLogEl), S_FALSE, {}, {L"2:2", L"6:9999"}, 0},
        {"entries by level, ids by child",
         Doc("<FileSet><a From=\"D:\\x\" PriorityLevel=\"2\"/><!-- note --><c From=\"D:\\preload\\\" Folder=\"TRUE\" "
             "MustProcess=\"true\" OneLevel=\"true\" Atomic=\"true\" PriorityLevel=\"0\"/><d From=\"D:\\z\"/>"
             "<e From=\"D:\\neg\" PriorityLevel=\"-1\"/></FileSet><Log/><Rule><r Type=\"7\"/><s/></Rule>"),
         S_OK,
         {L"0:214:D:\\preload\\:MFOA", L"1:215:D:\\z:", L"2:212:D:\\x:", L"4294967295:216:D:\\neg:"},
         {},
         2},
        {"value longer than 259 characters",
         Doc("<FileSet><a From=\"D:\\" + std::string(300, 'p') + "\"/></FileSet><Log/>"), NV_E_BUFFER_TOO_SMALL, {}, {}, 0},
    };
    for (const Case& c : kCases) {
        Parsed p = Parse(c.xml);
        EXPECT_EQ(c.hr, p.hr) << c.name;
        EXPECT_EQ(c.entries, p.entries) << c.name;
        EXPECT_EQ(c.logs, p.logs) << c.name;
        EXPECT_EQ(c.rules, p.rules) << c.name;
    }
}

TEST_F(XmlReaderTest, Settings)
{
    struct Case {
        const char* body;
        int supportRW;
        int splitSize;
    } const kCases[] = {
        {"", 0, 100},
        {"<SupportRW>TRUE</SupportRW><SplitSize>250</SplitSize>", 1, 250},
        {"<SupportRW>yes</SupportRW><SplitSize> 42</SplitSize>", 0, 42},
        // Sizes that would make parts of no size, or of a negative one, keep the default.
        {"<SplitSize>abc</SplitSize>", 0, 100},
        {"<SplitSize>0</SplitSize>", 0, 100},
        {"<SplitSize>-5</SplitSize>", 0, 100},
        {"<SplitSize>99999999999</SplitSize>", 0, 100},
    };
    for (const Case& c : kCases) {
        Parsed p = Parse(Doc(std::string(c.body) + "<PriorityLevel>3</PriorityLevel><FileSet/><Log/><Rule/>"));
        EXPECT_EQ(S_OK, p.hr) << c.body;
        EXPECT_EQ(c.supportRW, p.supportRW) << c.body;
        EXPECT_EQ(c.splitSize, p.splitSize) << c.body;
    }
}

TEST_F(XmlReaderTest, SourceMustBeAnExistingFile)
{
    TestFiles::ClearDrive(L'O');
    PlanTestFiles::MakeFolder(L"O:\\folder");
    XmlReader reader;
    EXPECT_EQ(RD_E_NULL_ARG, reader.SetSource(nullptr));
    EXPECT_EQ(NV_E_FILE_NOT_EXIST, reader.SetSource(L"O:\\missing.xml"));
    EXPECT_EQ(NV_E_FILE_NOT_EXIST, reader.SetSource(L"O:\\folder"));
    EXPECT_EQ(NV_E_FILE_NOT_EXIST, reader.SetSource((L"O:\\" + std::wstring(300, L'x')).c_str()));
    FileCollectors files;
    LogCollector logs(TRUE);
    RuleCollector rules(TRUE);
    EXPECT_EQ(RD_E_MISSING, reader.Parse(&files, &logs, &rules)); // no Init
    ASSERT_EQ(S_OK, reader.Init());
    EXPECT_EQ(RD_E_NULL_ARG, reader.Parse(nullptr, &logs, &rules));
}
