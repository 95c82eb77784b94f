// Substring test without regard to case; texts of any length are compared whole.
#pragma once

#include <windows.h>

// True when pwszPart occurs in pwszText; an empty part occurs in every text.
bool ContainsNoCase(const wchar_t* pwszText, const wchar_t* pwszPart);
