// The page base's tables without windows: sizes as text, the face frame of
// each button state, which styles toggle, and the brand logo by branding
// file and SMBIOS data. Built in both trees: the disc creator's pages share it.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrandLogo.h"
#include "CAlphaButton.h"
#include "CMainPage.h"
#include "CStartPanel.h"
#include "CWizardPage.h"

namespace {

TEST(FormatSize, EachUnitAtItsBounds)
{
    struct Case {
        ULONGLONG bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0Bytes"},
        {1023, L"1023Bytes"},
        {1024, L"1KB"},
        {1048575, L"1023KB"},
        {1048576, L"1MB"},
        {1073741823, L"1023MB"},
        {1073741824, L"1.00GB"},
        {10ULL << 30, L"10.0GB"},
        {(10ULL << 30) - 1, L"10.00GB"},
        {100ULL << 30, L"100GB"},
        {(1ULL << 40) - 1, L"1024GB"},
        {1ULL << 40, L"1TB"},
        {5ULL << 40, L"5TB"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.text, CWizardPage::FormatSize(c.bytes).GetString()) << c.bytes;
}

// Every class of the base is made, without windows, in both trees.
TEST(PageObjects, MadeBeforeTheirWindows)
{
    CMainPage page(6000);
    EXPECT_EQ(9547, page.m_nTimerMain);
    EXPECT_EQ(89757, page.m_nTimerAux);
    EXPECT_EQ(6000, page.m_nPageId);
    EXPECT_EQ(RGB(255, 255, 255), page.m_crText);
    EXPECT_FALSE(page.Create(static_cast<CWnd*>(nullptr))) << "the base creates nothing itself";
    page.AddControlLayout(1, 2, 3, 4, 5, LAYOUT_KEEP_TEXT, 0);
    ASSERT_EQ(1u, page.m_vecLayout.size());
    EXPECT_EQ(LAYOUT_KEEP_TEXT, page.m_vecLayout[0].textId);
    CStartPanel panel;
    EXPECT_EQ(0, panel.SetStaticText(L"no window"));
    EXPECT_EQ(5, panel.m_nTextMargin);
    EXPECT_EQ(0, panel.m_nCommandId);
    CAlphaButton button;
    EXPECT_EQ(ABS_NORMAL, button.GetState());
    EXPECT_EQ(0, button.GetFrameIndex());
}

TEST(AlphaButtonFrame, IndexByKindCheckStateAndMirroring)
{
    struct Case {
        const char* name;
        BOOL toggle;
        int check;
        int state;
        bool mirrored;
        int frame;
    } cases[] = {
        {"push normal", FALSE, 0, 0, false, 0},
        {"push disabled", FALSE, 0, 3, false, 3},
        {"push check ignored", FALSE, 1, 1, false, 1},
        {"toggle unchecked hover", TRUE, 0, 1, false, 1},
        {"toggle checked normal", TRUE, 1, 0, false, 4},
        {"toggle checked disabled", TRUE, 1, 3, false, 7},
        {"mirrored push normal", FALSE, 0, 0, true, 3},
        {"mirrored push pressed", FALSE, 0, 2, true, 1},
        {"mirrored toggle checked normal", TRUE, 1, 0, true, 7},
        {"mirrored toggle unchecked disabled", TRUE, 0, 3, true, 0},
    };
    for (const Case& c : cases) {
        int push = c.mirrored ? 3 : 0, unchecked = c.mirrored ? 3 : 0, checked = c.mirrored ? 7 : -4;
        EXPECT_EQ(c.frame, AlphaButtonFrameIndex(c.toggle, c.check, c.state, push, unchecked, checked)) << c.name;
    }
}

TEST(AlphaButtonStyle, OnlyCheckAndRadioStylesToggle)
{
    struct Case {
        DWORD style;
        BOOL toggle;
    } cases[] = {
        {BS_PUSHBUTTON, FALSE},    {BS_DEFPUSHBUTTON, FALSE},   {BS_CHECKBOX, TRUE},  {BS_AUTOCHECKBOX, TRUE},
        {BS_RADIOBUTTON, TRUE},    {BS_AUTORADIOBUTTON, TRUE},  {BS_GROUPBOX, FALSE}, {BS_OWNERDRAW, FALSE},
        {BS_3STATE, FALSE},        {WS_CHILD | BS_CHECKBOX, TRUE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.toggle, IsToggleButtonStyle(c.style)) << std::hex << c.style;
}

// A table with a type 1 structure (product name) and, when given, a type 11
// structure with the OEM strings; or no table at all.
class CFakeSMBios : public ISMBiosSource {
public:
    CFakeSMBios(bool ok, std::string product, std::vector<std::string> oem) : m_ok(ok), m_product(product), m_oem(oem) {}
    BOOL GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& table) override
    {
        if (!m_ok)
            return FALSE;
        *pbMajor = 2;
        *pbMinor = 6;
        table.assign(27, 0);
        table[0] = 1;
        table[1] = 27;
        table[5] = m_product.empty() ? 0 : 1;
        AddStrings(table, m_product.empty() ? std::vector<std::string>() : std::vector<std::string>{m_product});
        if (!m_oem.empty()) {
            BYTE head[] = {11, 5, 1, 0, static_cast<BYTE>(m_oem.size())};
            table.insert(table.end(), head, head + sizeof(head));
            AddStrings(table, m_oem);
        }
        BYTE end[] = {127, 4, 0xFF, 0xFF, 0, 0};
        table.insert(table.end(), end, end + sizeof(end));
        return TRUE;
    }

private:
    static void AddStrings(std::vector<BYTE>& table, const std::vector<std::string>& strings)
    {
        for (const std::string& s : strings) {
            table.insert(table.end(), s.begin(), s.end());
            table.push_back(0);
        }
        if (strings.empty())
            table.push_back(0);
        table.push_back(0);
    }
    bool m_ok;
    std::string m_product;
    std::vector<std::string> m_oem;
};

std::wstring BrandingFile()
{
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path);
    std::wstring folder = std::wstring(path) + L"\\Recovery";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\_Branding";
}

// nullptr: no file; otherwise the file's whole text.
void WriteBranding(const char* text)
{
    std::wstring path = BrandingFile();
    DeleteFileW(path.c_str());
    if (!text)
        return;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(h);
}

TEST(BrandLogo, BrandingFileThenSMBiosThenZQ)
{
    const DWORD desktop = 2, notebook = 4;
    struct Case {
        const char* name;
        const char* branding;
        DWORD vendor;
        bool smbios;
        const char* product;
        std::vector<std::string> oem;
        const wchar_t* logo;
    } cases[] = {
        {"file Corvane, desktop", "[ZQ_Branding]\r\nBrand=Corvane\r\n", desktop, true, "", {}, L"Image\\logo_corvane_white.png"},
        {"file Corvane, notebook", "[ZQ_Branding]\r\nBrand=Corvane\r\n", notebook, true, "", {}, L"Image\\logo_corvane.png"},
        {"file Velora wins over SMBIOS", "[ZQ_Branding]\r\nBrand=Velora\r\n", desktop, true, "", {"Prelind"}, L"Image\\logo_velora.png"},
        {"file lower-case corvane", "[ZQ_Branding]\r\nBrand=corvane\r\n", notebook, true, "Corvane 15", {}, L"Image\\logo_zq.png"},
        {"file ZQ", "[ZQ_Branding]\r\nBrand=ZQ\r\n", notebook, true, "Velora 13", {}, L"Image\\logo_zq.png"},
        {"file with empty brand: SMBIOS decides", "[ZQ_Branding]\r\nBrand=\r\n", notebook, true, "velora x1", {}, L"Image\\logo_velora.png"},
        {"file without the key: SMBIOS decides", "[ZQ_Branding]\r\nOther=1\r\n", desktop, true, "", {"Prelind"}, L"Image\\logo_corvane_white.png"},
        {"notebook product Corvane", nullptr, notebook, true, "Corvane Air", {}, L"Image\\logo_corvane.png"},
        {"notebook product prelind any case", nullptr, notebook, true, "x PRELIND y", {}, L"Image\\logo_corvane.png"},
        {"notebook product VeLoRa", nullptr, notebook, true, "VeLoRa 14", {}, L"Image\\logo_velora.png"},
        {"notebook other product", nullptr, notebook, true, "Z-1000", {"Prelind"}, L"Image\\logo_zq.png"},
        {"desktop OEM string Prelind", nullptr, desktop, true, "Corvane", {"Prelind"}, L"Image\\logo_corvane_white.png"},
        {"desktop OEM string lower case", nullptr, desktop, true, "", {"prelind"}, L"Image\\logo_zq.png"},
        {"desktop OEM word split over two strings", nullptr, desktop, true, "", {"Pre", "lind"}, L"Image\\logo_corvane_white.png"},
        {"desktop without OEM strings", nullptr, desktop, true, "Velora", {}, L"Image\\logo_zq.png"},
        {"no SMBIOS, desktop", nullptr, desktop, false, "", {}, L"Image\\logo_zq.png"},
        {"no SMBIOS, notebook", nullptr, notebook, false, "", {}, L"Image\\logo_zq.png"},
    };
    for (const Case& c : cases) {
        WriteBranding(c.branding);
        CFakeSMBios source(c.smbios, c.product, c.oem);
        EXPECT_STREQ(c.logo, BrandLogoForPage(c.vendor, source).GetString()) << c.name;
    }
    WriteBranding(nullptr);
}

TEST(BrandLogo, BrandingFileCodes)
{
    CString brand = L"sentinel";
    WriteBranding(nullptr);
    EXPECT_EQ(static_cast<HRESULT>(0xE0EF000C), GetBrandFromIni(brand));
    WriteBranding("[ZQ_Branding]\r\nBrand=\r\n");
    EXPECT_EQ(static_cast<HRESULT>(0xE0EF0005), GetBrandFromIni(brand));
    EXPECT_STREQ(L"sentinel", brand.GetString());
    WriteBranding("[ZQ_Branding]\r\nBrand=Velora\r\n");
    EXPECT_EQ(S_OK, GetBrandFromIni(brand));
    EXPECT_STREQ(L"Velora", brand.GetString());
    WriteBranding(nullptr);
}

} // namespace
