// Runs one recovery operation headless on the simulated PC it runs on:
// prints each change of status and percent (with the time since the start), feeds the next queued disc when
// the operation waits for one, aborts on request, and exits with the
// operation's result (0, or the failure code).
//
//   RecoveryDriver --op system-recovery|remove-rp|reimage|ssrd-factory-reset
//                  [--vendor desktop|notebook] [--windows 7|vista]
//                  [--mode N] [--skip-save] [--program-folder DIR]
//                  [--abort-at-percent P] [--abort-at-status S]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "CDumpMgr.h"
#include "CSBRMgr.h"
#include "CSimPc.h"
#include "NvErrorCode.h"
#include "NvSysUtil.h"

namespace {

const DWORD kPollMs = 50;
const DWORD kNoLimit = static_cast<DWORD>(-1);
const int kUsage = 2;

struct Options {
    std::wstring op;
    DWORD vendor = ZQ_VENDOR_DOZ;
    DWORD windows = ZQ_PLATFORM_WIN7;
    DWORD mode = 1;
    BOOL skipSave = FALSE;
    std::wstring programFolder;
    DWORD abortPercent = kNoLimit;
    DWORD abortStatus = kNoLimit;
};

class CDriverEnvironment : public CSystemControllerEnvironment {
public:
    explicit CDriverEnvironment(const std::wstring& folder) : m_folder(folder) {}
    std::wstring ProgramFolder() override
    {
        return m_folder.empty() ? CSystemControllerEnvironment::ProgramFolder() : m_folder;
    }

private:
    std::wstring m_folder;
};

bool ParseNumber(const wchar_t* pwsz, DWORD* pdw)
{
    wchar_t* pEnd = nullptr;
    unsigned long ul = wcstoul(pwsz, &pEnd, 10);
    if (!*pwsz || *pEnd)
        return false;
    *pdw = ul;
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--skip-save") {
            o.skipSave = TRUE;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const wchar_t* v = argv[++i];
        if (arg == L"--op")
            o.op = v;
        else if (arg == L"--vendor")
            o.vendor = wcscmp(v, L"notebook") == 0 ? ZQ_VENDOR_CNB : ZQ_VENDOR_DOZ;
        else if (arg == L"--windows")
            o.windows = wcscmp(v, L"vista") == 0 ? ZQ_PLATFORM_VISTA : ZQ_PLATFORM_WIN7;
        else if (arg == L"--program-folder")
            o.programFolder = v;
        else if (!(arg == L"--mode" && ParseNumber(v, &o.mode)) &&
                 !(arg == L"--abort-at-percent" && ParseNumber(v, &o.abortPercent)) &&
                 !(arg == L"--abort-at-status" && ParseNumber(v, &o.abortStatus)))
            return false;
    }
    return !o.op.empty();
}

HRESULT Start(CSBRMgr& mgr, const std::wstring& op)
{
    if (op == L"system-recovery")
        return mgr.PerformZQSystemRecovery();
    if (op == L"remove-rp")
        return mgr.PerformZQRemoveRP();
    if (op == L"reimage")
        return mgr.PerformZQReImage();
    if (op == L"ssrd-factory-reset")
        return mgr.PerformZQSSRDFactoryReset();
    return NV_E_INVALID_ARG;
}

// Operations that eject the disc themselves: the drive then takes the next
// disc of its queue, and a second eject would skip one.
bool EjectsItself(const std::wstring& op)
{
    return op == L"ssrd-factory-reset";
}

// Ejects the disc of the first drive with a queue: the drive then takes the
// next disc of its queue.
void FeedNextDisc()
{
    CSimPc pc(L"RecoveryDriver");
    if (!pc.Open())
        return;
    pc.Update([&pc](SimPcState& state) -> HRESULT {
        for (auto& drive : state.opticals) {
            if (!drive.queue.empty())
                return pc.EjectDisc(state, drive);
        }
        return E_FAIL;
    });
}

int Drive(CSBRMgr& mgr, const Options& o)
{
    const ULONGLONG ullStart = GetTickCount64();
    HRESULT hr = Start(mgr, o.op);
    if (FAILED(hr)) {
        wprintf(L"start failed 0x%08lX\n", static_cast<unsigned long>(hr));
        return static_cast<int>(hr);
    }
    DWORD dwLastStatus = kNoLimit, dwLastPercent = kNoLimit, dwFedFor = kNoLimit, dwLastWaiting = kNoLimit;
    for (;;) {
        const bool bEnded = mgr.WaitWorker(kPollMs);
        DWORD dwStatus = 0, dwPercent = 0, dwWaiting = 0;
        BOOL bAbort = FALSE;
        mgr.GetZQProgress(&dwStatus, &dwPercent, nullptr, 0, &bAbort);
        if (dwStatus != dwLastStatus || dwPercent != dwLastPercent) {
            wprintf(L"status %lu percent %lu at %llu ms\n", dwStatus, dwPercent, GetTickCount64() - ullStart);
            fflush(stdout);
            dwLastStatus = dwStatus;
            dwLastPercent = dwPercent;
        }
        if (dwStatus == OS_WAIT_DISC && SUCCEEDED(mgr.GetWaitingDiscIndex(&dwWaiting)) && dwWaiting != dwLastWaiting) {
            wprintf(L"waiting index %lu\n", dwWaiting);
            dwLastWaiting = dwWaiting;
        }
        if (dwStatus == OS_WAIT_DISC && !EjectsItself(o.op) && SUCCEEDED(mgr.GetWaitingDiscIndex(&dwWaiting)) &&
            dwWaiting != dwFedFor) {
            wprintf(L"feeding disc %lu\n", dwWaiting + 1);
            FeedNextDisc();
            dwFedFor = dwWaiting;
        }
        if (!CSBRMgr::m_bUserAbort && (dwStatus == o.abortStatus || (o.abortPercent != kNoLimit &&
                                                                      dwPercent >= o.abortPercent))) {
            wprintf(L"aborting\n");
            mgr.AbortOperation();
        }
        if (bEnded)
            break;
    }
    hr = dwLastStatus == OS_FAILED ? mgr.GetZQOpResult() : S_OK;
    wprintf(L"elapsed %llu ms\n", GetTickCount64() - ullStart);
    wprintf(g_DumpMgr.IsEnabled() ? L"dump file on\n" : L"dump file off\n");
    wprintf(L"result 0x%08lX\n", static_cast<unsigned long>(hr));
    return static_cast<int>(hr);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        fwprintf(stderr, L"usage: RecoveryDriver --op system-recovery|remove-rp|reimage|ssrd-factory-reset"
                         L" [--vendor desktop|notebook]"
                         L" [--windows 7|vista] [--mode N] [--skip-save] [--program-folder DIR]"
                         L" [--abort-at-percent P] [--abort-at-status S]\n");
        return kUsage;
    }
    CDriverEnvironment env(o.programFolder);
    CSBRMgr mgr(&env);
    HRESULT hr = mgr.Init();
    if (FAILED(hr)) {
        wprintf(L"init failed 0x%08lX\n", static_cast<unsigned long>(hr));
        return static_cast<int>(hr);
    }
    mgr.SetZQOSVer(o.windows);
    mgr.SetZQVendor(o.vendor);
    mgr.SetSkipSaveFile(o.skipSave);
    mgr.m_dwRecoveryMode = o.mode;
    if (FAILED(hr = mgr.InitDisk())) {
        wprintf(L"disks failed 0x%08lX\n", static_cast<unsigned long>(hr));
        return static_cast<int>(hr);
    }
    // As the start page does when Windows PE came from a disc.
    DWORD dwBootDrive = 0;
    if (NvIsPEBootFromODD(&dwBootDrive) && SUCCEEDED(mgr.InitBurning()))
        mgr.SetBootCDROMIndex(dwBootDrive);
    return Drive(mgr, o);
}
