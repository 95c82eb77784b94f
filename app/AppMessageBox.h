// Message boxes of the program: right-to-left for such languages, and under
// Windows PE with the buttons labelled from the language library.
#pragma once

#include <windows.h>

int AppMessageBox(HWND hWnd, LPCWSTR pwszText, LPCWSTR pwszCaption, UINT uType);
LRESULT CALLBACK MsgBoxCbtProc(int nCode, WPARAM wParam, LPARAM lParam);

// Installs the relabelling hook for one box on this thread while it lives.
class CMsgBoxRelabel {
public:
    explicit CMsgBoxRelabel(BOOL bInstall);
    ~CMsgBoxRelabel();
    CMsgBoxRelabel(const CMsgBoxRelabel&) = delete;
    CMsgBoxRelabel& operator=(const CMsgBoxRelabel&) = delete;
};

// The style with MB_RTLREADING | MB_RIGHT added for a right-to-left language.
UINT MsgBoxStyle(UINT uType, BOOL bRTL);
