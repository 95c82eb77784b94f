// A diskpart that records its command line and script for the runner test.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int wmain(int argc, wchar_t** argv)
{
    wchar_t wszRecord[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"EU_DISKPART_RECORD", wszRecord, MAX_PATH))
        return 2;
    FILE* pOut = _wfopen(wszRecord, L"wb");
    if (pOut == nullptr)
        return 3;
    for (int i = 1; i < argc; ++i)
        fprintf(pOut, "%ls\n", argv[i]);
    for (int i = 1; i + 1 < argc; ++i) {
        if (_wcsicmp(argv[i], L"/s") != 0)
            continue;
        FILE* pIn = _wfopen(argv[i + 1], L"rb");
        if (pIn == nullptr)
            break;
        char buf[4096];
        size_t cb;
        while ((cb = fread(buf, 1, sizeof(buf), pIn)) > 0)
            fwrite(buf, 1, cb, pOut);
        fclose(pIn);
    }
    fclose(pOut);
    return 0;
}
