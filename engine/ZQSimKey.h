// The platform and vendor settings record, read from the scrambled file
// "ZQ.sim" of tagged records.
#pragma once

#include <windows.h>

#include <string>

#include "ZQPlatformVendor.h"

class ZQSimKey {
public:
    static const WORD kFirstTag = 0x8101;
    static const WORD kLastTag = 0x8127;
    static const WORD kVendorTag = 0x8126;   // non-zero: desktop
    static const WORD kPlatformTag = 0x8127; // non-zero: Windows 7
    static const DWORD kMaxValueBytes = 260;

    void LoadDefaults();
    // TRUE when the file was read and its header was present. Records after
    // a damaged one (too long, cut short) are not read.
    BOOL LoadFile(const wchar_t* pwszPath);

    int GetInt(WORD wTag) const;
    const std::wstring& GetText(WORD wTag) const;
    BOOL IsTextTag(WORD wTag) const;

private:
    void Store(WORD wTag, const wchar_t* pwszValue);
    static int TextIndex(WORD wTag);

    int m_anValues[kLastTag - kFirstTag + 1] = {};
    std::wstring m_wstrTexts[4];
};

// The process's settings record.
extern ZQSimKey g_ZQSimKey;

// Fills g_ZQSimKey from "ZQ.sim" in the program folder (ending in a
// backslash) and derives the platform and vendor; without the file the
// vendor is desktop and the platform follows the running system.
HRESULT LoadZQSimSettings(const wchar_t* pwszProgramFolder, ZQPlatform* penPlatform, ZQVendor* penVendor);
