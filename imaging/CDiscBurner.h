// The client of the outside burning engine "Brennel.dll": binds it, lists
// the writers, keeps a current drive, answers media questions, burns a file
// backup set disc by disc and relays the burn's progress to the registered
// handlers. A member object of the application.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "Brennel.h"
#include "IBurnEventHandler.h"
#include "IDiscPrompt.h"
#include "RecoveryDiscQueries.h"

// Failures of our own around a backup disc set.
constexpr HRESULT kDiscEntryTooBig = (HRESULT)0xE0EE0021;  // a part or piece does not fit on one disc
constexpr HRESULT kDiscSetTooLarge = (HRESULT)0xE0EE0022;  // more discs than a restore can ask for
constexpr HRESULT kDiscIndexWrite = (HRESULT)0xE0EE0023;   // the set's index could not be written

// String ids of the disc waits.
const UINT kTextInsertBlankDisc = 5289;
const UINT kTextDiscUnusable = 249;
const UINT kTextInsertDisc = 5349;

struct BurnEngineLoader {
    HMODULE hModule = nullptr;
    PFN_BurnDllGetClassObject pfnGetClassObject = nullptr;
    PFN_BurnDllCanUnloadNow pfnCanUnloadNow = nullptr;
    wchar_t wszName[MAX_PATH] = {};
};

// The size rules of a backup disc set. Tests lower them so that a set of
// small files spans several discs.
struct DiscSizes {
    ULONGLONG ullCapacity = 4700372992ULL; // planned per disc, whatever the disc reports
    ULONGLONG ullReserve = 31457280ULL;    // counted as used on every disc: index, restore program
    ULONGLONG ullMinBlankFree = 4294967295ULL; // a blank disc must report more than this
};

// One file of the set and the disc it goes on. A split image's ".dat" file
// travels with its first piece and is counted with it.
struct PlannedEntry {
    std::wstring strName;
    std::wstring strCompanion;
    ULONGLONG ullBytes = 0;
    int nDisc = 0;
};

struct DiscPlan {
    std::vector<PlannedEntry> entries; // in burning order
    int nDiscCount = 1;
    int nWimCount = 0; // ".wim" and ".dat" files: the images a restore applies
};

class CDiscBurner {
public:
    CDiscBurner();
    ~CDiscBurner();
    CDiscBurner(const CDiscBurner&) = delete;
    CDiscBurner& operator=(const CDiscBurner&) = delete;

    HRESULT Init();
    // Init from a library of another name (tests).
    HRESULT InitFrom(const wchar_t* pwszLibrary);
    HRESULT Uninit();
    bool IsBound() const { return m_pBrennel != nullptr; }

    // Handlers are not owned; each is told every event until removed.
    void AddHandler(IBurnEventHandler* pHandler);
    void RemoveHandler(IBurnEventHandler* pHandler);

    HRESULT EnumWriterDrives();
    HRESULT SelectDefaultDrive();
    HRESULT SelectDrive(wchar_t wcLetter);
    HRESULT EjectDisc(BOOL bOpen);
    HRESULT IsMediaReady();
    // Free bytes in 64 bits; pbBlank null: only the type mode is read.
    HRESULT GetMediaInfo(int* pnType, BOOL* pbBlank, ULONGLONG* pullFree);
    // The buffer is always terminated; the first failing step's code.
    HRESULT GetDiscLabel(char* pszLabel, UINT uSize);
    HRESULT Cancel();

    // Plans, indexes and burns the set in the folder (ending in a
    // backslash); 0 or the last tray opening's result, the first failure, or
    // NV_E_USER_CANCELLED.
    HRESULT BurnBackupSet(const std::wstring& strFolder);
    // One plan serves both the index and the burn; refused when an entry
    // cannot fit on a disc or the set needs more discs than a restore knows.
    static HRESULT PlanDiscs(const std::wstring& strFolder, const DiscSizes& sizes, DiscPlan* pPlan);
    HRESULT WriteDiscIndex(const std::wstring& strFolder, const DiscPlan& plan);

    HRESULT WaitForBlankDisc(int* pnType, ULONGLONG* pullFree);
    HRESULT WaitForRecoveryDisc(int* pnType, ULONGLONG* pullFree);
    HRESULT WaitForDiagnosticsDisc(int* pnType, ULONGLONG* pullFree);

    void SetPrompt(IDiscPrompt* pPrompt) { m_pPrompt = pPrompt; }
    void SetDiscSizes(const DiscSizes& sizes) { m_sizes = sizes; }
    void SetProgramFolder(const std::wstring& strFolder);
    void SetRecoveryDiscQueries(const RecoveryDiscQueries& queries) { m_queries = queries; }
    wchar_t CurrentDrive() const { return m_wcCurDrive; }

    // Read by the backup pages.
    int m_nBurnDisc = 1;
    int m_nDiscCount = 1;
    std::vector<std::wstring> m_vecDrives;
    BOOL m_bHasWriter = FALSE;

private:
    HRESULT CreateBurner(const GUID& kind, IBurnSession** ppBurner);
    void UnloadLibrary();
    HRESULT GetCurrentDrive(IBurnDrive** ppDrive);
    // The current drive and the type of the disc in it.
    HRESULT GetCurrentDisc(IBurnDrive** ppDrive, int* pnType);
    IBurnSession* BurnerFor(int nType) const;
    HRESULT ReadFreeSectors(IBurnSession* pBurner, UINT* puSectors);
    void SendEvent(int iEvent, float fProgress);
    HRESULT BurnFileBackupDisc(int nDisc);
    void SetHighestSpeed(IBurnSession* pBurner);
    HRESULT RunAndWait(int nCommand);
    HRESULT AddRestoreTool();
    HRESULT AddPlannedFiles(const std::wstring& strFolder, const DiscPlan& plan, int nDisc);
    HRESULT BurnOneDisc(const std::wstring& strFolder, const DiscPlan& plan, int nDisc);
    void CloseActiveBurner();
    void SetActiveBurner(IBurnSession* pBurner);
    IBurnSession* ActiveBurner();
    bool IsBlankDiscAccepted(int nType, BOOL bBlank, ULONGLONG ullFree) const;
    BOOL PromptForMedium(UINT uTextId);
    BOOL RefuseDisc(UINT uTextId);
    HRESULT QueryRecordedDisc(int* pnType, ULONGLONG* pullFree);

    BurnEngineLoader* m_pLoader = nullptr;
    IBurnEngine* m_pBrennel = nullptr;
    IBurnSession* m_pCDBurner = nullptr;
    IBurnSession* m_pDVDBurner = nullptr;
    IBurnSession* m_pActiveBurner = nullptr;
    wchar_t m_wcCurDrive = L'C';
    std::vector<IBurnEventHandler*> m_vecHandlers;
    volatile BOOL m_bBurnCancelled = FALSE;
    BOOL m_bAllowRewritable = FALSE;
    std::wstring m_strLabel;
    std::wstring m_strProgramDir;
    DiscSizes m_sizes;
    IDiscPrompt* m_pPrompt = nullptr;
    RecoveryDiscQueries m_queries;
    // Cancel comes from the UI thread while the backup thread swaps the
    // active burner.
    std::mutex m_activeLock;
};
