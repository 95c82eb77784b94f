// The recovery controller: disks, partitions and their letters, optical
// drives and recovery discs, the status and percent of the running
// operation, and the services the imaging layer needs.
#pragma once

#include <windows.h>

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "IControllerEnvironment.h"
#include "MDConfig.h"
#include "ZQPlatformVendor.h"
#ifndef RV_DISCORA
#include "CRecoverySetInfo.h"
#endif

struct IDiskMgmt;
struct IBurnMgmt;
class ZQSSRDWimInfo;
class ZQUCRDWimInfo;

const DWORD INVALID_INDEX = static_cast<DWORD>(-1);
const DWORD INVALID_CDROM_INDEX = static_cast<DWORD>(-1);


enum OperationStatus : DWORD {
    OS_NONE = 0,
    OS_FORMATTING = 24,
    OS_REINSTALL = 25,
    OS_REPARTITION = 26,
    OS_COPY_FILE_FROM_CDROM = 27,
    OS_WAIT_DISC = 28,
    OS_SSRD_COPY_CDROM_FILE = 29,
    OS_SSRD_RESTORE_UP = 30,
    OS_SSRD_RESTORE_SECOND = 31,
    OS_PREPARE_UCRD_COPY = 32,
    OS_REMOVE_RP = 33,
    OS_SHRINK = 34,
    OS_REIMAGE_CAPTURE = 35,
    OS_REIMAGE_APPLY = 36,
    OS_FAILED = 255,
};

enum RecoveryOperation : DWORD {
    RO_NONE = 0,
    RO_FACTORY_RESET = 1,
    RO_SYSTEM_RECOVERY = 2,
    RO_SSRD_FACTORY_RESET = 3,
    RO_REMOVE_RP = 4,
    RO_REIMAGE = 7,
};

enum RecoveryDiscType : DWORD {
    RDT_UNKNOWN = 0,
    RDT_UCRD = 1,
    RDT_SSRD = 2,
};

// As the disk-management object reports a disk; kept, not interpreted.
struct ZQDiskInfo {
    DWORD dwValue1;
    WORD wValue2;
    BYTE byValue3;
    BYTE byValue4;
    ULONGLONG ullValue5;
};

struct ZQDiskRecord {
    DWORD dwDisk;
    ZQDiskInfo info;
};

struct ZQPartRecord {
    DWORD dwDisk;
    DWORD dwPartition;
    wchar_t wcDrvLet;
    wchar_t wszVolumeName[MAX_PATH];
    wchar_t wszFileSystem[MAX_PATH];
    ULONGLONG ullFreeBytesAvailable;
    ULONGLONG ullTotalBytes;
    ULONGLONG ullTotalFreeBytes;
    ULONGLONG ullStartingOffset;
    ULONGLONG ullLength;
    BYTE byPartitionType;
    DWORD dwExtra;
};

// One optical drive's entry of the disc-information table (32 bytes).
struct ZQDiscInfo {
    wchar_t wcDrvLet;
    WORD wReserved;
    DWORD dwValue1;
    DWORD dwValue2;
    DWORD dwValue3;
    ULONGLONG ullCapacity;
    DWORD dwLabelValue;
    DWORD dwReserved;
};

// The recovery program's controller also reads the recovery set's build
// information and sizes (the base supplies them, the controller the letters).
class CSBRMgr
#ifndef RV_DISCORA
    : public CRecoverySetInfo
#endif
{
public:
    // env supplies the program folder, instance handle and the seams; null
    // means the running program and the real system.
    explicit CSBRMgr(IControllerEnvironment* pEnv = nullptr);
    ~CSBRMgr();
    CSBRMgr(const CSBRMgr&) = delete;
    CSBRMgr& operator=(const CSBRMgr&) = delete;

    HRESULT Init();

    // Object and state.
    BOOL IsUnderWinPE();
    void SetZQOSVer(DWORD dwVer);
    void SetZQVendor(DWORD dwVendor);
    DWORD GetZQVendor() const { return m_enZQVendor; }
    DWORD GetZQOSVer() const { return m_dwZQOSVer; }
    void SetSkipSaveFile(BOOL bSkip) { m_bSkipSaveFile = bSkip; }
    void SetBootCDROMIndex(DWORD dwIndex) { m_dwBootCDROMIndex = dwIndex; }
    RecoveryOperation GetOperation() const { return m_enOperation; }
    HRESULT SetNeedShrink(BOOL bNeed) { m_bNeedShrink = bNeed; return S_OK; }
    HRESULT SetNeedWipe() { m_bNeedWipe = TRUE; return S_OK; }
    void ResetRPDrvLet() { m_wcRPDrvLet = 0; }
    void SetRestoreSourcePath(const wchar_t* pwszPath);
    const wchar_t* GetRestoreSourcePath() const { return m_wszRestoreSourcePath; }
    const wchar_t* GetProgramFolder() const { return m_wszProgramFolder; }
    const MDConfig& GetMDConfig() const { return m_oMDConfig; }
    static HRESULT IsWinPEISOOutdated(BOOL* pbOutdated);
    static const wchar_t* GetWinPEISOPath();
#ifndef RV_DISCORA
    // The "RELiveUpdate" switch: the running program into the recovery
    // partition's WinRE image. Defined by the imaging layer.
    HRESULT RELiveUpdate();
#endif

    // Disks, partitions and drive letters.
    HRESULT InitDisk();
    DWORD ZQGetUPDiskIndex();
    DWORD ZQGetRPDATADiskIndex();
    DWORD GetUPPartIndex();
    DWORD GetSPPartIndex();
    DWORD GetRPTOOLPartIndex();
    DWORD GetRPDATAPartIndex();
    DWORD GetDATAPartIndex();
    DWORD GetUPPartIndexFromInfoFile();
    wchar_t GetUPDrvLet();
    wchar_t GetSPDrvLet();
    wchar_t GetRPTOOLDrvLet();
    wchar_t GetRPDATADrvLet();
    wchar_t GetWindowsDrvLet();
    wchar_t GetMainPart1DrvLet();
    wchar_t GetMainPart2DrvLet();
    BOOL IsRPTOOLVolume(wchar_t wcDrvLet);
    BOOL IsRPDATAVolume(wchar_t wcDrvLet);
    BOOL SearchRPTOOLDrvLet();
    BOOL SearchRPDATADrvLet();
    HRESULT IsRPDATA(DWORD dwDisk, DWORD dwPartition, BOOL* pbIsRPDATA);
    HRESULT GetRPDATADiskFreeSpace(BOOL bCountRPDATAAsFree, ULONGLONG* pullFree);
    BOOL RecoveryPartitionIsExist();
    BOOL RecoveryPartitionIsHealthy();
    HRESULT SetRPVolumeLabel();
    BOOL LocalSSDIsExist();
    BOOL IsOneSSDOnly();
    BOOL IsOneSSDPlusOneHDD();
    HRESULT SSDIsAboveThreshold(BOOL* pbAbove);
    void PrintSSDInformation();
    DWORD GetDiskCount() const { return m_dwDiskCount; }
    std::vector<ZQPartRecord> GetPartInfo();
    DWORD GetRPDATAPartIndexCached() const { return m_dwRPDATAPartIndex; }
    DWORD GetShrinkPartIndex() const { return m_dwShrinkPartIndex; }
    void SetRepartitioned(BOOL b) { m_bRepartitioned = b; }

    // Optical drives and recovery discs.
    HRESULT InitBurning();
    DWORD GetCDROMCount();
    HRESULT GetDrvLetter(DWORD dwIndex, wchar_t* pwcDrvLet);
    HRESULT LockTray(BOOL bLock);
    HRESULT EjectTray(BOOL bEject);
    wchar_t GetSSRDDrvLet();
    wchar_t GetUCRDDrvLet();
    BOOL IsUCRDDrvLetRight(wchar_t wcDrvLet);
    RecoveryDiscType GetRecoveryDiscType();
    BOOL FirstUCRDIsExist();
    BOOL CheckSSRDLabel(DWORD dwDiscNumber, DWORD dwDiscCount);
    std::wstring GetDiscID(const wchar_t* pwszSetInfoPath);
    BOOL CheckDiscID(const std::wstring& wstrFirstID, const wchar_t* pwszSetInfoPath);
    HRESULT ZQGetDiscCount(BOOL bFactorySet, DWORD* pdwCount);
    HRESULT ZQWaitTheCorrectRecoverydisc(DWORD dwDiscIndex);
    HRESULT GetWaitingDiscIndex(DWORD* pdwIndex);
    HRESULT UpdateDiscInfoCache();
    // Waits for the running disc-information pass; FALSE on time-out.
    BOOL WaitDiscInfoPass(DWORD dwMilliseconds);
    ZQDiscInfo GetDiscInfoEntry(DWORD dwIndex);
    void SetFirstDiscID(const std::wstring& wstrID, const std::wstring& wstrSetInfoPath);
    // The disc set's file list, by disc index.
    static std::multimap<int, std::wstring>& WimFiles() { return m_mapWimFiles; }

    // Operation status, progress and power.
    HRESULT GetZQProgress(DWORD* pdwStatus, DWORD* pdwPercent, wchar_t* pwszFile, DWORD cchFile, BOOL* pbAbort);
    HRESULT GetZQOpResult();
    HRESULT ClearZQOpResult() { m_hrZQOpResult = S_OK; return S_OK; }
    HRESULT IsPerformingOperation(BOOL* pbPerforming);
    HRESULT AbortOperation() { m_bUserAbort = TRUE; return S_OK; }
    HRESULT QueryCopyProgress(DWORD* pdwPercent, DWORD* pdwSourceKind);
    void SetPowerWarning(BOOL bWarning) { m_bPowerWarning = bWarning; }
    BOOL GetPowerWarning() const { return m_bPowerWarning; }
    HRESULT ACPowerIsOffline(BOOL* pbOffline);
    HRESULT PauseZQRecoveryThread();
    HRESULT ResumeZQRecoveryThread();
    // Called by a worker between steps: returns once no pause is in force,
    // or FALSE at once when the user aborted.
    BOOL WaitWhilePaused();
    static DWORD CALLBACK ZQWIMMessageCallback(DWORD dwMessage, WPARAM wParam, LPARAM lParam, PVOID pvUserData);
    static DWORD CALLBACK ZQCopyProgressRoutine(LARGE_INTEGER liTotalFileSize, LARGE_INTEGER liTotalBytesTransferred,
                                                LARGE_INTEGER liStreamSize, LARGE_INTEGER liStreamBytesTransferred,
                                                DWORD dwStreamNumber, DWORD dwCallbackReason, HANDLE hSourceFile,
                                                HANDLE hDestinationFile, LPVOID lpData);
    static void ZQCopyFileDoneRoutine(ULONGLONG ullFileSize);
    // Starts a worker (suspended, then resumed) for an operation kind.
    HRESULT StartWorker(RecoveryOperation enOperation, LPTHREAD_START_ROUTINE pfnThread);
    // Waits for the worker to end; FALSE on time-out.
    BOOL WaitWorker(DWORD dwMilliseconds);

    // Services and drivers.
    BOOL SetupQsvd();
    BOOL InstallWimMount(const wchar_t* pwszFolder);
    BOOL WimFltrStarted() const { return m_bWimFltrStarted; }

    // Process-wide operation state, written by the worker thread, the
    // imaging callback and the copy routines, read by the polling page.
    static std::atomic<DWORD> m_enZQStatus;
    static std::atomic<DWORD> m_dwPercent;
    static std::atomic<DWORD> m_dwWaitingDiscIndex;
    static std::atomic<ULONGLONG> m_ullSingleFileTransfer;
    static std::atomic<ULONGLONG> m_ullTransferredBytes;
    static std::atomic<BOOL> m_bUserAbort;
    static std::atomic<BOOL> m_bPerformingOperation;
    static void SetCurrentFile(const wchar_t* pwszFile);
    static std::wstring GetCurrentFile();

    // Copy counters of a disc-set copy.
    std::atomic<DWORD> m_dwDiscFileCount;
    std::atomic<DWORD> m_dwCopiedFileCount;
    std::atomic<ULONGLONG> m_ullTotalCopySize;
    DWORD m_dwRecoveryMode;
    DWORD m_dwBackupOrigin;
    BOOL m_bFinishDlg;
    BOOL m_bCTOPanic;
    BOOL m_bFileRestore;

private:
    friend class CAutoLockDrv;

    // Disks.
    BOOL IsRemovable(DWORD dwDisk);
    BOOL MainDiskLetter(DWORD dwPartition, wchar_t* pwcDrvLet);
    BOOL IsFixedDrive(wchar_t wcDrvLet);
    // A file or folder in the drive's root (the name may hold sub-folders).
    BOOL RootFileExists(wchar_t wcDrvLet, const wchar_t* pwszName);
    DWORD Win7NotebookRPDATAPartIndex();
    // Optical drives: every select-then-ask sequence runs under m_csBurn.
    HRESULT EnsureBurnMgmt();
    HRESULT RefreshDriveCount();
    BOOL UCRDMarksPresent(wchar_t wcDrvLet);
    BOOL DiscLabelMatchesWaitedDisc();
    void RejectDisc();
    static DWORD WINAPI DiscInfoThread(LPVOID pv);
    void RunDiscInfoPass();
    void JoinDiscInfoWorker();
    // Progress.
    DWORD ElapsedSeconds(int iRule);
    DWORD GetFactoryResetPercent();
    DWORD GetSystemRecoveryPercent();
    DWORD GetUCRDSystemRecoveryPercent();
    DWORD GetSSRDPercent();
    DWORD GetRemoveRPPercent();
    DWORD CopyPercent(DWORD dwBase, DWORD dwSpan);
    // Services.
    BOOL StartWimFltrOnce();
    void ReleaseComObjects();
    DWORD CachedOSVersion();

    IControllerEnvironment* m_pEnv;
    std::unique_ptr<IControllerEnvironment> m_pOwnEnv;

    BOOL m_bWimFltrStarted;
    IDiskMgmt* m_pIDiskMgmt;
    std::vector<ZQPartRecord> m_vecPartInfo;
    std::vector<ZQDiskRecord> m_vecDiskInfo;
    DWORD m_dwDiskCount;
    DWORD m_dwCDROMCount;
    DWORD m_dwCurCDROMIndex;
    DWORD m_dwOSVersion;
    ZQDiscInfo m_arrDiscInfo[26];
    HANDLE m_pDiscInfoThread; // set while a pass runs
    HANDLE m_hDiscInfoWorker; // the last pass's thread, waited for before reuse and at the end
    HANDLE* m_phDiscInfoEvent;
    CRITICAL_SECTION m_csDiscInfo;
    CRITICAL_SECTION m_csInit;
    CRITICAL_SECTION m_csBurn;
    wchar_t m_wszProgramFolder[MAX_PATH];
    IBurnMgmt* m_pIBurnMgmt;
    DWORD m_dwUPDiskIndex;
    DWORD m_dwRPDATADiskIndex;
    wchar_t m_wcUPDrvLet;
    wchar_t m_wcSPDrvLet;
    wchar_t m_wcRPDrvLet;
    wchar_t m_wcRPDATADrvLet;
    wchar_t m_wcMainPart1DrvLet;
    wchar_t m_wcMainPart2DrvLet;
    wchar_t m_wcUCRDDrvLet;
    wchar_t m_wcSSRDDrvLet;
    DWORD m_dwBootCDROMIndex;
    wchar_t m_wcWindowsDrvLet;
    DWORD m_dwRPDATAPartIndex;
    DWORD m_dwShrinkPartIndex;
    ZQSSRDWimInfo* m_pSSRDWimInfo;
    HANDLE m_hZQRecoveryThread;
    BOOL m_bThreadSuspended;
    HANDLE m_hResumeEvent; // signalled unless a pause is in force
    RecoveryOperation m_enOperation;
    HRESULT m_hrZQOpResult;
    BOOL m_bRepartitioned;
    DWORD m_dwZQOSVer;
    DWORD m_enZQVendor;
    BOOL m_bSkipSaveFile;
    BOOL m_bRecheckRPDrvLet;
    BOOL m_bVerifyUCRDSign;
#ifdef RV_DISCORA
    wchar_t m_wszUPVolumeNameBuf[MAX_PATH];
    wchar_t m_wszRPVolumeNameBuf[MAX_PATH];
    wchar_t m_wszRestoreSourcePath[MAX_PATH];
#endif
    ZQUCRDWimInfo* m_pUCRDWimInfo;
    ULONGLONG m_ullDesireShrinkSize;
    BOOL m_bNeedShrink;
    BOOL m_bNeedWipe;
    BOOL m_bPowerWarning;
    MDConfig m_oMDConfig;
    std::wstring m_wstrFirstDiscID;
    std::wstring m_wstrSetInfoPath;
    std::list<std::wstring> m_lstSaveFiles;
    ULONGLONG m_ullUPSize;
    ULONGLONG m_ullBPSize;

    static std::multimap<int, std::wstring> m_mapWimFiles;
    static ULONGLONG s_ullStartTimes[4];
};

// Formats into a narrow buffer of MAX_PATH characters, cut when too long.
int FormatPathA(char (&szBuf)[MAX_PATH], const char* pszFormat, ...);

// Delete the driver services; TRUE when deleted or absent.
BOOL DeleteWimFltrService();
BOOL DeleteQsvdService();
// TRUE when System Restore runs.
BOOL IsMSRestoreRunning();
