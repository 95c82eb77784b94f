// XML DOM helper on Wine's msxml: attribute texts as numbers and flags,
// absent attributes, missing files and values longer than the buffers.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "NvErrorCode.h"
#include "PlanTestFiles.h"
#include "TestFiles.h"
#include "XmlDomHelper.h"

using namespace TestFiles;

namespace {

const wchar_t kFile[] = L"O:\\dom.xml";
const int kSentinel = 777;
const BYTE kByteSentinel = 0x5A;

class XmlDomHelperTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override
    {
        ClearDrive(L'O');
        std::string longValue(300, '7');
        ASSERT_TRUE(PlanTestFiles::WriteText(kFile, "<?xml version=\"1.0\"?>\r\n<root><item hex=\"#1A\" mixed=\"12ab\" "
                                                    "letters=\"abc\" upper=\"TRUE\" lower=\"true\" yes=\"yes\" one=\"1\" "
                                                    "long=\"" + longValue + "\"/><text>hello world</text></root>\r\n"));
        m_dom.Create();
        ASSERT_EQ(S_OK, m_dom.Load(kFile));
        m_root = m_dom.SelectFromRoot(L"root");
        ASSERT_NE(nullptr, m_root);
        m_item = m_dom.SelectNode(m_root, L"item");
        ASSERT_NE(nullptr, m_item);
        ASSERT_EQ(S_OK, m_dom.SelectAttributes(m_item));
    }
    void TearDown() override
    {
        m_dom.ReleaseAttributes();
        if (m_item)
            m_item->Release();
        if (m_root)
            m_root->Release();
        m_dom.Release();
    }
    XmlDomHelper m_dom;
    IXMLDOMNode* m_root = nullptr;
    IXMLDOMNode* m_item = nullptr;
};

} // namespace

TEST_F(XmlDomHelperTest, IntegerAttributes)
{
    struct Case {
        const wchar_t* name;
        HRESULT hr;
        int value;
    } const kCases[] = {
        {L"hex", S_OK, 26},        {L"mixed", S_OK, 12}, {L"letters", S_OK, 0},
        {L"absent", E_FAIL, kSentinel},
        // Longer than the number buffer: refused, not read past its end.
        {L"long", NV_E_BUFFER_TOO_SMALL, kSentinel},
    };
    for (const Case& c : kCases) {
        int value = kSentinel;
        EXPECT_EQ(c.hr, m_dom.GetAttributeInt(c.name, &value)) << c.name;
        EXPECT_EQ(c.value, value) << c.name;
    }
}

TEST_F(XmlDomHelperTest, BooleanAttributes)
{
    struct Case {
        const wchar_t* name;
        HRESULT hr;
        BYTE value;
    } const kCases[] = {
        {L"upper", S_OK, 1}, {L"lower", S_OK, 1}, {L"yes", S_OK, 0}, {L"one", S_OK, 0},
        {L"absent", E_FAIL, kByteSentinel},
    };
    for (const Case& c : kCases) {
        BYTE value = kByteSentinel;
        EXPECT_EQ(c.hr, m_dom.GetAttributeBool(c.name, &value)) << c.name;
        EXPECT_EQ(c.value, value) << c.name;
    }
}

TEST_F(XmlDomHelperTest, TextsAreCutAndTerminatedAtTheBuffer)
{
    wchar_t wszBuf[260];
    wmemset(wszBuf, L'x', 260);
    EXPECT_EQ(NV_E_BUFFER_TOO_SMALL, m_dom.GetAttribute(L"long", wszBuf, 260));
    EXPECT_EQ(std::wstring(259, L'7'), wszBuf);

    wmemset(wszBuf, L'x', 260);
    EXPECT_EQ(E_FAIL, m_dom.GetAttribute(L"absent", wszBuf, 260));
    EXPECT_STREQ(L"", wszBuf);

    IXMLDOMNode* pText = m_dom.SelectNode(m_root, L"text");
    ASSERT_NE(nullptr, pText);
    wchar_t wszSmall[6];
    EXPECT_EQ(NV_E_BUFFER_TOO_SMALL, m_dom.GetText(pText, wszSmall, _countof(wszSmall)));
    EXPECT_STREQ(L"hello", wszSmall);
    EXPECT_EQ(S_OK, m_dom.GetText(pText, wszBuf, 260));
    EXPECT_STREQ(L"hello world", wszBuf);
    pText->Release();
}

TEST(XmlDomHelperLoad, MissingOrBrokenFileFindsNothing)
{
    CoInitialize(nullptr);
    TestFiles::ClearDrive(L'O');
    ASSERT_TRUE(PlanTestFiles::WriteText(L"O:\\broken.xml", "<root><FileSet>"));
    for (const wchar_t* pwszPath : {L"O:\\missing.xml", L"O:\\broken.xml"}) {
        XmlDomHelper dom;
        dom.Create();
        EXPECT_EQ(S_FALSE, dom.Load(pwszPath)) << pwszPath;
        IXMLDOMNode* pRoot = dom.SelectFromRoot(L"root");
        EXPECT_EQ(nullptr, pRoot) << pwszPath;
        wchar_t wszBuf[16];
        EXPECT_EQ(E_FAIL, dom.GetText(pRoot, wszBuf, _countof(wszBuf)));
    }
    CoUninitialize();
}
