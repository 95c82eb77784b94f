#include "KioskKeyboard.h"

namespace {
HHOOK g_hKioskHook = nullptr;
const SHORT kKeyDown = static_cast<SHORT>(0x8000);
}

bool KioskBlocksKey(DWORD vk, DWORD flags, bool bCtrl, bool bShift)
{
    bool bAlt = (flags & LLKHF_ALTDOWN) != 0;
    (void)bShift; // Ctrl+Shift+Esc is blocked by the Ctrl row already.
    switch (vk) {
    case VK_LWIN:
    case VK_RWIN:
        return true;
    case VK_TAB:
        return bAlt;
    case VK_ESCAPE:
        return bAlt || bCtrl;
    case VK_DELETE:
        return bAlt && bCtrl;
    default:
        return false;
    }
}

LRESULT CALLBACK KioskKeyboardProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION && lParam) {
        const auto* pEvent = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool bCtrl = (GetAsyncKeyState(VK_CONTROL) & kKeyDown) != 0;
        bool bShift = (GetAsyncKeyState(VK_SHIFT) & kKeyDown) != 0;
        if (KioskBlocksKey(pEvent->vkCode, pEvent->flags, bCtrl, bShift))
            return 1;
    }
    return CallNextHookEx(g_hKioskHook, nCode, wParam, lParam);
}

void InstallKioskKeyboardHook()
{
    if (!g_hKioskHook)
        g_hKioskHook = SetWindowsHookExW(WH_KEYBOARD_LL, KioskKeyboardProc, nullptr, 0);
}
