// A resource library for the resource-manager tests: neutral and US English only.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
