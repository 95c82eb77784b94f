#include "RecoveryDriverRun.h"

#include "CSBRMgr.h"
#include "CSimPc.h"
#include "SimPcTestEnv.h"
#include "TestFiles.h"

namespace RecoveryTest {

const wchar_t kProgram[] = L"X:\\prog\\";

bool LayOutProgram(std::initializer_list<const wchar_t*> fixtures)
{
    CreateDirectoryW(L"X:\\Windows", nullptr);
    CreateDirectoryW(L"X:\\prog", nullptr);
    for (const wchar_t* pwszName : fixtures)
        if (!CopyFileW((SimPcTest::FixtureFolder() + pwszName).c_str(), (std::wstring(kProgram) + pwszName).c_str(),
                       FALSE))
            return false;
    return true;
}

namespace {

void ListTree(const std::wstring& root, const std::wstring& rel, Tree& out)
{
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW((root + rel + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L".." || name == L".windows-label")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[rel + name + L"\\"] = "";
            ListTree(root, rel + name + L"\\", out);
        } else {
            out[rel + name] = TestFiles::ReadBytes(root + rel + name);
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

} // namespace

Tree TreeOf(const std::wstring& root)
{
    Tree out;
    ListTree(root, L"", out);
    return out;
}

std::wstring PcFolder()
{
    wchar_t wsz[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SIMPC_ROOT", wsz, MAX_PATH);
    return wsz[0] == L'/' ? CSimPc::UnixToWindows(wsz) : wsz;
}

bool Put(const std::wstring& path, const std::string& bytes)
{
    for (size_t pos = path.find(L'\\', 3); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1))
        CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
    return TestFiles::WriteBytes(path, bytes);
}

// The output goes to a file: a pipe would stay open while any tool the
// operation started keeps the inherited end.
DriverRun RunDriver(const std::wstring& args, DWORD limitMs)
{
    DriverRun run;
    static int s_run = 0;
    const std::wstring out =
        L"X:\\driver" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_run) + L".out";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE hOut = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hOut == INVALID_HANDLE_VALUE) {
        run.exitCode = 0xFFFFFFFF;
        run.output = "the driver's output file could not be made: error " + std::to_string(GetLastError());
        return run;
    }
    std::wstring bin = CSystemControllerEnvironment().ProgramFolder();
    std::wstring cmd = L"\"" + bin + L"RecoveryDriver.exe\" --program-folder " + kProgram + L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(hOut);
    if (!ok) {
        run.exitCode = 0xFFFFFFFF;
        run.output = "the driver did not start: error " + std::to_string(GetLastError());
        return run;
    }
    if (WaitForSingleObject(pi.hProcess, limitMs) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 0xFFFFFFFE);
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    run.output = TestFiles::ReadBytes(out);
    return run;
}

std::vector<DWORD> Statuses(const std::string& output)
{
    std::vector<DWORD> out;
    size_t pos = 0;
    while ((pos = output.find("status ", pos)) != std::string::npos) {
        DWORD dw = strtoul(output.c_str() + pos + 7, nullptr, 10);
        // What the poll read before the worker's first step is not its own.
        if ((out.empty() && dw != OS_NONE) || (!out.empty() && out.back() != dw))
            out.push_back(dw);
        pos += 7;
    }
    return out;
}

bool InOrder(const std::vector<DWORD>& seen, const std::vector<DWORD>& order)
{
    size_t next = 0;
    for (DWORD dw : seen) {
        while (next < order.size() && order[next] != dw)
            ++next;
        if (next == order.size())
            return false;
        ++next;
    }
    return !seen.empty() && seen.back() == order.back();
}

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

} // namespace RecoveryTest
