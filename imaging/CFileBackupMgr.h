// The file-backup manager: the user's files of chosen types are scanned on
// the user partition, backed up into numbered WIM files and restored. Each
// long operation runs on a worker thread of its own and reports through the
// page's CFileBackupNotifier.
#pragma once

#include <windows.h>

#include <functional>
#include <list>
#include <map>
#include <string>

#include "CFileBackupNotifier.h"
#include "IBurnEventHandler.h"
#include "WIMFileBackuper.h"
#include "WIMListener.h"

// One bit per file type of the selection pages.
enum FileTypeMask : UINT {
    kTypePictures = 1,
    kTypeMusic = 2,
    kTypeVideo = 4,
    kTypeRecordedTV = 8,
    kTypeDocuments = 16,
    kTypeEmail = 32,
};

class CDiscBurner;

// A volume of a removable disk, as the destination page lists it.
struct RemovableVolume {
    wchar_t wszLabel[MAX_PATH];
    wchar_t wcLetter;
    int nKind;
    ULONGLONG ullTotalBytes;
    ULONGLONG ullFreeBytes;
};

const UINT kMaxRemovableVolumes = 26;

struct RemovableVolumeList {
    UINT uCount;
    RemovableVolume entries[kMaxRemovableVolumes];
};

class CFileBackupMgr : public IBurnEventHandler {
public:
    // wcHomeDrive: the user partition's letter, the root of the scan.
    explicit CFileBackupMgr(wchar_t wcHomeDrive);
    ~CFileBackupMgr() override;
    CFileBackupMgr(const CFileBackupMgr&) = delete;
    CFileBackupMgr& operator=(const CFileBackupMgr&) = delete;

    // The application's burning-engine client: burns disc sets, reads and
    // swaps the discs of a restore, and reports burn events back here.
    void SetDiscBurner(CDiscBurner* pBurner);
    CDiscBurner* DiscBurner() const { return m_pBurner; }
    HRESULT SetDestination(wchar_t wcDrive, BOOL bToDisc);
    // Fills the list (at most 26 volumes); E_FAIL only when no buffer.
    HRESULT GetRemovableVolumes(RemovableVolumeList* pList);
    void SetBackupFileTypes(UINT uMask);
    void SetRestoreFileTypes(UINT uMask);
    HRESULT StartScan(CFileBackupNotifier* pNotifier);
    HRESULT StartBackup(CFileBackupNotifier* pNotifier);
    // The restore reads the set in strSource and writes below
    // "<wcWindowsDrive>:\System Recovery Files\".
    void SetRestorePaths(const std::wstring& strSource, wchar_t wcWindowsDrive);
    HRESULT StartRestore(CFileBackupNotifier* pNotifier);
    // The restore's questions by string id (241, 252, 253, 257) with their
    // argument; answers IDOK, IDCANCEL, IDYES or IDNO. With none set every
    // question is answered by stopping.
    using Asker = std::function<int(UINT uId, const std::wstring& strArg)>;
    void SetAsker(Asker ask) { m_ask = std::move(ask); }
    const wchar_t* RestoreDir() const { return m_szRestoreDir; }
    int AppliedWims() const { return m_nAppliedWims; }
    int WimCount() const { return m_nWimCount; }
    // Also stops a running burn of a disc backup.
    void Cancel();
    BOOL OnBurnEvent(int iEvent, float fProgress) override;
    // Removes the empty folders below the folder; the count of files left.
    int PruneFolders(const std::wstring& strFolder);

    BOOL IsCancelled() const { return m_bCancel; }
    CFileBackupNotifier* Notifier() const { return m_pNotifier; }
    // 1, 0 or -1: selected, not listed, excluded.
    int Verdict(const std::wstring& strExtension) const;
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
    static unsigned __stdcall RestoreThread(void* pvArg);
    void RunRestore();
    BOOL RestoreDisc();
    BOOL ScanBackupSource(const std::wstring& strFolder);
    BOOL GatherSplitImage(const std::wstring& strFolder, const std::wstring& strBase);
    bool RecordPiecesElsewhere(const std::wstring& strIndex, const std::wstring& strWim, bool* pbElsewhere);
    BOOL MergeNow(const std::wstring& strWim);
    bool ApplyImage(const std::wstring& strImage);
    BOOL ApplyNeedsSpace(const std::wstring& strImage);
    int Ask(UINT uId, const std::wstring& strArg, int iStop);

    bool WaitForDiscNumber(int nWanted);
    int InsertedDiscNumber();
    bool CopyPiecesFromDisc(int nDisc);
    void MergeSpanningImages();
    void FetchSpanningPieces();

    CDiscBurner* m_pBurner = nullptr;
    int m_nDiscCount = 0;
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
    WIMListener m_Listener;
    Asker m_ask;
    std::list<std::wstring> m_lstRestoreFiles;
    std::list<std::wstring> m_lstMerged;
    std::list<std::wstring> m_lstSpanning;
    static const int kMaxDiscs = 50;
    static const int kMaxPiecesPerDisc = 100;
    int m_nDiscPieces[kMaxDiscs] = {};
    std::wstring m_strDiscPieces[kMaxDiscs][kMaxPiecesPerDisc];
    int m_nLastDisc = 0;
    int m_nCurDisc = 0;
    volatile int m_nAppliedWims = 0;
    int m_nWimCount = 0;
    std::wstring m_strMergeDir;
    std::wstring m_strSourceDir;
    std::wstring m_strRestoreSource;
    wchar_t m_wcWindowsDrive = L'C';
    wchar_t m_szRestoreDir[MAX_PATH] = {};
};
