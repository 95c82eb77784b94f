// Settings of "MD.ini" beside the program.
#pragma once

#include <windows.h>

#include <string>

class MDConfig {
public:
    // 0; 0xE0EF002F when the file is missing. Missing sections and keys
    // give the defaults.
    HRESULT LoadConfig(const wchar_t* pwszPath);

    std::wstring m_wstrPath;               // the file loaded; empty until then
    ULONGLONG m_ullLargeSSDThreshold = 0;  // GiB
#ifndef RV_DISCORA
    int m_nWaitTimeBySecond = 0;           // seconds; 300 when unset
#endif
};
