// Runs an operation on its own thread. One that never returns (such as a loop
// over a part that cannot be registered) ends the test program with a message
// instead of hanging the run.
#pragma once

#include <windows.h>

#include <functional>

HRESULT RunWithDeadline(const std::function<HRESULT()>& fn, DWORD dwMilliseconds, const char* pszWhat);
