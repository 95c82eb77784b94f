// Status, percent and result of the running operation, the imaging and copy
// progress routines, abort and the pause on battery power.
#include "CSBRMgr.h"

#include <cmath>
#include <cwchar>
#include <mutex>

#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvSysUtil.h"
#include "Win32Error.h"

std::atomic<DWORD> CSBRMgr::m_enZQStatus(OS_NONE);
std::atomic<DWORD> CSBRMgr::m_dwPercent(0);
std::atomic<DWORD> CSBRMgr::m_dwWaitingDiscIndex(0);
std::atomic<ULONGLONG> CSBRMgr::m_ullSingleFileTransfer(0);
std::atomic<ULONGLONG> CSBRMgr::m_ullTransferredBytes(0);
std::atomic<BOOL> CSBRMgr::m_bUserAbort(FALSE);
std::atomic<BOOL> CSBRMgr::m_bPerformingOperation(FALSE);
std::multimap<int, std::wstring> CSBRMgr::m_mapWimFiles;
ULONGLONG CSBRMgr::s_ullStartTimes[4];

namespace {

#ifndef RV_DISCORA
std::mutex g_currentFileLock;
wchar_t g_wszCurrentFile[MAX_PATH];

// The time-based rules, each with its own first-poll time.
enum TimeRule { TR_SHRINK, TR_REPARTITION, TR_FORMATTING, TR_REMOVE_RP };

const DWORD kImagingMsgProgress = 38008;
const DWORD kImagingMsgProcess = 38009;
const DWORD kImagingMsgError = 38015;
const DWORD kImagingMsgRetry = 38017;
const DWORD kImagingMsgInfo = 38020;
const DWORD kImagingMsgWarning = 38021;
const DWORD kImagingAbort = 0xFFFFFFFF;

#endif

} // namespace

#ifndef RV_DISCORA

void CSBRMgr::SetCurrentFile(const wchar_t* pwszFile)
{
    std::lock_guard<std::mutex> lock(g_currentFileLock);
    _snwprintf(g_wszCurrentFile, MAX_PATH - 1, L"%s", pwszFile ? pwszFile : L"");
}

std::wstring CSBRMgr::GetCurrentFile()
{
    std::lock_guard<std::mutex> lock(g_currentFileLock);
    return g_wszCurrentFile;
}

DWORD CSBRMgr::ElapsedSeconds(int iRule)
{
    ULONGLONG now = m_pEnv->Clock().TickCount64() / 1000;
    if (s_ullStartTimes[iRule] == 0)
        s_ullStartTimes[iRule] = now ? now : 1;
    return static_cast<DWORD>(now > s_ullStartTimes[iRule] ? now - s_ullStartTimes[iRule] : 0);
}

// base + span x copied / total; a zero total is answered with 1.
DWORD CSBRMgr::CopyPercent(DWORD dwBase, DWORD dwSpan)
{
    ULONGLONG ullTotal = m_ullTotalCopySize;
    if (ullTotal == 0)
        return 1;
    double copied = static_cast<double>(m_ullTransferredBytes + m_ullSingleFileTransfer);
    return dwBase + static_cast<DWORD>(std::floor(dwSpan * copied / static_cast<double>(ullTotal)));
}

HRESULT CSBRMgr::GetZQProgress(DWORD* pdwStatus, DWORD* pdwPercent, wchar_t* pwszFile, DWORD cchFile,
                               BOOL* pbAbort)
{
    CAutoTrace trace(L"CSBRMgr", L"GetZQProgress", nullptr);
    if (!pdwStatus || (!pdwPercent && !pwszFile))
        return NV_E_INVALID_ARG;
    DWORD dwExit = 0;
    if (!GetExitCodeThread(m_hZQRecoveryThread, &dwExit)) {
        m_hrZQOpResult = NV_E_THREAD_EXIT_CODE;
        *pdwStatus = OS_FAILED;
        return S_OK;
    }
    const bool bEnded = dwExit != STILL_ACTIVE;
    if (bEnded) {
        trace.Print(L"dwResult != STILL_ACTIVE. dwResult = %lu", dwExit);
        if (FAILED(static_cast<HRESULT>(dwExit))) {
            m_hrZQOpResult = static_cast<HRESULT>(dwExit);
            *pdwStatus = OS_FAILED;
            return S_OK;
        }
    }
    *pdwStatus = m_enZQStatus;
    // Kinds without a percent rule leave the caller's value alone.
    bool bRuled = true;
    if (pdwPercent) {
        switch (m_enOperation) {
        case RO_FACTORY_RESET: *pdwPercent = GetFactoryResetPercent(); break;
        case RO_SYSTEM_RECOVERY: *pdwPercent = GetSystemRecoveryPercent(); break;
        case RO_SSRD_FACTORY_RESET: *pdwPercent = GetSSRDPercent(); break;
        case RO_REMOVE_RP: *pdwPercent = GetRemoveRPPercent(); break;
        case RO_REIMAGE: *pdwPercent = m_dwPercent; break;
        default: bRuled = false; break;
        }
        // A worker that ended well has finished, whatever its rule reached.
        if (bRuled && bEnded)
            *pdwPercent = 100;
        else if (bRuled && *pdwPercent >= 100)
            *pdwPercent = 99;
    }
    if (pwszFile && cchFile) {
        std::wstring file = GetCurrentFile();
        _snwprintf(pwszFile, cchFile - 1, L"%s", file.c_str());
        pwszFile[cchFile - 1] = L'\0';
    }
    if (pdwPercent)
        trace.Print(L"*pdwPercent = %lu", *pdwPercent);
    if (pbAbort && m_bUserAbort)
        *pbAbort = TRUE;
    return S_OK;
}

HRESULT CSBRMgr::GetZQOpResult()
{
    CAutoTrace trace(L"CSBRMgr", L"GetZQOpResult", this);
    trace.Print(L"m_hrZQOpResult = %lx", m_hrZQOpResult);
    return m_hrZQOpResult;
}

HRESULT CSBRMgr::IsPerformingOperation(BOOL* pbPerforming)
{
    if (pbPerforming)
        *pbPerforming = m_bPerformingOperation;
    return S_OK;
}

HRESULT CSBRMgr::QueryCopyProgress(DWORD*, DWORD*)
{
    return NV_E_FAIL;
}

DWORD CSBRMgr::GetFactoryResetPercent()
{
    CAutoTrace trace(L"CSBRMgr", L"GetFactoryResetPercent", this);
    switch (m_enZQStatus) {
    case OS_SHRINK: {
        DWORD t = ElapsedSeconds(TR_SHRINK);
        trace.Print(L"OS_SHRINK == m_enZQStatus, fDiff = %f", static_cast<double>(t));
        DWORD dw = t > 60 ? 4 : t / 15;
        return dw ? dw : 1;
    }
    case OS_REPARTITION: {
        DWORD t = ElapsedSeconds(TR_REPARTITION);
        trace.Print(L"OS_REPARTITION == m_enZQStatus, fDiff = %f", static_cast<double>(t));
        return t > 60 ? 8 : 4 + t / 15;
    }
    case OS_PREPARE_UCRD_COPY:
        return 8;
    case OS_COPY_FILE_FROM_CDROM: {
        DWORD dw = CopyPercent(8, 75);
        trace.Print(L"OS_COPY_FILE_FROM_CDROM: set dwPercent = %lu", dw);
        return dw;
    }
    case OS_REINSTALL: {
        trace.Print(L"OS_REINSTALL: dwPercent = %lu", 1ul);
        DWORD dwImage = m_dwPercent;
        trace.Print(L"OS_REINSTALL: m_dwPercent = %lu", dwImage);
        return 83 + 17 * dwImage / 100;
    }
    default:
        return 1;
    }
}

DWORD CSBRMgr::GetUCRDSystemRecoveryPercent()
{
    CAutoTrace trace(L"CSBRMgr", L"GetUCRDSystemRecoveryPercent", this);
    DWORD dw = 1;
    switch (m_enZQStatus) {
    case OS_FORMATTING: {
        DWORD t = ElapsedSeconds(TR_FORMATTING);
        trace.Print(L"OS_FORMATTING == m_enZQStatus, fDiff = %f", static_cast<double>(t));
        dw = t > 120 ? 8 : t / 15;
        if (dw == 0)
            dw = 1;
        break;
    }
    case OS_PREPARE_UCRD_COPY:
        dw = 8;
        break;
    case OS_COPY_FILE_FROM_CDROM:
        if (m_ullTotalCopySize == 0)
            return 1;
        dw = CopyPercent(8, 75);
        trace.Print(L"OS_COPY_FILE_FROM_CDROM: set dwPercent = %lu", dw);
        break;
    case OS_REINSTALL: {
        trace.Print(L"OS_REINSTALL: dwPercent = %lu", 1ul);
        DWORD dwImage = m_dwPercent;
        trace.Print(L"OS_REINSTALL: m_dwPercent = %lu", dwImage);
        dw = 83 + 17 * dwImage / 100;
        break;
    }
    default:
        trace.Print(L"m_enZQStatus = %lx", static_cast<DWORD>(m_enZQStatus));
        dw = 1;
        break;
    }
    trace.Print(L"return dwPercent = %lu", dw);
    return dw;
}

DWORD CSBRMgr::GetSystemRecoveryPercent()
{
    if (NvIsPEBootFromODD(nullptr))
        return GetUCRDSystemRecoveryPercent();
    DWORD dw;
    if (m_enZQStatus == OS_COPY_FILE_FROM_CDROM) {
        DWORD dwTotal = m_dwDiscFileCount;
        dw = dwTotal == 0 ? 1 : static_cast<DWORD>(m_dwCopiedFileCount * 100ull / dwTotal);
    } else {
        dw = m_dwPercent;
    }
    return dw ? dw : 1;
}

DWORD CSBRMgr::GetSSRDPercent()
{
    CAutoTrace trace(L"CSBRMgr", L"GetSSRDPercent", this);
    switch (m_enZQStatus) {
    case OS_REPARTITION:
        return 1;
    case OS_SSRD_COPY_CDROM_FILE:
        trace.Print(L"OS_SSRD_COPY_CDROM_FILE - %llu", static_cast<ULONGLONG>(m_ullTotalCopySize));
        return CopyPercent(0, 70);
    case OS_SSRD_RESTORE_UP:
        trace.Print(L"OS_SSRD_RESTORE_UP - m_dwPercent = %lu", static_cast<DWORD>(m_dwPercent));
        return 70 + 20 * m_dwPercent / 100;
    case OS_SSRD_RESTORE_SECOND:
        trace.Print(L"OS_SSRD_RESTORE_UP - m_dwPercent = %lu", static_cast<DWORD>(m_dwPercent));
        return 90 + 10 * m_dwPercent / 100;
    default:
        trace.Print(L"Invalid m_enZQStatus");
        return 1;
    }
}

DWORD CSBRMgr::GetRemoveRPPercent()
{
    CAutoTrace trace(L"CSBRMgr", L"GetRemoveRPPercent", this);
    trace.Print(L"m_enZQStatus = %lu", static_cast<DWORD>(m_enZQStatus));
    if (m_enZQStatus != OS_REMOVE_RP) {
        trace.Print(L"Invalid m_enZQStatus");
        return 1;
    }
    if (m_dwPercent == 100)
        return 100;
    DWORD t = ElapsedSeconds(TR_REMOVE_RP);
    trace.Print(L"OS_REMOVE_RP == m_enZQStatus, fDiff = %f", static_cast<double>(t));
    return t > 297 ? 99 : t / 3;
}

DWORD CALLBACK CSBRMgr::ZQWIMMessageCallback(DWORD dwMessage, WPARAM wParam, LPARAM lParam, PVOID pvUserData)
{
    const wchar_t* pwszPath = reinterpret_cast<const wchar_t*>(wParam);
    int iError = static_cast<int>(lParam);
    switch (dwMessage) {
    case kImagingMsgProgress:
        DebugPrint(L"percent: %lu\n", static_cast<DWORD>(wParam));
        m_dwPercent = static_cast<DWORD>(wParam);
        return 0;
    case kImagingMsgProcess:
        // On battery the apply holds here, between files, until power returns.
        if (pvUserData && !static_cast<CSBRMgr*>(pvUserData)->WaitWhilePaused()) {
            DebugPrint(L"TRUE == m_bUserAbort");
            return kImagingAbort;
        }
        if (m_bUserAbort) {
            DebugPrint(L"TRUE == m_bUserAbort");
            return kImagingAbort;
        }
        DebugPrint(L"FilePath: %s\n", pwszPath ? pwszPath : L"");
        SetCurrentFile(pwszPath);
        return 0;
    case kImagingMsgError:
        DebugPrint(L"ERROR: %s [err = %d]\n", pwszPath ? pwszPath : L"", iError);
        return 0;
    case kImagingMsgRetry:
        DebugPrint(L"RETRY: %s [err = %d]\n", pwszPath ? pwszPath : L"", iError);
        return 0;
    case kImagingMsgInfo:
        DebugPrint(L"INFO: %s [err = %d]\n", pwszPath ? pwszPath : L"", iError);
        return 0;
    case kImagingMsgWarning:
        DebugPrint(L"WARNING: %s [err = %d]\n", pwszPath ? pwszPath : L"", iError);
        return 0;
    default:
        return 0;
    }
}

DWORD CALLBACK CSBRMgr::ZQCopyProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                              LARGE_INTEGER liStreamBytesTransferred, DWORD, DWORD dwCallbackReason,
                                              HANDLE, HANDLE, LPVOID lpData)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCopyProgressRoutine", nullptr);
    // On battery the copy holds here, between chunks; an abort ends it.
    if (lpData && !static_cast<CSBRMgr*>(lpData)->WaitWhilePaused())
        return PROGRESS_CANCEL;
    if (dwCallbackReason == CALLBACK_CHUNK_FINISHED || dwCallbackReason == CALLBACK_STREAM_SWITCH) {
        m_ullSingleFileTransfer = static_cast<ULONGLONG>(liStreamBytesTransferred.QuadPart);
        trace.PrintTagged(L"m_ullSingleFileTransfer = %llu", static_cast<ULONGLONG>(m_ullSingleFileTransfer));
    }
    return PROGRESS_CONTINUE;
}

void CSBRMgr::ZQCopyFileDoneRoutine(ULONGLONG ullFileSize)
{
    m_ullTransferredBytes += ullFileSize;
    m_ullSingleFileTransfer = 0;
}

#endif // RV_DISCORA

HRESULT CSBRMgr::ACPowerIsOffline(BOOL* pbOffline)
{
    CAutoTrace trace(L"CSBRMgr", L"ACPowerIsOffline", this);
    if (!pbOffline)
        return NV_E_INVALID_ARG;
    SYSTEM_POWER_STATUS sps{};
    if (!m_pEnv->GetPowerStatus(&sps)) {
        trace.Print(L"GetSystemPowerStatus fail.");
        *pbOffline = FALSE;
        return S_OK;
    }
    trace.Print(L"GetSystemPowerStatus successful.");
    switch (sps.ACLineStatus) {
    case 1:
        trace.Print(L"AC Power online");
        *pbOffline = FALSE;
        break;
    case 0:
        trace.Print(L"AC Power Offline");
        *pbOffline = TRUE;
        break;
    default:
        trace.Print(L"AC Power unknown status.");
        return NV_E_AC_LINE_STATUS;
    }
    trace.Print(L"BatteryFlag = %u, ", sps.BatteryFlag);
    trace.Print(L"BatteryLifePercent = %u, ", sps.BatteryLifePercent);
    trace.Print(L"BatteryLifeTime = %lu, ", sps.BatteryLifeTime);
    trace.Print(L"BatteryFullLifeTime = %lu, ", sps.BatteryFullLifeTime);
    return S_OK;
}

#ifndef RV_DISCORA

// The worker is paused cooperatively: suspending it could freeze it inside a
// lock (the dump file's, the heap's) that the user-interface thread needs.
HRESULT CSBRMgr::PauseZQRecoveryThread()
{
    CAutoTrace trace(L"CSBRMgr", L"PauseZQRecoveryThread", nullptr);
    if (!m_hZQRecoveryThread || m_hZQRecoveryThread == INVALID_HANDLE_VALUE) {
        trace.PrintTagged(L"m_hZQRecoveryThread is invalid.");
        return 1;
    }
    trace.PrintTagged(L"Calling SuspendThread ...");
    if (!m_hResumeEvent || !ResetEvent(m_hResumeEvent)) {
        trace.PrintTagged(L"SuspendThread fail. GetLastError = %lx", GetLastError());
        return NV_E_FAIL;
    }
    trace.PrintTagged(L"SuspendThread success");
    m_bThreadSuspended = TRUE;
    return S_OK;
}

HRESULT CSBRMgr::ResumeZQRecoveryThread()
{
    CAutoTrace trace(L"CSBRMgr", L"ResumeZQRecoveryThread", nullptr);
    if (!m_bThreadSuspended)
        return S_OK;
    if (!m_hZQRecoveryThread || m_hZQRecoveryThread == INVALID_HANDLE_VALUE) {
        trace.PrintTagged(L"m_hZQRecoveryThread is invalid.");
        return NV_E_CLOSE_HANDLE;
    }
    trace.PrintTagged(L"Calling ResumeThread ...");
    if (!SetEvent(m_hResumeEvent)) {
        trace.PrintTagged(L"ResumeThread fail. GetLastError = %lx", GetLastError());
        return NV_E_FAIL;
    }
    trace.PrintTagged(L"ResumeThread success.");
    m_bThreadSuspended = FALSE;
    return S_OK;
}

BOOL CSBRMgr::WaitWhilePaused()
{
    // The abort is checked while waiting too, so a paused worker can be ended.
    while (!m_bUserAbort) {
        if (WaitForSingleObject(m_hResumeEvent, 200) == WAIT_OBJECT_0)
            return TRUE;
    }
    return FALSE;
}

HRESULT CSBRMgr::StartWorker(RecoveryOperation enOperation, LPTHREAD_START_ROUTINE pfnThread)
{
    // Two operations that change the disk never run at once.
    DWORD dwExit = 0;
    if (m_hZQRecoveryThread && GetExitCodeThread(m_hZQRecoveryThread, &dwExit) && dwExit == STILL_ACTIVE)
        return NV_E_FAIL;
    if (m_hZQRecoveryThread) {
        CloseHandle(m_hZQRecoveryThread);
        m_hZQRecoveryThread = nullptr;
    }
    m_enOperation = enOperation;
    SetEvent(m_hResumeEvent);
    m_bThreadSuspended = FALSE;
    m_hZQRecoveryThread = CreateThread(nullptr, 0, pfnThread, this, CREATE_SUSPENDED, nullptr);
    if (!m_hZQRecoveryThread)
        return NV_E_FAIL;
    if (ResumeThread(m_hZQRecoveryThread) == static_cast<DWORD>(-1))
        return NV_E_FAIL;
    return S_OK;
}

BOOL CSBRMgr::WaitWorker(DWORD dwMilliseconds)
{
    return m_hZQRecoveryThread && WaitForSingleObject(m_hZQRecoveryThread, dwMilliseconds) == WAIT_OBJECT_0;
}

#endif // RV_DISCORA
