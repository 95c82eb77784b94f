// Reading of one partition section, shared by the two layout readers.
#pragma once

#include <windows.h>

#include "IniFile.h"
#include "ZQWimInfoPar.h"

class ZQWimInfoReader {
public:
    // Opens the layout file; 0, 0xE0EF001E or 0xE0EF0003 (missing file).
    HRESULT Open(const wchar_t* pwszPath);
    static void SectionName(int nPart, wchar_t (&wszName)[16]);
    // The eight keys every layout has; a missing key gives its default.
    void ReadCommon(const wchar_t* pwszSection, ZQWimInfoPar& par);
    IniFile& Ini() { return m_oIni; }

private:
    IniFile m_oIni;
};
