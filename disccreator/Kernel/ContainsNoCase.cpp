#include "ContainsNoCase.h"

#include <cwctype>
#include <string>

namespace {

std::wstring Lower(const wchar_t* pwsz)
{
    std::wstring text = pwsz ? pwsz : L"";
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

} // namespace

bool ContainsNoCase(const wchar_t* pwszText, const wchar_t* pwszPart)
{
    return Lower(pwszText).find(Lower(pwszPart)) != std::wstring::npos;
}
