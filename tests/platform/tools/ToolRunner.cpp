#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <vector>

namespace ToolRunner {

int Run(const std::wstring& commandLine)
{
    const DWORD kToolTimeoutMs = 60000;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // Why a tool gave no exit code goes into the test's output.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "the tool cannot start: error " << GetLastError();
        return -1;
    }
    DWORD waited = WaitForSingleObject(pi.hProcess, kToolTimeoutMs);
    DWORD code = (DWORD)-1;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(pi.hProcess, &code))
        ADD_FAILURE() << "the tool gave no exit code: wait " << waited << ", error " << GetLastError();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}

int DiskPart(const std::string& script)
{
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"dp", 0, path);
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    WriteFile(h, script.data(), (DWORD)script.size(), &written, nullptr);
    CloseHandle(h);
    int code = Run(std::wstring(L"diskpart.exe /s \"") + path + L"\"");
    DeleteFileW(path);
    return code;
}

SimPcState State()
{
    CSimPc pc(L"test");
    SimPcState state;
    EXPECT_TRUE(pc.Open());
    EXPECT_EQ(S_OK, pc.Read(state));
    return state;
}

std::string Journal()
{
    CSimPc pc(L"test");
    std::string text;
    if (!pc.Open())
        return text;
    HANDLE h = CreateFileW((pc.Root() + L"\\journal.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got)
        text.append(buf, got);
    CloseHandle(h);
    return text;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace ToolRunner
