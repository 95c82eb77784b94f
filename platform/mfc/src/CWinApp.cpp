#include "CWinApp.h"
#include "CWnd.h"
#include "AfxFunctions.h"
#include "AfxThreadState.h"
#include <cstdlib>

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace {
CWinApp* g_pApp = nullptr;

LPTSTR Dup(LPCTSTR s) { return s ? _wcsdup(s) : nullptr; }
void Free(LPCTSTR& s) {
    free((void*)s);
    s = nullptr;
}
} // namespace

CWinApp* AFXAPI AfxGetApp() { return g_pApp; }

CWnd* AFXAPI AfxGetMainWnd() {
    CWinThread* pThread = AfxGetThread();
    CWnd* pWnd = pThread ? pThread->GetMainWnd() : nullptr;
    // Other threads see the application's main window, as modal dialogs of workers need an owner.
    if (!pWnd && g_pApp) pWnd = g_pApp->GetMainWnd();
    return pWnd;
}

CWinApp::CWinApp(LPCTSTR lpszAppName) {
    m_pszAppName = Dup(lpszAppName);
    m_bAutoDelete = FALSE;
    m_nThreadID = ::GetCurrentThreadId();
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &m_hThread, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    m_hInstance = ::GetModuleHandleW(nullptr);
    g_pApp = this;
    AfxGetThreadState()->m_pCurrentWinThread = this;
}

CWinApp::~CWinApp() {
    Free(m_pszAppName);
    Free(m_pszExeName);
    Free(m_pszRegistryKey);
    Free(m_pszProfileName);
    Free(m_pszHelpFilePath);
    if (g_pApp == this) g_pApp = nullptr;
}

BOOL CWinApp::SetCurrentHandles(HINSTANCE hInstance, LPWSTR lpCmdLine, int nCmdShow) {
    m_hInstance = hInstance;
    m_lpCmdLine = lpCmdLine;
    m_nCmdShow = nCmdShow;
    AfxSetInstanceHandle(hInstance);
    if (!m_pszExeName) {
        wchar_t path[MAX_PATH] = L"";
        ::GetModuleFileNameW(hInstance, path, MAX_PATH);
        wchar_t* name = wcsrchr(path, L'\\');
        name = name ? name + 1 : path;
        if (wchar_t* dot = wcsrchr(name, L'.')) *dot = 0;
        m_pszExeName = Dup(name);
    }
    if (!m_pszAppName) {
        CString title;
        m_pszAppName = Dup(title.LoadString(AFX_IDS_APP_TITLE) ? (LPCTSTR)title : m_pszExeName);
    }
    return TRUE;
}

BOOL CWinApp::InitApplication() { return TRUE; }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return CWinThread::ExitInstance(); }

int CWinApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT) {
    HWND hOwner = ::GetActiveWindow();
    if (!hOwner) hOwner = AfxGetMainWnd()->GetSafeHwnd();
    if (hOwner) {
        while (::GetWindowLongPtrW(hOwner, GWL_STYLE) & WS_CHILD) hOwner = ::GetParent(hOwner);
        hOwner = ::GetLastActivePopup(hOwner);
    }
    return ::MessageBoxW(hOwner, lpszPrompt, m_pszAppName, nType);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const { return LoadIcon(MAKEINTRESOURCEW(nIDResource)); }

HICON CWinApp::LoadIcon(LPCTSTR lpszResourceName) const {
    return ::LoadIconW(AfxFindResourceHandle(lpszResourceName, (LPCTSTR)RT_GROUP_ICON), lpszResourceName);
}

HCURSOR CWinApp::LoadCursor(UINT nIDResource) const {
    return ::LoadCursorW(AfxFindResourceHandle(MAKEINTRESOURCEW(nIDResource), (LPCTSTR)RT_GROUP_CURSOR),
                         MAKEINTRESOURCEW(nIDResource));
}

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey) {
    Free(m_pszRegistryKey);
    m_pszRegistryKey = Dup(lpszRegistryKey);
    Free(m_pszProfileName);
    m_pszProfileName = Dup(m_pszAppName);
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
    CString key;
    key.LoadString(nIDRegistryKey);
    SetRegistryKey(key);
}

HKEY CWinApp::OpenSectionKey(LPCTSTR lpszSection, bool create) {
    if (!m_pszRegistryKey || !m_pszProfileName || !lpszSection) return nullptr;
    CString path;
    path.Format(L"Software\\%s\\%s\\%s", m_pszRegistryKey, m_pszProfileName, lpszSection);
    HKEY hKey = nullptr;
    LONG rc = create ? ::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr)
                     : ::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &hKey);
    return rc == ERROR_SUCCESS ? hKey : nullptr;
}

UINT CWinApp::GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault) {
    if (!m_pszRegistryKey) return ::GetPrivateProfileIntW(lpszSection, lpszEntry, nDefault, m_pszProfileName);
    HKEY hKey = OpenSectionKey(lpszSection, false);
    if (!hKey) return (UINT)nDefault;
    DWORD value = 0, type = 0, size = sizeof(value);
    LONG rc = ::RegQueryValueExW(hKey, lpszEntry, nullptr, &type, (LPBYTE)&value, &size);
    ::RegCloseKey(hKey);
    return (rc == ERROR_SUCCESS && type == REG_DWORD) ? value : (UINT)nDefault;
}

BOOL CWinApp::WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue) {
    if (!m_pszRegistryKey) {
        wchar_t text[16];
        _snwprintf(text, 16, L"%d", nValue);
        return ::WritePrivateProfileStringW(lpszSection, lpszEntry, text, m_pszProfileName);
    }
    HKEY hKey = OpenSectionKey(lpszSection, true);
    if (!hKey) return FALSE;
    LONG rc = ::RegSetValueExW(hKey, lpszEntry, 0, REG_DWORD, (const BYTE*)&nValue, sizeof(nValue));
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault) {
    if (!m_pszRegistryKey) {
        wchar_t text[4096] = L"";
        ::GetPrivateProfileStringW(lpszSection, lpszEntry, lpszDefault ? lpszDefault : L"", text, 4096, m_pszProfileName);
        return text;
    }
    HKEY hKey = OpenSectionKey(lpszSection, false);
    if (!hKey) return lpszDefault;
    DWORD type = 0, size = 0;
    CString value(lpszDefault);
    if (::RegQueryValueExW(hKey, lpszEntry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        CString read;
        LPWSTR buf = read.GetBuffer((int)(size / sizeof(wchar_t)) + 1);
        if (::RegQueryValueExW(hKey, lpszEntry, nullptr, &type, (LPBYTE)buf, &size) == ERROR_SUCCESS) {
            buf[size / sizeof(wchar_t)] = 0;
            read.ReleaseBuffer();
            value = read;
        }
    }
    ::RegCloseKey(hKey);
    return value;
}

BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue) {
    if (!m_pszRegistryKey) return ::WritePrivateProfileStringW(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
    HKEY hKey = OpenSectionKey(lpszSection, true);
    if (!hKey) return FALSE;
    LONG rc = lpszValue ? ::RegSetValueExW(hKey, lpszEntry, 0, REG_SZ, (const BYTE*)lpszValue,
                                           (DWORD)((wcslen(lpszValue) + 1) * sizeof(wchar_t)))
                        : ::RegDeleteValueW(hKey, lpszEntry);
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp) {
        AfxTrace(L"AfxWinMain: the program has no application object\n");
        return -1;
    }
    AfxInitCommonControls();
    pApp->SetCurrentHandles(hInstance, lpCmdLine, nCmdShow);
    if (!pApp->InitApplication()) return pApp->ExitInstance();
    if (!pApp->InitInstance()) return pApp->ExitInstance();
    return pApp->Run();
}

// The program's entry point lives with the application class, so linking a
// CWinApp brings it along.
extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow) {
    LPWSTR cmd = ::GetCommandLineW();
    // The command line without the program's own name.
    bool quoted = false;
    while (*cmd && (quoted || (*cmd != L' ' && *cmd != L'\t'))) {
        if (*cmd == L'"') quoted = !quoted;
        ++cmd;
    }
    while (*cmd == L' ' || *cmd == L'\t') ++cmd;
    return AfxWinMain(hInstance, hPrevInstance, cmd, nCmdShow);
}
