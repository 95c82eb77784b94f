#include "Deadline.h"

#include <cstdio>

namespace {

struct Job {
    const std::function<HRESULT()>* pfn;
    HRESULT hr;
};

DWORD WINAPI RunJob(LPVOID pv)
{
    Job* pJob = static_cast<Job*>(pv);
    pJob->hr = (*pJob->pfn)();
    return 0;
}

} // namespace

HRESULT RunWithDeadline(const std::function<HRESULT()>& fn, DWORD dwMilliseconds, const char* pszWhat)
{
    Job job = {&fn, E_PENDING};
    HANDLE hThread = CreateThread(nullptr, 0, RunJob, &job, 0, nullptr);
    if (!hThread)
        return E_FAIL;
    if (WaitForSingleObject(hThread, dwMilliseconds) != WAIT_OBJECT_0) {
        fprintf(stderr, "%s: no return within %lu ms\n", pszWhat, dwMilliseconds);
        fflush(stderr);
        ExitProcess(3);
    }
    CloseHandle(hThread);
    return job.hr;
}
