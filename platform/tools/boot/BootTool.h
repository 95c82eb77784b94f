// What the boot tools share: the journal line of their call and the PC's
// order to fail ("fail_<tool>" in the description, the exit code to give).
#pragma once

#include "CSimPc.h"

#include <string>

// The arguments joined by blanks.
std::wstring JoinArguments(int argc, wchar_t** argv);
// Journals "run <arguments> in <folder>"; returns the exit code the PC
// orders (0: go on).
int StartTool(CSimPc& pc, const wchar_t* name, const std::wstring& args);
// True when the path lies on a drive letter the tools may write: never
// Wine's own C:.
bool IsWritableTarget(const std::wstring& path);
// Creates every missing folder of a file's path.
void MakeFoldersOf(const std::wstring& path);
