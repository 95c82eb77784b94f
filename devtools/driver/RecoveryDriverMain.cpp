// Runs one recovery operation headless on the simulated PC it runs on:
// prints each change of status and percent (with the time since the start), feeds the next queued disc when
// the operation waits for one, aborts on request, and exits with the
// operation's result (0, or the failure code).
//
//   RecoveryDriver --op system-recovery|factory-reset|remove-rp|reimage|ssrd-factory-reset
//                  [--vendor desktop|notebook] [--windows 7|vista]
//                  [--mode N] [--skip-save] [--program-folder DIR]
//                  [--shrink] [--wipe]
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
    BOOL shrink = FALSE; // as the page: shrink the hard disk when the set needs it
    BOOL wipe = FALSE;
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
        if (arg == L"--skip-save" || arg == L"--shrink" || arg == L"--wipe") {
            (arg == L"--skip-save" ? o.skipSave : arg == L"--shrink" ? o.shrink : o.wipe) = TRUE;
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
    if (op == L"factory-reset")
        return mgr.PerformZQFactoryReset();
    if (op == L"remove-rp")
        return mgr.PerformZQRemoveRP();
    if (op == L"reimage")
        return mgr.PerformZQReImage();
    if (op == L"ssrd-factory-reset")
        return mgr.PerformZQSSRDFactoryReset();
    return NV_E_INVALID_ARG;
}

// The first drive with a queue takes the next disc of it, unless it holds a
// disc already: an operation that ejected the disc itself has had the queue
// feed in, and that disc is the one it is to look at.
void FeedNextDisc()
{
    CSimPc pc(L"RecoveryDriver");
    if (!pc.Open())
        return;
    pc.Update([&pc](SimPcState& state) -> HRESULT {
        for (auto& drive : state.opticals) {
            if (drive.queue.empty())
                continue;
            return drive.IsReady() ? S_FALSE : pc.EjectDisc(state, drive);
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
        if (dwStatus == OS_WAIT_DISC && SUCCEEDED(mgr.GetWaitingDiscIndex(&dwWaiting)) &&
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
        fwprintf(stderr, L"usage: RecoveryDriver --op system-recovery|factory-reset|remove-rp|reimage"
                         L"|ssrd-factory-reset"
                         L" [--vendor desktop|notebook] [--windows 7|vista] [--mode N] [--skip-save]"
                         L" [--program-folder DIR] [--shrink] [--wipe]"
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
    // As the program's start-up: the burn object, and the drive Windows PE
    // started from, whose disc a recovery from discs reads.
    DWORD dwBootDrive = 0;
    if (SUCCEEDED(mgr.InitBurning()) && NvIsPEBootFromODD(&dwBootDrive))
        mgr.SetBootCDROMIndex(dwBootDrive);
    if (o.shrink) {
        BOOL bNeed = FALSE;
        hr = mgr.IsShrinkNeed(TRUE, &bNeed);
        wprintf(L"shrink needed %d (0x%08lX)\n", bNeed, static_cast<unsigned long>(hr));
        mgr.SetNeedShrink(SUCCEEDED(hr) && bNeed);
    }
    if (o.wipe)
        mgr.SetNeedWipe();
    return Drive(mgr, o);
}
