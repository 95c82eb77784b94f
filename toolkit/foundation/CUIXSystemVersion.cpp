#include "CUIXSystemVersion.h"
#include "CUIXModuleHandle.h"

namespace {
const DWORD kFallbackComCtlVersion = 0x40000; // 4.0: no DllGetVersion
} // namespace

CUIXSystemVersion::CUIXSystemVersion() : OSVERSIONINFOW() { dwOSVersionInfoSize = sizeof(OSVERSIONINFOW); }

CUIXSystemVersion::CUIXSystemVersion(DWORD platform, DWORD major, DWORD minor) : CUIXSystemVersion() {
    dwPlatformId = platform;
    dwMajorVersion = major;
    dwMinorVersion = minor;
}

BOOL CUIXSystemVersion::IsWin95() const {
    return dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && dwMajorVersion == 4 && dwMinorVersion < 10;
}

BOOL CUIXSystemVersion::IsWin9x() const { return dwPlatformId == VER_PLATFORM_WIN32_WINDOWS; }

BOOL CUIXSystemVersion::IsWinNT4OrGreater() const {
    return dwPlatformId >= VER_PLATFORM_WIN32_NT && dwMajorVersion >= 4;
}

BOOL CUIXSystemVersion::IsWin2KOrGreater() const {
    return dwPlatformId >= VER_PLATFORM_WIN32_NT && dwMajorVersion >= 5;
}

BOOL CUIXSystemVersion::IsWinVersionOrGreater(DWORD major, DWORD minor) const {
    return dwMajorVersion > major || (dwMajorVersion == major && dwMinorVersion >= minor);
}

BOOL CUIXSystemVersion::IsWinXPOrGreater() const {
    return dwPlatformId >= VER_PLATFORM_WIN32_NT && IsWinVersionOrGreater(5, 1);
}

int CUIXSystemVersion::IsClearTypeTextQualitySupported() const { return IsWinXPOrGreater() ? 1 : 0; }

DWORD CUIXSystemVersion::ComCtlVersionOf(LPCWSTR moduleName) {
    CUIXModuleHandle module(moduleName);
    DWORD version = module.GetVersion();
    return version ? version : kFallbackComCtlVersion;
}

DWORD CUIXSystemVersion::GetComCtlVersion() {
    static DWORD cached = ComCtlVersionOf(L"COMCTL32.DLL");
    return cached;
}

CUIXSystemVersion* UIXSystemVersion() {
    static CUIXSystemVersion* version = [] {
        auto* v = new CUIXSystemVersion;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        ::GetVersionExW(v);
#pragma GCC diagnostic pop
        return v;
    }();
    return version;
}
