// Helpers of the disc-plan tests: files of given sizes, and the contents
// of sets as lists of names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ISet;
class Splitter;

namespace PlanTestFiles {

// Creates the folders above it and a file of that many bytes (sparse
// beyond what the bytes need: only the length matters).
bool MakeFile(const std::wstring& path, ULONGLONG ullSize);
bool MakeFolder(const std::wstring& path);
bool WriteText(const std::wstring& path, const std::string& text);
// The last path component of every entry of the set, in order.
std::vector<std::wstring> Names(ISet& set);
// Names per set, set 1 first.
std::vector<std::vector<std::wstring>> Plan(Splitter& splitter);

} // namespace PlanTestFiles
