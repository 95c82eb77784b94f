#include "WIMFileBackuper.h"

#include <shlobj.h>

#include <algorithm>
#include <ctime>

#include "CAutoLibrary.h"
#include "CAutoTrace.h"
#include "CDiscBurner.h"
#include "CFileBackupMgr.h"
#include "CFileBackupNotifier.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "Win32Error.h"
#include "Wimsplice.h"
#include "wimgapi.h"

namespace {

// Our folders carry names of their own and a marker file, and only a folder
// holding the marker is ever deleted: a user's folder of the same name stays.
const wchar_t kMountRootName[] = L"MendoraBackupMount";
const wchar_t kWorkDirName[] = L"Mendora File Backup";
const wchar_t kOwnerMarker[] = L"MendoraBackup.owner";
const wchar_t kSetPrefix[] = L"Backup Files ";
const wchar_t kIndexName[] = L"Mendora.ini";

FARPROC AsFarProc(DWORD(CALLBACK* pfn)(DWORD, WPARAM, LPARAM, PVOID))
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(pfn));
}

} // namespace

std::wstring WIMFileBackuper::LocalTimeText(const wchar_t* pwszFormat)
{
    time_t now = time(nullptr);
    tm local {};
    localtime_s(&local, &now);
    wchar_t wsz[64] = {};
    wcsftime(wsz, 64, pwszFormat, &local);
    return wsz;
}

namespace {

std::wstring Marker(const std::wstring& strDir)
{
    return strDir + kOwnerMarker;
}

// Deletes the tree only when we made it.
void RemoveOwnTree(const std::wstring& strDir)
{
    if (NvFileExists(Marker(strDir).c_str()))
        NvDeleteDirectory(strDir.c_str());
}

HRESULT CreateOwnTree(const std::wstring& strDir)
{
    if (NvDirectoryExists(strDir.c_str()) && !NvFileExists(Marker(strDir).c_str()))
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    HRESULT hr = NvCreateDirectoryW(strDir.c_str());
    if (FAILED(hr))
        return hr;
    HANDLE h = CreateFileW(Marker(strDir).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(h);
    SetFileAttributesW(strDir.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return S_OK;
}

std::wstring CommonAppData(wchar_t wcHomeDrive)
{
    wchar_t wsz[MAX_PATH] = {};
    std::wstring s = SHGetSpecialFolderPathW(nullptr, wsz, CSIDL_COMMON_APPDATA, TRUE) ? wsz : L"C:\\ProgramData";
    if (s.empty() || s.back() != L'\\')
        s += L'\\';
    if (wcHomeDrive)
        s[0] = wcHomeDrive;
    return s;
}

} // namespace

WIMFileBackuper::WIMFileBackuper(CFileBackupMgr& owner, wchar_t wcHomeDrive)
    : m_owner(owner), m_wcHomeDrive(wcHomeDrive)
{
    wchar_t wszRoot[] = L"C:\\";
    if (wcHomeDrive)
        wszRoot[0] = wcHomeDrive;
    m_strMountRoot = std::wstring(wszRoot) + kMountRootName + L"\\";
    m_strWorkDir = CommonAppData(wcHomeDrive) + kWorkDirName + L"\\";
    if (NvGetProgramFolder(m_strProgramDir))
        m_strProgramDir.pop_back(); // its trailing backslash
    Cleanup();
}

WIMFileBackuper::~WIMFileBackuper()
{
    Cleanup();
}

HRESULT WIMFileBackuper::SetDestination(wchar_t wcLetter)
{
    m_wcDestDrive = wcLetter;
    return S_OK;
}

void WIMFileBackuper::Cleanup()
{
    RemoveOwnTree(m_strMountRoot);
    RemoveOwnTree(m_strWorkDir);
}

bool WIMFileBackuper::AddListener(IListener* pListener)
{
    if (!pListener)
        return false;
    m_lstListeners.push_back(pListener);
    return true;
}

bool WIMFileBackuper::RemoveListener(IListener* pListener)
{
    m_lstListeners.erase(std::remove(m_lstListeners.begin(), m_lstListeners.end(), pListener), m_lstListeners.end());
    return true;
}

DWORD CALLBACK WIMFileBackuper::MessageCallback(DWORD dwMsg, WPARAM wParam, LPARAM lParam, PVOID pvUser)
{
    auto* self = static_cast<WIMFileBackuper*>(pvUser);
    if (!self)
        return 0;
    for (IListener* listener : self->m_lstListeners)
        if (!listener->OnMessage(dwMsg, wParam, lParam))
            return WIM_MSG_ABORT_IMAGE;
    return 0;
}

HRESULT WIMFileBackuper::Backup(BOOL bToDisc)
{
    CAutoTrace trace(L"WIMFileBackuper", L"Backup", this);
    std::list<std::wstring> files = m_lstFiles;
    m_ullFileCount = files.size();
    m_nPartCount = m_nFilesDone = m_nMounted = 0;
    m_ullPartBytes = 0;
    m_strDestDir.clear();
    m_strMountDir.clear();
    m_lstBigFiles.clear();
    m_vecSkipped.clear();
    HRESULT hr = PrepareFolders(bToDisc);
    if (FAILED(hr))
        return Abort(hr);
    hr = FirstPass(files);
    if (FAILED(hr))
        return Abort(hr);
    hr = CommitPart();
    if (FAILED(hr))
        return hr;
    HRESULT hrBig = SecondPass();
    if (FAILED(hrBig))
        return Abort(hrBig);
    HRESULT hrFinish = bToDisc ? FinishDisc() : FinishDrive();
    if (FAILED(hrFinish))
        return hrFinish;
    if (!m_vecSkipped.empty())
        return kBackupFilesSkipped;
    return bToDisc ? hrFinish : hr;
}

HRESULT WIMFileBackuper::PrepareFolders(BOOL bToDisc)
{
    Cleanup();
    HRESULT hr = CreateOwnTree(m_strMountRoot);
    if (SUCCEEDED(hr))
        hr = CreateOwnTree(m_strWorkDir);
    if (FAILED(hr))
        return hr;
    m_strEmptyDir = m_strWorkDir + L"empty\\";
    m_strTempDir = m_strWorkDir + L"temp\\";
    NvCreateDirectoryW(m_strEmptyDir.c_str());
    NvCreateDirectoryW(m_strTempDir.c_str());
    std::wstring strStamp = LocalTimeText(L"%Y-%m-%d %H%M%S");
    if (bToDisc) {
        m_strDestDir = m_strWorkDir + kSetPrefix + strStamp + L"\\";
        return NvCreateDirectoryW(m_strDestDir.c_str());
    }
    m_strDestDir = std::wstring(1, m_wcDestDrive) + L":\\" + kSetPrefix + strStamp + L"\\";
    hr = NvCreateDirectoryW(m_strDestDir.c_str());
    if (FAILED(hr))
        return hr;
    // The restore program and the imaging library travel with the set; a
    // missing copy leaves the set restorable from the installed program.
    CopyFileW((m_strProgramDir + L"\\Retrova.exe").c_str(), (m_strDestDir + L"Mendora.exe").c_str(), FALSE);
    std::wstring strLib = m_strDestDir + L"wimgapi";
    if (SUCCEEDED(NvCopyDir((m_strProgramDir + L"\\wimgapi").c_str(), strLib.c_str(), FALSE)))
        SetFileAttributesW(strLib.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return S_OK;
}

HRESULT WIMFileBackuper::FirstPass(const std::list<std::wstring>& files)
{
    for (const std::wstring& path : files) {
        if (m_owner.IsCancelled())
            return NV_E_USER_CANCELLED;
        m_pszCurFile = path.c_str();
        WIN32_FILE_ATTRIBUTE_DATA data {};
        if (!GetFileAttributesExW(m_pszCurFile, GetFileExInfoStandard, &data))
            continue; // gone since the scan
        HRESULT hr = StartNewPart();
        if (FAILED(hr))
            return hr;
        m_ullCurFileSize = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (m_ullCurFileSize > m_sizes.ullBigFileBytes) {
            m_lstBigFiles.push_back(path);
            continue;
        }
        hr = CopyFileToPart();
        if (SUCCEEDED(hr) && m_ullPartBytes > m_sizes.ullPartBytes)
            hr = CommitPart();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT WIMFileBackuper::SecondPass()
{
    while (!m_lstBigFiles.empty()) {
        if (m_owner.IsCancelled())
            return NV_E_USER_CANCELLED;
        m_pszCurFile = m_lstBigFiles.front().c_str();
        HRESULT hr = StartNewPart();
        if (SUCCEEDED(hr))
            hr = CopyFileToPart();
        if (SUCCEEDED(hr))
            hr = CommitPart();
        if (FAILED(hr))
            return hr;
        m_lstBigFiles.pop_front();
    }
    return S_OK;
}

HRESULT WIMFileBackuper::FinishDrive()
{
    std::wstring strIndex = m_strDestDir + kIndexName;
    HANDLE h = CreateFileW(strIndex.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(h);
    wchar_t wszCount[16] = {};
    swprintf(wszCount, 16, L"%d", m_nPartCount);
    if (!WritePrivateProfileStringW(L"Count", L"WIMCount", wszCount, strIndex.c_str()))
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

HRESULT WIMFileBackuper::FinishDisc()
{
    if (CFileBackupNotifier* notifier = m_owner.Notifier())
        notifier->OnBackupProgress(L"", 100);
    CDiscBurner* pBurner = m_owner.DiscBurner();
    if (!pBurner)
        return NV_E_BURNER_OBJECTS;
    // The burn starts with its own cancel flag cleared: a cancel seen here
    // would otherwise be lost.
    if (m_owner.IsCancelled())
        return NV_E_USER_CANCELLED;
    return pBurner->BurnBackupSet(m_strDestDir);
}

// The part being filled is dropped, not committed: its files are about to go.
HRESULT WIMFileBackuper::Abort(HRESULT hr)
{
    if (m_nMounted) {
        WIMUnmountImage(m_strMountDir.c_str(), m_strCurWim.c_str(), 1, FALSE);
        m_nMounted = 0;
    }
    if (!m_strMountDir.empty())
        NvDeleteDirectory(m_strMountDir.c_str());
    if (!m_strDestDir.empty())
        NvDeleteDirectory(m_strDestDir.c_str());
    return hr;
}

HRESULT WIMFileBackuper::StartNewPart()
{
    if (m_nMounted)
        return 1;
    m_strCurWim = m_strDestDir + std::to_wstring(m_nPartCount) + L".wim";
    m_nPartCount++;
    HRESULT hr = CaptureEmptyImage();
    if (FAILED(hr))
        return hr;
    m_strMountDir = m_strMountRoot + LocalTimeText(L"%H%M%S") + L"\\";
    NvCreateDirectoryW(m_strMountDir.c_str());
    hr = MountPart();
    if (SUCCEEDED(hr))
        m_nMounted = 1;
    return hr;
}

HRESULT WIMFileBackuper::CaptureEmptyImage()
{
    CAutoTrace trace(L"WIMFileBackuper", L"CaptureEmptyImage", this);
    if (WIMRegisterMessageCallback(nullptr, AsFarProc(MessageCallback), this) == INVALID_CALLBACK_VALUE)
        return m_hrLast = NV_E_WIM_REGISTER_CB;
    trace.Print(L"WIMCreateFile - %s", m_strCurWim.c_str());
    HRESULT hr = S_OK;
    HANDLE hWim = WIMCreateFile(m_strCurWim.c_str(), GENERIC_WRITE, CREATE_ALWAYS, 0, WIM_COMPRESS_XPRESS, nullptr);
    if (!hWim) {
        PrintWin32Error(GetLastError());
        hr = NV_E_WIM_CREATE_FILE;
    } else {
        trace.Print(L"WIMCaptureImage - %s", m_strEmptyDir.c_str());
        HANDLE hImage = WIMCaptureImage(hWim, m_strEmptyDir.c_str(), 0);
        if (!hImage) {
            trace.Print(L"WIMCaptureImage returns NULL.");
            PrintWin32Error(GetLastError());
            hr = NV_E_WIM_CAPTURE;
        } else if (!WIMCloseHandle(hImage)) {
            hr = NV_E_WIM_CAPTURE;
        }
        if (!WIMCloseHandle(hWim) && SUCCEEDED(hr))
            hr = NV_E_WIM_CAPTURE;
    }
    WIMUnregisterMessageCallback(nullptr, AsFarProc(MessageCallback));
    if (FAILED(hr))
        m_hrLast = hr;
    return hr;
}

HRESULT WIMFileBackuper::MountPart()
{
    CAutoTrace trace(L"WIMFileBackuper", L"MountPart", this);
    trace.Print(L"WIMCreateFile - %s", m_strCurWim.c_str());
    HANDLE hWim = WIMCreateFile(m_strCurWim.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, WIM_COMPRESS_XPRESS, nullptr);
    if (!hWim) {
        PrintWin32Error(GetLastError());
        return m_hrLast = NV_E_WIM_CREATE_FILE;
    }
    WIMCloseHandle(hWim);
    if (!WIMMountImage(m_strMountDir.c_str(), m_strCurWim.c_str(), 1, m_strTempDir.c_str())) {
        PrintWin32Error(GetLastError());
        return m_hrLast = NV_E_WIM_MOUNT;
    }
    return S_OK;
}

HRESULT WIMFileBackuper::CopyFileToPart()
{
    std::wstring strSource(m_pszCurFile);
    size_t slash = strSource.find_last_of(L'\\');
    size_t folderStart = strSource.size() > 1 && strSource[1] == L':' ? 2 : 0;
    std::wstring strFolder = slash == std::wstring::npos ? L"\\" : strSource.substr(folderStart, slash + 1 - folderStart);
    std::wstring strName = slash == std::wstring::npos ? strSource : strSource.substr(slash + 1);
    std::wstring strTargetDir = m_strMountDir + L"C" + strFolder;
    NvCreateDirectoryW(strTargetDir.c_str());
    m_nFilesDone++;
    if (CFileBackupNotifier* notifier = m_owner.Notifier())
        notifier->OnBackupProgress(m_pszCurFile, UINT(double(m_nFilesDone) / double(m_ullFileCount) * 100.0));
    if (CopyFileW(m_pszCurFile, (strTargetDir + strName).c_str(), FALSE)) {
        m_ullPartBytes += m_ullCurFileSize;
        return S_OK;
    }
    DWORD dwError = GetLastError();
    PrintWin32Error(dwError);
    if (!NvDirectoryExists(m_strDestDir.c_str()))
        return NV_E_COPY_FILE;
    ReportSkipped(dwError);
    return S_OK;
}

void WIMFileBackuper::ReportSkipped(DWORD dwError)
{
    m_vecSkipped.push_back({m_pszCurFile, dwError});
    if (CFileBackupNotifier* notifier = m_owner.Notifier())
        notifier->OnBackupFileSkipped(m_pszCurFile, dwError);
}

HRESULT WIMFileBackuper::CommitPart()
{
    if (!m_nMounted)
        return 1;
    if (!WIMUnmountImage(m_strMountDir.c_str(), m_strCurWim.c_str(), 1, TRUE)) {
        PrintWin32Error(GetLastError());
        return m_hrLast = NV_E_WIM_MOUNT;
    }
    m_nMounted = 0;
    m_ullPartBytes = 0;
    NvDeleteDirectory(m_strMountDir.c_str());
    m_strMountDir.clear();
    ULONGLONG ullSize = 0;
    if (SUCCEEDED(FindFileSizeInByte(m_strCurWim.c_str(), &ullSize)) && ullSize > m_sizes.ullBigFileBytes) {
        HRESULT hr = SplitPart();
        if (FAILED(hr))
            return m_hrLast = hr;
    }
    return S_OK;
}

// A part too big for a disc that stays whole is a failure, never a success.
HRESULT WIMFileBackuper::SplitPart()
{
    CAutoLibrary library(LoadLibraryW(L"Wimsplice.dll"));
    if (!library.Get())
        return kBackupSplitFailed;
    auto pfnSplit = reinterpret_cast<PFN_SplitBigWIM>(
        reinterpret_cast<void (*)()>(GetProcAddress(library.Get(), "SplitBigWIM")));
    if (!pfnSplit)
        return kBackupSplitFailed;
    int iResult = pfnSplit(m_strCurWim.c_str(), m_sizes.iSplitPieceMiB);
    return iResult < 0 ? HRESULT(iResult) : S_OK;
}

HRESULT WIMFileBackuper::CreateWorkDir()
{
    return CreateOwnTree(m_strWorkDir);
}

bool WIMFileBackuper::SetImagePath(const std::wstring& strPath)
{
    m_strImagePath = strPath;
    return true;
}

bool WIMFileBackuper::SetApplyPath(const std::wstring& strPath)
{
    m_strApplyPath = strPath;
    return true;
}

bool WIMFileBackuper::SetImageIndex(int nIndex)
{
    if (nIndex < 1)
        return false;
    m_nImageIndex = nIndex;
    return true;
}

// Every way out closes what was opened and unregisters the callback, so the
// image file is free and the next apply does not hear each message twice.
void WIMFileBackuper::CloseWimHandles()
{
    if (m_hApplyImage)
        WIMCloseHandle(m_hApplyImage);
    if (m_hApplyWim)
        WIMCloseHandle(m_hApplyWim);
    m_hApplyImage = m_hApplyWim = nullptr;
    if (m_bCallbackRegistered)
        WIMUnregisterMessageCallback(nullptr, AsFarProc(MessageCallback));
    m_bCallbackRegistered = false;
    if (!m_strApplyTemp.empty())
        NvDeleteDirectory(m_strApplyTemp.c_str());
    m_strApplyTemp.clear();
}

bool WIMFileBackuper::FailApply(HRESULT hr)
{
    DWORD dwError = GetLastError();
    if (dwError)
        PrintWin32Error(dwError);
    CloseWimHandles();
    m_hrLast = hr;
    return false;
}

// A null or FALSE result is a failure whatever the last error says.
bool WIMFileBackuper::Apply()
{
    CAutoTrace trace(L"WIMFileBackuper", L"Apply", this);
    if (!NvFileExists(m_strImagePath.c_str()))
        return FailApply(NV_E_NOT_FOUND);
    if (WIMRegisterMessageCallback(nullptr, AsFarProc(MessageCallback), this) == INVALID_CALLBACK_VALUE)
        return FailApply(NV_E_WIM_REGISTER_CB);
    m_bCallbackRegistered = true;
    trace.Print(L"WIMCreateFile - %s", m_strImagePath.c_str());
    m_hApplyWim = WIMCreateFile(m_strImagePath.c_str(), GENERIC_READ, OPEN_EXISTING, WIM_FLAG_VERIFY, 0, nullptr);
    if (!m_hApplyWim)
        return FailApply(NV_E_WIM_CREATE_FILE);
    WIM_INFO info {};
    if (!WIMGetAttributes(m_hApplyWim, &info, sizeof(info)))
        return FailApply(NV_E_WIM_ATTRIBUTES);
    if (info.ImageCount < DWORD(m_nImageIndex))
        return FailApply(NV_E_WIM_IMAGE_INDEX);
    m_strApplyTemp = m_strProgramDir + L"\\temp";
    NvCreateDirectoryW(m_strApplyTemp.c_str());
    if (!WIMSetTemporaryPath(m_hApplyWim, m_strApplyTemp.c_str()))
        return FailApply(NV_E_WIM_TEMP_PATH);
    m_hApplyImage = WIMLoadImage(m_hApplyWim, DWORD(m_nImageIndex));
    if (!m_hApplyImage) {
        trace.Print(L"WIMLoadImage returns NULL.");
        return FailApply(NV_E_WIM_LOAD_IMAGE);
    }
    if (!WIMApplyImage(m_hApplyImage, m_strApplyPath.c_str(), WIM_FLAG_FILEINFO)) {
        trace.Print(L"WIMApplyImage returns NULL.");
        return FailApply(NV_E_WIM_APPLY);
    }
    CloseWimHandles();
    return true;
}
