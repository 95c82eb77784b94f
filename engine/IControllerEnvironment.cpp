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
