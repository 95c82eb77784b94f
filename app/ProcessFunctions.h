// Shutting down or restarting the machine through the system's own tool.
#pragma once

#include <windows.h>

const int SHUTDOWN_KIND_POWER_OFF = 1;

// kind 1 shuts down, any other kind restarts. 0 when the tool started,
// 0xE0EF000D without a Windows folder, 0xE0EF0003 when it did not start.
HRESULT NvShutdownWinPE(int nKind);
HRESULT NvShutdownWindows(int nKind);

