// A child for the shell-start test: "ShellChild <delay ms> <record file>"
// sleeps, then records its show flags and current folder;
// "ShellChild hold <event name> <record file>" waits for the event first.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

const DWORD kHoldLimitMilliseconds = 30000;

int Record(const wchar_t* pwszPath)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    GetStartupInfoW(&si);
    wchar_t wszDir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, wszDir);
    FILE* pOut = _wfopen(pwszPath, L"wb");
    if (pOut == nullptr)
        return 3;
    fprintf(pOut, "flags=%lu show=%u dir=%ls\n", si.dwFlags & STARTF_USESHOWWINDOW, si.wShowWindow, wszDir);
    fclose(pOut);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && wcscmp(argv[1], L"hold") == 0) {
        HANDLE hEvent = OpenEventW(SYNCHRONIZE, FALSE, argv[2]);
        if (hEvent == nullptr)
            return 2;
        WaitForSingleObject(hEvent, kHoldLimitMilliseconds);
        CloseHandle(hEvent);
        return Record(argv[3]);
    }
    if (argc != 3)
        return 1;
    Sleep(static_cast<DWORD>(_wtoi(argv[1])));
    return Record(argv[2]);
}
