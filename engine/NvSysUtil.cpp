#include "NvSysUtil.h"

#include "CAutoHandle.h"
#include "CAutoRegKey.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "Win32Error.h"

#include <tlhelp32.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kControlKey[] = L"SYSTEM\\CurrentControlSet\\Control";
const wchar_t kWinPEProductName[] = L"Windows (TM) Code Name \"Longhorn\" Preinstallation Environment";
#ifdef RV_DISCORA
const wchar_t kBootDeviceValue[] = L"SystemBootDevice";
#else
const wchar_t kBootDeviceValue[] = L"FirmwareBootDevice";
#endif

void LogRegError(LONG lError)
{
    PrintWin32Error(static_cast<DWORD>(lError));
}

bool StartsWith(const std::wstring& wstr, const wchar_t* pwszPrefix)
{
    return wstr.compare(0, wcslen(pwszPrefix), pwszPrefix) == 0;
}

// "multi(a)disk(b)cdrom(n)..." split at each closing parenthesis.
bool IsCdromArcPath(const std::wstring& wstrValue)
{
    std::vector<std::wstring> vecPieces;
    size_t nStart = 0;
    size_t nEnd;
    while ((nEnd = wstrValue.find(L')', nStart)) != std::wstring::npos) {
        vecPieces.push_back(wstrValue.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    if (nStart < wstrValue.size())
        vecPieces.push_back(wstrValue.substr(nStart));
    return vecPieces.size() >= 3 && StartsWith(vecPieces[0], L"multi(") && StartsWith(vecPieces[1], L"disk(")
           && StartsWith(vecPieces[2], L"cdrom(");
}

DWORD CdromIndex(const std::wstring& wstrValue)
{
    DebugPrint(L"NULL != pdwDrvIndex.\r\n");
    size_t nCdrom = wstrValue.find(L"cdrom");
    size_t nOpen = wstrValue.find(L'(', nCdrom);
    DebugPrint(L":%s\r\n", wstrValue.c_str() + nCdrom);
    DebugPrint(L":%s\r\n", wstrValue.c_str() + nOpen);
    DebugPrint(L":%s\r\n", wstrValue.c_str() + nCdrom);
    size_t nClose = wstrValue.find(L')', nOpen + 1);
    std::wstring wstrDigits = wstrValue.substr(nOpen + 1, std::min<size_t>(nClose - nOpen - 1, 7));
    DebugPrint(L":%s\r\n", wstrDigits.c_str());
    DWORD dwIndex = static_cast<DWORD>(wcstoul(wstrDigits.c_str(), nullptr, 10));
    DebugPrint(L"Get CDROM Index done.\r\n");
    return dwIndex;
}

#ifdef RV_DISCORA
void PrintVersionInfo(const OSVERSIONINFOW& oVerInfo)
{
    DebugPrint(L"oVerInfo.dwMajorVersion = %lu\n", oVerInfo.dwMajorVersion);
    DebugPrint(L"oVerInfo.dwMinorVersion = %lu\n", oVerInfo.dwMinorVersion);
    DebugPrint(L"oVerInfo.dwBuildNumber = %lu\n", oVerInfo.dwBuildNumber);
    DebugPrint(L"oVerInfo.dwPlatformId = %lu\n", oVerInfo.dwPlatformId);
    DebugPrint(L"oVerInfo.szCSDVersion = %s\n", oVerInfo.szCSDVersion);
}
#endif

DWORD Win9xCode(const OSVERSIONINFOW& oVerInfo)
{
    DWORD dwMinor = oVerInfo.dwMinorVersion;
    if (oVerInfo.dwMajorVersion != 4)
        return OSV_WIN32S_OR_UNKNOWN;
    wchar_t wcSP = oVerInfo.szCSDVersion[0] != L'\0' ? oVerInfo.szCSDVersion[1] : L'\0';
    if (dwMinor == 0) {
        DebugPrint(L"Microsoft Windows 95 \n");
        if (wcSP == L'C' || wcSP == L'B')
            DebugPrint(L"OSR2 \n");
        return OSV_WIN95;
    }
    if (dwMinor == 10) {
        DebugPrint(L"Microsoft Windows 98 \n");
        if (wcSP == L'A')
            DebugPrint(L"SE \n");
        return OSV_WIN98;
    }
    if (dwMinor == 90) {
        DebugPrint(L"Microsoft Windows Me \n");
        return OSV_WINME;
    }
    return OSV_WIN32S_OR_UNKNOWN;
}

DWORD WinNTCode(const OSVERSIONINFOW& oVerInfo)
{
    DWORD dwMajor = oVerInfo.dwMajorVersion;
    DWORD dwMinor = oVerInfo.dwMinorVersion;
    DWORD dwCode = OSV_OTHER_NT;
    const wchar_t* pwszName = L"Microsoft Windows NT Series (Unknown OS Type) \n";
    if (dwMajor <= 4) {
        dwCode = OSV_WINNT4;
        pwszName = L"Microsoft Windows NT \n";
    } else if (dwMajor == 5 && dwMinor == 0) {
        dwCode = OSV_WIN2000;
        pwszName = L"Microsoft Windows 2000 \n";
    } else if (dwMajor == 5 && dwMinor == 1) {
        dwCode = OSV_WINXP;
        pwszName = L"Microsoft Windows XP \n";
    } else if (dwMajor == 5 && dwMinor == 2) {
        dwCode = OSV_WIN2003;
        pwszName = L"Microsoft Windows Server 2003 \n";
    } else if (dwMajor == 6 && dwMinor == 0) {
        dwCode = OSV_VISTA;
        pwszName = L"Microsoft Windows Vista or Server Longhorn \n";
#ifndef RV_DISCORA
    } else if (dwMajor == 6 && dwMinor == 1) {
        dwCode = OSV_WIN7;
        pwszName = L"Microsoft Windows 7\n";
#endif
    }
    DebugPrint(pwszName);
    if (dwMajor > 4)
        DebugPrint(L"%s (Build %d)\n", oVerInfo.szCSDVersion, static_cast<int>(oVerInfo.dwBuildNumber));
    else
        DebugPrint(L"version %d.%d %s (Build %d)\n", static_cast<int>(dwMajor), static_cast<int>(dwMinor),
                   oVerInfo.szCSDVersion, static_cast<int>(oVerInfo.dwBuildNumber & 0xFFFF));
    return dwCode;
}

typedef BOOL(WINAPI* PFN_IsWow64Process)(HANDLE, PBOOL);
typedef BOOL(WINAPI* PFN_Wow64Redirection)(PVOID*);
typedef BOOL(WINAPI* PFN_Wow64Revert)(PVOID);

// Looked up by name: older systems lack these functions.
template <typename T>
T Kernel32Function(const char* pszName)
{
    HMODULE hKernel = GetModuleHandleW(L"kernel32");
    FARPROC pfn = hKernel != nullptr ? GetProcAddress(hKernel, pszName) : nullptr;
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(pfn));
}

} // namespace

HRESULT NvIsWinPE(BOOL* pbWinPE)
{
    if (pbWinPE == nullptr)
        return NV_E_INVALID_ARG;
    *pbWinPE = FALSE;

    CAutoRegKey key;
    LONG lResult = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, key.Receive());
    if (lResult != ERROR_SUCCESS) {
        LogRegError(lResult);
        return NV_E_REGISTRY;
    }

    HRESULT hr = S_OK;
    wchar_t wszName[130] = {};
    // One character short of the buffer, so a full value stays terminated.
    DWORD dwSize = sizeof(wszName) - sizeof(wchar_t);
    lResult = RegQueryValueExW(key.Get(), L"ProductName", nullptr, nullptr, reinterpret_cast<BYTE*>(wszName),
                               &dwSize);
    if (lResult != ERROR_SUCCESS) {
        LogRegError(lResult);
        hr = NV_E_REGISTRY;
        wszName[0] = L'\0';
    }
    lResult = key.Close();
    if (lResult != ERROR_SUCCESS)
        LogRegError(lResult);

    if (hr == S_OK && wcscmp(wszName, kWinPEProductName) == 0)
        *pbWinPE = TRUE;
    return hr;
}

BOOL NvIsPEBootFromODD(DWORD* pdwDrvIndex)
{
    DebugPrint(L"NvIsPEBootFromODD IN\n");
    wchar_t wszValue[130] = {};
    DWORD dwSize = sizeof(wszValue) - sizeof(wchar_t);
    if (FAILED(NvRegQueryValue(HKEY_LOCAL_MACHINE, kControlKey, kBootDeviceValue, nullptr,
                               reinterpret_cast<BYTE*>(wszValue), &dwSize)))
        return FALSE;

    std::wstring wstrValue(wszValue);
    if (!IsCdromArcPath(wstrValue))
        return FALSE;
    if (pdwDrvIndex != nullptr)
        *pdwDrvIndex = CdromIndex(wstrValue);
    DebugPrint(L"NvIsPEBootFromODD OUT\n");
    return TRUE;
}

DWORD NvOSVersionCodeFromInfo(const OSVERSIONINFOW& oVerInfo)
{
    switch (oVerInfo.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        DebugPrint(L"Microsoft Win32s \n");
        return OSV_WIN32S_OR_UNKNOWN;
    case VER_PLATFORM_WIN32_WINDOWS:
        return Win9xCode(oVerInfo);
    case VER_PLATFORM_WIN32_NT:
        return WinNTCode(oVerInfo);
    default:
        return OSV_WIN32S_OR_UNKNOWN;
    }
}

HRESULT NvGetOSVersion(DWORD* pdwCode)
{
    if (pdwCode == nullptr)
        return NV_E_INVALID_ARG;
    *pdwCode = 0;

    BOOL bWinPE = FALSE;
    if (SUCCEEDED(NvIsWinPE(&bWinPE)) && bWinPE) {
        *pdwCode = OSV_WINPE;
        return S_OK;
    }

    OSVERSIONINFOW oVerInfo = {};
    oVerInfo.dwOSVersionInfoSize = sizeof(oVerInfo);
    if (!GetVersionExW(&oVerInfo)) {
        PrintWin32Error(GetLastError());
        return NV_E_OS_VERSION;
    }
#ifdef RV_DISCORA
    PrintVersionInfo(oVerInfo);
#endif
    *pdwCode = NvOSVersionCodeFromInfo(oVerInfo);
    return S_OK;
}

HRESULT NvRegQueryValue(HKEY hRoot, const wchar_t* pwszSubKey, const wchar_t* pwszName, DWORD* pdwType,
                        BYTE* pData, DWORD* pdwSize)
{
    if (pdwType != nullptr)
        *pdwType = 0;
    DWORD dwCallerSize = pdwSize != nullptr ? *pdwSize : 0;
    if (pdwSize != nullptr)
        *pdwSize = 0;
    if (pData != nullptr && dwCallerSize != 0)
        ZeroMemory(pData, dwCallerSize);

    CAutoRegKey key;
    LONG lResult = RegOpenKeyExW(hRoot, pwszSubKey, 0, KEY_QUERY_VALUE, key.Receive());
    if (lResult == ERROR_FILE_NOT_FOUND)
        return NV_E_NOT_FOUND;
    if (lResult != ERROR_SUCCESS) {
        LogRegError(lResult);
        return NV_E_REGISTRY;
    }

    // Sized to the caller's buffer, so a large value can never overrun it.
    std::vector<BYTE> vecBuffer(dwCallerSize);
    DWORD dwType = 0;
    DWORD dwSize = dwCallerSize;
    lResult = RegQueryValueExW(key.Get(), pwszName, nullptr, &dwType,
                               dwCallerSize != 0 ? vecBuffer.data() : nullptr, &dwSize);

    HRESULT hr = S_OK;
    if (lResult == ERROR_SUCCESS) {
        if (dwCallerSize != 0 && dwSize > dwCallerSize) {
            hr = NV_E_BUFFER_TOO_SMALL;
        } else {
            if (pdwSize != nullptr)
                *pdwSize = dwSize;
            if (pdwType != nullptr)
                *pdwType = dwType;
            if (pData != nullptr && dwCallerSize != 0)
                memcpy(pData, vecBuffer.data(), dwSize);
        }
    } else if (lResult == ERROR_FILE_NOT_FOUND || lResult == ERROR_KEY_DELETED) {
        hr = NV_E_NOT_FOUND;
    } else {
        LogRegError(lResult);
        hr = NV_E_REGISTRY;
    }

    lResult = key.Close();
    if (lResult != ERROR_SUCCESS)
        LogRegError(lResult);
    return hr;
}

#ifdef RV_DISCORA

BOOL IsUnderWinPE()
{
    wchar_t wszValue[520] = {};
    DWORD dwSize = sizeof(wszValue) - sizeof(wchar_t);
    if (FAILED(NvRegQueryValue(HKEY_LOCAL_MACHINE, kControlKey, L"SystemStartOptions", nullptr,
                               reinterpret_cast<BYTE*>(wszValue), &dwSize)))
        return FALSE;
    return wcsstr(wszValue, L"/MININT") != nullptr || wcsstr(wszValue, L"/minint") != nullptr;
}

#else

BOOL NvIsProcessRunning(const wchar_t* pwszExeName)
{
    // A process still being set up shows an empty name: a blank name must
    // not match it.
    if (pwszExeName == nullptr || pwszExeName[0] == L'\0')
        return FALSE;
    CAutoHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) {
        DebugPrint(L"CreateToolhelp32Snapshot (of processes) failed.\n");
        return FALSE;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (!Process32FirstW(snapshot.Get(), &entry)) {
        DebugPrint(L"Process32First failed\n");
        return FALSE;
    }
    do {
        DebugPrint(L"Running process: %s", entry.szExeFile);
        if (_wcsicmp(entry.szExeFile, pwszExeName) == 0)
            return TRUE;
    } while (Process32NextW(snapshot.Get(), &entry));
    return FALSE;
}

namespace {

// The script as the text-file class writes it: ANSI, line feeds as CR LF.
HRESULT WriteScriptFile(const wchar_t* pwszPath, const wchar_t* pwszScript)
{
    std::wstring wstrText;
    for (const wchar_t* pwc = pwszScript; *pwc != L'\0'; ++pwc) {
        if (*pwc == L'\n')
            wstrText += L'\r';
        wstrText += *pwc;
    }
    std::string strText;
    if (!wstrText.empty()) {
        int nBytes = WideCharToMultiByte(CP_ACP, 0, wstrText.c_str(), static_cast<int>(wstrText.size()), nullptr,
                                         0, nullptr, nullptr);
        strText.resize(nBytes > 0 ? nBytes : 0);
        if (nBytes > 0)
            WideCharToMultiByte(CP_ACP, 0, wstrText.c_str(), static_cast<int>(wstrText.size()), &strText[0],
                                nBytes, nullptr, nullptr);
    }

    CAutoHandle file(CreateFileW(pwszPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file.IsValid()) {
        DebugPrint(L"Create File Failed.\n");
        PrintWin32Error(GetLastError());
        return NV_E_FILE_IO;
    }
    DWORD dwWritten = 0;
    if (!WriteFile(file.Get(), strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr)
        || dwWritten != strText.size()) {
        PrintWin32Error(GetLastError());
        return NV_E_FILE_IO;
    }
    if (!file.Close()) {
        PrintWin32Error(GetLastError());
        return NV_E_FILE_IO;
    }
    return S_OK;
}

} // namespace

HRESULT ExecuteDiskPart(const wchar_t* pwszScript)
{
    if (pwszScript == nullptr)
        return NV_E_INVALID_ARG;
    std::wstring wstrFolder;
    if (!NvGetProgramFolder(wstrFolder))
        return NV_E_FAIL;
    wchar_t wszScriptFile[MAX_PATH];
    wchar_t wszResultFile[MAX_PATH];
    if (FormatPath(wszScriptFile, L"%sDiskPartCmd.txt", wstrFolder.c_str()) < 0
        || FormatPath(wszResultFile, L"%sDiskPartResult.txt", wstrFolder.c_str()) < 0)
        return NV_E_FORMAT_OVERFLOW;

    // Without its script diskpart would run on stale or no input.
    HRESULT hr = WriteScriptFile(wszScriptFile, pwszScript);
    if (FAILED(hr)) {
        DeleteFileW(wszScriptFile);
        return hr;
    }

    std::wstring wstrParams = L"/c diskpart.exe /s \"";
    wstrParams += wszScriptFile;
    wstrParams += L"\" > \"";
    wstrParams += wszResultFile;
    wstrParams += L"\"";

    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
    sei.lpFile = L"cmd.exe";
    sei.lpParameters = wstrParams.c_str();
    sei.nShow = SW_HIDE;
    hr = S_OK;
    if (ShellExecuteExW(&sei)) {
        CAutoHandle process(sei.hProcess);
        while (process.IsValid() && WaitForSingleObject(process.Get(), 100) == WAIT_TIMEOUT) {
        }
    } else {
        PrintWin32Error(GetLastError());
        hr = E_FAIL;
    }

    DeleteFileW(wszScriptFile);
    DeleteFileW(wszResultFile);
    return hr;
}

#endif // RV_DISCORA

bool NvGetProgramFolder(std::wstring& wstrFolder)
{
    wchar_t wszModule[MAX_PATH] = {};
    DWORD dwLength = GetModuleFileNameW(nullptr, wszModule, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH)
        return false;
    wstrFolder = wszModule;
    wstrFolder.erase(wstrFolder.rfind(L'\\') + 1);
    return true;
}

BOOL NvIsWow64()
{
    auto pfn = Kernel32Function<PFN_IsWow64Process>("IsWow64Process");
    if (pfn == nullptr)
        return FALSE;
    BOOL bWow64 = FALSE;
    if (!pfn(GetCurrentProcess(), &bWow64))
        return FALSE;
    return bWow64;
}

BOOL NvDisableWow64FsRedirection(PVOID* ppOldValue)
{
    auto pfn = Kernel32Function<PFN_Wow64Redirection>("Wow64DisableWow64FsRedirection");
    return pfn != nullptr ? pfn(ppOldValue) : TRUE;
}

BOOL NvRevertWow64FsRedirection(PVOID pOldValue)
{
    auto pfn = Kernel32Function<PFN_Wow64Revert>("Wow64RevertWow64FsRedirection");
    return pfn != nullptr ? pfn(pOldValue) : TRUE;
}
