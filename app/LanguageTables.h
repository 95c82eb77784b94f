// Translations between the three-letter resource-language code and the names
// other parties use: the factory disc set's flag files, the diagnostics'
// language tag and the culture name of Windows PE.
#pragma once

#include <windows.h>

#include <string>

namespace LanguageTables {

struct FlagLang {
    const wchar_t* flag; // "SSRD_US.FLG"
    const wchar_t* code; // "ENU"
};

// Flag file names in the order they are probed; the first found wins.
const FlagLang* FlagLangRows(size_t* pcRows);

// Code of a flag file name (any case); empty when it names no language.
std::wstring CodeByFlag(const wchar_t* pwszFlagName);
// Flag file written for a code (any case, null = empty); empty when none.
std::wstring FlagByCode(const wchar_t* pwszCode);
// Diagnostics' language tag; empty when none.
std::wstring PCDoctorByCode(const wchar_t* pwszCode);
// Culture name for "wpeutil SetMuiLanguage"; empty when none.
std::wstring CultureByCode(const wchar_t* pwszCode);

// A folder name a language library may have: exactly three letters. Texts
// from files and the registry name a folder under the program's; anything
// else could point the program at a library elsewhere.
bool IsLanguageCode(const wchar_t* pwszCode);

} // namespace LanguageTables
