// What the controller tests on a simulated PC share: the profile the rig
// laid out, and the build's fixture folder with the tests' MD.ini and the
// maker's WinRE script.
#pragma once

#include <windows.h>

#include <string>

#include "IControllerEnvironment.h"

namespace SimPcTest {

// The profile's name (SUITE_SIMPC).
inline std::string Profile()
{
    char sz[128] = {};
    GetEnvironmentVariableA("SUITE_SIMPC", sz, sizeof sz);
    return sz;
}

inline bool IsNotebook()
{
    return Profile().find("notebook") == 0;
}

// "...\tests\engine\sbrmgr\" of the tree the test program was built in.
inline std::wstring FixtureFolder()
{
    std::wstring bin = CSystemControllerEnvironment().ProgramFolder(); // ...\win64\bin\ .
    std::wstring tree = bin.substr(0, bin.rfind(L'\\', bin.size() - 2) + 1);
    return tree + L"tests\\engine\\sbrmgr\\";
}

} // namespace SimPcTest
