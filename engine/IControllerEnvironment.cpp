#include "IControllerEnvironment.h"

#include "NvSysUtil.h"

std::wstring CSystemControllerEnvironment::ProgramFolder()
{
    std::wstring folder;
    return NvGetProgramFolder(folder) ? folder : std::wstring();
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
