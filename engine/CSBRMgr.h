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

#include "CDiscInfoPass.h"
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
struct ZQWimInfoPar;
class CAutoTrace;
class CWimMgr;

// One partition of a table about to be written, in layout-file order.
struct ZQPlannedPartition {
    ULONGLONG ullSize;  // bytes
    ULONGLONG ullStart; // bytes from the start of the disk
    WORD wType;         // its low byte goes into the table
    DWORD dwRole;       // as the layout file's role
};

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
    void SetBootCDROMIndex(DWORD dwIndex);
    // The optical drive Windows PE booted from; INVALID_CDROM_INDEX until set.
    DWORD GetBootCDROMIndex() const { return m_dwBootCDROMIndex; }
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
    BOOL IsRepartitioned() const { return m_bRepartitioned; }

#ifndef RV_DISCORA
    // Partition operations: they change the disk.
    HRESULT FormatPartition(wchar_t wcDrvLet, const wchar_t* pwszType);
    HRESULT WipeDisk(DWORD dwDisk);
    HRESULT ZQSSRDResetDisk();
    HRESULT ZQUCRDResetDiskByDefFile();
    // Loads the user-created set's layout file and plans the disk from it
    // without writing anything: what ZQUCRDResetDiskByDefFile would write.
    HRESULT ZQUCRDCheckLayout(std::vector<ZQPlannedPartition>& plan);
    HRESULT IsSmallerHDD(BOOL* pbSmaller);
    HRESULT SSRDIsSmallerHDD(BOOL* pbSmaller);
    HRESULT LoadPartitionInfo(ZQSSRDWimInfo* pInfo = nullptr);
    HRESULT IsShrinkNeed(BOOL bCountRPDATAAsFree, BOOL* pbNeed);
    HRESULT GetHeadFreeSpace(ULONGLONG* pullBytes);
    ULONGLONG GetUPSize() const { return m_ullUPSize; }
    ULONGLONG GetBPSize() const { return m_ullBPSize; }
    ULONGLONG GetDesireShrinkSize() const { return m_ullDesireShrinkSize; }

    // Diskpart scripts. DeleteRPAndExtendUP: 0 once the recovery partition
    // is gone; 0xE0EF0001 no script; 0xE0EF0003 no recovery volume, or it is
    // still there; 0xE0EF0016 diskpart did not end. The others return 0.
    HRESULT DeleteRPAndExtendUP();
    HRESULT SetRPActive();
    HRESULT ReActiveRP();
    HRESULT SetSPActive();
    HRESULT SetUPActive();
    // Waits for a started tool, at most the limit by the controller's
    // clock; 0 with its exit code, or 0xE0EF0016.
    HRESULT WaitForTool(HANDLE hProcess, DWORD dwLimitMilliseconds, DWORD* pdwExitCode);

    // Boot repair. The tools' exit codes are logged; a failing WinRE script
    // fails ReCreateWinREBootEntry, so that the recovery partition stays.
    HRESULT ZQFixBCD(wchar_t wcStore, wchar_t wcWindows);
    HRESULT FixBCDForPlatform();
    HRESULT CallSetMBR();
    HRESULT RecoverMBR();
    HRESULT RebuildSPByBCDBoot();
    HRESULT ReCreateWinREBootEntry();
    HRESULT CopyCustomWinreToUP();
    // Copies the recovery environment's start files from a user-created
    // disc to the recovery partition; nothing is deleted unless the disc
    // holds every required file.
    HRESULT ZQCopyPEFiles(BOOL bDoIt);

    // The healthy-partition list of "MD.ini" ([HealthyUPList] Path1...).
    BOOL GetUPHealthyFileList(std::list<std::wstring>* pList, wchar_t wcUP);
    void GetMDIniInfo(BOOL* pbMDIniExist, BOOL* pbIniListNotEmpty);
    BOOL IsUPHealthyByFileList();

    // Recovery-set files, the Windows partition's label, System Restore.
    HRESULT ZQGetSoftwareBuildFilename(wchar_t wcDrvLet, wchar_t* pwszName, DWORD cchName);
    HRESULT ZQDeleteWimFiles(wchar_t wcDrvLet);
    HRESULT ZQSaveFileForCNB();
    HRESULT RemoveReadOnlyAttribute();
    HRESULT SetUPVolumeLabel();
    HRESULT LaunchMSRestore(BOOL bWait);

    // Marker and flag files.
    HRESULT WriteUpFlg();
    BOOL ZqcdFlgIsExistInUP();
    BOOL ZqcdFlgIsExistInRP();
    HRESULT WriteRpLog();
    HRESULT ZQCreateRPIsRemovedFlg();
    HRESULT GenerateFlagFile();
    HRESULT CreateMDinImgFlag();
    HRESULT CreateSystemRecoveryDoneFlag();
    BOOL PureOSEnabled();
    HRESULT CreateSSRDFlagFile(const wchar_t* pwszBuildID);
    HRESULT UpdateRecoveryCount();

    // Saved user files ("savefile.ini"): full paths in list order; each
    // pre-save gives one saved path per input path.
    HRESULT GetSaveFileList(std::list<std::wstring>& lstFiles);
    HRESULT PreSaveFileProcessingForRP(const std::list<std::wstring>& lstSrc, std::list<std::wstring>& lstSaved);
    HRESULT PreSaveFileProcessingForUCRD(const std::list<std::wstring>& lstInput, std::list<std::wstring>& lstSaved);
    HRESULT PreSaveFileProcessingForSSRD(const std::list<std::wstring>& lstInput, std::list<std::wstring>& lstSaved);
    HRESULT PostSaveFileProcessingFromRP(const std::list<std::wstring>& lstSaved, const std::list<std::wstring>& lstSrc);
    HRESULT PostSaveFileProcessingForUCRD(const std::list<std::wstring>& lstSaved,
                                          const std::list<std::wstring>& lstSrc);

    // Recovery operations: each start call runs its operation on the one
    // worker thread and returns at once (0xE0EF0003 when no worker could be
    // started, or while an earlier operation still runs).
    HRESULT PerformZQSystemRecovery();
    HRESULT PerformZQRemoveRP();
    HRESULT PerformZQReImage();
    static DWORD WINAPI ZQSystemRecoveryThread(LPVOID pvMgr);
    static DWORD WINAPI ZQRemoveRPThread(LPVOID pvMgr);
    static DWORD WINAPI ZQReImageThread(LPVOID pvMgr);
    // Factory reset from the factory disc set in the boot optical drive.
    HRESULT PerformZQSSRDFactoryReset();
    static DWORD WINAPI ZQSSRDFactoryResetThread(LPVOID pvMgr);
    // The factory reset from a user-created disc set, and the copy of such a
    // set from the optical drive onto a partition (its image files into the
    // partition's image folder; with the tools also the recovery
    // environment's files).
    HRESULT PerformZQFactoryReset();
    static DWORD WINAPI ZQFactoryResetThread(LPVOID pvMgr);
    HRESULT CopyFilesFromUCRDToHDD(wchar_t wcTarget, BOOL bWithTools);
    HRESULT ZQCopyWimFiles(wchar_t wcTarget);
    // Every cached letter of a partition, after the partition table changed.
    void ForgetPartitionLetters();

    // The maker's patch scripts, run through a batch file beside the program.
    // FALSE when the batch file could not be written (none is left then).
    BOOL CreatePatchBatchFile(const wchar_t* pwszName, wchar_t (&wszPath)[MAX_PATH]);
    HRESULT ZQPreWelcome();
    HRESULT ZQPreProcessing();
    HRESULT ZQPostProcessing();
    HRESULT PatchFolderProcessing(BOOL bBootFromDisc);
#endif

    // Optical drives and recovery discs.
    HRESULT InitBurning();
    DWORD GetCDROMCount();
    HRESULT GetDrvLetter(DWORD dwIndex, wchar_t* pwcDrvLet);
    // The tray calls act on the boot optical drive, selected first.
    HRESULT LockTray(BOOL bLock);
    HRESULT EjectTray(BOOL bEject);
    HRESULT IsBootDriveReady();
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
    // pvUserData (and the copy routine's lpData) is the controller or null;
    // with the controller the work holds while it is paused.
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
#ifndef RV_DISCORA
    // TRUE when System Restore runs.
    BOOL IsMSRestoreRunning();
#endif

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
    void SelectBootDrive();
    HRESULT RefreshDriveCount();
    BOOL UCRDMarksPresent(wchar_t wcDrvLet);
    BOOL DiscLabelMatchesWaitedDisc();
    void RejectDisc();
    CRITICAL_SECTION* BurnLock() { return m_pDiscPass->BurnLock(); }
    // Waits a limited time for the last pass's thread, then lets it go.
    void JoinDiscInfoWorker(DWORD dwMilliseconds);
#ifndef RV_DISCORA
    // Partitions: formats positions 1..dwCount of the disk once each has a letter.
    HRESULT FormatNewPartitions(DWORD dwDisk, DWORD dwCount);
    HRESULT FormatWithRetries(wchar_t wcDrvLet);
    HRESULT RunDiskPartScript(const wchar_t* pwszScript, CAutoTrace& trace);
    HRESULT RunActivationScript(const wchar_t* pwszScript, const std::string& strScript, const std::wstring& wstrParams,
                                CAutoTrace& trace, DWORD* pdwExit = nullptr);
    HRESULT RunRPActiveScript(wchar_t wcRP, CAutoTrace& trace);
    // Starts a tool hidden and waits for it; 0 with its exit code, or
    // 0xE0EF0003 when it cannot start.
    HRESULT RunTool(const wchar_t* pwszFile, const wchar_t* pwszParams, const wchar_t* pwszFolder, DWORD* pdwExitCode);
    HRESULT PreSave(const std::list<std::wstring>& lstInput, std::list<std::wstring>& lstSaved,
                    const std::wstring& wstrFirst, const std::wstring& wstrSecond, BOOL bReplaceStrictly);
    HRESULT PostSave(const std::list<std::wstring>& lstSaved, const std::list<std::wstring>& lstSrc);
    HRESULT CreateNotebookFlag(const wchar_t* pwszTail);
    // One copy of ZQCopyPEFiles, counted into the copy progress.
    HRESULT CopyCountedFile(const wchar_t* pwszSrc, const wchar_t* pwszDst, BOOL bWithProgress);
    // "MD\Image" for a notebook's Windows partition, else "preload".
    const wchar_t* ImageFolder(wchar_t wcDrvLet);
    HRESULT PlanUCRDLayout(wchar_t wcUCRD, ULONGLONG ullDiskSize, std::vector<ZQPlannedPartition>& plan);
    // The steps of the recovery operations.
    struct ZQRecoveryRun {
        BOOL bFromDisc = FALSE;
        wchar_t wcUP = 0;
        wchar_t wcSP = 0;
        wchar_t wszImage[MAX_PATH] = {};
        wchar_t wszPattern[MAX_PATH] = {};
        std::list<std::wstring> lstKeep, lstSavedRP, lstSavedDisc;
        BOOL bSaved = FALSE;
    };
    HRESULT RunSystemRecovery();
    HRESULT FindRecoverySource(ZQRecoveryRun& run);
    HRESULT SaveUserFiles(ZQRecoveryRun& run);
    HRESULT FormatAndApply(ZQRecoveryRun& run);
    HRESULT RepairBoot(const ZQRecoveryRun& run);
    HRESULT RestoreUserFiles(const ZQRecoveryRun& run);
    HRESULT FinishSystemRecovery(const ZQRecoveryRun& run);
    HRESULT RunReImage();
    // The user-created set's operations: the set is read and checked before
    // any step that changes the disk.
    struct ZQUCRDSetCheck {
        ULONGLONG ullCopySize = 0;
        wchar_t wszImageName[MAX_PATH] = {};
    };
    HRESULT CheckUCRDSet(BOOL bWithTools, ZQUCRDSetCheck& set);
    HRESULT CheckUCRDSource(ZQRecoveryRun& run);
    HRESULT CopyUCRDImageToUP(ZQRecoveryRun& run);
    void DeleteCopiedImage(wchar_t wcUP);
    HRESULT CopyDiscFiles(wchar_t wcDisc, const wchar_t* pwszDest);
    HRESULT CopyLaterDiscFolder(wchar_t wcDisc, wchar_t wcTarget);
    HRESULT WaitForBootDrive(BOOL bSettleFirst = FALSE);
    HRESULT RunFactoryReset();
    HRESULT CheckFactoryResetSource(ZQUCRDSetCheck& set);
    HRESULT ShrinkRPDATADisk();
    HRESULT ClearRPDATADisk();
    HRESULT RepartitionFromDisc(wchar_t* pwcUP);
    HRESULT ApplyDiscSetImage(wchar_t wcUP, DWORD dwIndex);
    HRESULT RepairFactoryResetBoot();
    HRESULT FinishFactoryReset(const ZQRecoveryRun& run);
    HRESULT RunRemoveRP();
    HRESULT ApplyFactoryImage(const wchar_t* pwszImage, const wchar_t* pwszPattern, const wchar_t* pwszTemp,
                              wchar_t wcUP, DWORD dwIndex);
    HRESULT RunPatchBatch(const wchar_t* pwszName);
    // The factory reset from the factory disc set.
    struct ZQSSRDRun {
        DWORD dwDiscCount = 0;
        wchar_t wcPart1 = 0;
        wchar_t wcPart2 = 0;
        wchar_t wszImageName[MAX_PATH] = {};
        std::list<std::wstring> lstSavedFirst;
    };
    HRESULT RunSSRDFactoryReset();
    BOOL SSRDFileListFitsSet(DWORD dwDiscCount);
    HRESULT CheckSSRDDisc(DWORD* pdwDiscCount);
    HRESULT WaitFirstSSRDDisc(DWORD* pdwDiscCount);
    HRESULT WaitNextSSRDDisc(DWORD dwDiscCount);
    HRESULT CopySSRDDiscs(const ZQSSRDRun& run);
    HRESULT CheckSSRDImages(ZQSSRDRun& run);
    HRESULT LoadSSRDLayout();
    HRESULT SaveFilesBeforeSSRD(ZQSSRDRun& run);
    HRESULT RepartitionForSSRD(ZQSSRDRun& run);
    HRESULT ApplySSRDImage(CWimMgr& wim, const wchar_t* pwszImage, const wchar_t* pwszPattern,
                           const wchar_t* pwszTemp, wchar_t wcTarget);
    HRESULT ApplySSRDImages(ZQSSRDRun& run);
    HRESULT FinishSSRD(ZQSSRDRun& run);
    wchar_t PatchSourceDrive();
    HRESULT PlanDesktopEntry(wchar_t wcUCRD, ULONGLONG ullDiskSize, const ZQWimInfoPar& par, ULONGLONG& ullRunning,
                             ZQPlannedPartition& p);
#endif
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
    // The table, the pass's event and the burn lock live in the pass state,
    // which a hung pass thread keeps alive after the controller has gone.
    std::shared_ptr<CDiscInfoPass> m_pDiscPass;
    HANDLE m_hDiscInfoWorker; // the last pass's thread, waited for before reuse and at the end
    HANDLE* m_phDiscInfoEvent;
    CRITICAL_SECTION m_csInit;
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

#ifndef RV_DISCORA
// A user-created disc's label ("Recovery" + disc number + disc count) cut
// at 'y': the text before must be "Recover" (any case); *pwstrDigits gets
// the token after it, empty when there is none.
enum UCRDLabelSplit { ULS_NO_SPLIT, ULS_WRONG_TEXT, ULS_OK };
UCRDLabelSplit SplitUCRDLabel(const std::wstring& wstrLabel, std::wstring* pwstrDigits);
#endif

// Delete the driver services; TRUE when deleted or absent.
BOOL DeleteWimFltrService();
BOOL DeleteQsvdService();

