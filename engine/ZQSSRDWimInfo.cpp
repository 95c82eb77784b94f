#include "ZQSSRDWimInfo.h"

#include "ZQWimInfoReader.h"

HRESULT ZQSSRDWimInfo::LoadFile(const wchar_t* pwszPath)
{
    ZQWimInfoReader reader;
    HRESULT hr = reader.Open(pwszPath);
    if (FAILED(hr))
        return hr;
    for (int n = 1; n <= 2; ++n) {
        wchar_t wszSecName[16];
        ZQWimInfoReader::SectionName(n, wszSecName);
        reader.ReadCommon(wszSecName, m_WimInfoPar[n - 1]);
    }
    return S_OK;
}
