// The skin manager as the host sees it until the skin framework exists: one
// object for the process, options stored, and no skin loaded.
#pragma once

#include <windows.h>

class CUIXSkinManager {
public:
    DWORD m_dwApplyOptions = 0;

    void SetApplyOptions(DWORD dwOptions) { m_dwApplyOptions = dwOptions; }
    // FALSE: no skin framework is built in yet, the process keeps the system look.
    BOOL LoadSkin(LPCWSTR pwszSkinPath, LPCWSTR pwszIniName);
};

CUIXSkinManager* UIXSkinManager();
