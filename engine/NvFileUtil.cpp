#include "NvFileUtil.h"

#include "CAutoFindHandle.h"
#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "Win32Error.h"

#include <shlwapi.h>
#include <stdarg.h>
#include <stdio.h>

namespace {

const size_t kMaxLongPath = 32000;

bool IsDotEntry(const WIN32_FIND_DATAW& fd)
{
    return wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0;
}

bool IsFolderEntry(const WIN32_FIND_DATAW& fd)
{
    return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A junction, mount point or folder link: following it would leave the tree
// (a Windows partition holds several that point back into itself).
bool IsFolderLink(const WIN32_FIND_DATAW& fd)
{
    return IsFolderEntry(fd) && (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void LogLastError()
{
    PrintWin32Error(GetLastError());
}

bool EndsWithBackslash(const std::wstring& wstr)
{
    return !wstr.empty() && wstr.back() == L'\\';
}

std::wstring WithBackslash(const wchar_t* pwsz)
{
    std::wstring wstr(pwsz != nullptr ? pwsz : L"");
    if (!EndsWithBackslash(wstr))
        wstr += L'\\';
    return wstr;
}

std::wstring WithoutBackslash(const wchar_t* pwsz)
{
    std::wstring wstr(pwsz != nullptr ? pwsz : L"");
    if (EndsWithBackslash(wstr))
        wstr.pop_back();
    return wstr;
}

// The fixed-buffer routines support no longer paths; refuse instead of
// overrunning.
bool FitsMaxPath(const std::wstring& wstr)
{
    return wstr.size() < MAX_PATH;
}

HRESULT ListingEndResult(HRESULT hr)
{
    DWORD dwError = GetLastError();
    if (hr == S_OK && dwError != ERROR_NO_MORE_FILES) {
        PrintWin32Error(dwError);
        return NV_E_NOT_FOUND;
    }
    return hr;
}

// A drive root such as "C:\", after an optional "\\?\".
bool IsDriveRoot(const wchar_t* pwszPath)
{
    const wchar_t* pwsz = pwszPath;
    if (wcsncmp(pwsz, L"\\\\?\\", 4) == 0)
        pwsz += 4;
    if (wcslen(pwsz) != 3)
        return false;
    wchar_t wc = pwsz[0];
    bool bLetter = (wc >= L'A' && wc <= L'Z') || (wc >= L'a' && wc <= L'z');
    return bLetter && pwsz[1] == L':' && pwsz[2] == L'\\';
}

HRESULT CopyDirWalk(const std::wstring& wstrSrc, const std::wstring& wstrDst, BOOL bStopOnFailure,
                    const std::vector<std::wstring>* pvecExclusions);

// Creates the destination folder of a copy; a drive root is never created.
HRESULT PrepareCopyDestination(std::wstring& wstrDst, bool bCreateRoot)
{
    if (!EndsWithBackslash(wstrDst))
        wstrDst += L'\\';
    if (!FitsMaxPath(wstrDst)) {
        DebugPrint(L"Destination path too long: %s\n", wstrDst.c_str());
        return NV_E_BUFFER_TOO_SMALL;
    }
    if (!bCreateRoot && wstrDst.size() <= 3)
        return S_OK;
    if (!CreateDirectoryW(wstrDst.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        LogLastError();
        return NV_E_CREATE_DIR;
    }
    return S_OK;
}

#ifndef RV_DISCORA
bool IsExcluded(const std::wstring& wstrSrc, const std::vector<std::wstring>& vecExclusions)
{
    std::wstring wstrBare = WithoutBackslash(wstrSrc.c_str());
    for (const std::wstring& wstrExclusion : vecExclusions) {
        DebugPrint(L"Exclusive Path = %s\n", wstrExclusion.c_str());
        if (WithoutBackslash(wstrExclusion.c_str()) == wstrBare)
            return true;
    }
    return false;
}
#endif

HRESULT CopyOneFile(const std::wstring& wstrFrom, const std::wstring& wstrTo, BOOL bStopOnFailure)
{
    if (CopyFileW(wstrFrom.c_str(), wstrTo.c_str(), FALSE))
        return S_OK;
    if (!bStopOnFailure)
        return S_OK;
    LogLastError();
    return NV_E_COPY_FILE;
}

// The walk shared by the plain copy and the copy with exclusions.
// wstrDst already ends in a backslash and exists.
HRESULT CopyDirWalk(const std::wstring& wstrSrcIn, const std::wstring& wstrDst, BOOL bStopOnFailure,
                    const std::vector<std::wstring>* pvecExclusions)
{
#ifdef RV_DISCORA
    (void)pvecExclusions;
#endif
    std::wstring wstrSrc = WithBackslash(wstrSrcIn.c_str());
    DebugPrint(L"Copying Path = %s\n", wstrSrc.c_str());
    if (!FitsMaxPath(wstrSrc + L"*.*"))
        return NV_E_BUFFER_TOO_SMALL;

    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW((wstrSrc + L"*.*").c_str(), &fd));
    if (!find.IsValid()) {
        LogLastError();
        return NV_E_NOT_FOUND;
    }

    HRESULT hr = S_OK;
    do {
        if (IsDotEntry(fd))
            continue;
        std::wstring wstrFrom = wstrSrc + fd.cFileName;
        std::wstring wstrTo = wstrDst + fd.cFileName;
        if (!FitsMaxPath(wstrFrom) || !FitsMaxPath(wstrTo)) {
            DebugPrint(L"Path too long: %s\n", wstrFrom.c_str());
            hr = NV_E_BUFFER_TOO_SMALL;
            break;
        }
        if (IsFolderLink(fd)) {
            DebugPrint(L"Skipping link %s\n", wstrFrom.c_str());
            continue;
        }
        if (IsFolderEntry(fd)) {
#ifndef RV_DISCORA
            if (pvecExclusions != nullptr)
                hr = NvCopyDirWithExclusion(wstrFrom.c_str(), wstrTo.c_str(), *pvecExclusions, bStopOnFailure);
            else
#endif
                hr = NvCopyDir(wstrFrom.c_str(), wstrTo.c_str(), bStopOnFailure);
        } else {
            hr = CopyOneFile(wstrFrom, wstrTo, bStopOnFailure);
        }
        if (FAILED(hr))
            break;
    } while (FindNextFileW(find.Get(), &fd));

    return FAILED(hr) ? hr : ListingEndResult(hr);
}

// The link itself, opened as a reparse point, never its target.
bool DeleteLinkOnClose(const std::wstring& wstrPath)
{
    CAutoHandle link(CreateFileW(wstrPath.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE,
                                 nullptr));
    if (!link.IsValid())
        return false;
    link.Close();
    return GetFileAttributesW(wstrPath.c_str()) == INVALID_FILE_ATTRIBUTES;
}

HRESULT DeleteEntry(const std::wstring& wstrPath, const WIN32_FIND_DATAW& fd)
{
    if (IsFolderLink(fd)) {
        // Removes the link only; its target stays untouched.
        if (!RemoveDirectoryW(wstrPath.c_str()) && !DeleteLinkOnClose(wstrPath)) {
            LogLastError();
            return NV_E_DELETE_FILE;
        }
        return S_OK;
    }
    if (IsFolderEntry(fd))
        return NvDeleteDirectory(wstrPath.c_str());
    if (!SetFileAttributesW(wstrPath.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        LogLastError();
        return NV_E_SET_ATTRIBUTES;
    }
    if (!DeleteFileW(wstrPath.c_str())) {
        LogLastError();
        return NV_E_DELETE_FILE;
    }
    return S_OK;
}

} // namespace

std::wstring NvLowerExtension(const wchar_t* pwszName)
{
    const wchar_t* pwszDot = pwszName ? wcsrchr(pwszName, L'.') : nullptr;
    std::wstring strExt = pwszDot ? pwszDot : L"";
    for (wchar_t& c : strExt)
        c = towlower(c);
    return strExt;
}

int FormatPath(wchar_t (&wszBuf)[MAX_PATH], const wchar_t* pwszFormat, ...)
{
    va_list args;
    va_start(args, pwszFormat);
    // Counted formatting: an overlong result is cut, never fatal.
    int nWritten = _vsnwprintf(wszBuf, MAX_PATH, pwszFormat, args);
    va_end(args);
    if (nWritten < 0 || nWritten >= MAX_PATH) {
        wszBuf[MAX_PATH - 1] = L'\0';
        DebugPrint(L"FormatPath: text cut at %d characters.\n", MAX_PATH - 1);
        return -1;
    }
    return nWritten;
}

HRESULT FindFileSizeInByte(const wchar_t* pwszPath, ULONGLONG* pullSize)
{
    if (pullSize != nullptr)
        *pullSize = 0;
    if (pwszPath == nullptr || pwszPath[0] == L'\0')
        return NV_E_PATH_ARG;

    CAutoHandle file(CreateFileW(pwszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, nullptr));
    if (!file.IsValid()) {
        DebugPrint(L"Create File Failed.\n");
        LogLastError();
        return NV_E_FILE_IO;
    }

    HRESULT hr = S_OK;
    DWORD dwHigh = 0;
    SetLastError(NO_ERROR);
    DWORD dwLow = GetFileSize(file.Get(), &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        LogLastError();
        hr = NV_E_FILE_SIZE;
    } else {
        DebugPrint(L"File Size High DWORD Part = %lu\n", dwHigh);
        DebugPrint(L"File Size Low DWORD Part = %lu\n", dwLow);
        if (pullSize != nullptr)
            *pullSize = (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
    }
    if (!file.Close())
        LogLastError();
    return hr;
}

BOOL NvFileExists(const wchar_t* pwszPath)
{
    if (pwszPath == nullptr || pwszPath[0] == L'\0')
        return FALSE;
    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW(pwszPath, &fd));
    if (!find.IsValid()) {
        LogLastError();
        return FALSE;
    }
    return IsFolderEntry(fd) ? FALSE : TRUE;
}

BOOL NvDirectoryExists(const wchar_t* pwszPath)
{
    if (pwszPath == nullptr || pwszPath[0] == L'\0')
        return FALSE;
    if (IsDriveRoot(pwszPath)) {
        DWORD dwAttributes = GetFileAttributesW(pwszPath);
        return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    std::wstring wstrPath = WithoutBackslash(pwszPath);
    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW(wstrPath.c_str(), &fd));
    if (!find.IsValid()) {
        LogLastError();
        return FALSE;
    }
    return IsFolderEntry(fd) ? TRUE : FALSE;
}

HRESULT NvCreateDirectoryW(const wchar_t* pwszPath)
{
    if (pwszPath == nullptr || pwszPath[0] == L'\0')
        return NV_E_PATH_ARG;
    if (NvDirectoryExists(pwszPath))
        return S_OK;

    // Rebuilt from its pieces, so a leading "\\" is lost: drive-letter paths only.
    std::wstring wstrPath(pwszPath);
    std::wstring wstrPartial;
    size_t nStart = 0;
    while (nStart <= wstrPath.size()) {
        size_t nEnd = wstrPath.find(L'\\', nStart);
        if (nEnd == std::wstring::npos)
            nEnd = wstrPath.size();
        if (nEnd > nStart) {
            wstrPartial += wstrPath.substr(nStart, nEnd - nStart);
            wstrPartial += L'\\';
            if (!NvDirectoryExists(wstrPartial.c_str()) && !CreateDirectoryW(wstrPartial.c_str(), nullptr)) {
                LogLastError();
                return NV_E_CREATE_DIR_LEVEL;
            }
        }
        nStart = nEnd + 1;
    }
    return S_OK;
}

HRESULT NvCreateDirectoryPath(const wchar_t* pwszPath, DWORD dwAttributes)
{
    if (pwszPath == nullptr || pwszPath[0] == L'\0')
        return NV_E_PATH_ARG;
    std::wstring wstrPath(pwszPath);
    if (!FitsMaxPath(wstrPath))
        return NV_E_BUFFER_TOO_SMALL;

    size_t nPos = wstrPath.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    while ((nPos = wstrPath.find(L'\\', nPos)) != std::wstring::npos) {
        std::wstring wstrLevel = wstrPath.substr(0, nPos + 1);
        ++nPos;
        if (!NvDirectoryExists(wstrLevel.c_str()) && !CreateDirectoryW(wstrLevel.c_str(), nullptr)) {
            // A positive code here would read as success to every caller.
            LogLastError();
            return NV_E_CREATE_DIR;
        }
        if (dwAttributes == 0)
            continue;
        DWORD dwOld = GetFileAttributesW(wstrLevel.c_str());
        if (dwOld != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(wstrLevel.c_str(), dwOld | dwAttributes);
    }
    return S_OK;
}

HRESULT NvDeleteDirectory(const wchar_t* pwszPath)
{
    if (pwszPath == nullptr || pwszPath[0] == L'\0' || !PathFileExistsW(pwszPath))
        return 1;
    std::wstring wstrPath = WithBackslash(pwszPath);
    if (wstrPath.size() > kMaxLongPath)
        return NV_E_BUFFER_TOO_SMALL;

    HRESULT hr = S_OK;
    {
        WIN32_FIND_DATAW fd;
        CAutoFindHandle find(FindFirstFileW((wstrPath + L"*.*").c_str(), &fd));
        if (!find.IsValid()) {
            LogLastError();
            return NV_E_NOT_FOUND;
        }
        do {
            if (IsDotEntry(fd))
                continue;
            hr = DeleteEntry(wstrPath + fd.cFileName, fd);
            if (FAILED(hr))
                break;
        } while (FindNextFileW(find.Get(), &fd));
        if (SUCCEEDED(hr))
            hr = ListingEndResult(hr);
    }

    if (!RemoveDirectoryW(pwszPath)) {
        LogLastError();
        hr = NV_E_DELETE_FILE;
    }
    return hr;
}

HRESULT NvCopyDir(const wchar_t* pwszSrc, const wchar_t* pwszDst, BOOL bStopOnFailure)
{
    std::wstring wstrDst(pwszDst != nullptr ? pwszDst : L"");
    HRESULT hr = PrepareCopyDestination(wstrDst, false);
    if (FAILED(hr))
        return hr;
    return CopyDirWalk(pwszSrc != nullptr ? pwszSrc : L"", wstrDst, bStopOnFailure, nullptr);
}

HRESULT NvFindFolderSizeInByte(const wchar_t* pwszFolder, ULONGLONG* pullSize, BOOL bStopOnError)
{
    if (pullSize != nullptr)
        *pullSize = 0;
    if (!NvDirectoryExists(pwszFolder)) {
        DebugPrint(L"%s folder doesn't exist. \n", pwszFolder != nullptr ? pwszFolder : L"");
        return NV_E_FILE_NOT_EXIST;
    }

    std::wstring wstrFolder = WithoutBackslash(pwszFolder);
    wchar_t wszPattern[MAX_PATH];
    if (FormatPath(wszPattern, L"%s\\*", wstrFolder.c_str()) < 0)
        return NV_E_BUFFER_TOO_SMALL;

    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW(wszPattern, &fd));
    if (!find.IsValid()) {
        // The folder exists but cannot be listed: its size is unknown, not 0.
        LogLastError();
        return NV_E_NOT_FOUND;
    }

    HRESULT hr = S_OK;
    ULONGLONG ullTotal = 0;
    do {
        if (IsDotEntry(fd) || IsFolderLink(fd))
            continue;
        wchar_t wszEntry[MAX_PATH];
        ULONGLONG ullPart = 0;
        if (FormatPath(wszEntry, L"%s\\%s", wstrFolder.c_str(), fd.cFileName) < 0)
            hr = NV_E_BUFFER_TOO_SMALL;
        else if (IsFolderEntry(fd))
            hr = NvFindFolderSizeInByte(wszEntry, &ullPart, bStopOnError);
        else
            hr = FindFileSizeInByte(wszEntry, &ullPart);
        if (SUCCEEDED(hr))
            ullTotal += ullPart;
        else if (bStopOnError)
            break;
    } while (FindNextFileW(find.Get(), &fd));

    if (pullSize != nullptr)
        *pullSize = ullTotal;
    return hr;
}

#ifndef RV_DISCORA

HRESULT NvCopyDir(const wchar_t* pwszSrc, const wchar_t* pwszDst,
                  LPPROGRESS_ROUTINE pfnProgress, NvCopyFileDoneRoutine pfnFileDone)
{
    std::wstring wstrDst(pwszDst != nullptr ? pwszDst : L"");
    HRESULT hr = PrepareCopyDestination(wstrDst, false);
    if (FAILED(hr))
        return hr;

    std::wstring wstrSrc = WithBackslash(pwszSrc);
    DebugPrint(L"Copying Path = %s\n", wstrSrc.c_str());
    if (!FitsMaxPath(wstrSrc + L"*.*"))
        return NV_E_BUFFER_TOO_SMALL;
    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW((wstrSrc + L"*.*").c_str(), &fd));
    if (!find.IsValid()) {
        LogLastError();
        return NV_E_NOT_FOUND;
    }

    do {
        if (IsDotEntry(fd) || IsFolderLink(fd))
            continue;
        std::wstring wstrFrom = wstrSrc + fd.cFileName;
        std::wstring wstrTo = wstrDst + fd.cFileName;
        if (!FitsMaxPath(wstrFrom) || !FitsMaxPath(wstrTo)) {
            hr = NV_E_BUFFER_TOO_SMALL;
            break;
        }
        if (IsFolderEntry(fd)) {
            hr = NvCopyDir(wstrFrom.c_str(), wstrTo.c_str(), pfnProgress, pfnFileDone);
            if (FAILED(hr))
                break;
            continue;
        }
        BOOL bCancel = FALSE;
        if (!CopyFileExW(wstrFrom.c_str(), wstrTo.c_str(), pfnProgress, nullptr, &bCancel,
                         COPY_FILE_ALLOW_DECRYPTED_DESTINATION)) {
            LogLastError();
            hr = NV_E_COPY_FILE;
            break;
        }
        if (pfnFileDone != nullptr)
            pfnFileDone((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    } while (FindNextFileW(find.Get(), &fd));

    return FAILED(hr) ? hr : ListingEndResult(hr);
}

HRESULT NvCopyDirWithExclusion(const wchar_t* pwszSrc, const wchar_t* pwszDst,
                               std::vector<std::wstring> vecExclusions, BOOL bStopOnFailure)
{
    std::wstring wstrSrc(pwszSrc != nullptr ? pwszSrc : L"");
    if (IsExcluded(wstrSrc, vecExclusions))
        return S_OK;
    std::wstring wstrDst(pwszDst != nullptr ? pwszDst : L"");
    HRESULT hr = PrepareCopyDestination(wstrDst, true);
    if (FAILED(hr))
        return hr;
    return CopyDirWalk(wstrSrc, wstrDst, bStopOnFailure, &vecExclusions);
}

HRESULT NvGetDirTotalBytes(const wchar_t* pwszFolder, ULONGLONG* pullTotal)
{
    if (pwszFolder == nullptr || pwszFolder[0] == L'\0' || pullTotal == nullptr)
        return NV_E_INVALID_ARG;

    std::wstring wstrFolder = WithBackslash(pwszFolder);
    DebugPrint(L"Copying Path = %s\n", wstrFolder.c_str());
    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW((wstrFolder + L"*.*").c_str(), &fd));
    if (!find.IsValid()) {
        LogLastError();
        return NV_E_NOT_FOUND;
    }

    HRESULT hr = S_OK;
    ULONGLONG ullTotal = 0;
    do {
        if (IsDotEntry(fd) || IsFolderLink(fd))
            continue;
        if (IsFolderEntry(fd)) {
            std::wstring wstrSub = wstrFolder + fd.cFileName;
            DebugPrint(L"Find directory! %s\\%s", pwszFolder, fd.cFileName);
            DebugPrint(L"calling NvGetDirTotalBytes, szFoundPath = %s", wstrSub.c_str());
            ULONGLONG ullSub = 0;
            hr = NvGetDirTotalBytes(wstrSub.c_str(), &ullSub);
            if (FAILED(hr)) {
                DebugPrint(L"NvGetDirTotalBytes fail.");
                break;
            }
            ullTotal += ullSub;
        } else {
            ULONGLONG ullSize = (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            DebugPrint(L"Added %s\\%s size = %llu", pwszFolder, fd.cFileName, ullSize);
            ullTotal += ullSize;
        }
    } while (FindNextFileW(find.Get(), &fd));

    if (SUCCEEDED(hr))
        hr = ListingEndResult(hr);
    find.Close();
    DebugPrint(L"Folder %s has %llu bytes.", pwszFolder, ullTotal);
    *pullTotal = ullTotal;
    return hr;
}

#endif // RV_DISCORA
