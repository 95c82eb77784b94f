// Boot repair after an image is applied: the boot files of the system
// partition, the master boot record, the boot store's entries, the
// recovery environment's files, and its boot entry before the recovery
// partition goes. Every tool's exit code is read and logged.
#include "CSBRMgr.h"

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "RunShellExe.h"
#include "Win32Error.h"

#include <cwctype>
#include <string>

namespace {

const DWORD kBcdEditPauseMilliseconds = 5000;
const wchar_t kWinREGUID[] = L"b2b9dbc0-39f1-11de-8a39-0800200c9a66";
const wchar_t kWinREImage[] = L"\\Recovery\\WindowsRE\\Winre.wim";
const wchar_t kWinREMarker[] = L"RECREATE_WINRE.LOG";
const wchar_t kWinREScript[] = L"ReCreateWinRE.cmd";

// Switches WOW64 file-system redirection off for a tool of the 64-bit
// system folder, and back on when it goes.
class CWow64Off {
public:
    explicit CWow64Off(bool bWanted) : m_bOff(false), m_pvOld(nullptr), m_bFailed(false)
    {
        if (!bWanted || !NvIsWow64())
            return;
        m_bOff = NvDisableWow64FsRedirection(&m_pvOld) != FALSE;
        m_bFailed = !m_bOff;
    }
    ~CWow64Off()
    {
        if (m_bOff)
            NvRevertWow64FsRedirection(m_pvOld);
    }
    CWow64Off(const CWow64Off&) = delete;
    CWow64Off& operator=(const CWow64Off&) = delete;
    bool Failed() const { return m_bFailed; }

private:
    bool m_bOff;
    PVOID m_pvOld;
    bool m_bFailed;
};

} // namespace

HRESULT CSBRMgr::RunTool(const wchar_t* pwszFile, const wchar_t* pwszParams, const wchar_t* pwszFolder,
                         DWORD* pdwExitCode)
{
    CAutoTrace trace(L"CSBRMgr", L"RunTool", this);
    HANDLE hProcess = nullptr;
    HRESULT hr = RunShellExe(pwszFile, pwszParams, pwszFolder, nullptr, RSE_WAIT, FALSE, &hProcess);
    CAutoHandle process(hProcess);
    if (FAILED(hr))
        return NV_E_FAIL;
    DWORD dwExit = 0;
    if (!process.IsValid() || !GetExitCodeProcess(process.Get(), &dwExit))
        dwExit = 0;
    trace.Print(L"%s exit code = %lu", pwszFile, dwExit);
    if (pdwExitCode)
        *pdwExitCode = dwExit;
    return S_OK;
}

HRESULT CSBRMgr::ZQFixBCD(wchar_t wcStore, wchar_t wcWindows)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFixBCD", this);
    CWow64Off wow64(CachedOSVersion() != OSV_WINPE);
    if (wow64.Failed()) {
        trace.Print(L"NvDisableWow64FsRedirection fail.");
        return NV_E_FAIL;
    }
    const wchar_t* const kFormats[] = {
        L"/store %c:\\boot\\bcd /set {bootmgr} device partition=%c:",
        L"/store %c:\\boot\\bcd /set {default} device partition=%c:",
        L"/store %c:\\boot\\bcd /set {default} osdevice partition=%c:",
    };
    HRESULT hrAll = S_OK;
    for (size_t i = 0; i < _countof(kFormats); ++i) {
        if (i > 0)
            m_pEnv->Clock().Sleep(kBcdEditPauseMilliseconds);
        wchar_t wszParams[MAX_PATH];
        const wchar_t wcPartition = static_cast<wchar_t>(towupper(i == 0 ? wcStore : wcWindows));
        FormatPath(wszParams, kFormats[i], wcStore, wcPartition);
        trace.Print(L"ZQFixBCD: bcdedit %s", wszParams);
        hrAll |= RunTool(L"bcdedit", wszParams, L"", nullptr);
    }
    return hrAll;
}

HRESULT CSBRMgr::FixBCDForPlatform()
{
    CAutoTrace trace(L"CSBRMgr", L"FixBCDForPlatform", this);
    if (m_dwZQOSVer == ZQ_PLATFORM_WIN7 && m_enZQVendor == ZQ_VENDOR_DOZ)
        return ZQFixBCD(GetSPDrvLet(), GetUPDrvLet());
    if (m_dwZQOSVer == ZQ_PLATFORM_VISTA)
        return ZQFixBCD(GetUPDrvLet(), GetUPDrvLet());
    return S_OK;
}

HRESULT CSBRMgr::CallSetMBR()
{
    CAutoTrace trace(L"CSBRMgr", L"CallSetMBR", this);
    return RunTool(L"Bootmend.exe", L"", L"", nullptr);
}

HRESULT CSBRMgr::RecoverMBR()
{
    CAutoTrace trace(L"CRevantApp", L"RecoverMBR", this);
    std::wstring wstrFolder;
    if (!NvGetProgramFolder(wstrFolder)) {
        trace.Print(L"GetModuleFileName fail. GetLastError = %lx", GetLastError());
        return NV_E_FAIL;
    }
    trace.Print(L"Bootmend.exe RecoverMBR");
    HRESULT hr = RunTool(L"Bootmend.exe", L"RecoverMBR", wstrFolder.c_str(), nullptr);
    if (FAILED(hr)) {
        trace.Print(L"Bootmend.exe RecoverMBR fail. hr = %lx", hr);
        return NV_E_FAIL;
    }
    return S_OK;
}

HRESULT CSBRMgr::RebuildSPByBCDBoot()
{
    CAutoTrace trace(L"CSBRMgr", L"RebuildSPByBCDBoot", this);
    CWow64Off wow64(CachedOSVersion() != OSV_WINPE);
    if (wow64.Failed()) {
        trace.Print(L"NvDisableWow64FsRedirection fail.");
        return NV_E_FAIL;
    }
    wchar_t wszParams[MAX_PATH];
    FormatPath(wszParams, L"%c:\\Windows /s %c:", GetUPDrvLet(), GetSPDrvLet());
    trace.Print(L"calling BCDBoot %s", wszParams);
    return RunTool(L"BCDBoot.exe", wszParams, L"", nullptr);
}

HRESULT CSBRMgr::CopyCustomWinreToUP()
{
    CAutoTrace trace(L"CSBRMgr", L"CopyCustomWinreToUP", this);
    wchar_t wszUP[MAX_PATH];
    wchar_t wszRP[MAX_PATH];
    FormatPath(wszUP, L"%c:%s", GetUPDrvLet(), kWinREImage);
    FormatPath(wszRP, L"%c:%s", GetRPTOOLDrvLet(), kWinREImage);
    trace.Print(L"wszCustomizeWinrePath == %s", wszUP);
    // The source is checked before anything on the Windows partition goes:
    // without it the existing image there is the only one left.
    if (!NvFileExists(wszRP)) {
        PrintWin32Error(GetLastError());
        trace.Print(L"File does not exist. wszRPCustomWinrePath == %s", wszRP);
        return NV_E_NOT_FOUND;
    }
    std::wstring wstrFolder(wszUP);
    wstrFolder.erase(wstrFolder.rfind(L'\\') + 1);
    HRESULT hr = NvCreateDirectoryW(wstrFolder.c_str());
    if (FAILED(hr)) {
        PrintWin32Error(GetLastError());
        trace.Print(L"NvCreateDirectoryW fail. hr = %lx", hr);
        return NV_E_CREATE_DIR;
    }
    if (NvFileExists(wszUP) &&
        (!SetFileAttributesW(wszUP, FILE_ATTRIBUTE_NORMAL) || !DeleteFileW(wszUP)))
        PrintWin32Error(GetLastError());
    trace.Print(L"CopyFileW. wszRPCustomWinrePath == %s, wszUPCustomWinrePath == %s", wszRP, wszUP);
    if (!CopyFileW(wszRP, wszUP, FALSE)) {
        PrintWin32Error(GetLastError());
        return NV_E_COPY_FILE;
    }
    return S_OK;
}

HRESULT CSBRMgr::ReCreateWinREBootEntry()
{
    CAutoTrace trace(L"CSBRMgr", L"ReCreateWinREBootEntry", this);
    trace.Print(L"wszWinREGUID = %s", kWinREGUID);
    std::wstring wstrFolder = m_pEnv->ProgramFolder();
    if (!wstrFolder.empty() && wstrFolder.back() == L'\\')
        wstrFolder.pop_back();
    const std::wstring wstrMarker = wstrFolder + L"\\" + kWinREMarker;
    {
        CAutoHandle marker(CreateFileW(wstrMarker.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!marker.IsValid()) {
            trace.Print(L"Create File Failed.\n");
            PrintWin32Error(GetLastError());
            return NV_E_FAIL;
        }
        if (!marker.Close()) {
            PrintWin32Error(GetLastError());
            return NV_E_FAIL;
        }
    }
    trace.Print(L"Create RECREATE_WINRE.LOG file successfully.");
    HRESULT hr = CopyCustomWinreToUP();
    if (FAILED(hr)) {
        trace.Print(L"CopyDefaultWinreToUP fail. hr = %lx", hr);
        return hr;
    }
    std::wstring wstrLog = wstrMarker.find(L' ') != std::wstring::npos ? L"\"" + wstrMarker + L"\"" : wstrMarker;
    wchar_t wszParams[MAX_PATH];
    FormatPath(wszParams, L"%s %s %c", wstrLog.c_str(), kWinREGUID, GetUPDrvLet());
    CWow64Off wow64(true);
    if (wow64.Failed()) {
        trace.Print(L"NvDisableWow64FsRedirection fail.");
        return NV_E_FAIL;
    }
    trace.Print(L"ReCreateWinRE.cmd %s", wszParams);
    const std::wstring wstrScript = wstrFolder + L"\\" + kWinREScript;
    DWORD dwExit = 0;
    hr = RunTool(wstrScript.c_str(), wszParams, wstrFolder.c_str(), &dwExit);
    if (FAILED(hr)) {
        trace.Print(L"ReCreateWinRE.cmd fail. hr = %lx", hr);
        return NV_E_FAIL;
    }
    // The recovery partition is deleted next: a script that failed must stop it.
    if (dwExit != 0) {
        trace.Print(L"ReCreateWinRE.cmd failed with exit code %lu.", dwExit);
        return NV_E_FAIL;
    }
    return S_OK;
}

namespace {

// The files a user-created disc must hold for the recovery partition to
// start its recovery environment, in the order they are copied.
const wchar_t* const kRequiredPEFiles[] = {L"boot\\bcd", L"boot\\boot.sdi", L"bootmgr", L"CSP.dat"};
const wchar_t kWinREFolder[] = L"Recovery\\WindowsRE";
const wchar_t kWinREFile[] = L"winre.wim";

} // namespace

HRESULT CSBRMgr::CopyCountedFile(const wchar_t* pwszSrc, const wchar_t* pwszDst, BOOL bWithProgress)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCopyPEFiles", this);
    trace.Print(L"ZQCopyPEFiles - src = %s, dest = %s", pwszSrc, pwszDst);
    BOOL bCancel = FALSE;
    BOOL bOk = bWithProgress ? CopyFileExW(pwszSrc, pwszDst, ZQCopyProgressRoutine, this, &bCancel,
                                           COPY_FILE_ALLOW_DECRYPTED_DESTINATION)
                             : CopyFileW(pwszSrc, pwszDst, FALSE);
    if (!bOk) {
        PrintWin32Error(GetLastError());
        return NV_E_COPY_FILE;
    }
    ULONGLONG ullSize = 0;
    if (SUCCEEDED(FindFileSizeInByte(pwszSrc, &ullSize)))
        ZQCopyFileDoneRoutine(ullSize);
    return S_OK;
}

HRESULT CSBRMgr::ZQCopyPEFiles(BOOL bDoIt)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCopyPEFiles", this);
    if (!bDoIt)
        return S_OK;
    const wchar_t wcRP = GetRPTOOLDrvLet();
    const wchar_t wcUCRD = GetUCRDDrvLet();
    wchar_t wszSrc[MAX_PATH];
    wchar_t wszDst[MAX_PATH];
    // The recovery partition's start files are deleted below: a disc that
    // cannot replace every one of them must not cost the partition its own.
    FormatPath(wszSrc, L"%c:\\%s\\%s", wcUCRD, kWinREFolder, kWinREFile);
    bool bComplete = wcRP && wcUCRD && NvFileExists(wszSrc);
    for (const wchar_t* pwszName : kRequiredPEFiles) {
        FormatPath(wszSrc, L"%c:\\%s", wcUCRD, pwszName);
        bComplete = bComplete && NvFileExists(wszSrc);
    }
    if (!bComplete) {
        trace.Print(L"The disc lacks a file the recovery partition needs to start.");
        return NV_E_COPY_FILE;
    }

    trace.Print(L"ZQCopyPEFiles - create folders");
    bool bFolders = true;
    for (const wchar_t* pwszFolder : {kWinREFolder, L"boot"}) {
        FormatPath(wszDst, L"%c:\\%s\\", wcRP, pwszFolder);
        if (NvDirectoryExists(wszDst))
            NvDeleteDirectory(wszDst);
        trace.Print(L"ZQCopyPEFiles - create folder = %s", wszDst);
        bFolders = SUCCEEDED(NvCreateDirectoryW(wszDst)) && bFolders;
    }
    if (!bFolders)
        return NV_E_FAIL;

    trace.Print(L"copy folders");
    FormatPath(wszSrc, L"%c:\\%s", wcUCRD, L"zq");
    FormatPath(wszDst, L"%c:\\%s", wcRP, L"zq");
    trace.Print(L"src = %s, dest = %s", wszSrc, wszDst);
    if (NvDirectoryExists(wszSrc)) {
        HRESULT hr = NvCopyDir(wszSrc, wszDst, TRUE);
        if (FAILED(hr)) {
            trace.Print(L"NvCopyDir fail. hr = %lx", hr);
            return hr;
        }
        ULONGLONG ullSize = 0;
        hr = NvFindFolderSizeInByte(wszSrc, &ullSize, TRUE);
        if (FAILED(hr)) {
            trace.Print(L"NvFindFolderSizeInByte fail. hr = %lx", hr);
            return hr;
        }
        ZQCopyFileDoneRoutine(ullSize);
    }

    trace.Print(L"ZQCopyPEFiles - copy files");
    FormatPath(wszSrc, L"%c:\\%s\\%s", wcUCRD, kWinREFolder, kWinREFile);
    FormatPath(wszDst, L"%c:\\%s\\%s", wcRP, kWinREFolder, kWinREFile);
    HRESULT hr = CopyCountedFile(wszSrc, wszDst, TRUE);
    for (const wchar_t* pwszName : kRequiredPEFiles) {
        if (FAILED(hr))
            return hr;
        FormatPath(wszSrc, L"%c:\\%s", wcUCRD, pwszName);
        FormatPath(wszDst, L"%c:\\%s", wcRP, pwszName);
        hr = CopyCountedFile(wszSrc, wszDst, FALSE);
    }
    if (FAILED(hr))
        return hr;
    FormatPath(wszSrc, L"%c:\\RPCONFIG.txt", wcUCRD);
    FormatPath(wszDst, L"%c:\\RPCONFIG.txt", wcRP);
    if (NvFileExists(wszSrc) && FAILED(CopyCountedFile(wszSrc, wszDst, FALSE)))
        return NV_E_COPY_FILE;
    FormatPath(wszSrc, L"%c:\\zqdrcu.prc", wcUCRD);
    FormatPath(wszDst, L"%c:\\zqdrcu.prc", wcRP);
    if (NvFileExists(wszSrc)) {
        trace.Print(L"zqdrcu.prc exists.");
        trace.Print(SUCCEEDED(CopyCountedFile(wszSrc, wszDst, FALSE)) ? L"Copy zqdrcu.prc successfully."
                                                                       : L"Can't copy zqdrcu.prc successfully.");
    }
    if (!SetFileAttributesW(wszDst, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY))
        trace.Print(L"SetFileAttributes failed. GetLastError = %lx", GetLastError());
    return S_OK;
}
