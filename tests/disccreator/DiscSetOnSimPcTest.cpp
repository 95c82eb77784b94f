// The disc-set plan on a simulated PC: the shipped FileSet.xml over the
// recovery partition and its factory image (95 sparse parts) gives three
// DVD-R sets; a real image split onto the Windows drive gives back its files.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DiscErrorCode.h"
#include "DiscMedia.h"
#include "IEntry.h"
#include "FileCollectors.h"
#include "LogCollector.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "PlanTestFiles.h"
#include "RuleCollector.h"
#include "SplitTestKit.h"
#include "Splitter.h"
#include "TestFiles.h"
#include "Walker.h"
#include "XmlReader.h"
#include "wimgapi.h"

namespace {

const ULONGLONG kMiB = 1024 * 1024;
const int kImageParts = 95;
const wchar_t kLogs[] = L"C:\\discset-logs";

ULONGLONG TopLevelBytes(const std::wstring& folder)
{
    ULONGLONG total = 0;
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    return total;
}

// "name=index" tokens of SPLIT.LOG.
std::map<std::string, int> SplitLog(const std::string& text)
{
    std::map<std::string, int> parts;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        size_t eq = token.find('=');
        if (eq != std::string::npos)
            parts[token.substr(0, eq)] = std::stoi(token.substr(eq + 1));
    }
    return parts;
}

// Where each profile keeps the image parts (its RPDATA partition).
struct Profile {
    const char* name;
    wchar_t preload;
};
const Profile kProfiles[] = {{"desktop-w7-discset", L'D'}, {"notebook-w7-discset", L'G'}};

class DiscSetOnSimPc : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override
    {
        char szProfile[64] = {};
        GetEnvironmentVariableA("SUITE_SIMPC", szProfile, sizeof szProfile);
        for (const Profile& p : kProfiles) {
            if (std::string(szProfile) == p.name)
                m_rpdata = p.preload;
        }
        ASSERT_NE(0, m_rpdata) << "no expectations for profile " << szProfile;
    }
    std::wstring OnRpdata(const wchar_t* pwszPath) const { return std::wstring(1, m_rpdata) + L":" + pwszPath; }

    wchar_t m_rpdata = 0;
};

} // namespace

TEST_F(DiscSetOnSimPc, FactoryImagePartsOpenAsOneSplitImage)
{
    HANDLE h = WIMCreateFile(OnRpdata(L"\\preload\\base.wim").c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY, 0, nullptr);
    ASSERT_NE(nullptr, h) << GetLastError();
    WIM_INFO info = {};
    EXPECT_TRUE(WIMGetAttributes(h, &info, sizeof info));
    EXPECT_EQ(kImageParts, info.TotalParts);
    WIMCloseHandle(h);
}

TEST_F(DiscSetOnSimPc, ShippedRuleFileGivesThreeDvdSets)
{
    std::wstring program;
    ASSERT_TRUE(NvGetProgramFolder(program));
    ASSERT_TRUE(PlanTestFiles::MakeFolder(kLogs));
    FileCollectors rules, walked;
    LogCollector logs(TRUE);
    RuleCollector ruleCollector(TRUE);
    XmlReader reader;
    reader.SetLogFolder(kLogs);
    ASSERT_EQ(S_OK, reader.Init());
    ASSERT_EQ(S_OK, reader.SetSource((program + L"FileSet.xml").c_str()));
    ASSERT_EQ(S_OK, reader.Parse(&rules, &logs, &ruleCollector));
    EXPECT_EQ(100, reader.GetSplitSize());
    // The parts stand where the engine points "preload\\" after the split.
    rules.SetDriveLetters(L'D', m_rpdata == L'D' ? 0 : m_rpdata);
    Walker walker;
    walker.SetCollectors(&rules);
    ASSERT_EQ(S_OK, walker.Walk(&walked));
    Splitter splitter;
    splitter.SetCollectors(&walked);
    splitter.SetRuleAndLogCollectors(&ruleCollector, &logs);
    const ULONGLONG ullCapacity = DiscTypeCapacityMB(DTM_DVDMR) * kMiB;
    ASSERT_EQ(S_OK, splitter.Estimate(ullCapacity));
    EXPECT_EQ(3, splitter.GetSetCount());
    // Every run walks afresh: the estimate marked the walked entries placed.
    ASSERT_EQ(S_OK, walker.Walk(&walked));
    ASSERT_EQ(S_OK, splitter.Split(ullCapacity));
    ASSERT_EQ(3, splitter.GetSetCount());

    std::map<std::string, int> parts = SplitLog(TestFiles::ReadBytes(std::wstring(kLogs) + L"\\SPLIT.LOG"));
    std::set<int> discs;
    int images = 0;
    for (const auto& part : parts) {
        discs.insert(part.second);
        images += part.first.rfind(".wim") == part.first.size() - 4 ? 1 : 0;
    }
    EXPECT_EQ(kImageParts, images);
    EXPECT_EQ((std::set<int>{0, 1, 2}), discs);
    EXPECT_EQ(0, parts["base.wim"]);
    EXPECT_EQ("[Master]\r\nSize_Preload_Total=" + std::to_string(TopLevelBytes(OnRpdata(L"\\preload"))) + "\r\n",
              TestFiles::ReadBytes(std::wstring(kLogs) + L"\\PreloadSize.log"));
    EXPECT_NE(std::string::npos,
              TestFiles::ReadBytes(std::wstring(kLogs) + L"\\SETINFO.LOG").find("\r\nSetCounts=3\r\n"));

    // Boot files on the first disc; each application with its companions on one disc.
    std::vector<std::vector<std::wstring>> plan = PlanTestFiles::Plan(splitter);
    auto setOf = [&plan](const wchar_t* pwszName) {
        for (size_t i = 0; i < plan.size(); ++i)
            for (const std::wstring& name : plan[i])
                if (name == pwszName)
                    return static_cast<int>(i);
        return -1;
    };
    EXPECT_EQ(0, setOf(L"bootmgr"));
    EXPECT_EQ(0, setOf(L"csp.dat") == -1 ? setOf(L"CSP.DAT") : setOf(L"csp.dat"));
    EXPECT_NE(-1, setOf(L"setup.exe"));
    EXPECT_EQ(setOf(L"setup.exe"), setOf(L"lang.cab"));
    EXPECT_EQ(setOf(L"setup.exe"), setOf(L"Office.ini"));
    EXPECT_EQ(-1, setOf(L"PART0002"));
    for (int n = 1; n <= 3; ++n) {
        ISet* pSet = nullptr;
        ASSERT_EQ(S_OK, splitter.GetSet(n, &pSet));
        EXPECT_LE(pSet->GetUsed(), ullCapacity + 64 * 1024) << "set " << n; // logs come on top
    }
}

TEST_F(DiscSetOnSimPc, RealImageSplitOntoTheWindowsDrive)
{
    ASSERT_TRUE(SplitTestKit::MakeTree(OnRpdata(L"\\imagesrc"), 2 * kMiB + kMiB / 2));
    ASSERT_TRUE(PlanTestFiles::MakeFolder(OnRpdata(L"\\factory\\split")));
    ASSERT_EQ(0u, SplitTestKit::Capture(OnRpdata(L"\\imagesrc"), OnRpdata(L"\\factory\\whole.wim")));
    HANDLE h = WIMCreateFile(OnRpdata(L"\\factory\\whole.wim").c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
    ASSERT_NE(nullptr, h);
    LARGE_INTEGER li;
    li.QuadPart = kMiB;
    ASSERT_TRUE(WIMSplitFile(h, OnRpdata(L"\\factory\\split\\base.wim").c_str(), &li, 0)) << GetLastError();
    WIMCloseHandle(h);

    for (const std::wstring& source : {OnRpdata(L"\\factory\\whole.wim"), OnRpdata(L"\\factory\\split\\base.wim")}) {
        const wchar_t* pwszSource = source.c_str();
        TestFiles::DeleteTree(L"C:\\preload");
        TestFiles::DeleteTree(L"C:\\applied");
        SplitTestKit::Recorder recorder;
        WIMHelper helper;
        helper.AddListener(&recorder);
        ULONGLONG ullSplitSize = kMiB;
        ASSERT_EQ(S_OK, helper.Start(pwszSource, L"C:\\preload\\base.wim", &ullSplitSize));
        ASSERT_EQ(WAIT_OBJECT_0, helper.Wait(INFINITE));
        std::vector<SplitTestKit::Event> events = recorder.Events();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(kSplitFinished, events.back().message) << pwszSource;
        EXPECT_GE(SplitTestKit::PartNames(L"C:\\preload\\base.wim").size(), 3u) << pwszSource;
        ASSERT_EQ(S_OK, SplitTestKit::JoinPieces(L"C:\\preload\\base.wim"));
        ASSERT_EQ(0u, SplitTestKit::ApplySet(L"C:\\preload\\base.wim", L"C:\\applied")) << pwszSource;
        EXPECT_EQ(L"", TestFiles::CompareTrees(OnRpdata(L"\\imagesrc"), L"C:\\applied")) << pwszSource;
    }
}

TEST_F(DiscSetOnSimPc, FailedSplitsEndWithAFailureEvent)
{
    struct Case {
        const char* name;
        std::wstring target;
        const wchar_t* library;
        const wchar_t* blocker;
        HRESULT hr;
    } const kCases[] = {
        {"split library missing", L"C:\\preload\\base.wim", L"C:\\nowhere\\Wimsplice.dll", nullptr, NV_E_LOAD_LIBRARY},
        {"imaging error while writing a part", L"C:\\preload\\base.wim", nullptr, L"C:\\preload\\base2.wim",
         RD_E_WIM_CALL},
        {"onto its own drive", OnRpdata(L"\\preload\\base.wim"), nullptr, nullptr, NV_E_INVALID_ARG},
    };
    ASSERT_TRUE(SplitTestKit::MakeTree(OnRpdata(L"\\failsrc"), 2 * kMiB));
    ASSERT_TRUE(PlanTestFiles::MakeFolder(OnRpdata(L"\\failimage")));
    ASSERT_EQ(0u, SplitTestKit::Capture(OnRpdata(L"\\failsrc"), OnRpdata(L"\\failimage\\base.wim")));
    for (const Case& c : kCases) {
        TestFiles::DeleteTree(L"C:\\preload");
        if (c.blocker) {
            ASSERT_TRUE(PlanTestFiles::MakeFolder(c.blocker));
        }
        SplitTestKit::Recorder recorder;
        WIMHelper helper;
        helper.AddListener(&recorder);
        if (c.library)
            helper.SetSpliceLibrary(c.library);
        ULONGLONG ullSplitSize = kMiB;
        ASSERT_EQ(S_OK, helper.Start(OnRpdata(L"\\failimage\\base.wim").c_str(), c.target.c_str(), &ullSplitSize));
        ASSERT_EQ(WAIT_OBJECT_0, helper.Wait(INFINITE));
        std::vector<SplitTestKit::Event> events = recorder.Events();
        ASSERT_FALSE(events.empty()) << c.name;
        EXPECT_EQ(kSplitFailed, events.back().message) << c.name;
        EXPECT_EQ(c.hr, events.back().value) << c.name;
    }
    // The factory image on the recovery partition is untouched by the refused split.
    EXPECT_EQ(kImageParts + 0u, SplitTestKit::PartNames(OnRpdata(L"\\preload\\base.wim")).size());
}
