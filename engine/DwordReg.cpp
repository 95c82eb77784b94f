#include "DwordReg.h"

#include "CAutoRegKey.h"

#include <wchar.h>

namespace {

bool QueryDword(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, DWORD* pdwValue, bool* pbOpened)
{
    CAutoRegKey key;
    *pbOpened = RegOpenKeyExW(hRoot, pwszSubKey, 0, KEY_QUERY_VALUE, key.Receive()) == ERROR_SUCCESS;
    if (!*pbOpened)
        return false;
    DWORD dwValue = 0;
    DWORD cb = sizeof(dwValue);
    if (RegQueryValueExW(key.Get(), pwszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue), &cb)
        != ERROR_SUCCESS)
        return false;
    *pdwValue = dwValue;
    return true;
}

} // namespace

DwordReg::DwordReg(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, BOOL bWritable)
    : m_bWritable(bWritable), m_hRoot(hRoot)
{
    _snwprintf(m_wszSubKey, 511, L"%s", pwszSubKey != nullptr ? pwszSubKey : L"");
    m_wszSubKey[511] = L'\0';
    _snwprintf(m_wszName, 259, L"%s", pwszName != nullptr ? pwszName : L"");
    m_wszName[259] = L'\0';
}

BOOL DwordReg::Read()
{
    bool bOpened = false;
    if (QueryDword(m_hRoot, m_wszSubKey, m_wszName, &m_dwValue, &bOpened))
        return TRUE;
    return QueryDword(HKEY_LOCAL_MACHINE, m_wszSubKey, m_wszName, &m_dwValue, &bOpened) ? TRUE : FALSE;
}
