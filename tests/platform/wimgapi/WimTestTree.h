// Helpers of the WIM tests: paths of the fixtures, a recording message
// callback, and a comparison of two trees that sees past MAX_PATH.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace WimTestTree {

// "Y:\...\fixtures\name": what the Linux side made, and where it judges ours.
std::wstring Fixture(const std::wstring& name);
// "\\?\" form of a full path.
std::wstring Long(const std::wstring& path);

// Compares names, kinds, sizes, contents and file times below two folders;
// with attributes also the read-only, hidden, system and archive bits.
// Empty when equal, else the first difference.
std::wstring Compare(const std::wstring& expected, const std::wstring& actual, bool attributes);
inline bool Exists(const std::wstring& path) { return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES; }
bool SameFile(const std::wstring& a, const std::wstring& b);
// Last write time of a file or folder, 0 when it cannot be read.
unsigned long long WriteTime(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool MakeTree(const std::wstring& root, const std::vector<std::wstring>& folders);
void DeleteTree(const std::wstring& path);
bool CopyTree(const std::wstring& from, const std::wstring& to);

} // namespace WimTestTree
