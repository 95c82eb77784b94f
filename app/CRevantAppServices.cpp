// Application object: single instance, the disc creator's presence, display
// names, message boxes and the image cache.
#include "CRevantApp.h"

#include <gdiplus.h>
#include <shlwapi.h>

#include "AppMessageBox.h"
#include "CAutoTrace.h"
#include "DwordReg.h"
#include "NvSysUtil.h"
#include "ZQPlatformVendor.h"

namespace {

const wchar_t kRegKey[] = L"Software\\Norvale\\Revant";
const UINT IDS_ALREADY_RUNNING = 5179;
const UINT IDS_APP_NAME = 100;
const UINT IDS_DSC_APP_NAME = 7502;
const DWORD kMultiInstAllowed = 1;

BOOL IsWinPE()
{
    BOOL bWinPE = FALSE;
    return SUCCEEDED(NvIsWinPE(&bWinPE)) && bWinPE;
}

// Brings the host window of the copy that runs already to the front.
void ActivateRunningCopy(const CString& strTitle)
{
    HWND hWnd = FindWindowW(L"#32770", strTitle);
    DWORD dwPid = 0;
    if (!hWnd || (GetWindowThreadProcessId(hWnd, &dwPid), dwPid == GetCurrentProcessId()))
        return;
    if (IsIconic(hWnd))
        ShowWindow(hWnd, SW_RESTORE);
    SetForegroundWindow(hWnd);
}

} // namespace

BOOL CRevantApp::CheckMultiInst()
{
    CAutoTrace trace(L"CRevantApp", L"CheckMultiInst", this);
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRegKey, 0, KEY_QUERY_VALUE, &hKey) == ERROR_SUCCESS) {
        DWORD dwValue = 0;
        DWORD cb = sizeof(dwValue);
        LONG lRead = RegQueryValueExW(hKey, L"EnableMultiInst", nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwValue), &cb);
        // Closed whether or not the value could be read.
        RegCloseKey(hKey);
        if (lRead == ERROR_SUCCESS && cb == sizeof(dwValue) && dwValue == kMultiInstAllowed) {
            trace.Print(L"TRUE == bEnableMultiInst");
            return TRUE;
        }
    }
    trace.Print(L"FALSE == bEnableMultiInst");
    m_hMultiInstMutex = CreateMutexW(nullptr, TRUE, L"Global\\REVANT");
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return TRUE;
    CloseHandle(m_hMultiInstMutex);
    m_hMultiInstMutex = nullptr;
    CString text;
    text.Format(IDS_ALREADY_RUNNING, GetAppName().GetString());
    AfxMessageBox(text, MB_OK);
    ActivateRunningCopy(GetAppName());
    FreeLibrary(m_hResDll);
    m_hResDll = nullptr;
    return FALSE;
}

BOOL CRevantApp::CheckDiscoraInst()
{
    // Opening, not creating: a disc creator starting at this moment must not
    // find a mutex that only this probe made.
    HANDLE hMutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\Discora");
    if (!hMutex)
        return TRUE;
    CloseHandle(hMutex);
    return FALSE;
}

CString CRevantApp::CachedName(CString& strMember, UINT nStringId, const wchar_t* pwszNotebookName,
                               const wchar_t* pwszMethod)
{
    CAutoTrace trace(L"CRevantApp", pwszMethod, this);
    if (!strMember.IsEmpty())
        return strMember;
    if (m_enZQVendor == ZQ_VENDOR_DOZ) {
        strMember.LoadString(nStringId);
    } else if (m_enZQVendor == ZQ_VENDOR_CNB) {
        strMember = pwszNotebookName;
    } else {
        trace.Print(L"m_enZQVendor not initialized and %s() is called.", pwszMethod);
        strMember = L"Mendora Console";
    }
    return strMember;
}

CString CRevantApp::GetAppName() { return CachedName(m_strAppName, IDS_APP_NAME, L"Mendora Console", L"GetAppName"); }

CString CRevantApp::GetDSCAppName()
{
    return CachedName(m_strDSCAppName, IDS_DSC_APP_NAME, L"Discora Builder", L"GetDSCAppName");
}

int CRevantApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt)
{
    CMsgBoxRelabel relabel(IsWinPE());
    return CWinApp::DoMessageBox(lpszPrompt, MsgBoxStyle(nType, m_bRTL), nIDPrompt);
}

Gdiplus::Image* CRevantApp::GetImage(const CString& strRelPath)
{
    Gdiplus::Image*& pEntry = m_mapImage[std::wstring(strRelPath.GetString())];
    if (pEntry)
        return pEntry;
    wchar_t wszPath[MAX_PATH] = L"";
    lstrcpynW(wszPath, m_strAppDir, MAX_PATH);
    // A path beyond the buffer gives an image that failed to load.
    if (!PathAddBackslashW(wszPath) || wcslen(wszPath) + strRelPath.GetLength() >= MAX_PATH)
        wszPath[0] = L'\0';
    else
        wcscat(wszPath, strRelPath);
    // The wrapper's own allocation reports failure as null.
    pEntry = new Gdiplus::Image(wszPath, TRUE);
    return pEntry;
}

void CRevantApp::FreeImages()
{
    for (auto& entry : m_mapImage) {
        delete entry.second;
        entry.second = nullptr;
    }
}
