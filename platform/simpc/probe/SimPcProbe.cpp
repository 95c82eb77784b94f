// Prints the simulated PC as the programs see it and exits with the number of
// mismatches against the description (0 = all three interfaces agree).
#include "CSimPcProbe.h"

#include <cstdio>

int wmain()
{
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
