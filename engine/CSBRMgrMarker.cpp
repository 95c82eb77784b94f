// Marker and flag files the controller leaves on the partitions for later
// runs, the next boot and the maker's own tools. Most are empty files whose
// existence is the message.
#include "CSBRMgr.h"

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "Win32Error.h"

#include <string>

namespace {

const wchar_t kUpDiscMark[] = L"\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc";
const DWORD kHiddenMarker = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

// An empty marker: created, or truncated when it is there.
bool CreateEmptyMarker(const wchar_t* pwszPath)
{
    CAutoHandle file(CreateFileW(pwszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid() && file.Close();
}

void RemoveIfPresent(const wchar_t* pwszPath)
{
    if (!NvFileExists(pwszPath))
        return;
    if (!SetFileAttributesW(pwszPath, FILE_ATTRIBUTE_NORMAL) || !DeleteFileW(pwszPath))
        PrintWin32Error(GetLastError());
}

// The folder part of a file path, with its backslash.
std::wstring FolderOf(const wchar_t* pwszPath)
{
    std::wstring wstr(pwszPath);
    return wstr.substr(0, wstr.rfind(L'\\') + 1);
}

} // namespace

HRESULT CSBRMgr::WriteUpFlg()
{
    CAutoTrace trace(L"CSBRMgr", L"WriteUpFlg", this);
    const wchar_t wcUP = GetUPDrvLet();
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:%s", wcUP, kUpDiscMark);
    trace.Print(L"Ready to create flag file %s ...", wszPath);
    // The applied image need not hold the folder: without it a recovery that
    // did everything else would end as failed.
    if (!wcUP || FAILED(NvCreateDirectoryW(FolderOf(wszPath).c_str())) || !CreateEmptyMarker(wszPath))
        return NV_E_FILE_IO;
    if (!SetFileAttributesW(wszPath, kHiddenMarker))
        trace.Print(L"SetFileAttributes failed. GetLastError = %lx", GetLastError());
    trace.Print(L"Create flag file %c:\\WINDOWS\\zqdrcu.prc successfully.", wcUP);
    return S_OK;
}

BOOL CSBRMgr::ZqcdFlgIsExistInUP()
{
    CAutoTrace trace(L"CSBRMgr", L"ZqcdFlgIsExistInUP", this);
    const wchar_t wc = GetWindowsDrvLet();
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:%s", wc, kUpDiscMark);
    BOOL bExists = wc && NvFileExists(wszPath);
    trace.Print(bExists ? L"%c:\\WINDOWS\\zqdrcu.prc exists." : L"%c:\\WINDOWS\\zqdrcu.prc does not exist.",
                wc ? wc : L' ');
    return bExists;
}

BOOL CSBRMgr::ZqcdFlgIsExistInRP()
{
    CAutoTrace trace(L"CSBRMgr", L"ZqcdFlgIsExistInRP", this);
    const wchar_t wc = GetRPTOOLDrvLet();
    BOOL bExists = wc && RootFileExists(wc, L"zqdrcu.prc");
    trace.Print(bExists ? L"%c:\\zqdrcu.prc exists." : L"%c:\\zqdrcu.prc does not exist.", wc ? wc : L' ');
    return bExists;
}

HRESULT CSBRMgr::WriteRpLog()
{
    CAutoTrace trace(L"CSBRMgr", L"WriteRpLog", this);
    const wchar_t wcRP = GetRPTOOLDrvLet();
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:%s", wcRP, L"\\RPCONFIG.LOG");
    trace.Print(L"Ready to create flag file %s ...", wszPath);
    if (!wcRP || !CreateEmptyMarker(wszPath))
        return NV_E_FILE_IO;
    trace.Print(L"Create flag file %c:\\RPCONFIG.LOG successfully.", wcRP);
    return S_OK;
}

HRESULT CSBRMgr::ZQCreateRPIsRemovedFlg()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCreateRPIsRemovedFlg", this);
    for (wchar_t wc = L'a'; wc <= L'z'; ++wc) {
        if (IsFixedDrive(wc) && RootFileExists(wc, L"RPCONFIG.LOG"))
            return S_OK;
    }
    const wchar_t wcUP = GetUPDrvLet();
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c%s", wcUP, L":\\WINDOWS\\RPISREMOVED.FLG");
    trace.Print(L"Ready to create flag file %s ...", wszPath);
    if (!wcUP || !CreateEmptyMarker(wszPath)) {
        trace.Print(L"Creating flag file %c:\\Windows\\RPISREMOVED.FLG fail.", wcUP ? wcUP : L' ');
        return NV_E_FILE_IO;
    }
    if (!SetFileAttributesW(wszPath, kHiddenMarker))
        trace.Print(L"SetFileAttributes failed. GetLastError = %lx", GetLastError());
    trace.Print(L"Create flag file %c:\\Windows\\RPISREMOVED.FLG successfully.", wcUP);
    return S_OK;
}

HRESULT CSBRMgr::GenerateFlagFile()
{
    CAutoTrace trace(L"CSBRMgr", L"GenerateFlagFile", this);
    wchar_t wszFolder[MAX_PATH];
    FormatPath(wszFolder, L"%c:%s", GetUPDrvLet(), L"\\system.sav\\FLAGS\\");
    if (!NvDirectoryExists(wszFolder)) {
        trace.Print(L"Path does not exist. - %s", wszFolder);
        return NV_E_FILE_NOT_EXIST;
    }
    const wchar_t* const kFiles[] = {L"Rimage.flg",
                                     NvIsPEBootFromODD(nullptr) ? L"CDROM_RECOVERY.dat" : L"HDD_RECOVERY.dat"};
    for (const wchar_t* pwszName : kFiles) {
        wchar_t wszPath[MAX_PATH];
        FormatPath(wszPath, L"%s%s", wszFolder, pwszName);
        RemoveIfPresent(wszPath);
        trace.Print(L"Ready to create flag file %s ...", wszPath);
        if (!CreateEmptyMarker(wszPath)) {
            trace.Print(L"Create File Failed.\n");
            PrintWin32Error(GetLastError());
            return NV_E_FAIL;
        }
    }
    trace.Print(L"Create HDD(CDROM)_RECOVERY.dat successfully.");
    return S_OK;
}

HRESULT CSBRMgr::CreateNotebookFlag(const wchar_t* pwszTail)
{
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c%s", GetUPDrvLet(), pwszTail);
    if (FAILED(NvCreateDirectoryW(FolderOf(wszPath).c_str())))
        return NV_E_CREATE_DIR;
    return CreateEmptyMarker(wszPath) ? S_OK : NV_E_FILE_IO;
}

HRESULT CSBRMgr::CreateMDinImgFlag()
{
    return CreateNotebookFlag(L":\\system.sav\\Flags\\MDinImg.flg");
}

HRESULT CSBRMgr::CreateSystemRecoveryDoneFlag()
{
    return CreateNotebookFlag(L":\\system.sav\\Flags\\SystemRecoveryDone.flg");
}

BOOL CSBRMgr::PureOSEnabled()
{
    CAutoTrace trace(L"CSBRMgr", L"PureOSEnabled", this);
    wchar_t wc = NvIsPEBootFromODD(nullptr) ? GetUCRDDrvLet() : GetRPTOOLDrvLet();
    if (!wc)
        wc = GetUPDrvLet();
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c%s", wc, L":\\system.sav\\Flags\\NoMinImgRecovery.flg");
    trace.Print(L"path = %s", wszPath);
    return !NvFileExists(wszPath);
}

HRESULT CSBRMgr::CreateSSRDFlagFile(const wchar_t* pwszBuildID)
{
    CAutoTrace trace(L"CSBRMgr", L"CreateSSRDFlagFile", this);
    if (!pwszBuildID || !*pwszBuildID)
        return NV_E_INVALID_ARG;
    wchar_t wszPath[MAX_PATH];
    if (FormatPath(wszPath, L"%c:\\%s.restore", GetMainPart1DrvLet(), pwszBuildID) < 0)
        return NV_E_FAIL;
    trace.Print(L"wszFlagFile = %s", wszPath);
    if (NvFileExists(wszPath)) {
        trace.Print(L"%s.restore already exists.", pwszBuildID);
        return S_OK;
    }
    if (!CreateEmptyMarker(wszPath)) {
        trace.Print(L"Create File Failed.\n");
        PrintWin32Error(GetLastError());
        return NV_E_FAIL;
    }
    trace.Print(L"Create %s.restore successfully.", pwszBuildID);
    return S_OK;
}

HRESULT CSBRMgr::UpdateRecoveryCount()
{
    CAutoTrace trace(L"CSBRMgr", L"UpdateRecoveryCount", this);
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\%s", GetUPDrvLet(), L"zq\\support\\zqsysdrv.dat");
    if (!NvFileExists(wszPath))
        return S_OK;
    const int nCount = static_cast<int>(GetPrivateProfileIntW(L"Recovery", L"Count", 0, wszPath)) + 1;
    wchar_t wszCount[32];
    _snwprintf(wszCount, _countof(wszCount) - 1, L"%d", nCount);
    wszCount[_countof(wszCount) - 1] = L'\0';
    if (!WritePrivateProfileStringW(L"Recovery", L"Count", wszCount, wszPath)) {
        trace.Print(L"UpdateRecoveryCount fail. Count == %s", wszCount);
        return NV_E_FAIL;
    }
    SYSTEMTIME st{};
    m_pEnv->Clock().SystemTime(&st);
    wchar_t wszTime[MAX_PATH];
    FormatPath(wszTime, L"%d-%d-%d %d:%d:%d UTC", st.wMonth, st.wDay, st.wYear, st.wHour, st.wMinute, st.wSecond);
    if (!WritePrivateProfileStringW(L"Recovery", L"Last Recovery", wszTime, wszPath)) {
        trace.Print(L"UpdateRecoveryCount fail. LastRecoveryTime == %s", wszTime);
        return NV_E_FAIL;
    }
    return S_OK;
}
