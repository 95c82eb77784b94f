#include "CUIXSkinManager.h"

BOOL CUIXSkinManager::LoadSkin(LPCWSTR, LPCWSTR) { return FALSE; }

CUIXSkinManager* UIXSkinManager()
{
    static CUIXSkinManager manager;
    return &manager;
}
