// Sizes shared by the pages and their controls: the display's font factor,
// fitting a control to a text, the frame's fonts from the language library,
// and paths under the program folder.
#pragma once

#include <afxwin.h>

// 96 divided by the display's horizontal pixels per inch (1.0 at 96 DPI).
double GetDPIScale();
// Sizes the window to one line of the text (a value up to 0xFFFF is a string
// id; empty: the window's own text) in the window's font. The text is unchanged.
void SetWindowTextAutoSize(CWnd* pWnd, LPCWSTR pwszTextOrId);

// One line of text measured in the font the window draws with (WM_GETFONT).
CSize TextExtentInWindowFont(CWnd* pWnd, const CString& strText);
// The number of points at the start of a string resource; 0 when none.
int FontPointsFromString(UINT nSizeStringId);
// A point font with the face of string 9000 and the size of the given
// string, scaled by GetDPIScale; bold when nWeight is FW_BOLD.
BOOL CreateFrameFont(CFont& font, UINT nSizeStringId, LONG nWeight = FW_NORMAL);
// The program file's folder with a backslash, then the relative path; empty
// when the result would not fit MAX_PATH.
CString ProgramFolderPath(LPCWSTR pwszRelPath);
// A string resource, or "" when the library has none.
CString LoadFrameString(UINT nId);

// A window's rectangle in its parent's client coordinates.
CRect RectInParent(CWnd* pWnd);
// Invalidates the window's area of its parent (erase) and updates the parent.
void RepaintUnder(CWnd* pWnd);
