// One DWORD registry value, read with a fall-back to HKEY_LOCAL_MACHINE.
#pragma once

#include <windows.h>

class DwordReg {
public:
    DwordReg(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, BOOL bWritable);
    virtual ~DwordReg() = default;

    BOOL Read();
    DWORD GetValue() const { return m_dwValue; }

private:
    BOOL m_bWritable;
    wchar_t m_wszSubKey[512];
    wchar_t m_wszName[260];
    HKEY m_hRoot;
    DWORD m_dwValue = 0;
};
