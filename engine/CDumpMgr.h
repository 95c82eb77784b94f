// The dump manager: appends trace lines to the dump file on the Windows
// partition and, in Windows PE, moves that file while the disk is re-laid.
#pragma once

#include <windows.h>

#include <cstdio>

#include "IClock.h"
#include "IFreeSpace.h"

enum DumpMode {
    DM_UNKNOWN = 0,
    DM_OS = 1,
    DM_WINPE = 2,
};

class CDumpMgr {
public:
    CDumpMgr();
    CDumpMgr(const CDumpMgr&) = delete;
    CDumpMgr& operator=(const CDumpMgr&) = delete;

    BOOL Initialize();
    BOOL Uninitialize();
    void SetDumpMode(DumpMode enMode) { m_enDumpMode = enMode; }
    void PrepareDumpFilePath(wchar_t wcDrvLet);
    BOOL GetDumpFilePath(wchar_t* pwszPath, DWORD cchPath);
    void Write(const wchar_t* pwszLine);

#ifndef RV_DISCORA
    void SetEnabled(BOOL bEnabled) { m_bEnabled = bEnabled; }
    BOOL IsEnabled() const { return m_bEnabled; }
    BOOL MoveDataToMainDumpFile(const wchar_t* pwszMainPath, const wchar_t* pwszPendingPath);
    BOOL MoveDumpToRamDrive();
    BOOL MoveDumpToTmpDirInUP(wchar_t wcDrvLet);
    BOOL MoveDumpToUP(wchar_t wcDrvLet);

    void SetFreeSpaceSource(IFreeSpace* pFreeSpace) { m_pFreeSpace = pFreeSpace; }
#else
    // The dump-file stamp's clock; null means the system's.
    void SetClock(IClock* pClock) { m_pClock = pClock; }
#endif

private:
    enum LockState { LOCK_NONE, LOCK_OPEN, LOCK_CLOSED };

    bool CanWrite() const;
    void AppendToFile(const char* pszText, size_t cbText);
#ifndef RV_DISCORA
    bool CheckMoveGuards(wchar_t wcDrvLet, bool bNeedLetter) const;
    void CopyNoOverwrite(const wchar_t* pwszSrc, const wchar_t* pwszDst);
#endif

    FILE* m_pFile;
    wchar_t m_wszDumpFilePath[MAX_PATH];
    volatile bool m_bInitialized;
    DumpMode m_enDumpMode;
    volatile BOOL m_bEnabled;
    wchar_t m_wcDrvLet;
    CRITICAL_SECTION m_cs;
    volatile LockState m_enLock;
#ifndef RV_DISCORA
    IFreeSpace* m_pFreeSpace;
#else
    IClock* m_pClock;
#endif
};

extern CDumpMgr g_DumpMgr;

// Cuts a line to what fits the dump's 260-byte OEM buffer (terminator
// included), keeping its final line feed. Returns the bytes written to
// pszOut, not counting the terminator.
size_t ConvertDumpLine(const wchar_t* pwszLine, char (&pszOut)[MAX_PATH]);
