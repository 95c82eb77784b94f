// Files the maker lists in "savefile.ini": saved before the Windows
// partition is formatted and put back after the image is applied. Each
// saved copy keeps the path it had below its drive's root, so that two
// listed files of one name never meet in the save folder.
#include "CSBRMgr.h"

#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "Win32Error.h"

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kListFile[] = L":\\zq\\recovery\\patch\\savefile.ini";
const wchar_t kSaveFolder[] = L"\\zq\\recovery\\savefile\\";
const wchar_t kSSRDSaveFolder[] = L"\\SystemRecovery\\RP\\zq\\recovery\\savefile\\";
const wchar_t kRamDrive = L'X';
const int kLineChars = 259;

// "C:\" or "C:" in front of a path: what follows it, without the backslash.
std::wstring BelowRoot(const std::wstring& wstrPath)
{
    size_t start = wstrPath.size() >= 2 && wstrPath[1] == L':' ? 2 : 0;
    while (start < wstrPath.size() && wstrPath[start] == L'\\')
        ++start;
    return wstrPath.substr(start);
}

// The path a saved copy keeps: below the save folder when the input is
// itself a copy in that folder (the second step of a two-step save), else
// below its drive's root.
std::wstring SavedName(const std::wstring& wstrInput, const std::wstring& wstrFirstFolder)
{
    if (wstrInput.size() > wstrFirstFolder.size() &&
        _wcsnicmp(wstrInput.c_str(), wstrFirstFolder.c_str(), wstrFirstFolder.size()) == 0)
        return wstrInput.substr(wstrFirstFolder.size());
    return BelowRoot(wstrInput);
}

std::wstring FolderOf(const std::wstring& wstrPath)
{
    size_t slash = wstrPath.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : wstrPath.substr(0, slash + 1);
}

bool ClearAndDelete(const std::wstring& wstrPath)
{
    if (!SetFileAttributesW(wstrPath.c_str(), FILE_ATTRIBUTE_NORMAL) || !DeleteFileW(wstrPath.c_str())) {
        PrintWin32Error(GetLastError());
        return false;
    }
    return true;
}

} // namespace

HRESULT CSBRMgr::GetSaveFileList(std::list<std::wstring>& lstFiles)
{
    CAutoTrace trace(L"CSBRMgr", L"GetSaveFileList", this);
    wchar_t wcList = 0;
    wchar_t wcSSRD = 0;
    if (!NvIsPEBootFromODD(nullptr)) {
        wcList = GetRPTOOLDrvLet();
    } else if (GetRecoveryDiscType() == RDT_UCRD) {
        wcList = GetUCRDDrvLet();
    } else if ((wcSSRD = GetSSRDDrvLet()) != 0) {
        wcList = wcSSRD;
    }
    if (!wcList)
        return S_OK;
    wchar_t wszSaveFilePath[MAX_PATH];
    FormatPath(wszSaveFilePath, L"%c%s", wcList, kListFile);
    if (!NvFileExists(wszSaveFilePath))
        return S_OK;
    FILE* pFile = _wfopen(wszSaveFilePath, L"rt");
    if (!pFile) {
        trace.Print(L"open file fail. wszSaveFilePath == %s", wszSaveFilePath);
        return NV_E_FILE_IO;
    }
    const wchar_t wcTarget = wcSSRD ? GetWindowsDrvLet() : GetUPDrvLet();
    HRESULT hr = S_OK;
    char szLine[kLineChars + 1];
    while (SUCCEEDED(hr) && fgets(szLine, sizeof(szLine), pFile)) {
        size_t n = strlen(szLine);
        if (n && (szLine[n - 1] == '\n' || szLine[n - 1] == '\r'))
            szLine[--n] = '\0';
        wchar_t wszLine[kLineChars + 1] = {};
        MultiByteToWideChar(CP_ACP, 0, szLine, -1, wszLine, kLineChars);
        wchar_t wszPath[MAX_PATH];
        if (FormatPath(wszPath, L"%c:%s", wcTarget, wszLine) < 0 || !wcschr(wszPath, L'\\'))
            continue;
        if (NvDirectoryExists(wszPath)) {
            // A folder has no size to read and no single file to save.
            trace.Print(L"%s is a folder, not a file: skipped.", wszPath);
            continue;
        }
        if (!NvFileExists(wszPath))
            continue;
        lstFiles.push_back(wszPath);
        ULONGLONG ullSize = 0;
        if (FAILED(FindFileSizeInByte(wszPath, &ullSize))) {
            trace.Print(L"find file size fail. wszRecordFilePath == %s", wszPath);
            hr = NV_E_FILE_SIZE;
        }
    }
    fclose(pFile);
    return hr;
}

HRESULT CSBRMgr::PreSave(const std::list<std::wstring>& lstInput, std::list<std::wstring>& lstSaved,
                         const std::wstring& wstrFirst, const std::wstring& wstrSecond, BOOL bReplaceStrictly)
{
    CAutoTrace trace(L"CSBRMgr", L"PreSaveFileProcessing", this);
    for (const std::wstring& wstrSrc : lstInput) {
        if (!NvFileExists(wstrSrc.c_str())) {
            PrintWin32Error(GetLastError());
            trace.Print(L"File does not exist. wszSrcSaveFilePath == %s", wstrSrc.c_str());
            return NV_E_NOT_FOUND;
        }
        const std::wstring wstrName = SavedName(wstrSrc, wstrFirst);
        std::wstring wstrSave = wstrFirst + wstrName;
        if (!wstrSecond.empty() && NvFileExists(wstrSave.c_str()))
            wstrSave = wstrSecond + wstrName;
        if (wstrSave.size() >= MAX_PATH)
            return NV_E_COPY_FILE;
        lstSaved.push_back(wstrSave);
        // With no second place the copy is already where it belongs: deleting
        // the "old copy" would delete the only one.
        if (_wcsicmp(wstrSave.c_str(), wstrSrc.c_str()) == 0)
            continue;
        if (FAILED(NvCreateDirectoryW(FolderOf(wstrSave).c_str()))) {
            PrintWin32Error(GetLastError());
            return NV_E_CREATE_DIR;
        }
        if (NvFileExists(wstrSave.c_str())) {
            if (bReplaceStrictly) {
                if (!SetFileAttributesW(wstrSave.c_str(), FILE_ATTRIBUTE_NORMAL)) {
                    PrintWin32Error(GetLastError());
                    return NV_E_SET_ATTRIBUTES;
                }
                if (!DeleteFileW(wstrSave.c_str())) {
                    PrintWin32Error(GetLastError());
                    return NV_E_DELETE_FILE;
                }
            } else {
                trace.Print(L"%s exists.", wstrSave.c_str());
                ClearAndDelete(wstrSave);
            }
        }
        if (!CopyFileW(wstrSrc.c_str(), wstrSave.c_str(), FALSE)) {
            PrintWin32Error(GetLastError());
            return NV_E_COPY_FILE;
        }
    }
    return S_OK;
}

HRESULT CSBRMgr::PreSaveFileProcessingForRP(const std::list<std::wstring>& lstSrc, std::list<std::wstring>& lstSaved)
{
    const wchar_t wcRP = GetRPTOOLDrvLet();
    if (!wcRP)
        return NV_E_CREATE_DIR;
    return PreSave(lstSrc, lstSaved, std::wstring(1, wcRP) + L":" + kSaveFolder, std::wstring(), TRUE);
}

HRESULT CSBRMgr::PreSaveFileProcessingForUCRD(const std::list<std::wstring>& lstInput,
                                              std::list<std::wstring>& lstSaved)
{
    const wchar_t wcRP = GetRPTOOLDrvLet();
    // Without a second place the copy stays on X: rather than on "\".
    std::wstring wstrSecond = wcRP ? std::wstring(1, wcRP) + L":" + kSaveFolder : std::wstring();
    return PreSave(lstInput, lstSaved, std::wstring(1, kRamDrive) + L":" + kSaveFolder, wstrSecond, FALSE);
}

HRESULT CSBRMgr::PreSaveFileProcessingForSSRD(const std::list<std::wstring>& lstInput,
                                              std::list<std::wstring>& lstSaved)
{
    const wchar_t wcPart2 = GetMainPart2DrvLet();
    std::wstring wstrSecond = wcPart2 ? std::wstring(1, wcPart2) + L":" + kSSRDSaveFolder : std::wstring();
    return PreSave(lstInput, lstSaved, std::wstring(1, kRamDrive) + L":" + kSSRDSaveFolder, wstrSecond, FALSE);
}

HRESULT CSBRMgr::PostSave(const std::list<std::wstring>& lstSaved, const std::list<std::wstring>& lstSrc)
{
    CAutoTrace trace(L"CSBRMgr", L"PostSaveFileProcessing", this);
    const wchar_t wcUP = GetUPDrvLet();
    auto itSrc = lstSrc.begin();
    for (const std::wstring& wstrSaved : lstSaved) {
        if (itSrc == lstSrc.end())
            break;
        const std::wstring& wstrSrc = *itSrc++;
        if (!NvFileExists(wstrSaved.c_str())) {
            PrintWin32Error(GetLastError());
            trace.Print(L"File does not exist. wszRPSaveFilePath == %s", wstrSaved.c_str());
            return NV_E_NOT_FOUND;
        }
        std::wstring wstrTarget = wstrSrc;
        if (wstrTarget.empty() || !wcUP)
            return NV_E_CREATE_DIR;
        wstrTarget[0] = wcUP;
        if (FAILED(NvCreateDirectoryW(FolderOf(wstrTarget).c_str())))
            return NV_E_CREATE_DIR;
        if (NvFileExists(wstrTarget.c_str())) {
            trace.Print(L"%s exists.", wstrTarget.c_str());
            ClearAndDelete(wstrTarget);
        }
        if (!CopyFileW(wstrSaved.c_str(), wstrTarget.c_str(), FALSE)) {
            PrintWin32Error(GetLastError());
            return NV_E_COPY_FILE;
        }
        if (m_enZQVendor == ZQ_VENDOR_DOZ)
            ClearAndDelete(wstrSaved);
    }
    return S_OK;
}

HRESULT CSBRMgr::PostSaveFileProcessingFromRP(const std::list<std::wstring>& lstSaved,
                                              const std::list<std::wstring>& lstSrc)
{
    return PostSave(lstSaved, lstSrc);
}

HRESULT CSBRMgr::PostSaveFileProcessingForUCRD(const std::list<std::wstring>& lstSaved,
                                               const std::list<std::wstring>& lstSrc)
{
    return PostSave(lstSaved, lstSrc);
}
