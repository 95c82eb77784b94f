// Operates the windows of a program under test from outside it (another
// thread or another process): finds windows and pages, reads texts, clicks,
// answers message boxes, sends keys and power events, takes screenshots.
// Everything goes through posted messages or input, so a click that opens a
// modal loop never blocks the driver.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

class CUiDriver {
public:
    // A visible top-level window of the process (0: any process) with this
    // class and title (null: any), waiting up to timeoutMs; null if none.
    static HWND WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, DWORD timeoutMs);
    // The visible child dialog (a page) of a host window; null when none is.
    static HWND VisiblePage(HWND host);
    // The page's id: its control id, which the class library sets to its template id.
    static int PageId(HWND page);
    // Waits until the host shows a page other than fromId; its id, or -1 on time-out.
    static int WaitForPageChange(HWND host, int fromId, DWORD timeoutMs);
    // Text of the control with this id (of the window itself when id is 0).
    static std::wstring Text(HWND parent, int id);
    // Ids of the visible child controls, in z order.
    static std::vector<int> ControlIds(HWND parent);
    // Clicks a button as a user would; false when it is missing, hidden or disabled.
    static bool Click(HWND parent, int id);

    // A message box owned by the process (0: any) or null after the time-out.
    static HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);
    static std::wstring MessageBoxText(HWND box);
    // Presses the box's button with this id (IDOK, IDYES ...); false when it has none.
    static bool AnswerMessageBox(HWND box, int buttonId);

    // Posts a power event as the system would broadcast it.
    static bool PostPowerBroadcast(HWND target, WPARAM event, LPARAM data = 0);
    // Posts a key press and release to a window's queue (with Alt as a system key).
    static bool PostKey(HWND target, UINT vk, bool alt = false);
    // Types a key through the system's input, with modifiers held.
    static bool SendKey(UINT vk, bool ctrl = false, bool alt = false, bool shift = false);

    // Saves the window (frame included) as a 24-bit PNG file.
    static bool Screenshot(HWND window, const wchar_t* pngPath);
    // Writes rows of 32-bit BGRA pixels, top row first, as an RGB PNG file.
    static bool WritePng(const wchar_t* path, const unsigned char* bgra, int width, int height);

    // Runs until done() or the time-out, sleeping between tries; the result of done().
    template <typename F>
    static bool WaitFor(F done, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        for (;;) {
            if (done()) return true;
            if (GetTickCount() - start >= timeoutMs) return false;
            Sleep(20);
        }
    }
};
