// What the end-to-end recovery tests share: runs of the headless recovery
// driver on the simulated PC, the statuses it printed, and file trees.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace RecoveryTest {

// The program folder the driver is given: the tests put MD.ini and the
// maker's scripts there.
extern const wchar_t kProgram[];

// Makes the RAM drive's Windows folder and the program folder, and copies
// the named fixtures (MD.ini, the maker's scripts) into the latter.
bool LayOutProgram(std::initializer_list<const wchar_t*> fixtures);

// Relative path -> content of every file below a folder ("" for folders);
// Wine's volume-label file is not part of a tree.
using Tree = std::map<std::wstring, std::string>;
Tree TreeOf(const std::wstring& root);

// The simulated PC's own folder, as a Windows path.
std::wstring PcFolder();

// Writes a file, making its folders first.
bool Put(const std::wstring& path, const std::string& bytes);

struct DriverRun {
    DWORD exitCode = 0;
    std::string output;
};

// Runs RecoveryDriver.exe with the arguments and waits for it, at most limitMs.
DriverRun RunDriver(const std::wstring& args, DWORD limitMs);

// The statuses in the order the driver printed them, each change once.
std::vector<DWORD> Statuses(const std::string& output);

// seen is order with some entries unseen (a step shorter than the poll),
// never reordered, ending in order's last.
bool InOrder(const std::vector<DWORD>& seen, const std::vector<DWORD>& order);

// A path for a failure message (its wide characters cut to bytes).
std::string Narrow(const std::wstring& w);

// How often what stands in text.
size_t Count(const std::string& text, const std::string& what);

} // namespace RecoveryTest
