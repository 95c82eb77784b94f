// Runs one file-backup operation headless and prints what it reports:
//
//   FileBackupDriver --home L --types MASK --op scan
//   FileBackupDriver --home L --types MASK --op backup --dest L [--to-disc]
//   FileBackupDriver --home L --types MASK --op restore --from FOLDER --windows L
//
// A scan prints "scan N files B bytes in T ms"; a backup scans first and then
// prints "backup result 0x... in T ms" (the backup alone); a restore prints
// "restore completed|cancelled in T ms". Disc waits are answered by waiting
// for the drive's queue to feed a disc; every restore question by going on.
// Exits with 0 when the operation succeeded, 1 when it failed, 2 on usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "CDiscBurner.h"
#include "CFileBackupMgr.h"

namespace {

const int kUsage = 2;
const DWORD kOperationMs = 3600 * 1000;
const DWORD kMediumWaitMs = 10000;
const DWORD kPollMs = 100;

struct Options {
    std::wstring op;
    wchar_t home = 0;
    wchar_t dest = 0;
    wchar_t windows = 0;
    UINT types = 0;
    BOOL toDisc = FALSE;
    std::wstring from;
};

class CDriverNotifier : public CFileBackupNotifier {
public:
    CDriverNotifier() : m_hDone(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~CDriverNotifier() override { CloseHandle(m_hDone); }
    BOOL OnScanDone() override { return SetEvent(m_hDone); }
    BOOL OnBackupDone(HRESULT hr) override
    {
        m_hr = hr;
        return SetEvent(m_hDone);
    }
    BOOL OnRestoreDone(BOOL bCompleted) override
    {
        m_bCompleted = bCompleted;
        return SetEvent(m_hDone);
    }
    BOOL OnBurnProgress(int iPercent, float) override
    {
        if (iPercent / 25 != m_iLastQuarter) {
            m_iLastQuarter = iPercent / 25;
            wprintf(L"burn %d%%\n", iPercent);
        }
        return TRUE;
    }
    bool Wait() { return WaitForSingleObject(m_hDone, kOperationMs) == WAIT_OBJECT_0; }

    HANDLE m_hDone;
    HRESULT m_hr = E_PENDING;
    BOOL m_bCompleted = FALSE;
    int m_iLastQuarter = -1;
};

// Nobody sits at the drive: a wait ends when the queue fed a disc.
class CQueuePrompt : public IDiscPrompt {
public:
    explicit CQueuePrompt(CDiscBurner& burner) : m_burner(burner) {}
    BOOL WaitForMedium(UINT) override
    {
        for (DWORD waited = 0; waited < kMediumWaitMs; waited += kPollMs) {
            if (m_burner.IsMediaReady() == S_OK)
                return TRUE;
            Sleep(kPollMs);
        }
        wprintf(L"no disc came\n");
        return FALSE;
    }
    void TellDiscRefused(UINT) override { wprintf(L"disc refused\n"); }

private:
    CDiscBurner& m_burner;
};

bool ParseOptions(int argc, wchar_t** argv, Options& o)
{
    for (int i = 1; i < argc; i++) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == L"--to-disc")
            o.toDisc = TRUE;
        else if (!hasValue)
            return false;
        else if (arg == L"--op")
            o.op = argv[++i];
        else if (arg == L"--home")
            o.home = towupper(argv[++i][0]);
        else if (arg == L"--dest")
            o.dest = towupper(argv[++i][0]);
        else if (arg == L"--windows")
            o.windows = towupper(argv[++i][0]);
        else if (arg == L"--from")
            o.from = argv[++i];
        else if (arg == L"--types")
            o.types = UINT(wcstoul(argv[++i], nullptr, 0));
        else
            return false;
    }
    bool bLetters = o.home >= L'A' && o.home <= L'Z';
    if (o.op == L"backup")
        return bLetters && o.dest >= L'A' && o.dest <= L'Z';
    if (o.op == L"restore")
        return bLetters && !o.from.empty() && o.windows >= L'A' && o.windows <= L'Z';
    return bLetters && o.op == L"scan";
}

ULONGLONG Now()
{
    return GetTickCount64();
}

int Scan(CFileBackupMgr& mgr, CDriverNotifier& notifier)
{
    ULONGLONG start = Now();
    if (mgr.StartScan(&notifier) != S_OK || !notifier.Wait()) {
        wprintf(L"scan failed\n");
        return 1;
    }
    wprintf(L"scan %u files %llu bytes in %llu ms\n", unsigned(mgr.ScannedFiles().size()), mgr.m_ullScanBytes,
            Now() - start);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        fwprintf(stderr, L"usage: see the head of FileBackupDriverMain.cpp\n");
        return kUsage;
    }
    CDiscBurner burner;
    HRESULT hrInit = burner.Init();
    if (FAILED(hrInit) && (o.toDisc || o.op == L"restore"))
        wprintf(L"burning engine not bound: 0x%08lX\n", static_cast<unsigned long>(hrInit));
    CQueuePrompt prompt(burner);
    burner.SetPrompt(&prompt);
    CFileBackupMgr mgr(o.home);
    mgr.SetDiscBurner(&burner);
    mgr.SetAsker([](UINT uId, const std::wstring& strArg) {
        wprintf(L"asked %u %ls\n", uId, strArg.c_str());
        return uId == 241 ? IDOK : uId == 257 ? IDOK : IDYES;
    });
    CDriverNotifier notifier;
    if (o.op == L"restore") {
        mgr.SetRestoreFileTypes(o.types);
        mgr.SetRestorePaths(o.from, o.windows);
        ULONGLONG start = Now();
        if (mgr.StartRestore(&notifier) != S_OK || !notifier.Wait())
            return 1;
        wprintf(L"restore %ls in %llu ms\n", notifier.m_bCompleted ? L"completed" : L"cancelled", Now() - start);
        return notifier.m_bCompleted ? 0 : 1;
    }
    mgr.SetBackupFileTypes(o.types);
    int rc = Scan(mgr, notifier);
    if (rc != 0 || o.op == L"scan")
        return rc;
    mgr.SetDestination(o.dest, o.toDisc);
    ULONGLONG start = Now();
    if (mgr.StartBackup(&notifier) != S_OK || !notifier.Wait())
        return 1;
    wprintf(L"backup result 0x%08lX in %llu ms\n", static_cast<unsigned long>(notifier.m_hr), Now() - start);
    return SUCCEEDED(notifier.m_hr) ? 0 : 1;
}
