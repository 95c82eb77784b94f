// The start-up pass over the optical drives and what it shares with the
// controller: the lock around the burn object's drive selection, the table
// it fills and its end event. The pass thread holds its own reference, so a
// controller that gives up waiting for a hung pass can go without the
// thread ever touching freed memory.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

struct IBurnMgmt;

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

class CDiscInfoPass : public std::enable_shared_from_this<CDiscInfoPass> {
public:
    static const DWORD kDriveSlots = 26;

    CDiscInfoPass();
    ~CDiscInfoPass();
    CDiscInfoPass(const CDiscInfoPass&) = delete;
    CDiscInfoPass& operator=(const CDiscInfoPass&) = delete;

    // Every select-then-ask sequence on the burn object runs under it.
    CRITICAL_SECTION* BurnLock() { return &m_csBurn; }
    // Manual-reset; set when no pass runs.
    HANDLE* EventSlot() { return &m_hDiscInfoEvent; }
    void SetBootIndex(DWORD dwIndex) { m_dwBootIndex = dwIndex; }
    DWORD BootIndex() const { return m_dwBootIndex; }
    bool IsRunning() const { return m_bRunning; }

    // Starts the pass on a thread of its own; *phThread receives its handle.
    // pBurn is the controller's burn object (null: none yet; the pass then
    // makes one in its own apartment and releases it before it leaves).
    // bRefresh re-reads the drive list first (Windows PE).
    HRESULT Start(IBurnMgmt* pBurn, DWORD dwDriveCount, BOOL bRefresh, HANDLE* phThread);
    ZQDiscInfo Entry(DWORD dwIndex);

private:
    static DWORD WINAPI ThreadProc(LPVOID pv);
    void Run();
    DWORD RefreshedCount(IBurnMgmt* pBurn);
    void FillTable(IBurnMgmt* pBurn, DWORD dwCount);

    CRITICAL_SECTION m_csBurn;
    CRITICAL_SECTION m_csDiscInfo;
    HANDLE m_hDiscInfoEvent;
    ZQDiscInfo m_arrDiscInfo[kDriveSlots];
    std::atomic<DWORD> m_dwBootIndex;
    std::atomic<bool> m_bRunning;
    // Set for the pass being started; the thread takes it over.
    IBurnMgmt* m_pPassBurn;
    DWORD m_dwPassCount;
    BOOL m_bPassRefresh;
};
