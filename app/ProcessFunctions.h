// Shutting down or restarting the machine through the system's own tool.
#pragma once

#include <windows.h>

const int SHUTDOWN_KIND_POWER_OFF = 1;

// kind 1 shuts down, any other kind restarts. 0 when the tool started,
// 0xE0EF000D without a Windows folder, 0xE0EF0003 when it did not start.
HRESULT NvShutdownWinPE(int nKind);
HRESULT NvShutdownWindows(int nKind);

// Starts a program through the shell, hidden or shown, waiting in steps of
// 100 ms without pumping messages when bWait; 0 or 0xE0EF0003.
HRESULT StartShellProgram(LPCWSTR pwszFile, LPCWSTR pwszParameters, LPCWSTR pwszDirectory, BOOL bWait, BOOL bShow);
