// Windows version record of the process and the version tests the toolkit uses.
#pragma once
#include <afxwin.h>

class CUIXSystemVersion : public OSVERSIONINFOW {
public:
    CUIXSystemVersion();
    // A record with the given values, for callers that test a version other than the running one.
    CUIXSystemVersion(DWORD platform, DWORD major, DWORD minor);

    BOOL IsWin95() const;
    BOOL IsWin9x() const;
    BOOL IsWinNT4OrGreater() const;
    BOOL IsWin2KOrGreater() const;
    BOOL IsWinVersionOrGreater(DWORD major, DWORD minor) const;
    BOOL IsWinXPOrGreater() const;
    int IsClearTypeTextQualitySupported() const;

    // COMCTL32.DLL version as major * 65536 + minor; 4.0 when it does not say.
    static DWORD GetComCtlVersion();
    // The version of a named library, with the same fallback (for tests of the fallback).
    static DWORD ComCtlVersionOf(LPCWSTR moduleName);
};

// The process-wide record, filled by GetVersionExW on first use.
CUIXSystemVersion* UIXSystemVersion();
