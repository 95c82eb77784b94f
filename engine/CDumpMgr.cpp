#include "CDumpMgr.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "CAutoTrace.h"
#include "NvFileUtil.h"

// Built after the application object, before anything that traces.
CDumpMgr g_DumpMgr __attribute__((init_priority(2000)));

namespace {

#ifdef RV_DISCORA
const wchar_t kMainDumpName[] = L"DiscoraDump.txt";
#else
const wchar_t kMainDumpName[] = L"MendoraDump.txt";
const wchar_t kPendingDumpName[] = L"MendoraDumpNew.txt";
const wchar_t kHoldingDirName[] = L"[(^_^)]";
const wchar_t kRamDrive = L'X';
#endif
const wchar_t kProgramData[] = L"ProgramData";
const wchar_t kRecovery[] = L"Recovery";

// The manager's own diagnostics reach the debugger only: writing them to the
// dump would recurse into the lock that the caller may hold.
void Diag(const wchar_t* pwszFormat, ...)
{
    wchar_t wszText[MAX_PATH];
    va_list args;
    va_start(args, pwszFormat);
    FormatBoundedV(wszText, pwszFormat, args);
    va_end(args);
    OutputDebugStringW(wszText);
}

void PathOf(wchar_t (&wszPath)[MAX_PATH], wchar_t wcDrvLet, const wchar_t* a,
            const wchar_t* b = nullptr, const wchar_t* c = nullptr)
{
    if (c)
        _snwprintf(wszPath, MAX_PATH - 1, L"%c:\\%s\\%s\\%s", wcDrvLet, a, b, c);
    else if (b)
        _snwprintf(wszPath, MAX_PATH - 1, L"%c:\\%s\\%s", wcDrvLet, a, b);
    else
        _snwprintf(wszPath, MAX_PATH - 1, L"%c:\\%s", wcDrvLet, a);
    wszPath[MAX_PATH - 1] = L'\0';
}

bool PathExists(const wchar_t* pwszPath)
{
    return GetFileAttributesW(pwszPath) != INVALID_FILE_ATTRIBUTES;
}

// Creates a folder when missing; FALSE (reported) when it cannot.
bool EnsureFolder(const wchar_t* pwszPath, bool bHide)
{
    if (PathExists(pwszPath))
        return true;
    Diag(L"create dir ...");
    if (!CreateDirectoryW(pwszPath, nullptr)) {
        Diag(L"create dir %s failed. GetLastError == %lx", pwszPath, GetLastError());
        return false;
    }
    if (bHide)
        SetFileAttributesW(pwszPath, FILE_ATTRIBUTE_HIDDEN);
    return true;
}

// OEM bytes of the first cchWide characters of a line.
int OemSize(const wchar_t* pwszLine, int cchWide)
{
    return WideCharToMultiByte(CP_OEMCP, 0, pwszLine, cchWide, nullptr, 0, nullptr, nullptr);
}

} // namespace

size_t ConvertDumpLine(const wchar_t* pwszLine, char (&pszOut)[MAX_PATH])
{
    pszOut[0] = '\0';
    const int cchLine = static_cast<int>(wcslen(pwszLine));
    int cbLine = OemSize(pwszLine, cchLine);
    if (cbLine < MAX_PATH) {
        WideCharToMultiByte(CP_OEMCP, 0, pwszLine, cchLine, pszOut, MAX_PATH - 1, nullptr, nullptr);
        pszOut[cbLine] = '\0';
        return static_cast<size_t>(cbLine);
    }
    // Too long: keep the longest prefix that fits with the line feed, without
    // splitting a surrogate pair. Lines with full paths are the ones that get
    // here, and they are the ones worth keeping.
    const bool bLineFeed = pwszLine[cchLine - 1] == L'\n';
    const int cbRoom = MAX_PATH - 1 - (bLineFeed ? 1 : 0);
    int lo = 0, hi = cchLine;
    while (lo < hi) {
        int mid = (lo + hi + 1) / 2;
        if (OemSize(pwszLine, mid) <= cbRoom)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && IS_HIGH_SURROGATE(pwszLine[lo - 1]))
        --lo;
    int cb = lo ? WideCharToMultiByte(CP_OEMCP, 0, pwszLine, lo, pszOut, cbRoom, nullptr, nullptr) : 0;
    if (bLineFeed)
        pszOut[cb++] = '\n';
    pszOut[cb] = '\0';
    return static_cast<size_t>(cb);
}

CDumpMgr::CDumpMgr()
    : m_pFile(nullptr),
      m_wszDumpFilePath{},
      m_bInitialized(false),
      m_enDumpMode(DM_UNKNOWN),
      m_bEnabled(TRUE),
      m_wcDrvLet(0),
      m_cs{},
      m_enLock(LOCK_NONE),
#ifndef RV_DISCORA
      m_pFreeSpace(nullptr)
#else
      m_pClock(nullptr)
#endif
{
}

BOOL CDumpMgr::Initialize()
{
    if (m_enLock == LOCK_NONE)
        InitializeCriticalSection(&m_cs);
    m_enLock = LOCK_OPEN;
    return TRUE;
}

// Ends file output. The lock itself stays: a thread that is still tracing
// (a backup thread, an imaging callback) may be about to enter it.
BOOL CDumpMgr::Uninitialize()
{
    if (m_enLock != LOCK_OPEN)
        return TRUE;
    EnterCriticalSection(&m_cs);
    m_enLock = LOCK_CLOSED;
    LeaveCriticalSection(&m_cs);
    return TRUE;
}

bool CDumpMgr::CanWrite() const
{
    return m_bEnabled && m_bInitialized && m_enLock == LOCK_OPEN;
}

void CDumpMgr::Write(const wchar_t* pwszLine)
{
    if (!CanWrite() || pwszLine == nullptr)
        return;
#ifdef RV_DISCORA
    SYSTEMTIME st{};
    (m_pClock ? *m_pClock : SystemClock()).LocalTime(&st);
    wchar_t wszStamped[2048 + 32];
    _snwprintf(wszStamped, _countof(wszStamped) - 1, L"[%02d-%02d-%02d %02d-%02d-%02d]%s",
               st.wYear % 100, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, pwszLine);
    wszStamped[_countof(wszStamped) - 1] = L'\0';
    pwszLine = wszStamped;
#endif
    char szOem[MAX_PATH];
    size_t cb = ConvertDumpLine(pwszLine, szOem);

    EnterCriticalSection(&m_cs);
    if (m_enLock == LOCK_OPEN)
        AppendToFile(szOem, cb);
    LeaveCriticalSection(&m_cs);
}

void CDumpMgr::AppendToFile(const char* pszText, size_t cbText)
{
    if (m_pFile) {
        fclose(m_pFile);
        m_pFile = nullptr;
    }
    m_pFile = _wfopen(m_wszDumpFilePath, L"a+");
    if (!m_pFile)
        return;
    fwrite(pszText, 1, cbText, m_pFile);
    fclose(m_pFile);
    m_pFile = nullptr;
}

void CDumpMgr::PrepareDumpFilePath(wchar_t wcDrvLet)
{
    Diag(L"PrepareDumpFilePath - ENTER");
    if (wcDrvLet == 0) {
        Diag(L"wcDrvLet is null char");
        return;
    }
    if (m_enDumpMode == DM_UNKNOWN) {
        Diag(L"DM_UNKNOWN == m_enDumpMode.");
        return;
    }
    wchar_t wszPath[MAX_PATH];
    PathOf(wszPath, wcDrvLet, kProgramData);
    Diag(L"checking wszPath == %s", wszPath);
    if (!EnsureFolder(wszPath, true))
        return;
    PathOf(wszPath, wcDrvLet, kProgramData, kRecovery);
    Diag(L"checking wszPath == %s", wszPath);
    if (!EnsureFolder(wszPath, false))
        return;

    wchar_t wszMain[MAX_PATH];
    PathOf(wszMain, wcDrvLet, kProgramData, kRecovery, kMainDumpName);
#ifndef RV_DISCORA
    wchar_t wszPending[MAX_PATH];
    PathOf(wszPending, wcDrvLet, kProgramData, kRecovery, kPendingDumpName);
    if (PathExists(wszPending))
        MoveDataToMainDumpFile(wszMain, wszPending);
    wcscpy(m_wszDumpFilePath, m_enDumpMode == DM_OS ? wszMain : wszPending);
#else
    wcscpy(m_wszDumpFilePath, wszMain);
#endif
    m_wcDrvLet = wcDrvLet;
    m_bInitialized = true;
    Diag(L"output m_wszDumpFilePath == %s", m_wszDumpFilePath);
}

BOOL CDumpMgr::GetDumpFilePath(wchar_t* pwszPath, DWORD cchPath)
{
    Diag(L"GetDumpFilePath - ENTER");
    if (pwszPath == nullptr || cchPath == 0)
        return FALSE;
    // A path that does not fit is cut, never written past the buffer.
    _snwprintf(pwszPath, cchPath - 1, L"%s", m_bInitialized ? m_wszDumpFilePath : L"");
    pwszPath[cchPath - 1] = L'\0';
    Diag(L"output wszPath == %s", pwszPath);
    return TRUE;
}

#ifndef RV_DISCORA

namespace {

// Size of a file that may not exist (counts 0); false when it exists but
// cannot be measured.
bool DumpFileSize(const wchar_t* pwszPath, ULONGLONG* pullSize)
{
    *pullSize = 0;
    if (!PathExists(pwszPath))
        return true;
    HANDLE hFile = CreateFileW(pwszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER li{};
    bool bOk = hFile != INVALID_HANDLE_VALUE && GetFileSizeEx(hFile, &li);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    if (!bOk) {
        Diag(L"FindFileSizeInByte(%s) failed. hr = %lx", pwszPath, E_FAIL);
        return false;
    }
    *pullSize = static_cast<ULONGLONG>(li.QuadPart);
    return true;
}

class CStdFile {
public:
    CStdFile(const wchar_t* pwszPath, const wchar_t* pwszMode) : m_p(_wfopen(pwszPath, pwszMode)) {}
    ~CStdFile() { Close(); }
    CStdFile(const CStdFile&) = delete;
    CStdFile& operator=(const CStdFile&) = delete;
    FILE* Get() const { return m_p; }
    // False when the final flush failed.
    bool Close()
    {
        bool bOk = m_p == nullptr || fclose(m_p) == 0;
        m_p = nullptr;
        return bOk;
    }

private:
    FILE* m_p;
};

// Appends all of src to dst; false on the first short read with an error or
// short write.
bool CopyStream(FILE* pSrc, FILE* pDst)
{
    static const size_t kBlock = 65536;
    char buf[kBlock];
    for (;;) {
        size_t cbRead = fread(buf, 1, kBlock, pSrc);
        if (cbRead < kBlock && ferror(pSrc)) {
            Diag(L"MoveDataToMainDumpFile - fread WinPE dump file failed. Error Code == %d", errno);
            return false;
        }
        if (fwrite(buf, 1, cbRead, pDst) != cbRead) {
            Diag(L"MoveDataToMainDumpFile - fwrite main dump file failed. Error Code == %d", errno);
            return false;
        }
        if (cbRead < kBlock)
            return true;
    }
}

} // namespace

BOOL CDumpMgr::MoveDataToMainDumpFile(const wchar_t* pwszMainPath, const wchar_t* pwszPendingPath)
{
    if (!pwszMainPath || !*pwszMainPath || !pwszPendingPath || !*pwszPendingPath) {
        Diag(L"MoveDataToMainDumpFile - parameters error.");
        return FALSE;
    }
    if (!PathExists(pwszPendingPath)) {
        Diag(L"MoveDataToMainDumpFile - WinPE dump not exist.");
        return FALSE;
    }
    CStdFile pending(pwszPendingPath, L"rb");
    if (!pending.Get()) {
        Diag(L"MoveDataToMainDumpFile - Open WinPE dump file failed. Error Code == %d", errno);
        return FALSE;
    }
    CStdFile main(pwszMainPath, L"a+b");
    if (!main.Get()) {
        Diag(L"MoveDataToMainDumpFile - Open Main dump file failed. Error Code == %d", errno);
        return FALSE;
    }
    bool bCopied = CopyStream(pending.Get(), main.Get());
    // A failed flush on close loses bytes too: the pending file must stay.
    bool bClosed = main.Close();
    pending.Close();
    if (!bCopied || !bClosed)
        return FALSE;
    DeleteFileW(pwszPendingPath);
    return TRUE;
}

bool CDumpMgr::CheckMoveGuards(wchar_t wcDrvLet, bool bNeedLetter) const
{
    if (!m_bInitialized) {
        Diag(L"Not initialized.");
        return false;
    }
    if (m_enDumpMode != DM_WINPE) {
        Diag(L"Not WinPE.");
        return false;
    }
    if (bNeedLetter && wcDrvLet == 0) {
        Diag(L"wcDrvLet is null char");
        return false;
    }
    return true;
}

void CDumpMgr::CopyNoOverwrite(const wchar_t* pwszSrc, const wchar_t* pwszDst)
{
    if (!CopyFileW(pwszSrc, pwszDst, TRUE))
        Diag(L"CopyFile(%s, %s) failed. GetLastError == %lx", pwszSrc, pwszDst, GetLastError());
}

BOOL CDumpMgr::MoveDumpToRamDrive()
{
    Diag(L"MoveDumpToRamDrive - ENTER");
    if (!CheckMoveGuards(0, false))
        return FALSE;
    m_bEnabled = FALSE;
    EnterCriticalSection(&m_cs);

    wchar_t wszMain[MAX_PATH], wszPending[MAX_PATH];
    PathOf(wszMain, m_wcDrvLet, kProgramData, kRecovery, kMainDumpName);
    PathOf(wszPending, m_wcDrvLet, kProgramData, kRecovery, kPendingDumpName);
    ULONGLONG ullMain = 0, ullPending = 0, ullFree = 0;
    // A failed move keeps writing where the dump was.
    if (!DumpFileSize(wszMain, &ullMain) || !DumpFileSize(wszPending, &ullPending)) {
        m_bEnabled = TRUE;
        LeaveCriticalSection(&m_cs);
        return FALSE;
    }
    IFreeSpace& freeSpace = m_pFreeSpace ? *m_pFreeSpace : SystemFreeSpace();
    if (!freeSpace.GetFreeBytes(L"X:\\", &ullFree)) {
        Diag(L"GetDiskFreeSpaceEx failed. GetLastError == 0x%lx", GetLastError());
        m_bEnabled = TRUE;
        LeaveCriticalSection(&m_cs);
        return FALSE;
    }
    Diag(L"free space == %llu", ullFree);
    Diag(L"ullSize1 == %llu", ullMain);
    Diag(L"ullSize2 == %llu", ullPending);

    const ULONGLONG kMiB = 0x100000;
    ULONGLONG ullLimit = ullFree >= 17 * kMiB ? 16 * kMiB : (ullFree < kMiB ? 0 : ullFree - kMiB);

    wchar_t wszRamMain[MAX_PATH], wszRamPending[MAX_PATH];
    _snwprintf(wszRamMain, MAX_PATH - 1, L"%c:\\%s", kRamDrive, kMainDumpName);
    _snwprintf(wszRamPending, MAX_PATH - 1, L"%c:\\%s", kRamDrive, kPendingDumpName);
    wszRamMain[MAX_PATH - 1] = wszRamPending[MAX_PATH - 1] = L'\0';
    if (ullMain + ullPending < ullLimit) {
        Diag(L"copy 2 files to X:");
        CopyNoOverwrite(wszMain, wszRamMain);
        CopyNoOverwrite(wszPending, wszRamPending);
    } else if (ullPending < ullLimit) {
        Diag(L"copy 1 file to X:");
        CopyNoOverwrite(wszPending, wszRamPending);
    }

    wcscpy(m_wszDumpFilePath, wszRamPending);
    m_bEnabled = TRUE;
    LeaveCriticalSection(&m_cs);
    return TRUE;
}

BOOL CDumpMgr::MoveDumpToTmpDirInUP(wchar_t wcDrvLet)
{
    Diag(L"MoveDumpToTmpDirInUP - ENTER");
    if (!CheckMoveGuards(wcDrvLet, true))
        return FALSE;
    m_bEnabled = FALSE;
    EnterCriticalSection(&m_cs);

    wchar_t wszHolding[MAX_PATH];
    PathOf(wszHolding, wcDrvLet, kHoldingDirName);
    Diag(L"checking wszDumpTmpDirPath == %s", wszHolding);
    if (!EnsureFolder(wszHolding, true)) {
        m_bEnabled = TRUE;
        LeaveCriticalSection(&m_cs);
        return FALSE;
    }
    wchar_t wszSrc[MAX_PATH], wszDst[MAX_PATH];
    for (const wchar_t* pwszName : {kMainDumpName, kPendingDumpName}) {
        _snwprintf(wszSrc, MAX_PATH - 1, L"%c:\\%s", kRamDrive, pwszName);
        wszSrc[MAX_PATH - 1] = L'\0';
        PathOf(wszDst, wcDrvLet, kHoldingDirName, pwszName);
        if (PathExists(wszSrc))
            CopyNoOverwrite(wszSrc, wszDst);
    }
    PathOf(m_wszDumpFilePath, wcDrvLet, kHoldingDirName, kPendingDumpName);
    m_bEnabled = TRUE;
    LeaveCriticalSection(&m_cs);
    return TRUE;
}

BOOL CDumpMgr::MoveDumpToUP(wchar_t wcDrvLet)
{
    Diag(L"MoveDumpToUP - ENTER");
    if (!CheckMoveGuards(wcDrvLet, true))
        return FALSE;
    m_bEnabled = FALSE;
    EnterCriticalSection(&m_cs);

    PrepareDumpFilePath(wcDrvLet);
    wchar_t wszSrc[MAX_PATH], wszDst[MAX_PATH];
    for (const wchar_t* pwszName : {kMainDumpName, kPendingDumpName}) {
        PathOf(wszSrc, m_wcDrvLet, kHoldingDirName, pwszName);
        PathOf(wszDst, m_wcDrvLet, kProgramData, kRecovery, pwszName);
        if (PathExists(wszSrc))
            CopyNoOverwrite(wszSrc, wszDst);
    }
    wchar_t wszHolding[MAX_PATH];
    PathOf(wszHolding, m_wcDrvLet, kHoldingDirName);
    Diag(L"checking wszDumpTmpDirPath == %s", wszHolding);
    if (NvDirectoryExists(wszHolding))
        NvDeleteDirectory(wszHolding);
    m_bEnabled = TRUE;
    LeaveCriticalSection(&m_cs);
    return TRUE;
}

#endif // RV_DISCORA
