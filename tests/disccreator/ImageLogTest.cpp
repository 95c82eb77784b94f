// Image logs of a small three-set plan read from a rule file, compared byte
// for byte with golden files; logs for one disc; a second split.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "FileCollectors.h"
#include "LogCollector.h"
#include "PlanTestFiles.h"
#include "RuleCollector.h"
#include "SetInfoLog.h"
#include "Splitter.h"
#include "TestFiles.h"
#include "Walker.h"
#include "XmlReader.h"

using Plan = std::vector<std::vector<std::wstring>>;

namespace {

const ULONGLONG kCapacity = 100;

const char kRuleFile[] = R"(<?xml version="1.0"?>
<root>
  <SupportRW>false</SupportRW>
  <SplitSize>100</SplitSize>
  <FileSet>
    <Boot From="O:\bootmgr" To="bootmgr" MustProcess="true" PriorityLevel="0"/>
    <Part From="O:\up\preload\base.wim" To="preload\base.wim" MustProcess="true"/>
    <Part From="O:\up\preload\base2.wim" To="preload\base2.wim" MustProcess="true"/>
    <Part From="O:\up\preload\base3.wim" To="preload\base3.wim" MustProcess="true"/>
    <Apps From="O:\zq\Apps" To="zq\Apps" Folder="true" PriorityLevel="2"/>
    <Drivers From="O:\zq\Drv" To="zq\Drv" Folder="true" PriorityLevel="2"/>
  </FileSet>
  <Log>
    <Split Type="SPLIT" LogFile="SPLIT.LOG" ApplyFolder="\preload\" To="preload\SPLIT.LOG"/>
    <Size Type="PRELOADSIZE" LogFile="PreloadSize.log" ApplyFolder="\preload\" To="PreloadSize.log"/>
    <Apps Type="APPLIST" LogFile="AppList.log" ApplyFolder="\zq\Apps\" To="AppList.log"/>
    <Info Type="SetInfo" LogFile="SETINFO.LOG" To="SETINFO.LOG"/>
    <Dump Type="SetDump" LogFile="SetDump.log" To="SetDump.log" ToDisc="#2"/>
    <Made Type="ZQCD" LogFile="ZQCD.flag" To="ZQCD.flag" ToDisc="1"/>
  </Log>
  <Rule/>
</root>
)";

std::string Golden(const wchar_t* pwszName)
{
    return TestFiles::ReadBytes(std::wstring(GOLDEN_DIR) + L"\\" + pwszName);
}

// The set identity is new for every split: checked for its form, then masked.
std::string MaskSetId(const std::string& text, std::string* pId)
{
    std::smatch m;
    std::regex id("SetID=(\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\})\r\n");
    if (!std::regex_search(text, m, id))
        return text;
    *pId = m[1];
    return m.prefix().str() + "SetID={GUID}\r\n" + m.suffix().str();
}

class ImageLogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override
    {
        TestFiles::ClearDrive(L'O');
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\bootmgr", 10));
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\up\\preload\\base.wim", 80));
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\up\\preload\\base2.wim", 80));
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\up\\preload\\base3.wim", 30));
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\zq\\Apps\\AppA\\setup.exe", 5));
        ASSERT_TRUE(PlanTestFiles::MakeFile(L"O:\\zq\\Drv\\DrvB\\drv.inf", 5));
        ASSERT_TRUE(PlanTestFiles::MakeFolder(L"O:\\logs"));
        ASSERT_TRUE(PlanTestFiles::WriteText(L"O:\\FileSet.xml", kRuleFile));
        XmlReader reader;
        reader.SetLogFolder(L"O:\\logs");
        ASSERT_EQ(S_OK, reader.Init());
        ASSERT_EQ(S_OK, reader.SetSource(L"O:\\FileSet.xml"));
        ASSERT_EQ(S_OK, reader.Parse(&m_rules, &m_logs, &m_ruleCollector));
        m_splitter.SetCollectors(&m_walked);
        m_splitter.SetRuleAndLogCollectors(&m_ruleCollector, &m_logs);
    }
    HRESULT Split()
    {
        Walker walker;
        walker.SetCollectors(&m_rules);
        HRESULT hr = walker.Walk(&m_walked);
        return FAILED(hr) ? hr : m_splitter.Split(kCapacity);
    }

    FileCollectors m_rules;
    FileCollectors m_walked;
    RuleCollector m_ruleCollector{TRUE};
    LogCollector m_logs{TRUE};
    Splitter m_splitter;
};

} // namespace

TEST_F(ImageLogTest, ThreeSetPlanMatchesTheGoldenFiles)
{
    ASSERT_EQ(S_OK, Split());
    for (const wchar_t* pwszName : {L"SPLIT.LOG", L"PreloadSize.log", L"AppList.log", L"SetDump.log"})
        EXPECT_EQ(Golden(pwszName), TestFiles::ReadBytes(std::wstring(L"O:\\logs\\") + pwszName)) << pwszName;
    std::string id;
    EXPECT_EQ(Golden(L"SETINFO.LOG"), MaskSetId(TestFiles::ReadBytes(L"O:\\logs\\SETINFO.LOG"), &id));
    EXPECT_TRUE(TestFiles::Exists(L"O:\\logs\\ZQCD.flag"));
    EXPECT_EQ("", TestFiles::ReadBytes(L"O:\\logs\\ZQCD.flag"));
    const Plan kPlan = {
        {L"bootmgr", L"base.wim", L"SPLIT.LOG", L"PreloadSize.log", L"AppList.log", L"SETINFO.LOG", L"ZQCD.flag"},
        {L"base2.wim", L"SPLIT.LOG", L"PreloadSize.log", L"AppList.log", L"SETINFO.LOG", L"SetDump.log"},
        {L"base3.wim", L"AppA", L"setup.exe", L"DrvB", L"drv.inf", L"SPLIT.LOG", L"PreloadSize.log", L"AppList.log",
         L"SETINFO.LOG"},
    };
    EXPECT_EQ(kPlan, PlanTestFiles::Plan(m_splitter));
}

TEST_F(ImageLogTest, SecondSplitWritesOnlyItsOwnContent)
{
    ASSERT_EQ(S_OK, Split());
    std::string first, second;
    MaskSetId(TestFiles::ReadBytes(L"O:\\logs\\SETINFO.LOG"), &first);
    ASSERT_EQ(S_OK, Split());
    EXPECT_EQ(Golden(L"SPLIT.LOG"), TestFiles::ReadBytes(L"O:\\logs\\SPLIT.LOG"));
    EXPECT_EQ(Golden(L"PreloadSize.log"), TestFiles::ReadBytes(L"O:\\logs\\PreloadSize.log"));
    EXPECT_EQ(Golden(L"AppList.log"), TestFiles::ReadBytes(L"O:\\logs\\AppList.log"));
    // The log files' entries keep the sizes measured by the first split, so
    // only the layout is compared here.
    std::string info = MaskSetId(TestFiles::ReadBytes(L"O:\\logs\\SETINFO.LOG"), &second);
    EXPECT_EQ(0u, info.find("[SetInfo]\r\nSetID={GUID}\r\nSetCounts=3\r\nSetSize1="));
    EXPECT_EQ(std::string::npos, info.find("[SetInfo]", 1));
    EXPECT_EQ(std::string::npos, info.find("SetSize4"));
    EXPECT_NE(first, second);
    EXPECT_EQ(3, m_splitter.GetSetCount());
}

TEST_F(ImageLogTest, EstimateWritesNoLog)
{
    Walker walker;
    walker.SetCollectors(&m_rules);
    ASSERT_EQ(S_OK, walker.Walk(&m_walked));
    ASSERT_EQ(S_OK, m_splitter.Estimate(kCapacity));
    EXPECT_EQ(3, m_splitter.GetSetCount());
    EXPECT_FALSE(TestFiles::Exists(L"O:\\logs\\SPLIT.LOG"));
}

TEST(ImageLogWrite, CharactersBeyondOneByteFailTheWrite)
{
    TestFiles::ClearDrive(L'O');
    SetInfoLog log(L"w.log", L"", L"w.log", 9999);
    log.SetFolder(L"O:");
    ASSERT_EQ(S_OK, log.OpenLog());
    EXPECT_EQ(S_OK, log.WriteLog(L"plain \xE9\n"));
    EXPECT_TRUE(FAILED(log.WriteLog(L"\x65E5\n")));
    log.CloseLog();
    EXPECT_EQ(0u, TestFiles::ReadBytes(L"O:\\w.log").find("plain \xE9\r\n"));
}
