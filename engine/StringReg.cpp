#include "StringReg.h"

#include "CAutoRegKey.h"

#include <wchar.h>

namespace {

const DWORD kValueChars = 1024;

// The text is terminated inside the buffer even when the stored data is not.
bool QueryText(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, wchar_t (&wszValue)[kValueChars])
{
    CAutoRegKey key;
    if (RegOpenKeyExW(hRoot, pwszSubKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return false;
    wchar_t wszRead[kValueChars + 1] = {};
    DWORD cb = kValueChars * sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), pwszName, nullptr, nullptr, reinterpret_cast<BYTE*>(wszRead), &cb)
        != ERROR_SUCCESS)
        return false;
    wszRead[kValueChars - 1] = L'\0';
    wcscpy(wszValue, wszRead);
    return true;
}

} // namespace

StringReg::StringReg(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, BOOL bWritable)
    : m_bWritable(bWritable), m_hRoot(hRoot)
{
    _snwprintf(m_wszSubKey, 511, L"%s", pwszSubKey != nullptr ? pwszSubKey : L"");
    m_wszSubKey[511] = L'\0';
    _snwprintf(m_wszName, 259, L"%s", pwszName != nullptr ? pwszName : L"");
    m_wszName[259] = L'\0';
}

BOOL StringReg::Read()
{
    if (QueryText(m_hRoot, m_wszSubKey, m_wszName, m_wszValue))
        return TRUE;
    return QueryText(HKEY_LOCAL_MACHINE, m_wszSubKey, m_wszName, m_wszValue) ? TRUE : FALSE;
}

void StringReg::Write(const wchar_t* pwszText)
{
    _snwprintf(m_wszValue, kValueChars - 1, L"%s", pwszText != nullptr ? pwszText : L"");
    m_wszValue[kValueChars - 1] = L'\0';
    if (!m_bWritable)
        return;
    CAutoRegKey key;
    if (RegCreateKeyExW(m_hRoot, m_wszSubKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr)
        != ERROR_SUCCESS)
        return;
    DWORD cb = static_cast<DWORD>((wcslen(m_wszValue) + 1) * sizeof(wchar_t));
    RegSetValueExW(key.Get(), m_wszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_wszValue), cb);
}
