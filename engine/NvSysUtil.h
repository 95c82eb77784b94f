// Where the program runs (Windows PE, boot medium, Windows version) and a
// few Windows facilities: registry read, process search, diskpart scripts,
// WOW64 file-system redirection. Stateless.
#pragma once

#include <windows.h>

#include <string>

// The value of NvGetOSVersion.
enum OSVersionCode : DWORD {
    OSV_WIN32S_OR_UNKNOWN = 0,
    OSV_WINNT4            = 2,
    OSV_WIN95             = 4,
    OSV_WIN98             = 6,
    OSV_WINME             = 8,
    OSV_WIN2000           = 10,
    OSV_WINXP             = 12,
    OSV_WIN2003           = 14,
    OSV_VISTA             = 16,
    OSV_WINPE             = 18,
    OSV_WIN7              = 24,
    OSV_OTHER_NT          = 255,
};

// *pbWinPE is TRUE when the product name is the Windows PE one.
HRESULT NvIsWinPE(BOOL* pbWinPE);
// TRUE when Windows PE was booted from an optical drive; its index goes to
// *pdwDrvIndex when given.
BOOL NvIsPEBootFromODD(DWORD* pdwDrvIndex);
HRESULT NvGetOSVersion(DWORD* pdwCode);
// The code for a version record, without asking Windows PE first.
DWORD NvOSVersionCodeFromInfo(const OSVERSIONINFOW& oVerInfo);

// Reads a value into the caller's buffer of *pdwSize bytes; the copy never
// exceeds that size. *pdwSize 0 asks for the size and type only.
HRESULT NvRegQueryValue(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName,
                        DWORD* pdwType, BYTE* pData, DWORD* pdwSize);

#ifdef RV_DISCORA
// The disc creator's own Windows PE test: "/MININT" in the start options.
BOOL IsUnderWinPE();
#else
// TRUE when a process of this executable name runs (any case).
BOOL NvIsProcessRunning(const wchar_t* pwszExeName);
// Runs a diskpart script through cmd.exe and waits for it; diskpart's own
// result is not examined.
HRESULT ExecuteDiskPart(const wchar_t* pwszScript);
#endif

// Folder of the running program file, with its trailing backslash.
bool NvGetProgramFolder(std::wstring& wstrFolder);

BOOL NvIsWow64();
BOOL NvDisableWow64FsRedirection(PVOID* ppOldValue);
BOOL NvRevertWow64FsRedirection(PVOID pOldValue);
