#include "ZQUCRDWimInfo.h"

#include "CAutoTrace.h"
#include "ZQWimInfoReader.h"

#include <wchar.h>

namespace {

ZQPartRole RoleOf(const std::wstring& wstrRole)
{
    if (_wcsicmp(wstrRole.c_str(), L"UP") == 0)
        return PR_UP;
    if (_wcsicmp(wstrRole.c_str(), L"RP") == 0)
        return PR_RP;
    if (_wcsicmp(wstrRole.c_str(), L"BP") == 0)
        return PR_BP;
    return PR_NONE;
}

} // namespace

HRESULT ZQUCRDWimInfo::LoadFile(const wchar_t* pwszPath)
{
    CAutoTrace trace(L"ZQUCRDWimInfo", L"LoadFile", this);
    ZQWimInfoReader reader;
    HRESULT hr = reader.Open(pwszPath);
    if (FAILED(hr))
        return hr;

    for (DWORD dwParIndex = 1; dwParIndex <= 4; ++dwParIndex) {
        wchar_t wszSecName[16];
        ZQWimInfoReader::SectionName(static_cast<int>(dwParIndex), wszSecName);
        trace.Print(L"wszSecName = %s", wszSecName);
        ZQWimInfoPar& par = m_WimInfoPar[dwParIndex];
        reader.ReadCommon(wszSecName, par);
        std::wstring wstrTemp = reader.Ini().GetString(wszSecName, L"Role", L"");
        trace.Print(L"wstrTemp.c_str() = %s", wstrTemp.c_str());
        par.enPartRole = RoleOf(wstrTemp);
        trace.Print(L"m_WimInfoPar[dwParIndex].enPartRole = %lu", static_cast<DWORD>(par.enPartRole));
    }
    m_ullDiskSize = static_cast<ULONGLONG>(reader.Ini().GetNumber(L"General", L"Disk_Size", 0));
    trace.Print(L"m_ullDiskSize = %llu", m_ullDiskSize);
    return S_OK;
}
