// The language tables, and lookups that ignore the case of their key.
#include "LanguageTables.h"

#include <cwctype>

namespace LanguageTables {
namespace {

const FlagLang kFlagLang[] = {
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

struct CodeRow {
    const wchar_t* code;
    const wchar_t* flag;      // null: none
    const wchar_t* pcDoctor;  // null: none
    const wchar_t* culture;   // null: none
};

const CodeRow kByCode[] = {
    {L"ENU", L"SSRD_US.flg", L"en", L"en-US"},    {L"PTB", L"SSRD_BR.flg", L"pt", L"pt-BR"},
    {L"DEU", L"SSRD_GR.flg", L"de", L"de-DE"},    {L"FRA", L"SSRD_FR.flg", L"fr", L"fr-FR"},
    {L"ITA", L"SSRD_IT.flg", L"it", L"it-IT"},    {L"ESP", L"SSRD_SP.flg", L"es", L"es-ES"},
    {L"DAN", L"SSRD_DK.flg", L"da", L"da-DK"},    {L"SVE", L"SSRD_SE.flg", L"sv", L"sv-SE"},
    {L"FIN", L"SSRD_FI.flg", L"fi", L"fi-FI"},    {L"NOR", L"SSRD_NO.flg", L"nb", L"nb-NO"},
    {L"PTG", L"SSRD_PT.flg", L"pt", L"pt-PT"},    {L"ARA", L"SSRD_AR.flg", L"ar", L"ar-SA"},
    {L"NLD", L"SSRD_NL.flg", L"nl", L"nl-NL"},    {L"ELL", L"SSRD_GK.flg", L"el", L"el-GR"},
    {L"HEB", L"SSRD_IL.flg", L"he", L"he-IL"},    {L"RUS", L"SSRD_RU.flg", L"ru", L"ru-RU"},
    {L"TRK", L"SSRD_TR.flg", L"tr", L"tr-TR"},    {L"PLK", L"SSRD_PL.flg", L"pl", L"pl-PL"},
    {L"CSY", L"SSRD_CS.flg", L"cs", L"cs-CZ"},    {L"BGR", L"SSRD_BG.flg", nullptr, L"bg-BG"},
    {L"HUN", L"SSRD_HU.flg", L"hu", L"hu-HU"},    {L"ROM", L"SSRD_RO.flg", nullptr, L"ro-RO"},
    {L"SKY", L"SSRD_SK.flg", nullptr, L"sk-SK"},  {L"KOR", L"SSRD_KR.flg", L"ko", L"ko-KR"},
    {L"CHS", L"SSRD_CH.flg", L"zh-cn", L"zh-CN"}, {L"CHT", L"SSRD_TW.flg", L"zh-tw", L"zh-TW"},
    {L"JPN", L"SSRD_JP.flg", L"ja", L"ja-JP"},    {L"LVI", L"SSRD_LV.flg", nullptr, L"lv-LV"},
    {L"ETI", L"SSRD_EI.flg", nullptr, L"et-EE"},  {L"HRV", L"SSRD_HR.flg", nullptr, L"hr-HR"},
    {L"SLV", L"SSRD_SL.flg", nullptr, L"sl-SI"},  {L"LTH", L"SSRD_LT.flg", nullptr, L"lt-LT"},
    {L"SRL", L"SSRD_SR.flg", nullptr, nullptr},   {L"THA", nullptr, nullptr, L"th-TH"},
    {L"UKR", nullptr, nullptr, L"uk-UA"},
};

std::wstring Upper(const wchar_t* pwsz)
{
    std::wstring s = pwsz ? pwsz : L"";
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

const CodeRow* FindCode(const wchar_t* pwszCode)
{
    std::wstring key = Upper(pwszCode);
    for (const CodeRow& row : kByCode)
        if (key == row.code)
            return &row;
    return nullptr;
}

std::wstring Column(const wchar_t* pwszCode, const wchar_t* CodeRow::*column)
{
    const CodeRow* row = FindCode(pwszCode);
    return row && row->*column ? row->*column : L"";
}

} // namespace

const FlagLang* FlagLangRows(size_t* pcRows)
{
    *pcRows = _countof(kFlagLang);
    return kFlagLang;
}

std::wstring CodeByFlag(const wchar_t* pwszFlagName)
{
    std::wstring key = Upper(pwszFlagName);
    for (const FlagLang& row : kFlagLang)
        if (key == row.flag)
            return row.code;
    return L"";
}

std::wstring FlagByCode(const wchar_t* pwszCode) { return Column(pwszCode, &CodeRow::flag); }
std::wstring PCDoctorByCode(const wchar_t* pwszCode) { return Column(pwszCode, &CodeRow::pcDoctor); }
std::wstring CultureByCode(const wchar_t* pwszCode) { return Column(pwszCode, &CodeRow::culture); }

bool IsLanguageCode(const wchar_t* pwszCode)
{
    const size_t kCodeLength = 3;
    if (!pwszCode || wcslen(pwszCode) != kCodeLength)
        return false;
    for (size_t i = 0; i < kCodeLength; ++i) {
        wchar_t c = pwszCode[i];
        if (!((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')))
            return false;
    }
    return true;
}

} // namespace LanguageTables
