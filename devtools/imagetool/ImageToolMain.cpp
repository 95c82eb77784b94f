// ImageTool: runs the recovery program's image tool switches without its
// window, for tests and for trying them on a simulated PC.
//   ImageTool /UpdateWIM      exit code: the switch's result (0 = done)
//   ImageTool /RELiveUpdate   exit code: 1 when it failed, else 0 (as the
//                             recovery program ends)
// "RELiveUpdate" puts the file "Mendora.exe" beside this program into the
// WinRE image, so copy the tool there under that name to try it.
#include <windows.h>

#include <stdio.h>

#include <memory>

#include "CSBRMgr.h"
#include "ImageToolSwitches.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 || (_wcsicmp(argv[1], L"/UpdateWIM") && _wcsicmp(argv[1], L"/RELiveUpdate"))) {
        fputws(L"usage: ImageTool /UpdateWIM | /RELiveUpdate\n", stderr);
        return 2;
    }
    std::unique_ptr<CSBRMgr> pController(new CSBRMgr(nullptr));
    pController->Init();
    bool bUpdateWIM = !_wcsicmp(argv[1], L"/UpdateWIM");
    HRESULT hr = bUpdateWIM ? UpdateWIM() : pController->RELiveUpdate();
    wprintf(L"%ls: 0x%08lX\n", argv[1] + 1, static_cast<unsigned long>(hr));
    if (bUpdateWIM)
        return static_cast<int>(hr);
    return FAILED(hr) ? 1 : 0;
}
