// Ends the simulated session for wpeutil.exe and shutdown.exe: the request is
// journalled and the description's "session" becomes "reboot" or
// "shutdown", which a test reads instead of a machine going down.
#pragma once

#include "CSimPc.h"

#include <string>

// Journals the command line; kind empty = a request that ends nothing.
int EndSimulatedSession(CSimPc& pc, const std::wstring& commandLine, const wchar_t* kind);
