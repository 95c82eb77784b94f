// The file-backup manager: the user's files of chosen types are scanned on
// the user partition, backed up into numbered WIM files and restored. Each
// long operation runs on a worker thread of its own and reports through the
// page's CFileBackupNotifier.
#pragma once

#include <windows.h>

#include <list>
#include <map>
#include <string>

#include "CFileBackupNotifier.h"
#include "WIMFileBackuper.h"

// One bit per file type of the selection pages.
enum FileTypeMask : UINT {
    kTypePictures = 1,
    kTypeMusic = 2,
    kTypeVideo = 4,
    kTypeRecordedTV = 8,
    kTypeDocuments = 16,
    kTypeEmail = 32,
};

class CFileBackupMgr {
public:
    // wcHomeDrive: the user partition's letter, the root of the scan.
    explicit CFileBackupMgr(wchar_t wcHomeDrive);
    virtual ~CFileBackupMgr();
    CFileBackupMgr(const CFileBackupMgr&) = delete;
    CFileBackupMgr& operator=(const CFileBackupMgr&) = delete;

    HRESULT SetDestination(wchar_t wcDrive, BOOL bToDisc);
    void SetBackupFileTypes(UINT uMask);
    void SetRestoreFileTypes(UINT uMask);
    HRESULT StartScan(CFileBackupNotifier* pNotifier);
    HRESULT StartBackup(CFileBackupNotifier* pNotifier);
    void Cancel() { m_bCancel = TRUE; }
    // Removes the empty folders below the folder; the count of files left.
    int PruneFolders(const std::wstring& strFolder);

    BOOL IsCancelled() const { return m_bCancel; }
    CFileBackupNotifier* Notifier() const { return m_pNotifier; }
    // 1, 0 or -1: selected, not listed, excluded. Unknown ones are entered as 0.
    int Verdict(const std::wstring& strExtension);
    const std::list<std::wstring>& ScannedFiles() const { return m_lstFiles; }
    WIMFileBackuper& Backuper() { return m_Backuper; }

    BOOL m_bToDisc = FALSE;
    wchar_t m_wcDestDrive = 0;
    ULONGLONG m_ullScanBytes = 0;
    ULONGLONG m_ullLargestFile = 0;

private:
    static unsigned __stdcall ScanThread(void* pvArg);
    static unsigned __stdcall BackupThread(void* pvArg);
    HRESULT StartWorker(unsigned(__stdcall* pfn)(void*));
    bool TakeSlot();
    void GiveSlotBack();
    void ScanFolder(const std::wstring& strFolder);
    void ScanFile(const std::wstring& strFolder, const WIN32_FIND_DATAW& data);

    CFileBackupNotifier* m_pNotifier = nullptr;
    std::map<std::wstring, int> m_mapExtensions;
    std::list<std::wstring> m_lstFiles;
    CRITICAL_SECTION m_csLock;
    int m_nFreeSlots = 1;
    UINT m_uBackupTypes = 0;
    UINT m_uRestoreTypes = 0;
    volatile BOOL m_bCancel = FALSE;
    WIMFileBackuper m_Backuper;
    std::wstring m_strScanRoot;
};
