// The simulated PC as the disc creator's tests use it: its description,
// new discs for the writer, and programs run to their end.
#pragma once

#include <windows.h>

#include <string>

#include "CSimPc.h"
#include "SimPcTypes.h"

namespace DiscTestPc {

SimPcState Read();
// A new disc record (a folder of its own, no files); its id.
std::wstring NewDisc(CSimPc& pc, SimPcState& state, DWORD dwMedia, DWORD dwSectors, bool bBlank);
// Runs a command line to its end (or the time-out) with the output handle
// given (null: none); its exit code, or -1.
DWORD Run(const std::wstring& line, const wchar_t* pwszFolder, HANDLE hOutput, DWORD dwTimeoutMs);

} // namespace DiscTestPc
