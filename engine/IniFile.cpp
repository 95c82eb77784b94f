#include "IniFile.h"

#include "NvFileUtil.h"

#include <errno.h>
#include <stdlib.h>

#include <vector>

namespace {

const DWORD kValueChars = 2048;

std::vector<std::wstring> SectionNames(const std::wstring& wstrPath)
{
    std::vector<wchar_t> buf(32768, L'\0');
    DWORD n = GetPrivateProfileSectionNamesW(buf.data(), static_cast<DWORD>(buf.size() - 1), wstrPath.c_str());
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < n && buf[i] != L'\0';) {
        names.emplace_back(&buf[i]);
        i += static_cast<DWORD>(names.back().size()) + 1;
    }
    return names;
}

} // namespace

BOOL IniFile::SetFile(std::wstring wstrPath)
{
    if (!NvFileExists(wstrPath.c_str()))
        return FALSE;
    m_wstrPath = std::move(wstrPath);
    return TRUE;
}

std::wstring IniFile::GetString(const wchar_t* pwszSection, const wchar_t* pwszKey, const wchar_t* pwszDefault)
{
    std::vector<wchar_t> buf(kValueChars, L'\0');
    GetPrivateProfileStringW(pwszSection, pwszKey, pwszDefault != nullptr ? pwszDefault : L"", buf.data(),
                             kValueChars, m_wstrPath.c_str());
    m_wstrLast = buf.data();
    return m_wstrLast;
}

int IniFile::GetInt(const wchar_t* pwszSection, const wchar_t* pwszKey, int nDefault)
{
    return static_cast<int>(GetPrivateProfileIntW(pwszSection, pwszKey, nDefault, m_wstrPath.c_str()));
}

LONGLONG IniFile::GetNumber(const wchar_t* pwszSection, const wchar_t* pwszKey, LONGLONG llDefault)
{
    std::wstring wstrText = GetString(pwszSection, pwszKey, nullptr);
    if (wstrText.empty())
        return llDefault;
    // _wcstoi64 saturates at the limits and stops at the first non-digit.
    return _wcstoi64(wstrText.c_str(), nullptr, 10);
}

BOOL IniFile::HasSection(const wchar_t* pwszSection) const
{
    if (m_wstrPath.empty() || pwszSection == nullptr)
        return FALSE;
    for (const std::wstring& wstrName : SectionNames(m_wstrPath)) {
        if (_wcsicmp(wstrName.c_str(), pwszSection) == 0)
            return TRUE;
    }
    return FALSE;
}

BOOL IniFile::HasAnySection() const
{
    return !m_wstrPath.empty() && !SectionNames(m_wstrPath).empty();
}
