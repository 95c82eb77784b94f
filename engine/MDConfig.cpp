#include "MDConfig.h"

#include "CAutoTrace.h"
#include "IniFile.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

const int kDefaultWaitSeconds = 300;

} // namespace

HRESULT MDConfig::LoadConfig(const wchar_t* pwszPath)
{
    CAutoTrace trace(L"MDConfig", L"LoadConfig", this);
    IniFile oIni;
    if (pwszPath == nullptr || !NvFileExists(pwszPath) || !oIni.SetFile(pwszPath))
        return NV_E_FILE_NOT_EXIST;

    m_ullLargeSSDThreshold = static_cast<ULONGLONG>(oIni.GetNumber(L"SystemRecovery", L"LargeSSDThreshold", 0));
#ifndef RV_DISCORA
    m_nWaitTimeBySecond = oIni.GetInt(L"FinishDlg", L"WaitTimeBySecond", 0);
    if (m_nWaitTimeBySecond <= 0)
        m_nWaitTimeBySecond = kDefaultWaitSeconds;
#endif
    m_wstrPath = pwszPath;
    trace.Print(L"m_ullLargeSSDThreshold = %llu", m_ullLargeSSDThreshold);
    return S_OK;
}
