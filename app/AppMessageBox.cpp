// The relabelling hook lives for one box. Only the box itself is relabelled:
// the owner re-activated as the box closes keeps its own buttons.
#include "AppMessageBox.h"

#include "CRevantApp.h"
#include "NvSysUtil.h"

namespace {

struct ButtonLabel {
    int nButtonId;
    UINT nStringId;
};

const ButtonLabel kButtonLabels[] = {
    {IDOK, 192}, {IDCANCEL, 5058}, {IDABORT, 5114}, {IDRETRY, 9504},
    {IDIGNORE, 9505}, {IDYES, 9502}, {IDNO, 9503},
};
const UINT IDS_OK_LABEL = 192;
const int kMaxButtonText = 1024;
const UINT kRTLStyle = MB_RTLREADING | MB_RIGHT;

// One box at a time per thread; a box on another thread has its own hook.
thread_local HHOOK t_hMsgBoxHook = nullptr;
thread_local bool t_bRelabelled = false;

std::wstring LoadText(UINT nId)
{
    const wchar_t* pText = nullptr;
    int cch = LoadStringW(AfxGetResourceHandle(), nId, reinterpret_cast<LPWSTR>(&pText), 0);
    return cch > 0 && pText ? std::wstring(pText, cch) : std::wstring();
}

bool IsMessageBoxWindow(HWND hWnd)
{
    wchar_t wszClass[16] = L"";
    GetClassNameW(hWnd, wszClass, _countof(wszClass));
    return wcscmp(wszClass, L"#32770") == 0;
}

void Relabel(HWND hBox)
{
    std::wstring okLabel = LoadText(IDS_OK_LABEL);
    for (const ButtonLabel& row : kButtonLabels) {
        if (row.nButtonId == IDCANCEL) {
            wchar_t wszNow[kMaxButtonText] = L"";
            GetDlgItemTextW(hBox, IDCANCEL, wszNow, kMaxButtonText);
            if (okLabel == wszNow)
                continue;
        }
        std::wstring label = LoadText(row.nStringId);
        if (!label.empty())
            SetDlgItemTextW(hBox, row.nButtonId, label.c_str());
    }
}

BOOL CurrentRTL()
{
    CRevantApp* pApp = dynamic_cast<CRevantApp*>(AfxGetApp());
    return pApp ? pApp->m_bRTL : FALSE;
}

BOOL UnderWinPE()
{
    BOOL bWinPE = FALSE;
    return SUCCEEDED(NvIsWinPE(&bWinPE)) && bWinPE;
}

} // namespace

LRESULT CALLBACK MsgBoxCbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    LRESULT lNext = t_hMsgBoxHook ? CallNextHookEx(t_hMsgBoxHook, nCode, wParam, lParam) : 0;
    if (nCode != HCBT_ACTIVATE)
        return 0;
    HWND hWnd = reinterpret_cast<HWND>(wParam);
    if (!t_bRelabelled && IsMessageBoxWindow(hWnd)) {
        t_bRelabelled = true;
        Relabel(hWnd);
    }
    return lNext;
}

CMsgBoxRelabel::CMsgBoxRelabel(BOOL bInstall)
{
    if (!bInstall || t_hMsgBoxHook)
        return;
    t_bRelabelled = false;
    t_hMsgBoxHook = SetWindowsHookExW(WH_CBT, MsgBoxCbtProc, nullptr, GetCurrentThreadId());
}

CMsgBoxRelabel::~CMsgBoxRelabel()
{
    if (!t_hMsgBoxHook)
        return;
    UnhookWindowsHookEx(t_hMsgBoxHook);
    t_hMsgBoxHook = nullptr;
}

UINT MsgBoxStyle(UINT uType, BOOL bRTL) { return bRTL ? (uType | kRTLStyle) : uType; }

int AppMessageBox(HWND hWnd, LPCWSTR pwszText, LPCWSTR pwszCaption, UINT uType)
{
    CMsgBoxRelabel relabel(UnderWinPE());
    return MessageBoxW(hWnd, pwszText, pwszCaption, MsgBoxStyle(uType, CurrentRTL()));
}
