// File helpers for tests: drive letters that the rig mapped for the test,
// whole-file reads and writes, and tree comparison.
#pragma once

#include <string>

namespace TestFiles {

// "L:\" for a drive letter the test declared.
std::wstring DriveRoot(wchar_t wcLetter);
// Empties a declared drive, so each case starts from a clean folder.
bool ClearDrive(wchar_t wcLetter);
// Deletes a folder and all below it, never through a folder link; true
// when it is gone.
bool DeleteTree(const std::wstring& path);

bool Exists(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read (check Exists first).
std::string ReadBytes(const std::wstring& path);

// Compares names, kinds and file contents of two trees. Returns an empty
// string when they match, else a description of the first difference.
std::wstring CompareTrees(const std::wstring& left, const std::wstring& right);

} // namespace TestFiles
