// Runs a tool of the simulated PC as the programs do and reads the PC back.
#pragma once

#include "CSimPc.h"

#include <string>

namespace ToolRunner {

// Writes the script to a temporary file and runs "diskpart /s" on it;
// the exit code, or -1 when the tool cannot start.
int DiskPart(const std::string& script);
// Runs a command line (found through the search path); its exit code or -1.
int Run(const std::wstring& commandLine);

SimPcState State();
std::string Journal();
bool Exists(const std::wstring& path);

} // namespace ToolRunner
