// One text registry value, read with a fall-back to HKEY_LOCAL_MACHINE and
// written back as REG_SZ when built writable.
#pragma once

#include <windows.h>

class StringReg {
public:
    StringReg(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, BOOL bWritable);
    virtual ~StringReg() = default;

    BOOL Read();
    const wchar_t* GetValue() const { return m_wszValue; }
    // Keeps the text; stores it too when writable. Failures are silent.
    void Write(const wchar_t* pwszText);

private:
    BOOL m_bWritable;
    wchar_t m_wszSubKey[512];
    wchar_t m_wszName[260];
    HKEY m_hRoot;
    wchar_t m_wszValue[1024] = {};
};
