// The disc-creation engine: reads the rule file, plans the disc sets for a
// media type, and burns set after set on a creator thread of its own,
// keeping a resume snapshot until the whole set is made.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CAutoHandle.h"
#include "FileCollectors.h"
#include "IBurnEventHandler.h"
#include "IRecoveryDiscEventHandler.h"
#include "LogCollector.h"
#include "ResumeSnapshot.h"
#include "RuleCollector.h"
#include "Splitter.h"

class CBurningHelper;
class IMediaRefusalNotice;

class CRecoveryDiscCreator : public IBurnEventHandler {
public:
    CRecoveryDiscCreator();
    // Cancels and waits for a running creator thread, then removes the split
    // image parts (never a folder this run did not make).
    ~CRecoveryDiscCreator() override;
    CRecoveryDiscCreator(const CRecoveryDiscCreator&) = delete;
    CRecoveryDiscCreator& operator=(const CRecoveryDiscCreator&) = delete;

    // The letter of the partition holding the factory image (RPDATA), as the
    // recovery controller reports it; set before Init.
    void SetRPDATADrive(wchar_t wcLetter) { m_wcRPDATA = wcLetter; }
    HRESULT Init();

    // Number of discs, or a negative code when the sets cannot be computed.
    int EstimateDiscCount(int iDiscType);
    int DiscSplit(int iDiscType);
    HRESULT GetDiscType(int* piType);
    int GetDiscCount() const { return m_splitter.GetSetCount(); }
    ULONGLONG GetSplitSize() const;
    std::wstring GetSourceImagePath() const;
    std::wstring GetSplitImagePath();
    HRESULT LoadResumeSnapshot();

    HRESULT AddEventHandler(IRecoveryDiscEventHandler* pHandler);
    HRESULT RemoveEventHandler(IRecoveryDiscEventHandler* pHandler);
    HRESULT StartCreate();
    HRESULT ContinueNextDisc(BOOL bAdvance);
    void Cancel();
    BOOL IsCreating();
    HRESULT GetCreateResult() const { return m_hrLast; }
    int GetCurrentSetNumber() const { return m_iCurrentSet; }

    HRESULT EjectDisc();
    HRESULT LockTray(BOOL bLock);
    HRESULT IsMediaReady();
    HRESULT HasDVDWriter(BOOL* pbFound);
    HRESULT GetMediaInfo(int* piType, BOOL* pbBlank);
    BOOL CheckBlankMedia();
    HRESULT BurnerExists(BOOL* pbExists);
    void SetRefusalNotice(IMediaRefusalNotice* pNotice);

    BOOL OnBurnEvent(int iCode, float fProgress) override;

private:
    static unsigned __stdcall CreatorThread(void* pvEngine);
    void Release();
    HRESULT ReadRuleFile(const std::wstring& path);
    HRESULT RelocateSources();
    int DiscSplitImpl(int iDiscType, BOOL bDryRun);
    HRESULT RunSets(ResumeSnapshot& snapshot);
    HRESULT BurnSet(int iNumber, ResumeSnapshot& snapshot);
    void WaitForNextDisc();
    void EndRun(HRESULT hr, ResumeSnapshot& snapshot);
    void FireEvent(int iState, float fProgress);
    void SendEvent();
    void RemoveSplitParts();

    CAutoHandle m_thread;
    FileCollectors m_ruleFiles;
    FileCollectors m_walked;
    RuleCollector m_rules{TRUE};
    LogCollector m_logs{TRUE};
    Splitter m_splitter;
    std::unique_ptr<CBurningHelper> m_pHelper;
    ResumeSnapshot m_snapshot;
    RecoveryDiscEvent m_event = {};
    std::vector<IRecoveryDiscEventHandler*> m_listeners;
    std::mutex m_listenerLock;
    CAutoHandle m_wakeUp;
    std::atomic<BOOL> m_bCancel{FALSE};
    BOOL m_bSupportRW = FALSE;
    int m_iSplitSize = 100;
    int m_iDiscType = 0;
    std::atomic<int> m_iCurrentSet{1};
    int m_iLastBurned = 0;
    std::atomic<HRESULT> m_hrLast{S_OK};
    wchar_t m_wcRPDATA = 0;
    // What the split-parts folder looked like before this run.
    bool m_bSplitFolderExisted = true;
    IMediaRefusalNotice* m_pNotice = nullptr;
};
