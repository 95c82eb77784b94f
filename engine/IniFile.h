// Reads one INI file through the profile-string functions.
#pragma once

#include <windows.h>

#include <string>

class IniFile {
public:
    IniFile() = default;

    // TRUE when the path names a file; otherwise the previous file stays.
    BOOL SetFile(std::wstring wstrPath);
    std::wstring GetString(const wchar_t* pwszSection, const wchar_t* pwszKey, const wchar_t* pwszDefault);
    int GetInt(const wchar_t* pwszSection, const wchar_t* pwszKey, int nDefault);
    // Signed 64-bit decimal: leading digits, saturating; empty gives the default.
    LONGLONG GetNumber(const wchar_t* pwszSection, const wchar_t* pwszKey, LONGLONG llDefault);

    // TRUE when the file holds the section (readers tell an empty or
    // foreign file from one with missing keys).
    BOOL HasSection(const wchar_t* pwszSection) const;
    // TRUE when the file holds at least one section.
    BOOL HasAnySection() const;
    const std::wstring& GetPath() const { return m_wstrPath; }

private:
    std::wstring m_wstrPath;
    std::wstring m_wstrLast;
};
