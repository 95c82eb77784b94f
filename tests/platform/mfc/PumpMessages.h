// Runs this thread's messages, with the class library's pre-translation,
// until done() or the time-out; the result of done().
#pragma once

#include <afxwin.h>

template <typename F>
bool PumpMessagesUntil(F done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}
