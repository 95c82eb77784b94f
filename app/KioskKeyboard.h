// The kiosk modes' low-level keyboard hook: the keys that would leave the
// program are swallowed.
#pragma once

#include <windows.h>

// True when the key event is blocked; flags are the event's LLKHF_ flags.
bool KioskBlocksKey(DWORD vk, DWORD flags, bool bCtrl, bool bShift);
LRESULT CALLBACK KioskKeyboardProc(int nCode, WPARAM wParam, LPARAM lParam);
// Installs the hook once for the process; it stays until the process ends.
void InstallKioskKeyboardHook();
