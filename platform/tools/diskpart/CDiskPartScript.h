// The diskpart commands the programs write, applied to the simulated PC.
// Like diskpart /s, the script stops at the first command that fails.
#pragma once

#include "CSimPc.h"

#include <string>
#include <vector>

class CDiskPartScript {
public:
    // Exit codes of diskpart.
    enum ExitCode { kOk = 0, kFailed = 4, kSyntax = 5 };

    explicit CDiskPartScript(CSimPc& pc);

    // Runs the script's lines; messages go to output. Returns the exit code.
    int Run(const std::string& script, std::wstring& output);
    // One command; an empty line or a remark succeeds.
    int RunCommand(const std::wstring& line, std::wstring& output);

private:
    using Words = std::vector<std::wstring>;

    int Select(const Words& w, std::wstring& output);
    int Clean(std::wstring& output);
    int Create(const Words& w, std::wstring& output);
    int Delete(const Words& w, std::wstring& output);
    int Format(const Words& w, std::wstring& output);
    int Assign(const Words& w, std::wstring& output);
    int Remove(const Words& w, std::wstring& output);
    int SetActive(bool active, std::wstring& output);
    int Shrink(const Words& w, std::wstring& output);
    int Extend(const Words& w, std::wstring& output);

    // The partition in focus within state; null (with a message) when none.
    SimPartition* Focus(SimPcState& state, std::wstring& output, DWORD* disk = nullptr);

    CSimPc& m_pc;
    int m_disk = -1;               // selected disk
    std::wstring m_partition;      // id of the partition or volume in focus
    std::wstring m_label;          // label= of the command, in its own case
};
