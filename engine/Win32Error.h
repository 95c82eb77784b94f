// Reporting of failed Windows calls.
#pragma once

#include <windows.h>

// Writes "Win32 System Info Code = %lu, Info Message = %s\n" with the system's text.
// The disc creator writes no system-error line.
void PrintWin32Error(DWORD dwErrorCode);

// Closes *phHandle and clears it; a null or invalid handle is left alone.
HRESULT SafeCloseHandle(HANDLE* phHandle);
