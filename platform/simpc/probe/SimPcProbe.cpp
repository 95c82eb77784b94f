// Prints the simulated PC as the programs see it and exits with the number of
// mismatches against the description (0 = all three interfaces agree).
#include "CSimPcProbe.h"
#include "WineVolume.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    // "--remount L": make Wine read the label of letter L again (simpc
    // insert and eject change discs from the Linux side).
    if (argc == 3 && wcscmp(argv[1], L"--remount") == 0)
        return RefreshWineVolume(argv[2][0]) ? 0 : 1;
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr))
        return 100;
    CSimPcProbe probe;
    hr = probe.Run();
    fputws(probe.Report().c_str(), stdout);
    CoUninitialize();
    if (FAILED(hr)) {
        fwprintf(stderr, L"no simulated PC: 0x%08lX\n", (unsigned long)hr);
        return 101;
    }
    return probe.Mismatches();
}
