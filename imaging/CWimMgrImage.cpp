// The WIM manager's image operations: setters, apply, reference parts of a
// split image, rebuilding an image from its pieces, and capture.
#include "CWimMgr.h"

#include <shlwapi.h>

#include "CAutoFindHandle.h"
#include "CAutoLibrary.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "Win32Error.h"
#include "Wimsplice.h"

namespace {

// A member path holds 259 characters and its terminator; a longer path would
// be cut into the name of some other file.
bool CopyPath(wchar_t (&wszDst)[MAX_PATH], LPCWSTR pwszSrc)
{
    if (wcslen(pwszSrc) >= MAX_PATH)
        return false;
    wcscpy(wszDst, pwszSrc);
    return true;
}

bool IsValidHandle(HANDLE h)
{
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

unsigned long LowBits(HANDLE h)
{
    return static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(h));
}

FARPROC AsFarProc(WIMMessageCallback pfn)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(pfn));
}

} // namespace

HRESULT STDMETHODCALLTYPE CWimMgr::SetWimImagePath(LPCWSTR pwszPath)
{
    CAutoTrace trace(L"CWimMgr", L"SetWimImagePath", this);
    if (!pwszPath)
        return NV_E_INVALID_ARG;
    trace.Print(L"SetWimImagePath - %s", pwszPath);
    return CopyPath(m_szWimFileName, pwszPath) ? S_OK : NV_E_INVALID_ARG;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetTempPath(LPCWSTR pwszPath)
{
    CAutoTrace trace(L"CWimMgr", L"SetTempPath", this);
    if (!pwszPath)
        return NV_E_INVALID_ARG;
    trace.Print(L"SetTempPath - %s", pwszPath);
    return CopyPath(m_szTempPath, pwszPath) ? S_OK : NV_E_INVALID_ARG;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetTargetDrive(wchar_t wcDrive)
{
    CAutoTrace trace(L"CWimMgr", L"SetTargetDrive", this);
    trace.Print(L"wcDrive = %c", wcDrive);
    // Only A to Z name a drive; anything else would build a bogus root.
    bool bLetter = (wcDrive >= L'A' && wcDrive <= L'Z') || (wcDrive >= L'a' && wcDrive <= L'z');
    if (!bLetter)
        return NV_E_INVALID_ARG;
    m_wcTargetDrive = wcDrive;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetImageIndex(DWORD dwImageIndex)
{
    CAutoTrace trace(L"CWimMgr", L"SetImageIndex", this);
    if (dwImageIndex == 0)
        return NV_E_INVALID_ARG;
    m_dwImageIndex = dwImageIndex;
    trace.Print(L"set m_dwImageIndex = %lu", m_dwImageIndex);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetMessageCallback(WIMMessageCallback pfnCallback)
{
    if (!pfnCallback)
        return NV_E_INVALID_ARG;
    m_pfnMsgCallback = pfnCallback;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetCaptureSource(LPCWSTR pwszFolder)
{
    if (!pwszFolder || !*pwszFolder)
        return NV_E_INVALID_ARG;
    return CopyPath(m_szCaptureSource, pwszFolder) ? S_OK : NV_E_INVALID_ARG;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetCaptureTarget(LPCWSTR pwszWimPath)
{
    if (!pwszWimPath || !*pwszWimPath)
        return NV_E_INVALID_ARG;
    return CopyPath(m_szCaptureTarget, pwszWimPath) ? S_OK : NV_E_INVALID_ARG;
}

HRESULT STDMETHODCALLTYPE CWimMgr::OpenWimImageReadOnly()
{
    CAutoTrace trace(L"CWimMgr", L"OpenWimImageReadOnly", this);
    trace.Print(L"m_szWimFileName == %s", m_szWimFileName);
    if (m_hWimImage) {
        trace.Print(L"CHECK_HANDLE found non-NULL handle!");
        // Overwriting it would leave the old file open for good.
        WIMCloseHandle(m_hWimImage);
        m_hWimImage = nullptr;
    }
    DWORD dwCreationResult = 0;
    HANDLE hWim = WIMCreateFile(m_szWimFileName, WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY,
                                WIM_COMPRESS_NONE, &dwCreationResult);
    if (!IsValidHandle(hWim)) {
        PrintWin32Error(GetLastError());
        CWimMgr::CleanUpHandles();
        return NV_E_FILE_IO;
    }
    m_hWimImage = hWim;
    trace.Print(L"!!!!! update m_hWimImage = %lx", LowBits(m_hWimImage));
    trace.Print(L"calling WIMGetAttributes...");
    if (!WIMGetAttributes(m_hWimImage, &m_oWimInfo, sizeof(m_oWimInfo))) {
        PrintWin32Error(GetLastError());
        CWimMgr::CleanUpHandles();
        return NV_E_SET_ATTRIBUTES;
    }
    m_dwImageCount = m_oWimInfo.ImageCount;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::OpenImage(DWORD dwImageIndex)
{
    CAutoTrace trace(L"CWimMgr", L"OpenImage", this);
    if (dwImageIndex == 0)
        return NV_E_INVALID_ARG;
    if (m_hImage) {
        trace.Print(L"CHECK_HANDLE found non-NULL handle!");
        WIMCloseHandle(m_hImage);
        m_hImage = nullptr;
    }
    HANDLE hImage = WIMLoadImage(m_hWimImage, dwImageIndex);
    if (!IsValidHandle(hImage)) {
        PrintWin32Error(GetLastError());
        CWimMgr::CleanUpHandles();
        return NV_E_CLOSE_HANDLE;
    }
    m_hImage = hImage;
    trace.Print(L"!!!!! update m_hImage = %lx", LowBits(m_hImage));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::RestoreImage()
{
    CAutoTrace trace(L"CWimMgr", L"RestoreImage", this);
    if (m_wcTargetDrive == L'\0')
        return NV_E_PATH_ARG;
    wchar_t wszRoot[4] = {m_wcTargetDrive, L':', L'\\', L'\0'};
    if (!WIMApplyImage(m_hImage, wszRoot, WIM_FLAG_FILEINFO)) {
        DWORD dwError = GetLastError();
        trace.Print(L"WIMApplyImage fail.");
        PrintWin32Error(dwError);
        return NV_E_FAIL;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetRefPath(LPCWSTR pwszPattern)
{
    CAutoTrace trace(L"CWimMgr", L"SetRefPath", this);
    if (!pwszPattern)
        return NV_E_INVALID_ARG;
    trace.Print(L"SetRefPath start working... lpszRefPath = %s", pwszPattern);

    std::wstring strPattern = pwszPattern;
    size_t nSlash = strPattern.find_last_of(L'\\');
    // A bare pattern means the current folder, not the root of the drive.
    std::wstring strFolder = nSlash == std::wstring::npos ? L"." : strPattern.substr(0, nSlash);
    std::wstring strExt = PathFindExtensionW(PathFindFileNameW(pwszPattern));
    std::wstring strSearch = strFolder + L"\\*" + strExt;
    const wchar_t* pwszMainName = PathFindFileNameW(m_szWimFileName);

    WIN32_FIND_DATAW fd;
    CAutoFindHandle find(FindFirstFileW(strSearch.c_str(), &fd));
    if (!find.IsValid()) {
        trace.Print(L"FindFirstFile return INVALID_HANDLE_VALUE");
        return NV_E_FAIL;
    }
    do {
        // A folder can never be a part of the image.
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (_wcsicmp(fd.cFileName, pwszMainName) == 0)
            continue;
        std::wstring strPath = strFolder + L"\\" + fd.cFileName;
        trace.Print(L"insert into vector: %s", strPath.c_str());
        m_vecRefFiles.push_back(strPath);
    } while (FindNextFileW(find.Get(), &fd));
    return S_OK;
}

HRESULT CWimMgr::RegisterReferenceFiles(CAutoTrace& trace)
{
    trace.Print(L"WIMSetReferenceFile");
    while (!m_vecRefFiles.empty()) {
        const std::wstring& strPath = m_vecRefFiles.back();
        trace.Print(L"WIMSetReferenceFile : %s", strPath.c_str());
        if (!WIMSetReferenceFile(m_hWimImage, strPath.c_str(), WIM_REFERENCE_APPEND | WIM_FLAG_VERIFY)) {
            // The part stays unregistered; trying it again would never end.
            trace.Print(L"WIMSetReferenceFile fail. Error == %lu\n", GetLastError());
            return NV_E_FAIL;
        }
        m_vecRefFiles.pop_back();
    }
    return S_OK;
}

HRESULT CWimMgr::ApplyRegisteredImage(CAutoTrace& trace)
{
    trace.Print(L"Check whether temp folder exists - %s", m_szTempPath);
    if (!NvDirectoryExists(m_szTempPath)) {
        trace.Print(L"Create temp folder - %s", m_szTempPath);
        if (!CreateDirectoryW(m_szTempPath, nullptr)) {
            PrintWin32Error(GetLastError());
            return NV_E_CREATE_DIR;
        }
    }
    trace.Print(L"OpenWimImageReadOnly");
    HRESULT hr = OpenWimImageReadOnly();
    if (FAILED(hr))
        return hr;
    trace.Print(L"Check m_oWimInfo.ImageCount < m_dwImageIndex");
    if (m_oWimInfo.ImageCount < m_dwImageIndex)
        return NV_E_INVALID_ARG;
    hr = RegisterReferenceFiles(trace);
    if (FAILED(hr))
        return hr;
    trace.Print(L"WIMSetTemporaryPath");
    if (!WIMSetTemporaryPath(m_hWimImage, m_szTempPath)) {
        trace.Print(L"WIMSetTemporaryPath fail.\n");
        return NV_E_FAIL;
    }
    trace.Print(L"OpenImage");
    hr = OpenImage(m_dwImageIndex);
    if (FAILED(hr))
        return hr;
    trace.Print(L"RestoreImage");
    return RestoreImage();
}

HRESULT STDMETHODCALLTYPE CWimMgr::RestoreWimImage()
{
    CAutoTrace trace(L"CWimMgr", L"RestoreWimImage", this);
    if (m_dwImageIndex == 0 || m_wcTargetDrive == L'\0')
        return NV_E_INVALID_ARG;

    trace.Print(L"WIMRegisterMessageCallback");
    if (m_pfnMsgCallback &&
        WIMRegisterMessageCallback(nullptr, AsFarProc(m_pfnMsgCallback), m_pvMsgCallbackData) == INVALID_CALLBACK_VALUE) {
        trace.Print(L"WIMRegisterMessageCallback fail.\n");
        return NV_E_FAIL;
    }
    HRESULT hr = ApplyRegisteredImage(trace);
    // Every way out closes both handles and unregisters the callback.
    CWimMgr::CleanUpHandles();
    return FAILED(hr) ? hr : S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::MergeImage(LPCWSTR pwszImagePath)
{
    CAutoTrace trace(L"CWimMgr", L"MergeImage", this);
    if (!pwszImagePath || !*pwszImagePath)
        return NV_E_INVALID_ARG;
    std::wstring strExt = PathFindExtensionW(pwszImagePath);
    std::wstring strBase(pwszImagePath, wcslen(pwszImagePath) - strExt.size());

    // Loaded from the current folder, which start-up set to the program folder.
    CAutoLibrary library(LoadLibraryW(L".\\Wimsplice.dll"));
    if (!library.Get()) {
        DWORD dwError = GetLastError();
        trace.Print(L"GetLastError returns %lx", dwError);
        PrintWin32Error(dwError);
        return NV_E_LOAD_LIBRARY;
    }
    PFN_MergeIntoWIM pfnMerge =
        reinterpret_cast<PFN_MergeIntoWIM>(reinterpret_cast<void (*)()>(GetProcAddress(library.Get(), "MergeIntoWIM")));
    if (!pfnMerge) {
        PrintWin32Error(GetLastError());
        return NV_E_LOAD_LIBRARY;
    }

    std::wstring strImage = pwszImagePath;
    std::wstring strPiece = strBase + L".DAT";
    for (int iNumber = 2;; ++iNumber) {
        BOOL bImage = NvFileExists(strImage.c_str());
        BOOL bPiece = NvFileExists(strPiece.c_str());
        if (!bImage && !bPiece)
            return S_OK;
        if (!bImage) {
            trace.Print(L"MergeIntoWIM - %s", strImage.c_str());
            HRESULT hr = pfnMerge(strImage.c_str());
            if (FAILED(hr)) {
                trace.Print(L"MergeIntoWIM failed. hr = %lx", static_cast<unsigned long>(hr));
                return hr;
            }
        }
        if (NvFileExists(strImage.c_str()) && NvFileExists(strPiece.c_str()) && !DeleteFileW(strPiece.c_str()))
            PrintWin32Error(GetLastError());
        strImage = strBase + std::to_wstring(iNumber) + strExt;
        strPiece = strBase + std::to_wstring(iNumber) + L".DAT";
    }
}

HRESULT CWimMgr::CloseCapturedImage(CAutoTrace& trace)
{
    // The WIM file gets its tables when its handle closes: a failure there
    // leaves no usable image, whatever the capture said.
    DWORD dwError = ERROR_SUCCESS;
    if (m_hImage && !WIMCloseHandle(m_hImage))
        dwError = GetLastError();
    m_hImage = nullptr;
    if (m_hWimImage && !WIMCloseHandle(m_hWimImage) && dwError == ERROR_SUCCESS)
        dwError = GetLastError();
    m_hWimImage = nullptr;
    if (dwError == ERROR_SUCCESS)
        return S_OK;
    trace.Print(L"WIMCloseHandle failed. GetLastError returns %lx", dwError);
    return NV_E_WIM_CAPTURE;
}

HRESULT STDMETHODCALLTYPE CWimMgr::BackupToImage()
{
    CAutoTrace trace(L"CWimMgr", L"BackupToImage", this);
    // Without a callback there is nothing to register; registering a null one
    // would fail the capture for no reason.
    if (m_pfnMsgCallback &&
        WIMRegisterMessageCallback(nullptr, AsFarProc(m_pfnMsgCallback),
                                   m_pvMsgCallbackData ? m_pvMsgCallbackData : this) == INVALID_CALLBACK_VALUE) {
        trace.Print(L"WIMRegisterMessageCallback failed.");
        return NV_E_WIM_REGISTER_CB;
    }

    trace.Print(L"WIMCreateFile - %s", m_szCaptureTarget);
    DWORD dwCreationResult = 0;
    HANDLE hWim = WIMCreateFile(m_szCaptureTarget, WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, 0, WIM_COMPRESS_XPRESS,
                                &dwCreationResult);
    if (!IsValidHandle(hWim)) {
        trace.Print(L"WIMCreateFile failed. GetLastError returns %lx", GetLastError());
        CWimMgr::CleanUpHandles();
        return NV_E_WIM_CREATE_FILE;
    }
    m_hWimImage = hWim;

    trace.Print(L"WIMCaptureImage - %s", m_szCaptureSource);
    HANDLE hImage = WIMCaptureImage(m_hWimImage, m_szCaptureSource, 0);
    DWORD dwError = GetLastError();
    if (!IsValidHandle(hImage)) {
        // No image handle is no image, whatever the last error says.
        trace.Print(L"WIMCaptureImage returns NULL.");
        trace.Print(L"WIMCaptureImage failed. GetLastError returns %lx", dwError);
        CWimMgr::CleanUpHandles();
        return NV_E_WIM_CAPTURE;
    }
    m_hImage = hImage;

    HRESULT hr = CloseCapturedImage(trace);
    if (SUCCEEDED(hr))
        trace.Print(L"WIMCaptureImage run successfully.");
    CWimMgr::CleanUpHandles();
    return hr;
}
