// A plain top-level window that stands in for a program's wizard until its
// application frame is built.
#pragma once

#include <windows.h>

int RunPlaceholderWindow(HINSTANCE hInstance, const wchar_t* pwszClass, const wchar_t* pwszTitle);
