// Helpers of the toolkit tests: fixture paths and 32-bpp pixel access.
#pragma once
#include <afxwin.h>
#include <string>
#include <vector>

namespace uixtest {

// A fixture generated at build time beside the test program.
std::wstring Fixture(const wchar_t* name);

// A 32-bpp DIB section (top-down when topDown) filled from BGRA values.
HBITMAP MakeBitmap(int width, int height, const std::vector<DWORD>& bgra, bool topDown = false);
// The BGRA values of a 32-bpp DIB section in memory order; empty when it is not one.
std::vector<DWORD> Pixels(HBITMAP hBitmap);
// Width and signed height of a DIB section.
SIZE DibSize(HBITMAP hBitmap);

inline DWORD Bgra(BYTE b, BYTE g, BYTE r, BYTE a) { return (DWORD)b | ((DWORD)g << 8) | ((DWORD)r << 16) | ((DWORD)a << 24); }

} // namespace uixtest
