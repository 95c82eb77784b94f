// DiscSetDriver [--blank-discs N] [--stop-after N] [--fault N:SPEC]... [--keep-unusable-snapshot]
// Makes a recovery disc set on the simulated PC without the wizard and
// prints the engine's states and percents. Exit code: 0 done, 1 failed,
// 2 stopped or cancelled, 3 usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "CDiscSetRun.h"
#include "CQueryCancelAutoplay.h"

namespace {

bool ParseNumber(const wchar_t* pwszText, int* piOut)
{
    wchar_t* pwszEnd = nullptr;
    long lValue = wcstol(pwszText, &pwszEnd, 10);
    if (!*pwszText || *pwszEnd || lValue <= 0 || lValue > 100)
        return false;
    *piOut = static_cast<int>(lValue);
    return true;
}

bool ParseFault(const wchar_t* pwszText, DiscSetOptions& options)
{
    const wchar_t* pwszColon = wcschr(pwszText, L':');
    int iDisc = 0;
    if (!pwszColon || !ParseNumber(std::wstring(pwszText, pwszColon).c_str(), &iDisc) || !pwszColon[1])
        return false;
    options.faults[iDisc] = pwszColon + 1;
    return true;
}

bool ParseArguments(int argc, wchar_t** argv, DiscSetOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--keep-unusable-snapshot") {
            options.keepUnusableSnapshot = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        if (arg == L"--stop-after" && ParseNumber(argv[i + 1], &options.stopAfter))
            ++i;
        else if (arg == L"--blank-discs" && ParseNumber(argv[i + 1], &options.blankDiscs))
            ++i;
        else if (arg == L"--fault" && ParseFault(argv[i + 1], options))
            ++i;
        else
            return false;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    DiscSetOptions options;
    if (!ParseArguments(argc, argv, options)) {
        fwprintf(stderr, L"usage: DiscSetDriver [--blank-discs N] [--stop-after N] [--fault N:SPEC]... [--keep-unusable-snapshot]\n");
        return DSR_USAGE;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    RegisterAutoplayCanceller();
    int iResult = DSR_FAILED;
    {
        CDiscSetRun run(options);
        iResult = run.Run();
    }
    RevokeAutoplayCanceller();
    CoUninitialize();
    return iResult;
}
