// What the recovery program's tests share: the build's program folder, the
// simulated PC's profile and journal.
#pragma once

#include <string>

namespace AppTestSupport {

// The folder of the test program, which is Mendora's: ends in a backslash.
std::wstring ProgramFolder();
// The simulated PC's profile name ("desktop-w7" ...), empty when none.
std::string Profile();
std::string ReadAll(const std::wstring& path);
// The simulated PC's journal as it is now.
std::string Journal();

} // namespace AppTestSupport
