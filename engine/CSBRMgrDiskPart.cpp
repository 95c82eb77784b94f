// The controller's diskpart scripts: removal of the recovery partition and
// the switches of the active partition. A destructive script is written
// only for the volumes it means, and its outcome is read and confirmed.
#include "CSBRMgr.h"

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "CDriveLayout.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "RunShellExe.h"
#include "Win32Error.h"

#include <cstdio>
#include <string>

namespace {

const DWORD kDiskPartLimitMilliseconds = 300000;
const DWORD kWaitSliceMilliseconds = 100;
const wchar_t kRPResultFile[] = L"SetRPActive_Result.txt";

// A narrow line of a script, cut to the bounded buffer of 260 characters.
std::string Line(const char* pszFormat, ...)
{
    char szLine[MAX_PATH];
    va_list args;
    va_start(args, pszFormat);
    int n = _vsnprintf(szLine, MAX_PATH - 1, pszFormat, args);
    va_end(args);
    szLine[MAX_PATH - 1] = '\0';
    return n < 0 ? std::string() : std::string(szLine);
}

// Writes the text with CR LF line ends, as a text-mode file would be.
HRESULT WriteTextFile(const wchar_t* pwszPath, const std::string& strText)
{
    std::string strOut;
    for (char c : strText) {
        if (c == '\n')
            strOut += '\r';
        strOut += c;
    }
    CAutoHandle file(CreateFileW(pwszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        PrintWin32Error(GetLastError());
        return NV_E_FILE_IO;
    }
    DWORD dwWritten = 0;
    if (!WriteFile(file.Get(), strOut.data(), static_cast<DWORD>(strOut.size()), &dwWritten, nullptr) ||
        dwWritten != strOut.size()) {
        PrintWin32Error(GetLastError());
        return NV_E_FILE_IO;
    }
    return S_OK;
}

void DeleteWithAttributes(const wchar_t* pwszPath)
{
    if (!SetFileAttributesW(pwszPath, FILE_ATTRIBUTE_NORMAL) || !DeleteFileW(pwszPath))
        PrintWin32Error(GetLastError());
}

bool IsPartitionIndex(DWORD dwIndex)
{
    return dwIndex != INVALID_INDEX && dwIndex >= 1;
}

// True when the disk has a partition of this number (1 = the first used entry).
bool PartitionExists(DWORD dwDisk, DWORD dwIndex)
{
    CDriveLayout layout;
    return IsPartitionIndex(dwIndex) && SUCCEEDED(layout.Read(dwDisk)) && dwIndex <= layout.UsedCount();
}

} // namespace

HRESULT CSBRMgr::WaitForTool(HANDLE hProcess, DWORD dwLimitMilliseconds, DWORD* pdwExitCode)
{
    IClock& clock = m_pEnv->Clock();
    const ULONGLONG ullStart = clock.TickCount64();
    for (;;) {
        DWORD dwResult = WaitForSingleObject(hProcess, kWaitSliceMilliseconds);
        if (dwResult == WAIT_OBJECT_0)
            break;
        if (dwResult != WAIT_TIMEOUT) {
            DebugPrint(L"WaitForSingleObject dwResult = %lx\n", dwResult);
            if (dwResult == WAIT_FAILED)
                DebugPrint(L"GetLastError = %lx\n", GetLastError());
            return NV_E_WAIT;
        }
        // A tool still busy after the limit has not done its work.
        if (dwLimitMilliseconds != INFINITE && clock.TickCount64() - ullStart >= dwLimitMilliseconds) {
            DebugPrint(L"The tool did not end in %lu ms.\n", dwLimitMilliseconds);
            return NV_E_WAIT;
        }
    }
    if (!GetExitCodeProcess(hProcess, pdwExitCode))
        *pdwExitCode = static_cast<DWORD>(-1);
    return S_OK;
}

HRESULT CSBRMgr::DeleteRPAndExtendUP()
{
    CAutoTrace trace(L"CSBRMgr", L"DeleteRPAndExtendUP", this);
    trace.Print(L"Prepare DiskPart script...");
    const wchar_t wcUP = GetUPDrvLet();
    m_bRecheckRPDrvLet = TRUE;
    const wchar_t wcRP = GetRPTOOLDrvLet();
    m_bRecheckRPDrvLet = FALSE;
    // The script deletes what it selects: only a recovery volume may be meant.
    if (!wcUP || !wcRP || !IsRPTOOLVolume(wcRP)) {
        trace.Print(L"No recovery volume to delete (UP %c, RP %c).", wcUP ? wcUP : L' ', wcRP ? wcRP : L' ');
        return wcUP ? NV_E_FAIL : NV_E_FILE_IO;
    }
    std::string strScript = Line("sel volume %c\n", static_cast<char>(wcRP)) + "del volume override\n";
    if (m_enZQVendor == ZQ_VENDOR_CNB && IsOneSSDPlusOneHDD()) {
        const wchar_t wcRPDATA = GetRPDATADrvLet();
        const DWORD dwDisk = ZQGetRPDATADiskIndex();
        const DWORD dwData = GetDATAPartIndex();
        if (!wcRPDATA || !IsRPDATAVolume(wcRPDATA) || dwDisk == INVALID_INDEX || !IsPartitionIndex(dwData)) {
            trace.Print(L"No image volume to delete beside the recovery partition.");
            return NV_E_FAIL;
        }
        strScript += Line("sel volume %c\n", static_cast<char>(wcRPDATA)) + "del volume override\n" +
                     Line("sel disk %lu\n", dwDisk) + Line("sel par %lu\n", dwData) + "extend\n";
    }
    strScript += Line("sel volume %c\n", static_cast<char>(wcUP)) + "extend\n";

    wchar_t wszScript[MAX_PATH];
    FormatPath(wszScript, L"%c:\\DiskPartScript", wcUP);
    trace.Print(L"wszScript = %s", wszScript);
    if (FAILED(WriteTextFile(wszScript, strScript))) {
        trace.Print(L"Open temp file failed. errno = %lu", static_cast<DWORD>(GetLastError()));
        return NV_E_FILE_IO;
    }
    HRESULT hr = RunDiskPartScript(wszScript, trace);
    DeleteWithAttributes(wszScript);
    if (FAILED(hr))
        return hr;
    // diskpart may refuse or stop half-way: the partition must really be gone.
    if (RecoveryPartitionIsExist()) {
        trace.Print(L"The recovery partition is still there.");
        return NV_E_FAIL;
    }
    ResetRPDrvLet();
    return S_OK;
}

HRESULT CSBRMgr::RunDiskPartScript(const wchar_t* pwszScript, CAutoTrace& trace)
{
    trace.Print(L"Start Run DiskPart script...");
    std::wstring wstrCmd = std::wstring(L"diskpart /s ") + pwszScript;
    trace.Print(L"wszDiskPartCmd = %s", wstrCmd.c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &wstrCmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        PrintWin32Error(GetLastError());
        return NV_E_FAIL;
    }
    CAutoHandle process(pi.hProcess);
    CAutoHandle thread(pi.hThread);
    DWORD dwExit = 0;
    HRESULT hr = WaitForTool(process.Get(), kDiskPartLimitMilliseconds, &dwExit);
    if (FAILED(hr))
        return hr;
    trace.Print(L"Run DiskPart script complete. Exit code = %lu", dwExit);
    return S_OK;
}

HRESULT CSBRMgr::RunActivationScript(const wchar_t* pwszScript, const std::string& strScript,
                                     const std::wstring& wstrParams, CAutoTrace& trace, DWORD* pdwExit)
{
    if (FAILED(WriteTextFile(pwszScript, strScript)))
        return NV_E_FILE_IO;
    HANDLE hProcess = nullptr;
    HRESULT hr = RunShellExe(L"cmd.exe", wstrParams.c_str(), nullptr, nullptr, RSE_WAIT, FALSE, &hProcess);
    CAutoHandle process(hProcess);
    DWORD dwExit = static_cast<DWORD>(-1);
    if (SUCCEEDED(hr) && process.IsValid() && GetExitCodeProcess(process.Get(), &dwExit))
        trace.Print(L"diskpart exit code = %lu", dwExit);
    if (pdwExit)
        *pdwExit = dwExit;
    DeleteWithAttributes(pwszScript);
    return hr;
}

HRESULT CSBRMgr::RunRPActiveScript(wchar_t wcRP, CAutoTrace& trace)
{
    wchar_t wszScript[MAX_PATH];
    wchar_t wszResult[MAX_PATH];
    FormatPath(wszScript, L"%c:\\SetRPActive.txt", wcRP);
    FormatPath(wszResult, L"%c:\\%s", wcRP, kRPResultFile);
    std::string strScript = Line("sel volume %c\n", static_cast<char>(wcRP)) + "active\n";
    std::wstring wstrParams = std::wstring(L"/c diskpart.exe /s \"") + wszScript + L"\" > \"" + wszResult + L"\"";
    return RunActivationScript(wszScript, strScript, wstrParams, trace);
}

HRESULT CSBRMgr::SetRPActive()
{
    CAutoTrace trace(L"CSBRMgr", L"SetRPActive", this);
    const wchar_t wcRP = GetRPTOOLDrvLet();
    if (!wcRP)
        return S_OK;
    RunRPActiveScript(wcRP, trace);
    trace.Print(L"Set RP active successfully.");
    return S_OK;
}

HRESULT CSBRMgr::ReActiveRP()
{
    CAutoTrace trace(L"CSBRMgr", L"ReActiveRP", this);
    const wchar_t wcRP = GetRPTOOLDrvLet();
    // Without the recovery partition there is nothing to make active.
    if (!wcRP)
        return S_OK;
    RunRPActiveScript(wcRP, trace);
    wchar_t wszResult[MAX_PATH];
    FormatPath(wszResult, L"%c:\\%s", wcRP, kRPResultFile);
    DeleteWithAttributes(wszResult);
    trace.Print(L"Reset RP active successfully.");
    return S_OK;
}

HRESULT CSBRMgr::SetSPActive()
{
    CAutoTrace trace(L"CSBRMgr", L"SetSPActive", this);
    const wchar_t wcRP = GetRPTOOLDrvLet();
    if (!wcRP || !RootFileExists(wcRP, kRPResultFile))
        return S_OK;
    const DWORD dwDisk = ZQGetUPDiskIndex();
    const DWORD dwRP = GetRPTOOLPartIndex();
    const DWORD dwSP = GetSPPartIndex();
    // Making the recovery partition inactive before a failing select of the
    // system partition would leave the disk with no active partition.
    if (dwDisk == INVALID_INDEX || !PartitionExists(dwDisk, dwRP) || !PartitionExists(dwDisk, dwSP)) {
        trace.Print(L"No partition to switch to (RP %ld, SP %ld).", static_cast<long>(dwRP), static_cast<long>(dwSP));
        return S_OK;
    }
    wchar_t wszResult[MAX_PATH];
    FormatPath(wszResult, L"%c:\\%s", wcRP, kRPResultFile);
    DeleteWithAttributes(wszResult);
    trace.Print(L"SetRPActive_Result.txt exists.");
    wchar_t wszScript[MAX_PATH];
    FormatPath(wszScript, L"%c:\\SetSPActive.txt", wcRP);
    std::string strScript = Line("select disk %d\n", static_cast<int>(dwDisk)) +
                            Line("select partition %d\n", static_cast<int>(dwRP)) + "inactive\n" +
                            Line("sel disk %d\n", static_cast<int>(dwDisk)) +
                            Line("sel partition %d\n", static_cast<int>(dwSP)) + "active\n";
    RunActivationScript(wszScript, strScript, std::wstring(L"/c diskpart.exe /s \"") + wszScript + L"\" ", trace);
    trace.Print(L"Set SP active successfully.");
    return S_OK;
}

HRESULT CSBRMgr::SetUPActive()
{
    CAutoTrace trace(L"CSBRMgr", L"SetUPActive", this);
    const wchar_t wcUP = GetUPDrvLet();
    if (!wcUP)
        return S_OK;
    const wchar_t wcRP = GetRPTOOLDrvLet();
    if (wcRP && RootFileExists(wcRP, kRPResultFile)) {
        wchar_t wszResult[MAX_PATH];
        FormatPath(wszResult, L"%c:\\%s", wcRP, kRPResultFile);
        DeleteWithAttributes(wszResult);
        trace.Print(L"SetRPActive_Result.txt exists.");
    }
    wchar_t wszScript[MAX_PATH];
    FormatPath(wszScript, L"%c:\\SetUPActive.txt", wcUP);
    std::string strScript = Line("sel disk %d\n", static_cast<int>(ZQGetUPDiskIndex())) +
                            Line("sel partition %d\n", static_cast<int>(GetUPPartIndex())) + "active\n";
    // The Windows partition is formatted next: one that would not start
    // afterwards must stop the recovery while the disk is still whole.
    DWORD dwExit = 0;
    HRESULT hr = RunActivationScript(wszScript, strScript, std::wstring(L"/c diskpart.exe /s \"") + wszScript + L"\" ",
                                     trace, &dwExit);
    if (FAILED(hr) || dwExit != 0) {
        trace.Print(L"Set UP active failed. hr = %lx, exit code = %lu", hr, dwExit);
        return NV_E_FAIL;
    }
    trace.Print(L"Set UP active successfully.");
    return S_OK;
}
