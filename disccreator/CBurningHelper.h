// The disc creator's client of the burning engine "Brennel.dll": burns one
// file set per disc on the caller's thread, and answers the pages' tray,
// medium and writer questions.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "IBurnEventHandler.h"

class ISet;
class IEntry;
struct IBurnEngine;
struct IBurnDrive;
struct IBurnSession;

// Tells the user that the inserted disc cannot take a set. The default
// shows string 7743 of the resource module in a message box.
class IMediaRefusalNotice {
public:
    virtual ~IMediaRefusalNotice() = default;
    virtual void ShowMediaRefused() = 0;
};

class CBurningHelper {
public:
    CBurningHelper();
    ~CBurningHelper();
    CBurningHelper(const CBurningHelper&) = delete;
    CBurningHelper& operator=(const CBurningHelper&) = delete;

    HRESULT Init();
    HRESULT Uninit();
    HRESULT SetFileSet(ISet* pSet);
    // Attach, Preprocess, Run, Detach; the first failure, else Run's result.
    HRESULT Burn();
    // From any thread: stops a running burn, which then ends cancelled.
    HRESULT Cancel();
    HRESULT EjectDisc(BOOL bOpen);
    HRESULT LockTray(BOOL bLock);
    HRESULT IsMediaReady();
    HRESULT HasDVDWriter(BOOL* pbFound);
    HRESULT GetMediaInfo(int* piType, BOOL* pbBlank, ULONGLONG* pullFreeBytes);
    BOOL CheckBlankMedia(BOOL bAllowRewritable);
    HRESULT CheckBurnerExistence(BOOL* pbExists);

    // A listener is kept once; S_FALSE when it was already listed.
    HRESULT AddListener(IBurnEventHandler* pListener);
    HRESULT RemoveListener(IBurnEventHandler* pListener);

    wchar_t GetDriveLetter() const { return m_wcDrive; }
    // Where Brennel.dll is loaded from; default: by name, program folder first.
    void SetLibraryPath(const wchar_t* pwszPath) { m_libraryPath = pwszPath ? pwszPath : L""; }
    void SetRefusalNotice(IMediaRefusalNotice* pNotice) { m_pNotice = pNotice; }

private:
    struct Loader {
        HMODULE hModule = nullptr;
        FARPROC pfnGetClassObject = nullptr;
        FARPROC pfnCanUnloadNow = nullptr;
        wchar_t wszPath[MAX_PATH] = {};
    };

    HRESULT LoadEngine();
    HRESULT CreateEngine();
    HRESULT CreateBurners();
    HRESULT NewBurner(REFGUID kind, IBurnSession** ppBurner);
    void SelectWriter();
    IBurnSession* BurnerFor(int iType) const;
    HRESULT TakeDrive(IBurnDrive** ppDrive);

    HRESULT Attach();
    HRESULT SetFastestSpeed(IBurnSession* pBurner);
    HRESULT SetBootImageAndVolumeId(IBurnSession* pBurner, HRESULT hrSoFar);
    HRESULT Preprocess();
    HRESULT AddFolderChain(IEntry* pEntry);
    HRESULT AddFileEntry(IEntry* pEntry);
    HRESULT Run();
    HRESULT Detach();
    void Fire(int iCode, float fProgress);
    HRESULT QueryMedia(IBurnDrive* pDrive, IBurnSession* pBurner, BOOL* pbBlank, ULONGLONG* pullFreeBytes);

    Loader* m_pLoader = nullptr;
    IBurnEngine* m_pBrennel = nullptr;
    IBurnSession* m_pCD = nullptr;
    IBurnSession* m_pDVD = nullptr;
    IBurnSession* m_pActiveBurn = nullptr;
    wchar_t m_wcDrive = L'C';
    ISet* m_pSet = nullptr;
    std::vector<IBurnEventHandler*> m_listeners;
    std::atomic<BOOL> m_bCancel{FALSE};
    // Guards the attached burner against a cancel from another thread.
    std::mutex m_activeLock;
    std::wstring m_libraryPath;
    IMediaRefusalNotice* m_pNotice = nullptr;
};
