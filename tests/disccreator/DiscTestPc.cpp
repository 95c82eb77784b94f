#include "DiscTestPc.h"

#include <vector>

#include "CAutoHandle.h"
#include "CSimPc.h"

namespace DiscTestPc {

SimPcState Read()
{
    CSimPc pc(L"test");
    SimPcState state;
    if (pc.Open())
        pc.Read(state);
    return state;
}

std::wstring NewDisc(CSimPc& pc, SimPcState& state, DWORD dwMedia, DWORD dwSectors, bool bBlank)
{
    SimDisc disc;
    disc.id = state.NewId(L"testdisc");
    disc.media = dwMedia;
    disc.blank = bBlank;
    disc.capacity = dwSectors;
    disc.freeSectors = bBlank ? dwSectors : dwSectors / 2;
    disc.label = bBlank ? L"" : L"WRITTEN";
    state.discs.push_back(disc);
    CreateDirectoryW(pc.DiscFolder(disc.id).c_str(), nullptr);
    return disc.id;
}

DWORD Run(const std::wstring& line, const wchar_t* pwszFolder, HANDLE hOutput, DWORD dwTimeoutMs)
{
    std::vector<wchar_t> command(line.begin(), line.end());
    command.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (hOutput) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = hOutput;
        si.hStdError = hOutput;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, hOutput != nullptr, 0, nullptr, pwszFolder, &si,
                        &pi))
        return static_cast<DWORD>(-1);
    CAutoHandle process(pi.hProcess);
    CAutoHandle thread(pi.hThread);
    DWORD dwCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.Get(), dwTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.Get(), &dwCode);
    return dwCode;
}

} // namespace DiscTestPc
