// Small operations on the recovery set and the Windows partition: the
// healthy-partition list of "MD.ini", the factory image's name, copied
// images, the maker's install log, read-only attributes, the Windows
// partition's label and System Restore.
#include "CSBRMgr.h"

#include "CAutoFindHandle.h"
#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "IniFile.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "RunShellExe.h"
#include "Win32Error.h"

#include <cwctype>
#include <string>

namespace {

const wchar_t kHealthySection[] = L"HealthyUPList";
const wchar_t kNotebookImageFolder[] = L"MD\\Image";
const wchar_t kImageFolder[] = L"preload";
const wchar_t kInstallLog[] = L"\\system.sav\\util\\install.log";
const wchar_t kPEDrive = L'X';

} // namespace

BOOL CSBRMgr::GetUPHealthyFileList(std::list<std::wstring>* pList, wchar_t wcUP)
{
    CAutoTrace trace(L"CSBRMgr", L"GetUPHealthyFileList", this);
    if (!pList)
        return FALSE;
    const std::wstring wstrIni = std::wstring(m_wszProgramFolder) + L"MD.ini";
    IniFile oIni;
    if (!oIni.SetFile(wstrIni)) {
        trace.Print(L"MD.ini does not exist. strIni == %s", wstrIni.c_str());
        return FALSE;
    }
    int i = 1;
    for (;; ++i) {
        wchar_t wszKey[32];
        _snwprintf(wszKey, _countof(wszKey) - 1, L"Path%d", i);
        wszKey[_countof(wszKey) - 1] = L'\0';
        std::wstring wstrValue = oIni.GetString(kHealthySection, wszKey, L"");
        if (wstrValue.empty())
            break;
        wchar_t wszPath[MAX_PATH];
        FormatPath(wszPath, L"%c:\\%s", wcUP, wstrValue.c_str());
        pList->push_back(wszPath);
    }
    return i > 1;
}

void CSBRMgr::GetMDIniInfo(BOOL* pbMDIniExist, BOOL* pbIniListNotEmpty)
{
    CAutoTrace trace(L"CSBRMgr", L"GetMDIniInfo", this);
    if (!pbMDIniExist || !pbIniListNotEmpty)
        return;
    *pbMDIniExist = FALSE;
    *pbIniListNotEmpty = FALSE;
    if (!NvFileExists((std::wstring(m_wszProgramFolder) + L"MD.ini").c_str())) {
        trace.Print(L"MD.ini does not exist. bMDIniExist == %d, bIniListNotEmpty == %d", 0, 0);
        return;
    }
    *pbMDIniExist = TRUE;
    const wchar_t wcUP = GetUPDrvLet();
    if (!wcUP) {
        trace.Print(L"GetUPDrvLet fail. bMDIniExist == %d, bIniListNotEmpty == %d", 1, 0);
        return;
    }
    std::list<std::wstring> lst;
    *pbIniListNotEmpty = GetUPHealthyFileList(&lst, wcUP);
    if (!*pbIniListNotEmpty)
        trace.Print(L"MD.ini exist. bMDIniExist == %d, bIniListNotEmpty == %d", 1, 0);
}

BOOL CSBRMgr::IsUPHealthyByFileList()
{
    CAutoTrace trace(L"CSBRMgr", L"IsUPHealthyByFileList", this);
    const wchar_t wcUP = GetUPDrvLet();
    if (!wcUP) {
        trace.Print(L"GetUPDrvLet() fail!");
        return FALSE;
    }
    std::list<std::wstring> lst;
    GetUPHealthyFileList(&lst, wcUP);
    for (const std::wstring& wstrPath : lst) {
        if (GetFileAttributesW(wstrPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            trace.Print(L"File/Folder does not exist. wszSelectedPath == %s", wstrPath.c_str());
            return FALSE;
        }
    }
    return TRUE;
}

const wchar_t* CSBRMgr::ImageFolder(wchar_t wcDrvLet)
{
    return m_enZQVendor == ZQ_VENDOR_CNB && towupper(wcDrvLet) == towupper(GetUPDrvLet()) ? kNotebookImageFolder
                                                                                          : kImageFolder;
}

HRESULT CSBRMgr::ZQGetSoftwareBuildFilename(wchar_t wcDrvLet, wchar_t* pwszName, DWORD cchName)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQGetSoftwareBuildFilename", this);
    trace.Print(L"wcTargetVol = %c", wcDrvLet ? wcDrvLet : L' ');
    if (!pwszName || cchName == 0)
        return NV_E_INVALID_ARG;
    wchar_t wszSearchPath[MAX_PATH];
    FormatPath(wszSearchPath, L"%c:\\%s\\*.wim", wcDrvLet, ImageFolder(wcDrvLet));
    trace.Print(L"wszSearchPath = %s", wszSearchPath);
    WIN32_FIND_DATAW fd{};
    CAutoFindHandle find(FindFirstFileW(wszSearchPath, &fd));
    if (!find.IsValid())
        return NV_E_FAIL;
    std::wstring wstrBest = fd.cFileName;
    trace.Print(L"file = %s", wstrBest.c_str());
    while (FindNextFileW(find.Get(), &fd)) {
        trace.Print(L"processed file = %s", fd.cFileName);
        if (wcslen(fd.cFileName) < wstrBest.size()) {
            wstrBest = fd.cFileName;
            trace.Print(L"After change, file = %s, length = %lu", wstrBest.c_str(),
                        static_cast<DWORD>(wstrBest.size()));
        }
    }
    // A name that does not fit is no name: never a cut one.
    if (wstrBest.size() >= cchName)
        return NV_E_BUFFER_TOO_SMALL;
    wcscpy(pwszName, wstrBest.c_str());
    return S_OK;
}

HRESULT CSBRMgr::ZQDeleteWimFiles(wchar_t wcDrvLet)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQDeleteWimFiles", this);
    if (!iswalpha(wcDrvLet) || wcDrvLet > L'z')
        return NV_E_INVALID_ARG;
    wchar_t wszFolder[MAX_PATH];
    FormatPath(wszFolder, L"%c:\\%s\\", wcDrvLet, ImageFolder(wcDrvLet));
    if (!NvDirectoryExists(wszFolder))
        return S_OK;
    return NvDeleteDirectory(wszFolder);
}

HRESULT CSBRMgr::ZQSaveFileForCNB()
{
    const wchar_t wcUP = GetUPDrvLet();
    const wchar_t wcSource = NvIsPEBootFromODD(nullptr) ? GetUCRDDrvLet() : GetRPTOOLDrvLet();
    wchar_t wszDst[MAX_PATH];
    wchar_t wszSrc[MAX_PATH];
    FormatPath(wszDst, L"%c:%s", wcUP, kInstallLog);
    FormatPath(wszSrc, L"%c:%s", wcSource, kInstallLog);
    if (!wcSource || !NvFileExists(wszSrc))
        return S_OK;
    std::wstring wstrFolder(wszDst);
    wstrFolder.erase(wstrFolder.rfind(L'\\') + 1);
    if (!wcUP || FAILED(NvCreateDirectoryW(wstrFolder.c_str())))
        return NV_E_CREATE_DIR;
    if (!CopyFileW(wszSrc, wszDst, FALSE)) {
        PrintWin32Error(GetLastError());
        return NV_E_COPY_FILE;
    }
    return S_OK;
}

HRESULT CSBRMgr::RemoveReadOnlyAttribute()
{
    CAutoTrace trace(L"CSBRMgr", L"RemoveReadOnlyAttribute", this);
    wchar_t wszParams[MAX_PATH];
    FormatPath(wszParams, L"-R %c:\\*.* /S /D", GetRPTOOLDrvLet());
    trace.Print(L"attrib %s", wszParams);
    HRESULT hr = RunTool(L"attrib.exe", wszParams, nullptr, nullptr);
    if (FAILED(hr)) {
        trace.Print(L"attrib.exe fail. hr = %lx", hr);
        return NV_E_FAIL;
    }
    return S_OK;
}

HRESULT CSBRMgr::SetUPVolumeLabel()
{
    CAutoTrace trace(L"CSBRMgr", L"SetUPVolumeLabel", this);
    wchar_t wszRoot[] = {GetUPDrvLet(), L':', L'\\', 0};
    if (wszRoot[0] && SetVolumeLabelW(wszRoot, m_wszUPVolumeNameBuf)) {
        trace.Print(L"SetUPVolumeLabel works well: m_wszUPVolumeNameBuf = %s", m_wszUPVolumeNameBuf);
        return S_OK;
    }
    trace.Print(L"SetUPVolumeLabel fail: m_wszUPVolumeNameBuf = %s", m_wszUPVolumeNameBuf);
    return NV_E_FAIL;
}

HRESULT CSBRMgr::LaunchMSRestore(BOOL bWait)
{
    CAutoTrace trace(L"CSBRMgr", L"LaunchMSRestore", this);
    const wchar_t wcUP = GetUPDrvLet();
    if (!wcUP)
        return E_FAIL;
    wchar_t wszProgram[MAX_PATH];
    HANDLE hProcess = nullptr;
    HRESULT hr;
    if (CachedOSVersion() == OSV_WINPE) {
        wchar_t wszParams[MAX_PATH];
        FormatPath(wszProgram, L"%c:\\Windows\\System32\\rstrui.exe", kPEDrive);
        FormatPath(wszParams, L"/OFFLINE:%c:\\Windows", wcUP);
        hr = RunShellExe(wszProgram, wszParams, nullptr, nullptr, bWait ? RSE_WAIT : RSE_NO_WAIT, TRUE, &hProcess);
    } else {
        PVOID pvOld = nullptr;
        const BOOL bOff = NvIsWow64() && NvDisableWow64FsRedirection(&pvOld);
        if (NvIsWow64() && !bOff)
            trace.Print(L"NvDisableWow64FsRedirection fail.");
        FormatPath(wszProgram, L"%c:\\Windows\\System32\\rstrui.exe", wcUP);
        trace.Print(L"wszBuf = %s", wszProgram);
        hr = RunShellExe(wszProgram, L"", nullptr, nullptr, RSE_NO_WAIT, TRUE, &hProcess);
        if (bOff)
            NvRevertWow64FsRedirection(pvOld);
    }
    CAutoHandle process(hProcess);
    return FAILED(hr) ? NV_E_FAIL : S_OK;
}
