// What a colour refresh reads of the system: colours, colour depth and the
// visual style. Tests hand the colour manager their own.
#pragma once
#include <afxwin.h>

class CUIXColorSystem {
public:
    virtual ~CUIXColorSystem() = default;
    virtual COLORREF GetSysColor(int index);
    virtual BOOL IsLowResolution();
    virtual BOOL IsThemeActive();
    // The visual style's file and colour names; FALSE when they cannot be had.
    virtual BOOL GetCurrentThemeName(CString& file, CString& color);
    // TMT_BORDERCOLOR of the "TREEVIEW" class when the application is themed.
    virtual BOOL GetTreeViewBorderColor(COLORREF& clr);
};
