// Command-line driver of wimgapi.dll for the benchmark script:
//   WimBench capture <folder> <wim> none|xpress
//   WimBench apply <wim> <folder>
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "wimgapi.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && wcscmp(argv[1], L"capture") == 0) {
        DWORD compression = wcscmp(argv[4], L"xpress") == 0 ? WIM_COMPRESS_XPRESS : WIM_COMPRESS_NONE;
        HANDLE h = WIMCreateFile(argv[3], WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, 0, compression, nullptr);
        HANDLE img = h ? WIMCaptureImage(h, argv[2], 0) : nullptr;
        DWORD err = img ? 0 : GetLastError();
        if (img) WIMCloseHandle(img);
        if (h && !WIMCloseHandle(h) && !err) err = GetLastError();
        if (err || !img) fprintf(stderr, "capture failed: %lu\n", err);
        return err || !img ? 1 : 0;
    }
    if (argc == 4 && wcscmp(argv[1], L"apply") == 0) {
        HANDLE h = WIMCreateFile(argv[2], WIM_GENERIC_READ, WIM_OPEN_EXISTING, 0, 0, nullptr);
        HANDLE img = h ? WIMLoadImage(h, 1) : nullptr;
        BOOL ok = img && WIMApplyImage(img, argv[3], 0);
        DWORD err = ok ? 0 : GetLastError();
        if (img) WIMCloseHandle(img);
        if (h) WIMCloseHandle(h);
        if (!ok) fprintf(stderr, "apply failed: %lu\n", err);
        return ok ? 0 : 1;
    }
    fprintf(stderr, "usage: WimBench capture <folder> <wim> none|xpress | apply <wim> <folder>\n");
    return 2;
}
