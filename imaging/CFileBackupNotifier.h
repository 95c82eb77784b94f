// Reports of the file-backup manager to the page that started an operation.
// Called on the manager's worker threads, never on the UI thread; every
// result is ignored.
#pragma once

#include <windows.h>

class CFileBackupNotifier {
public:
    virtual ~CFileBackupNotifier() = default;
    virtual BOOL OnScanFile(LPCWSTR /*pwszPath*/) { return TRUE; }
    virtual BOOL OnScanDone() { return TRUE; }
    virtual BOOL OnBackupProgress(LPCWSTR /*pwszText*/, UINT /*uPercent*/) { return TRUE; }
    virtual BOOL OnBackupDone(HRESULT /*hrResult*/) { return TRUE; }
    virtual BOOL OnRestoreProgress(LPCWSTR /*pwszText*/, int /*iPercent*/) { return TRUE; }
    virtual BOOL OnRestoreDone(BOOL /*bCompleted*/) { return TRUE; }
    virtual BOOL OnBurnProgress(int /*iPercent*/, float /*fPercent*/) { return TRUE; }
    virtual BOOL OnBurnStageProgress(int /*iPercent*/, float /*fPercent*/) { return TRUE; }
    // A file the backup could not take (locked, path too long): the backup
    // goes on, and its result says that files were left out.
    virtual BOOL OnBackupFileSkipped(LPCWSTR /*pwszPath*/, DWORD /*dwError*/) { return TRUE; }
};
