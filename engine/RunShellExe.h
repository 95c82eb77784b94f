// Starts a program or document through the shell, optionally waiting for it.
// Shared by the frame, the pages and the engine steps that run tools.
#pragma once

#include <windows.h>

// Values of RunShellExe's wait argument.
constexpr int RSE_NO_WAIT = 0;
constexpr int RSE_WAIT = 1;

// 0 when the shell started it; NV_E_FAIL (after one Win32 error line) when
// it did not. directory, verb and process may be null (null verb: the
// default one). With wait RSE_WAIT it returns only after the process ended,
// without pumping messages. *process receives the process handle, which the
// caller then owns and which is null when the shell handed the request to a
// running program; without process the handle is closed here.
HRESULT RunShellExe(LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, LPCWSTR verb, int wait, BOOL show,
                    HANDLE* process);
