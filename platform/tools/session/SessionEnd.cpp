#include "SessionEnd.h"

int EndSimulatedSession(CSimPc& pc, const std::wstring& commandLine, const wchar_t* kind)
{
    if (!pc.Open())
        return 1;
    pc.Journal(L"run " + commandLine);
    if (!kind)
        return 0;
    HRESULT hr = pc.Update([&](SimPcState& state) {
        state.pc[L"session"] = kind;
        return S_OK;
    });
    pc.Journal(std::wstring(L"session ended: ") + kind);
    return SUCCEEDED(hr) ? 0 : 1;
}
