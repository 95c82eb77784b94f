// Text conversions shared by the simulated PC and the stand-ins over it.
#pragma once

#include <windows.h>

#include <string>

namespace SimPcText {

// UTF-8 from and to UTF-16, as the description and journal are stored.
std::string Narrow(const std::wstring& w);
std::wstring Widen(const std::string& s);
// printf into a string of at most 1023 characters.
std::wstring Format(const wchar_t* format, ...);

} // namespace SimPcText
