#include "CUIXColorSystem.h"
#include "CUIXColorManager.h"
#include "CUIXWinThemeWrapper.h"
#include <vssym32.h>

namespace {
const int kThemeNameChars = 260;
}

COLORREF CUIXColorSystem::GetSysColor(int index) { return ::GetSysColor(index); }

BOOL CUIXColorSystem::IsLowResolution() { return CUIXColorManager::IsLowResolution(nullptr); }

BOOL CUIXColorSystem::IsThemeActive() {
    CUIXWinThemeWrapper theme;
    return theme.IsThemeActive();
}

BOOL CUIXColorSystem::GetCurrentThemeName(CString& file, CString& color) {
    wchar_t fileName[kThemeNameChars] = {}, colorName[kThemeNameChars] = {}, sizeName[kThemeNameChars] = {};
    CUIXWinThemeWrapper theme;
    if (FAILED(theme.GetCurrentThemeName(fileName, kThemeNameChars, colorName, kThemeNameChars, sizeName, kThemeNameChars)))
        return FALSE;
    file = fileName;
    color = colorName;
    return TRUE;
}

BOOL CUIXColorSystem::GetTreeViewBorderColor(COLORREF& clr) {
    CUIXWinThemeWrapper theme;
    theme.OpenThemeData(nullptr, L"TREEVIEW");
    if (!theme.IsAppThemed()) return FALSE;
    return SUCCEEDED(theme.GetThemeColor(0, 0, TMT_BORDERCOLOR, &clr));
}
