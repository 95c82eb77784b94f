// The WIM manager as a COM-style object: interfaces, reference counts, the
// live-object count and its trace lines, reset and handle clean-up.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CBaseObject.h"
#include "CDumpMgr.h"
#include "CWimMgr.h"
#include "NvErrorCode.h"
#include "TestFiles.h"

using namespace TestFiles;

namespace {

const wchar_t kDump[] = L"E:\\ProgramData\\Recovery\\MendoraDump.txt";

// Reads the members the interfaces do not show.
class CWimMgrProbe : public CWimMgr {
public:
    CWimMgrProbe() : CWimMgr(nullptr) {}
    LONG RefCount() const { return m_lRefCount; }
    LONG PEInit() const { return m_lPEInit; }
    const wchar_t* WimFileName() const { return m_szWimFileName; }
    DWORD ImageIndex() const { return m_dwImageIndex; }
    wchar_t TargetDrive() const { return m_wcTargetDrive; }
    WIMMessageCallback Callback() const { return m_pfnMsgCallback; }
    // The builder's only way in is its source-folder setter, which is not
    // part of this build; the probe stands in for its success.
    void MarkPEInit() { m_lPEInit = 1; }
};

// Releases itself once more from inside its own destructor.
class CSelfReleasingWimMgr : public CWimMgr {
public:
    CSelfReleasingWimMgr() : CWimMgr(nullptr) {}
    ~CSelfReleasingWimMgr() override
    {
        s_lCountInDestructor = m_lRefCount;
        NonDelegatingRelease();
        s_iDestructions++;
    }
    static LONG s_lCountInDestructor;
    static int s_iDestructions;
};
LONG CSelfReleasingWimMgr::s_lCountInDestructor = 0;
int CSelfReleasingWimMgr::s_iDestructions = 0;

DWORD CALLBACK NoOpCallback(DWORD, WPARAM, LPARAM, PVOID)
{
    return 0;
}

std::vector<std::string> DumpLines()
{
    std::vector<std::string> lines;
    std::string bytes = ReadBytes(kDump);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        end = end == std::string::npos ? bytes.size() : end + 2;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    size_t n = 0;
    for (const auto& line : lines)
        n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

class WimMgrObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClearDrive(L'E');
        g_DumpMgr.Initialize();
        g_DumpMgr.SetDumpMode(DM_OS);
        g_DumpMgr.PrepareDumpFilePath(L'E');
    }
    void SetUp() override { DeleteFileW(kDump); }
};

} // namespace

TEST_F(WimMgrObjectTest, QueryInterface)
{
    const IID kOther = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    struct {
        const char* name;
        const IID* iid;
        bool nullOut;
        HRESULT expected;
        LONG refsAfter;
    } cases[] = {
        {"IWimMgr", &IID_IWimMgr, false, S_OK, 2},
        {"IUnknown", &IID_IUnknown, false, S_OK, 2},
        {"another interface", &kOther, false, E_NOINTERFACE, 1},
        {"class id is no interface", &CLSID_WimMgr, false, E_NOINTERFACE, 1},
        {"null out pointer", &IID_IWimMgr, true, NV_E_INVALID_ARG, 1},
    };
    for (const auto& c : cases) {
        LONG before = CBaseObject::GetObjectCount();
        CWimMgrProbe* pMgr = new CWimMgrProbe();
        void* pv = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.expected, pMgr->NonDelegatingQueryInterface(*c.iid, c.nullOut ? nullptr : &pv)) << c.name;
        EXPECT_EQ(c.refsAfter, pMgr->RefCount()) << c.name;
        if (!c.nullOut && c.expected != S_OK) {
            EXPECT_EQ(nullptr, pv) << c.name;
        }
        if (c.iid == &IID_IWimMgr && !c.nullOut) {
            EXPECT_EQ(static_cast<void*>(static_cast<IWimMgr*>(pMgr)), pv) << c.name;
        }
        // Both references go through the interface the caller holds.
        if (c.expected == S_OK) {
            IUnknown* pUnk = static_cast<IUnknown*>(pv);
            EXPECT_EQ(1u, pUnk->Release()) << c.name;
        }
        EXPECT_EQ(0u, pMgr->NonDelegatingRelease()) << c.name;
        EXPECT_EQ(before, CBaseObject::GetObjectCount()) << c.name << ": the object was not destroyed";
    }
}

TEST_F(WimMgrObjectTest, SecondInterfaceForwardsToTheOwner)
{
    LONG before = CBaseObject::GetObjectCount();
    HRESULT hr = E_FAIL;
    CWimMgr* pMgr = CWimMgr::CreateInstance(nullptr, &hr);
    ASSERT_NE(nullptr, pMgr);
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(before + 1, CBaseObject::GetObjectCount());

    IWimMgr* pWimMgr = nullptr;
    ASSERT_EQ(S_OK, pMgr->NonDelegatingQueryInterface(IID_IWimMgr, reinterpret_cast<void**>(&pWimMgr)));
    IUnknown* pUnk = nullptr;
    ASSERT_EQ(S_OK, pWimMgr->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk)));
    IWimMgr* pAgain = nullptr;
    ASSERT_EQ(S_OK, pUnk->QueryInterface(IID_IWimMgr, reinterpret_cast<void**>(&pAgain)));
    EXPECT_EQ(pWimMgr, pAgain);
    EXPECT_EQ(5u, pWimMgr->AddRef());
    EXPECT_EQ(4u, pAgain->Release());
    EXPECT_EQ(3u, pAgain->Release());
    EXPECT_EQ(2u, pUnk->Release());
    EXPECT_EQ(1u, pWimMgr->Release());
    EXPECT_EQ(before + 1, CBaseObject::GetObjectCount()) << "one reference is still held";
    EXPECT_EQ(0u, pMgr->Release());
    EXPECT_EQ(before, CBaseObject::GetObjectCount());
}

TEST_F(WimMgrObjectTest, ReleaseFromTheDestructorFreesNothingTwice)
{
    LONG before = CBaseObject::GetObjectCount();
    CSelfReleasingWimMgr::s_iDestructions = 0;
    CSelfReleasingWimMgr* pMgr = new CSelfReleasingWimMgr();
    EXPECT_EQ(0u, pMgr->NonDelegatingRelease());
    EXPECT_EQ(1, CSelfReleasingWimMgr::s_lCountInDestructor) << "the count is 1 while the object goes";
    EXPECT_EQ(1, CSelfReleasingWimMgr::s_iDestructions);
    EXPECT_EQ(before, CBaseObject::GetObjectCount());
}

TEST_F(WimMgrObjectTest, ThreeObjectsLeaveTheCountAndSixLines)
{
    LONG before = CBaseObject::GetObjectCount();
    CWimMgr* objects[3];
    for (CWimMgr*& p : objects)
        p = new CWimMgr(nullptr);
    EXPECT_EQ(before + 3, CBaseObject::GetObjectCount());
    for (CWimMgr* p : objects)
        p->Release();
    EXPECT_EQ(before, CBaseObject::GetObjectCount());

    std::vector<std::string> lines = DumpLines();
    struct {
        const char* prefix;
        size_t count;
    } cases[] = {
        {"Construction: Current Object THIS Pointer = ", 3},
        {"Destruction: Current Object THIS Pointer = ", 3},
        {"CUnknown Constructor is Called. THIS Pointer = ", 3},
        {"CUnknown Destructor is Called. THIS Pointer = ", 3},
        {"CWimMgr::ResetDataMembers  (0x", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.count, CountStartingWith(lines, c.prefix)) << c.prefix;
    // The live-object line comes first, before the reference-count part.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(0u, lines[0].find("Construction: Current Object THIS Pointer = ")) << lines[0];
}

TEST_F(WimMgrObjectTest, CleanUpAndReset)
{
    CWimMgrProbe* pMgr = new CWimMgrProbe();
    EXPECT_EQ(S_OK, pMgr->CleanUpHandles()) << "fresh object";
    EXPECT_EQ(S_OK, pMgr->CleanUpHandles()) << "twice";
    std::vector<std::string> lines = DumpLines();
    EXPECT_EQ(0u, CountStartingWith(lines, "CWimMgr::CleanUpHandles !!!!! clear")) << "nothing was open";

    EXPECT_EQ(S_OK, pMgr->SetWimImagePath(L"Q:\\preload\\base.wim"));
    EXPECT_EQ(S_OK, pMgr->SetImageIndex(2));
    EXPECT_EQ(S_OK, pMgr->SetTargetDrive(L'P'));
    EXPECT_EQ(S_OK, pMgr->SetMessageCallback(&NoOpCallback));
    EXPECT_EQ(S_OK, pMgr->CleanUpHandles());
    EXPECT_EQ(nullptr, pMgr->Callback()) << "clean-up forgets the callback";
    EXPECT_STREQ(L"Q:\\preload\\base.wim", pMgr->WimFileName()) << "and keeps the settings";

    pMgr->ResetDataMembers();
    EXPECT_STREQ(L"", pMgr->WimFileName());
    EXPECT_EQ(0u, pMgr->ImageIndex());
    EXPECT_EQ(L'\0', pMgr->TargetDrive());
    pMgr->Release();
}

TEST_F(WimMgrObjectTest, DestructorResetsABuilderObject)
{
    struct {
        const char* name;
        bool peInit;
        size_t resets;
    } cases[] = {{"plain object", false, 1}, {"builder object", true, 2}};
    for (const auto& c : cases) {
        DeleteFileW(kDump);
        CWimMgrProbe* pMgr = new CWimMgrProbe();
        if (c.peInit)
            pMgr->MarkPEInit();
        pMgr->Release();
        EXPECT_EQ(c.resets, CountStartingWith(DumpLines(), "CWimMgr::ResetDataMembers  (0x")) << c.name;
    }
}
