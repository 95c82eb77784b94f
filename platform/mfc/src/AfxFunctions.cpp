#include "AfxFunctions.h"
#include "CWinApp.h"
#include "CWnd.h"
#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace {
std::atomic<HINSTANCE> g_hInstance{nullptr};
std::atomic<HINSTANCE> g_hResource{nullptr};
}

HINSTANCE AFXAPI AfxGetInstanceHandle() {
    HINSTANCE h = g_hInstance.load();
    return h ? h : ::GetModuleHandleW(nullptr);
}

void AFXAPI AfxSetInstanceHandle(HINSTANCE hInst) { g_hInstance = hInst; }

HINSTANCE AFXAPI AfxGetResourceHandle() {
    HINSTANCE h = g_hResource.load();
    return h ? h : AfxGetInstanceHandle();
}

void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource) { g_hResource = hInstResource; }

HINSTANCE AFXAPI AfxFindResourceHandle(LPCTSTR lpszName, LPCTSTR lpszType) {
    HINSTANCE hRes = AfxGetResourceHandle();
    if (::FindResourceW(hRes, lpszName, lpszType)) return hRes;
    HINSTANCE hInst = AfxGetInstanceHandle();
    return ::FindResourceW(hInst, lpszName, lpszType) ? hInst : hRes;
}

HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT nID) {
    return AfxFindResourceHandle(MAKEINTRESOURCEW(nID / 16 + 1), (LPCTSTR)RT_STRING);
}

int AFXAPI AfxLoadString(UINT nID, LPTSTR lpszBuf, UINT nMaxBuf) {
    if (!lpszBuf || nMaxBuf == 0) return 0;
    int n = ::LoadStringW(AfxFindStringResourceHandle(nID), nID, lpszBuf, (int)nMaxBuf);
    if (n <= 0) lpszBuf[0] = 0;
    return n;
}

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp) {
    CWinApp* pApp = AfxGetApp();
    if (pApp) return pApp->DoMessageBox(lpszText, nType, nIDHelp);
    return ::MessageBoxW(::GetActiveWindow(), lpszText, nullptr, nType);
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    CString text;
    if (!text.LoadString(nIDPrompt)) AfxTrace(L"AfxMessageBox: no string %u\n", nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp == (UINT)-1 ? nIDPrompt : nIDHelp);
}

LPCTSTR AFXAPI AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
    // Names must outlive the call; the set only grows, by one entry per distinct class.
    static std::mutex lock;
    static std::set<std::wstring>* names = new std::set<std::wstring>;
    HINSTANCE hInst = AfxGetInstanceHandle();
    wchar_t name[128];
    _snwprintf(name, 128, L"Afx:%p:%x:%p:%p:%p", (void*)hInst, nClassStyle, (void*)hCursor, (void*)hbrBackground,
               (void*)hIcon);
    name[127] = 0;
    std::lock_guard<std::mutex> g(lock);
    auto it = names->insert(name).first;
    WNDCLASSW wc = {};
    if (!::GetClassInfoW(hInst, name, &wc)) {
        wc.style = nClassStyle;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = hInst;
        wc.hIcon = hIcon;
        wc.hCursor = hCursor;
        wc.hbrBackground = hbrBackground;
        wc.lpszClassName = it->c_str();
        if (!::RegisterClassW(&wc)) AfxTrace(L"AfxRegisterWndClass: RegisterClass failed (%lu)\n", GetLastError());
    }
    return it->c_str();
}

BOOL AFXAPI AfxRegisterClass(WNDCLASS* lpWndClass) {
    WNDCLASSW existing = {};
    if (::GetClassInfoW(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing)) return TRUE;
    if (::RegisterClassW(lpWndClass)) return TRUE;
    AfxTrace(L"AfxRegisterClass: %s failed (%lu)\n", lpWndClass->lpszClassName, GetLastError());
    return FALSE;
}

// Controls are plain windows here; there is no container to prepare.
BOOL AFXAPI AfxEnableControlContainer() { return TRUE; }

void AFXAPI AfxPostQuitMessage(int nExitCode) { ::PostQuitMessage(nExitCode); }

void AFXAPI AfxInitCommonControls() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS |
                                                     ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        if (!::InitCommonControlsEx(&icc)) ::InitCommonControls();
    });
}

static void FormatStrings(CString& rString, UINT nIDS, LPCTSTR const* args, int nArgs) {
    CString format;
    format.LoadString(nIDS);
    rString.Empty();
    for (int i = 0; i < format.GetLength(); ++i) {
        wchar_t c = format[i];
        if (c == L'%' && i + 1 < format.GetLength() && format[i + 1] >= L'1' && format[i + 1] <= L'9') {
            int n = format[i + 1] - L'1';
            if (n < nArgs && args[n]) rString += args[n];
            ++i;
            continue;
        }
        rString += c;
    }
}

void AFXAPI AfxFormatString1(CString& rString, UINT nIDS, LPCTSTR lpsz1) { FormatStrings(rString, nIDS, &lpsz1, 1); }

void AFXAPI AfxFormatString2(CString& rString, UINT nIDS, LPCTSTR lpsz1, LPCTSTR lpsz2) {
    LPCTSTR args[2] = {lpsz1, lpsz2};
    FormatStrings(rString, nIDS, args, 2);
}

BOOL AFXAPI AfxExtractSubString(CString& rString, LPCTSTR lpszFullString, int iSubString, TCHAR chSep) {
    rString.Empty();
    if (!lpszFullString || iSubString < 0) return FALSE;
    while (iSubString--) {
        lpszFullString = wcschr(lpszFullString, chSep);
        if (!lpszFullString) return FALSE;
        ++lpszFullString;
    }
    LPCTSTR end = wcschr(lpszFullString, chSep);
    rString = end ? CString(lpszFullString, (int)(end - lpszFullString)) : CString(lpszFullString);
    return TRUE;
}
