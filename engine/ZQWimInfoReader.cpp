#include "ZQWimInfoReader.h"

#include "CAutoTrace.h"
#include "NvErrorCode.h"

#include <wchar.h>

namespace {

BOOL IsYes(const std::wstring& wstr)
{
    return _wcsicmp(wstr.c_str(), L"yes") == 0 ? TRUE : FALSE;
}

} // namespace

void ZQWimInfoReader::SectionName(int nPart, wchar_t (&wszName)[16])
{
    _snwprintf(wszName, 15, L"PART%04d", nPart);
    wszName[15] = L'\0';
}

HRESULT ZQWimInfoReader::Open(const wchar_t* pwszPath)
{
    if (pwszPath == nullptr)
        return NV_E_INVALID_ARG;
    if (!m_oIni.SetFile(pwszPath)) {
        DebugPrint(L"Layout file %s does not exist.\n", pwszPath);
        return NV_E_FAIL;
    }
    // Missing sections read as empty entries; the callers refuse a layout
    // whose sizes are 0 before anything is written.
    return S_OK;
}

void ZQWimInfoReader::ReadCommon(const wchar_t* pwszSection, ZQWimInfoPar& par)
{
    par.ullStartingOffset = static_cast<ULONGLONG>(m_oIni.GetNumber(pwszSection, L"Starting_Offset", 0));
    par.ullPartitionSize = static_cast<ULONGLONG>(m_oIni.GetNumber(pwszSection, L"Partition_Size", 0));
    par.dwPartitionType = static_cast<DWORD>(m_oIni.GetInt(pwszSection, L"Partition_Type", 0));
    par.bPrimary = IsYes(m_oIni.GetString(pwszSection, L"Primary", nullptr));
    par.bMountedVolume = IsYes(m_oIni.GetString(pwszSection, L"Mounted_Volume", nullptr));
    par.dwWindowsVersion = static_cast<DWORD>(m_oIni.GetInt(pwszSection, L"Windows_Version", 0));
    par.bFixedSize = IsYes(m_oIni.GetString(pwszSection, L"Fixed_Size", nullptr));
    par.ullUsedSpace = static_cast<ULONGLONG>(m_oIni.GetNumber(pwszSection, L"Used_Space", 0));
}
