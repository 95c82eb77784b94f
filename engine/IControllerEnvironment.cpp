#include "IControllerEnvironment.h"

std::wstring CSystemControllerEnvironment::ProgramFolder()
{
    wchar_t wszPath[MAX_PATH] = {};
    DWORD cch = GetModuleFileNameW(nullptr, wszPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return std::wstring();
    std::wstring path(wszPath, cch);
    return path.substr(0, path.rfind(L'\\') + 1);
}

HINSTANCE CSystemControllerEnvironment::InstanceHandle()
{
    return GetModuleHandleW(nullptr);
}

IClock& CSystemControllerEnvironment::Clock()
{
    return SystemClock();
}

BOOL CSystemControllerEnvironment::GetPowerStatus(SYSTEM_POWER_STATUS* pStatus)
{
    return GetSystemPowerStatus(pStatus);
}

DWORD CSystemControllerEnvironment::DiscPollMilliseconds()
{
    return 1000;
}

std::wstring CSystemControllerEnvironment::VolumeLabel(wchar_t wcDrvLet)
{
    wchar_t wszRoot[] = {wcDrvLet, L':', L'\\', 0};
    wchar_t wszLabel[MAX_PATH] = {};
    if (!wcDrvLet || !GetVolumeInformationW(wszRoot, wszLabel, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0))
        return std::wstring();
    return wszLabel;
}
