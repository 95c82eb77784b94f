// What peimg.exe and oscdimg.exe share: the command line as it was typed,
// split the way the C runtime splits it, and the failures a test asks of a
// tool through the simulated PC's description.
#pragma once

#include "CSimPc.h"

#include <string>
#include <vector>

namespace PeToolRun {

// Finds the simulated PC and journals the run ("run " and the arguments as
// typed); false, with a message on standard error, when there is no PC.
bool Start(CSimPc& pc, const wchar_t* pwszTool);

// Everything after the program's own name, exactly as the caller passed it,
// so that the journal shows the caller's quoting.
std::wstring RawArguments();

// The arguments after the program's name, split by the C runtime's rules.
std::vector<std::wstring> Arguments();

// True when the description's [pc] value named key lists op (or "*"):
// e.g. "peimg_fail = lang install" makes "/lang" and "/install" fail.
bool FailureAsked(CSimPc& pc, const wchar_t* key, const std::wstring& op);

// Ends the run: journals "exit N" and returns N.
int Exit(CSimPc& pc, int code, const std::wstring& why = std::wstring());

bool IsFolder(const std::wstring& path);
bool IsFile(const std::wstring& path);
// Creates every missing level of a folder path.
bool MakeFolders(const std::wstring& path);

} // namespace PeToolRun
