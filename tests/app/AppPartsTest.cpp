// The recovery program's decisions that need no window: switches, language
// tables, the page table and history, the first page, kiosk keys, the page
// factory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CRevantDlg.h"
#include "CUIXSkinManager.h"
#include "CWizardPage.h"
#include "CommandLine.h"
#include "FirstPage.h"
#include "KioskKeyboard.h"
#include "LanguageTables.h"
#include "PageFlow.h"

namespace {

CommandLineChoice Parse(std::vector<const wchar_t*> args)
{
    args.insert(args.begin(), L"Mendora.exe");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, FirstMatchingWordDecides)
{
    struct Case {
        const char* name;
        std::vector<const wchar_t*> args;
        AppSwitch expected;
    } cases[] = {
        {"no arguments", {}, SWITCH_NONE},
        {"bare", {L"FinishDlg"}, SWITCH_FINISH_DLG},
        {"minus", {L"-FinishDlg"}, SWITCH_FINISH_DLG},
        {"slash", {L"/FinishDlg"}, SWITCH_FINISH_DLG},
        {"two minus signs", {L"--FinishDlg"}, SWITCH_NONE},
        {"other case", {L"finishdlg"}, SWITCH_NONE},
        {"appended text", {L"FinishDlgs"}, SWITCH_NONE},
        {"prefix only", {L"Finish"}, SWITCH_NONE},
        {"skip then match, later ignored", {L"word", L"DelRP", L"FinishDlg"}, SWITCH_DEL_RP},
        {"uninstall", {L"UninstallDriver"}, SWITCH_UNINSTALL_DRIVER},
        {"install", {L"/InstallDriver"}, SWITCH_INSTALL_DRIVER},
        {"update", {L"-UpdateWIM"}, SWITCH_UPDATE_WIM},
        {"ssd", {L"CheckSSD"}, SWITCH_CHECK_SSD},
        {"app", {L"ReinstallApp"}, SWITCH_REINSTALL_APP},
        {"driver", {L"ReinstallDriver"}, SWITCH_REINSTALL_DRIVER},
        {"disc creator", {L"Discora"}, SWITCH_DISCORA},
        {"report", {L"RecoveryReport"}, SWITCH_RECOVERY_REPORT},
        {"live update", {L"RELiveUpdate"}, SWITCH_RE_LIVE_UPDATE},
        {"panic", {L"CTOPanic"}, SWITCH_CTO_PANIC},
        {"empty word", {L""}, SWITCH_NONE},
        {"lone slash", {L"/"}, SWITCH_NONE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Parse(c.args).enSwitch) << c.name;
}

TEST(CommandLine, FileRestoreTakesABoundedFolder)
{
    std::wstring longest(kMaxRestorePath, L'a');
    std::wstring tooLong(kMaxRestorePath + 1, L'a');
    struct Case {
        const char* name;
        std::vector<const wchar_t*> args;
        bool valid;
        std::wstring path;
    } cases[] = {
        {"with a folder", {L"FileRestore", L"E:\\Backup"}, true, L"E:\\Backup"},
        {"after another word", {L"x", L"-FileRestore", L"E:\\B"}, true, L"E:\\B"},
        {"last word, no folder", {L"FileRestore"}, false, L""},
        {"empty folder", {L"FileRestore", L""}, false, L""},
        {"longest kept", {L"FileRestore", longest.c_str()}, true, longest},
        {"too long", {L"FileRestore", tooLong.c_str()}, false, tooLong},
    };
    for (const Case& c : cases) {
        CommandLineChoice choice = Parse(c.args);
        EXPECT_EQ(SWITCH_FILE_RESTORE, choice.enSwitch) << c.name;
        EXPECT_EQ(c.valid, choice.bRestorePathValid) << c.name;
        EXPECT_EQ(c.path, choice.wstrRestorePath) << c.name;
    }
}

TEST(LanguageTables, EveryRowAndTheDefaults)
{
    struct Row {
        const wchar_t* code;
        const wchar_t* flag;
        const wchar_t* pcDoctor;
        const wchar_t* culture;
    } rows[] = {
        {L"ENU", L"SSRD_US.flg", L"en", L"en-US"}, {L"PTB", L"SSRD_BR.flg", L"pt", L"pt-BR"},
        {L"DEU", L"SSRD_GR.flg", L"de", L"de-DE"}, {L"FRA", L"SSRD_FR.flg", L"fr", L"fr-FR"},
        {L"ITA", L"SSRD_IT.flg", L"it", L"it-IT"}, {L"ESP", L"SSRD_SP.flg", L"es", L"es-ES"},
        {L"DAN", L"SSRD_DK.flg", L"da", L"da-DK"}, {L"SVE", L"SSRD_SE.flg", L"sv", L"sv-SE"},
        {L"FIN", L"SSRD_FI.flg", L"fi", L"fi-FI"}, {L"NOR", L"SSRD_NO.flg", L"nb", L"nb-NO"},
        {L"PTG", L"SSRD_PT.flg", L"pt", L"pt-PT"}, {L"ARA", L"SSRD_AR.flg", L"ar", L"ar-SA"},
        {L"NLD", L"SSRD_NL.flg", L"nl", L"nl-NL"}, {L"ELL", L"SSRD_GK.flg", L"el", L"el-GR"},
        {L"HEB", L"SSRD_IL.flg", L"he", L"he-IL"}, {L"RUS", L"SSRD_RU.flg", L"ru", L"ru-RU"},
        {L"TRK", L"SSRD_TR.flg", L"tr", L"tr-TR"}, {L"PLK", L"SSRD_PL.flg", L"pl", L"pl-PL"},
        {L"CSY", L"SSRD_CS.flg", L"cs", L"cs-CZ"}, {L"BGR", L"SSRD_BG.flg", L"", L"bg-BG"},
        {L"HUN", L"SSRD_HU.flg", L"hu", L"hu-HU"}, {L"ROM", L"SSRD_RO.flg", L"", L"ro-RO"},
        {L"SKY", L"SSRD_SK.flg", L"", L"sk-SK"},   {L"KOR", L"SSRD_KR.flg", L"ko", L"ko-KR"},
        {L"CHS", L"SSRD_CH.flg", L"zh-cn", L"zh-CN"}, {L"CHT", L"SSRD_TW.flg", L"zh-tw", L"zh-TW"},
        {L"JPN", L"SSRD_JP.flg", L"ja", L"ja-JP"}, {L"LVI", L"SSRD_LV.flg", L"", L"lv-LV"},
        {L"ETI", L"SSRD_EI.flg", L"", L"et-EE"},   {L"HRV", L"SSRD_HR.flg", L"", L"hr-HR"},
        {L"SLV", L"SSRD_SL.flg", L"", L"sl-SI"},   {L"LTH", L"SSRD_LT.flg", L"", L"lt-LT"},
        {L"SRL", L"SSRD_SR.flg", L"", L""},        {L"THA", L"", L"", L"th-TH"},
        {L"UKR", L"", L"", L"uk-UA"},              {L"chs", L"SSRD_CH.flg", L"zh-cn", L"zh-CN"},
        {L"", L"", L"", L""},                      {nullptr, L"", L"", L""},
        {L"XYZ", L"", L"", L""},
    };
    for (const Row& r : rows) {
        std::wstring name = r.code ? r.code : L"(null)";
        EXPECT_EQ(r.flag, LanguageTables::FlagByCode(r.code)) << std::string(name.begin(), name.end());
        EXPECT_EQ(r.pcDoctor, LanguageTables::PCDoctorByCode(r.code)) << std::string(name.begin(), name.end());
        EXPECT_EQ(r.culture, LanguageTables::CultureByCode(r.code)) << std::string(name.begin(), name.end());
    }
}

TEST(LanguageTables, FlagFilesInProbeOrder)
{
    const wchar_t* expected[][2] = {
        {L"SSRD_US.FLG", L"ENU"}, {L"SSRD_BR.FLG", L"PTB"}, {L"SSRD_GR.FLG", L"DEU"}, {L"SSRD_FR.FLG", L"FRA"},
        {L"SSRD_IT.FLG", L"ITA"}, {L"SSRD_SP.FLG", L"ESP"}, {L"SSRD_DK.FLG", L"DAN"}, {L"SSRD_SE.FLG", L"SVE"},
        {L"SSRD_FI.FLG", L"FIN"}, {L"SSRD_NO.FLG", L"NOR"}, {L"SSRD_PT.FLG", L"PTG"}, {L"SSRD_AR.FLG", L"ARA"},
        {L"SSRD_NL.FLG", L"NLD"}, {L"SSRD_GK.FLG", L"ELL"}, {L"SSRD_IL.FLG", L"HEB"}, {L"SSRD_RU.FLG", L"RUS"},
        {L"SSRD_TR.FLG", L"TRK"}, {L"SSRD_PL.FLG", L"PLK"}, {L"SSRD_CS.FLG", L"CSY"}, {L"SSRD_BG.FLG", L"BGR"},
        {L"SSRD_HU.FLG", L"HUN"}, {L"SSRD_RO.FLG", L"ROM"}, {L"SSRD_SK.FLG", L"SKY"}, {L"SSRD_KR.FLG", L"KOR"},
        {L"SSRD_CH.FLG", L"CHS"}, {L"SSRD_TW.FLG", L"CHT"}, {L"SSRD_TZ.FLG", L"CHT"}, {L"SSRD_JP.FLG", L"JPN"},
        {L"SSRD_LV.FLG", L"LVI"}, {L"SSRD_EI.FLG", L"ETI"}, {L"SSRD_HR.FLG", L"HRV"}, {L"SSRD_SL.FLG", L"SLV"},
        {L"SSRD_LT.FLG", L"LTH"}, {L"SSRD_SR.FLG", L"SRL"},
    };
    size_t cRows = 0;
    const LanguageTables::FlagLang* pRows = LanguageTables::FlagLangRows(&cRows);
    ASSERT_EQ(_countof(expected), cRows);
    for (size_t i = 0; i < cRows; ++i) {
        EXPECT_STREQ(expected[i][0], pRows[i].flag) << i;
        EXPECT_STREQ(expected[i][1], pRows[i].code) << i;
    }
    EXPECT_EQ(L"ENU", LanguageTables::CodeByFlag(L"SSRD_US.flg")) << "the written name reads back";
    EXPECT_EQ(L"CHT", LanguageTables::CodeByFlag(L"ssrd_tz.flg"));
    EXPECT_EQ(L"", LanguageTables::CodeByFlag(L"SSRD_XX.FLG"));
}

TEST(LanguageTables, OnlyThreeLettersNameALanguageFolder)
{
    struct Case {
        const wchar_t* text;
        bool ok;
    } cases[] = {
        {L"DEU", true},       {L"heb", true},        {L"", false},         {nullptr, false},
        {L"DE", false},       {L"DEUT", false},      {L"..\\", false},     {L"..\\..\\E:\\x", false},
        {L"D:\\", false},     {L"X/Y", false},       {L"EN1", false},      {L"E U", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.ok, LanguageTables::IsLanguageCode(c.text)) << (c.text ? std::string(c.text, c.text + wcslen(c.text)) : "(null)");
}

TEST(PageTable, ColumnsOfTheTable)
{
    struct Case {
        int id;
        int column;
        int expected;
    } cases[] = {
        {6000, PFC_NEXT, 6003}, {6000, PFC_BACK, PAGE_NONE}, {5360, PFC_BACK, 5358}, {6019, PFC_NEXT, 6020},
        {6019, PFC_BACK, 6018}, {5396, PFC_NEXT, 6000}, {5350, PFC_PAGE, 5350}, {5350, PFC_RESERVED, PAGE_NONE},
        {5350, 4, PAGE_NONE}, {5350, -1, PAGE_NONE}, {PAGE_NONE, PFC_NEXT, PAGE_NONE}, {5373, PFC_NEXT, PAGE_NONE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, FlowPageId(c.id, c.column)) << c.id << " column " << c.column;
    EXPECT_EQ(52u, PageFlowRowCount()) << "51 pages and the closing row";
    const PageFlowEntry& closing = PageFlowTable[PageFlowRowCount() - 1];
    EXPECT_EQ(PAGE_NONE, closing.pageId);
}

TEST(PageHistory, MovesAndBackMoves)
{
    struct Case {
        const char* name;
        std::vector<int> moves;
        int popUntil; // 0: none
        std::vector<std::pair<int, int>> expected;
    } cases[] = {
        {"first move", {6000}, 0, {{-1, 6000}}},
        {"A B A", {6000, 6003, 6000}, 0, {{-1, 6000}}},
        {"A B C A", {6000, 6003, 6004, 6000}, 0, {{-1, 6000}, {6000, 6003}, {6003, 6004}, {6004, 6000}}},
        {"same page again", {6000, 6000}, 0, {{-1, 6000}, {6000, 6000}}},
        {"trim to the welcome page", {6000, 5397, 5392, 5396}, 6000, {{-1, 6000}}},
        {"trim without a match", {6000, 6003}, 1234, {}},
    };
    for (const Case& c : cases) {
        CPageHistory history;
        for (int id : c.moves)
            history.Record(id);
        if (c.popUntil)
            history.PopUntil(c.popUntil);
        std::vector<std::pair<int, int>> got;
        for (const PageHistoryEntry& e : history.Entries())
            got.push_back({e.fromId, e.toId});
        EXPECT_EQ(c.expected, got) << c.name;
    }
    CPageHistory empty;
    EXPECT_EQ(PAGE_NONE, empty.LastFrom());
    EXPECT_EQ(PAGE_NONE, empty.LastTo());
}

TEST(PageFactory, EveryPageOfTheTableHasItsClass)
{
    for (size_t i = 0; i + 1 < PageFlowRowCount(); ++i) {
        int id = PageFlowTable[i].pageId;
        CWizardPage* pPage = CRevantDlg::NewPage(static_cast<UINT>(id));
        ASSERT_NE(nullptr, pPage) << id;
        EXPECT_EQ(id, pPage->m_nPageId);
        delete pPage;
    }
    for (UINT id : {0u, 5373u, 5399u, 6008u, static_cast<UINT>(PAGE_NONE)})
        EXPECT_EQ(nullptr, CRevantDlg::NewPage(id)) << id;
}

// Scripted answers of the machine for the first-page choice.
struct FakeFacts : IFirstPageFacts {
    BOOL finish = FALSE, panic = FALSE, restore = FALSE, pe = FALSE, odd = FALSE, rp = TRUE;
    DWORD bootIndex = 0, vendor = 2;
    HRESULT preWelcome = S_OK;
    std::vector<DWORD> discs; // disc type per optical drive
    DWORD bootDrive = 99;
    std::vector<std::wstring> lines;
    BOOL FinishDlg() override { return finish; }
    BOOL CTOPanic() override { return panic; }
    BOOL FileRestore() override { return restore; }
    BOOL IsWinPE() override { return pe; }
    void SetSPActive() override {}
    BOOL BootFromOpticalDrive(DWORD* p) override { *p = bootIndex; return odd; }
    DWORD Vendor() override { return vendor; }
    HRESULT PreWelcome() override { return preWelcome; }
    DWORD OpticalDriveCount() override { return static_cast<DWORD>(discs.size()); }
    DWORD DiscTypeOf(DWORD i) override { return i < discs.size() ? discs[i] : 0; }
    void SetBootOpticalDrive(DWORD i) override { bootDrive = i; }
    BOOL RecoveryPartitionExists() override { return rp; }
    void Trace(const wchar_t* l) override { lines.push_back(l); }
};

TEST(FirstPage, PrecedenceAndBootMedia)
{
    struct Case {
        const char* name;
        void (*setup)(FakeFacts&);
        FirstPageKind kind;
        int page;
        DWORD bootDrive; // 99: not set
    } cases[] = {
        {"installed Windows", [](FakeFacts&) {}, FIRST_PAGE_SPECIAL, 6000, 99},
        {"finish wins over all", [](FakeFacts& f) { f.finish = f.panic = f.restore = f.pe = TRUE; }, FIRST_PAGE_SHOW, 5368, 99},
        {"panic", [](FakeFacts& f) { f.panic = f.restore = TRUE; }, FIRST_PAGE_SHOW, 5391, 99},
        {"file restore", [](FakeFacts& f) { f.restore = f.pe = TRUE; }, FIRST_PAGE_SHOW, 6017, 99},
        {"PE from the recovery partition", [](FakeFacts& f) { f.pe = TRUE; }, FIRST_PAGE_SHOW, 5350, 99},
        {"PE desktop, pre-welcome fails", [](FakeFacts& f) { f.pe = TRUE; f.preWelcome = E_FAIL; }, FIRST_PAGE_NONE, -1, 99},
        {"PE notebook ignores pre-welcome", [](FakeFacts& f) { f.pe = TRUE; f.vendor = 4; f.preWelcome = E_FAIL; }, FIRST_PAGE_SHOW, 5350, 99},
        {"factory disc, desktop", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.discs = {2}; }, FIRST_PAGE_SHOW, 5374, 0},
        {"factory disc, notebook", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.vendor = 4; f.discs = {2}; }, FIRST_PAGE_SHOW, 5350, 0},
        {"user disc with RP", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.discs = {1}; }, FIRST_PAGE_SHOW, 5366, 0},
        {"user disc without RP", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.rp = FALSE; f.discs = {1}; }, FIRST_PAGE_SHOW, 5350, 0},
        {"second drive holds the disc", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.discs = {0, 2}; }, FIRST_PAGE_SHOW, 5374, 1},
        {"boot disc without recovery disc", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.bootIndex = 1; f.discs = {0, 0}; }, FIRST_PAGE_SHOW, 5350, 1},
        {"disc boot, pre-welcome fails", [](FakeFacts& f) { f.pe = f.odd = TRUE; f.discs = {2}; f.preWelcome = E_FAIL; }, FIRST_PAGE_NONE, -1, 0},
    };
    for (const Case& c : cases) {
        FakeFacts facts;
        c.setup(facts);
        FirstPageChoice choice = ChooseFirstPage(facts);
        EXPECT_EQ(c.kind, choice.enKind) << c.name;
        if (c.kind != FIRST_PAGE_NONE)
            EXPECT_EQ(c.page, choice.nPageId) << c.name;
        EXPECT_EQ(c.bootDrive, facts.bootDrive) << c.name;
        EXPECT_EQ(c.page == 5368, choice.bDeleteRecoveryTypeFlags) << c.name;
    }
}

TEST(KioskKeys, SwitchingKeysAreSwallowed)
{
    struct Case {
        const char* name;
        DWORD vk;
        bool alt, ctrl, shift, blocked;
    } cases[] = {
        {"left Windows key", VK_LWIN, false, false, false, true},
        {"right Windows key", VK_RWIN, false, false, false, true},
        {"Alt+Tab", VK_TAB, true, false, false, true},
        {"Tab alone", VK_TAB, false, false, false, false},
        {"Alt+Esc", VK_ESCAPE, true, false, false, true},
        {"Ctrl+Esc", VK_ESCAPE, false, true, false, true},
        {"Ctrl+Shift+Esc", VK_ESCAPE, false, true, true, true},
        {"Esc alone", VK_ESCAPE, false, false, false, false},
        {"Ctrl+Alt+Del", VK_DELETE, true, true, false, true},
        {"Alt+Del", VK_DELETE, true, false, false, false},
        {"a letter with Alt", 'A', true, true, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.blocked, KioskBlocksKey(c.vk, c.alt ? LLKHF_ALTDOWN : 0, c.ctrl, c.shift)) << c.name;
}

TEST(SkinManager, OneObjectAndNoSkinYet)
{
    CUIXSkinManager* first = UIXSkinManager();
    EXPECT_EQ(first, UIXSkinManager());
    first->SetApplyOptions(first->m_dwApplyOptions | 2);
    EXPECT_EQ(2u, UIXSkinManager()->m_dwApplyOptions & 2);
    EXPECT_FALSE(first->LoadSkin(L"X:\\Vista.uixstyles", L"NormalBlue.ini"));
}

// Extended style of a dialog template in a language library.
DWORD TemplateExStyle(const wchar_t* code, UINT id)
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring lib(path);
    lib = lib.substr(0, lib.rfind(L'\\') + 1) + L"Language\\" + code + L"\\RVRC.dll";
    HMODULE h = LoadLibraryExW(lib.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC res = h ? FindResourceW(h, MAKEINTRESOURCEW(id), RT_DIALOG) : nullptr;
    const BYTE* p = res ? static_cast<const BYTE*>(LockResource(LoadResource(h, res))) : nullptr;
    const size_t kExStyleOffset = 8; // after version, signature and help id
    DWORD exStyle = p ? *reinterpret_cast<const DWORD*>(p + kExStyleOffset) : 0xFFFFFFFF;
    if (h)
        FreeLibrary(h);
    return exStyle;
}

TEST(LanguageLibraries, EveryPageHasItsTemplateAndTheRightToLeftOneIsMirrored)
{
    for (size_t i = 0; i + 1 < PageFlowRowCount(); ++i) {
        UINT id = static_cast<UINT>(PageFlowTable[i].pageId);
        for (const wchar_t* code : {L"ENU", L"XID"})
            EXPECT_EQ(0u, TemplateExStyle(code, id) & WS_EX_LAYOUTRTL) << id;
        EXPECT_EQ(static_cast<DWORD>(WS_EX_LAYOUTRTL), TemplateExStyle(L"HEB", id) & (WS_EX_LAYOUTRTL | 0x80000000)) << id;
    }
    EXPECT_EQ(static_cast<DWORD>(WS_EX_LAYOUTRTL), TemplateExStyle(L"HEB", 129) & WS_EX_LAYOUTRTL);
    EXPECT_EQ(0xFFFFFFFFu, TemplateExStyle(L"ENU", 5373)) << "an id without a page has no template";
}

} // namespace
