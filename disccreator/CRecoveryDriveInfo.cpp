// Drive letters, finished-set markers and free space for the disc creator.
#include "CRecoveryDriveInfo.h"

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "IFreeSpace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"

namespace {

// Kept free on the Windows drive beyond what the split parts take.
const ULONGLONG kRoomMargin = 500ULL * 1024 * 1024;
const wchar_t* const kRecoveryFolders[] = {L"boot"};
const wchar_t* const kRecoveryFiles[] = {L"bootmgr", L"CSP.dat", L"RPCONFIG.LOG"};
const wchar_t* const kIniFolders[] = {L"zq\\Apps\\INI\\", L"zq\\Drv\\INI\\"};
const DWORD kMarkerAttributes = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;

BOOL WriteMarker(const wchar_t* pwszPath)
{
    CAutoHandle marker(CreateFileW(pwszPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   CREATE_ALWAYS, kMarkerAttributes, nullptr));
    if (!marker.IsValid()) {
        DebugPrint(L"Cannot create %s, error code = %d\n", pwszPath, GetLastError());
        return FALSE;
    }
    return TRUE;
}

} // namespace

const wchar_t CRecoveryDriveInfo::kWindowsMarker[] = L"\\ProgramData\\Zentara\\Recovery\\zqdrcu.prc";
const wchar_t CRecoveryDriveInfo::kRecoveryMarker[] = L"\\zqdrcu.prc";

WCHAR CRecoveryDriveInfo::GetWindowsDrive()
{
    if (m_bWindowsLookedUp)
        return m_wcWindowsDrive;
    m_bWindowsLookedUp = TRUE;
    wchar_t wszWindows[MAX_PATH] = {};
    UINT cch = GetWindowsDirectoryW(wszWindows, MAX_PATH);
    if (cch && cch < MAX_PATH)
        m_wcWindowsDrive = wszWindows[0];
    return m_wcWindowsDrive;
}

BOOL CRecoveryDriveInfo::IsRecoveryDrive(wchar_t wcLetter)
{
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\", wcLetter);
    if (GetDriveTypeW(wszPath) == DRIVE_CDROM)
        return FALSE;
    for (const wchar_t* pwszName : kRecoveryFolders) {
        FormatPath(wszPath, L"%c:\\%s", wcLetter, pwszName);
        if (!NvDirectoryExists(wszPath))
            return FALSE;
    }
    for (const wchar_t* pwszName : kRecoveryFiles) {
        FormatPath(wszPath, L"%c:\\%s", wcLetter, pwszName);
        if (!NvFileExists(wszPath))
            return FALSE;
    }
    return TRUE;
}

WCHAR CRecoveryDriveInfo::GetRecoveryDrive()
{
    if (m_bRecoveryLookedUp)
        return m_wcRecoveryDrive;
    m_bRecoveryLookedUp = TRUE;
    for (wchar_t wc = L'c'; wc <= L'z'; ++wc) {
        if (IsRecoveryDrive(wc)) {
            m_wcRecoveryDrive = wc;
            break;
        }
    }
    return m_wcRecoveryDrive;
}

BOOL CRecoveryDriveInfo::CreatedMarkerExists()
{
    wchar_t wszPath[MAX_PATH];
    if (FormatPath(wszPath, L"%c:%s", GetWindowsDrive(), kWindowsMarker) >= 0 && NvFileExists(wszPath))
        return TRUE;
    return FormatPath(wszPath, L"%c:%s", GetRecoveryDrive(), kRecoveryMarker) >= 0 && NvFileExists(wszPath);
}

BOOL CRecoveryDriveInfo::HasRoomFor(LPCWSTR pwszFolder)
{
    if (!pwszFolder)
        return FALSE;
    wchar_t wszRoot[] = {GetWindowsDrive(), L':', L'\\', 0};
    IFreeSpace& freeSpace = m_pFreeSpace ? *m_pFreeSpace : SystemFreeSpace();
    ULONGLONG ullFree = 0;
    if (!freeSpace.GetFreeBytes(wszRoot, &ullFree))
        return FALSE;
    ULONGLONG ullNeeded = 0;
    if (FAILED(AddFolderSize(&ullNeeded, pwszFolder)))
        return FALSE;
    return ullFree >= ullNeeded + kRoomMargin;
}

HRESULT CRecoveryDriveInfo::AddFolderSize(ULONGLONG* pullTotal, LPCWSTR pwszFolder)
{
    if (!pullTotal)
        return NV_E_INVALID_ARG;
    if (!pwszFolder || !NvDirectoryExists(pwszFolder))
        return S_FALSE;
    wchar_t wszFolder[MAX_PATH];
    if (FormatPath(wszFolder, L"%s", pwszFolder) < 0)
        return NV_E_BUFFER_TOO_SMALL;
    ULONGLONG ullSize = 0;
    HRESULT hr = NvFindFolderSizeInByte(wszFolder, &ullSize, FALSE);
    *pullTotal += ullSize;
    return hr;
}

BOOL CRecoveryDriveInfo::WriteCreatedMarkers()
{
    CAutoTrace trace(L"CRecoveryDriveInfo", L"WriteCreatedMarkers", this);
    wchar_t wszWindows[MAX_PATH];
    wchar_t wszRecovery[MAX_PATH];
    if (FormatPath(wszWindows, L"%c:%s", GetWindowsDrive(), kWindowsMarker) < 0 ||
        FormatPath(wszRecovery, L"%c:%s", GetRecoveryDrive(), kRecoveryMarker) < 0)
        return FALSE;
    wchar_t wszFolder[MAX_PATH];
    FormatPath(wszFolder, L"%s", wszWindows);
    *wcsrchr(wszFolder, L'\\') = L'\0';
    if (!NvDirectoryExists(wszFolder) && FAILED(NvCreateDirectoryW(wszFolder))) {
        trace.Print(L"Cannot create %s", wszFolder);
        return FALSE;
    }
    BOOL bWindows = WriteMarker(wszWindows);
    BOOL bRecovery = WriteMarker(wszRecovery);
    return bWindows || bRecovery;
}

std::wstring CRecoveryDriveInfo::ProgramFolder() const
{
    std::wstring folder = m_programFolder;
    if (folder.empty())
        NvGetProgramFolder(folder);
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

BOOL CRecoveryDriveInfo::CopyIniFolders()
{
    CAutoTrace trace(L"CRecoveryDriveInfo", L"CopyIniFolders", this);
    const std::wstring program = ProgramFolder();
    for (const wchar_t* pwszFolder : kIniFolders) {
        wchar_t wszSource[MAX_PATH];
        wchar_t wszTarget[MAX_PATH];
        if (FormatPath(wszSource, L"%c:\\%s", GetRecoveryDrive(), pwszFolder) < 0 || !NvDirectoryExists(wszSource))
            continue;
        if (program.empty() || FormatPath(wszTarget, L"%s%s", program.c_str(), pwszFolder) < 0)
            continue;
        if (!NvDirectoryExists(wszTarget))
            NvCreateDirectoryW(wszTarget);
        HRESULT hr = NvCopyDir(wszSource, wszTarget, FALSE);
        if (FAILED(hr))
            trace.Print(L"Copy %s to %s failed, hr = %x", wszSource, wszTarget, hr);
    }
    return TRUE;
}
