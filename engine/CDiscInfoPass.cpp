#include "CDiscInfoPass.h"

#include "DiskMgmt.h"

namespace {

const ULONGLONG kSectorBytes = 2048;
const DWORD kNoDrive = static_cast<DWORD>(-1);

class CSectionLock {
public:
    explicit CSectionLock(CRITICAL_SECTION* pcs) : m_pcs(pcs) { EnterCriticalSection(m_pcs); }
    ~CSectionLock() { LeaveCriticalSection(m_pcs); }
    CSectionLock(const CSectionLock&) = delete;
    CSectionLock& operator=(const CSectionLock&) = delete;

private:
    CRITICAL_SECTION* m_pcs;
};

} // namespace

CDiscInfoPass::CDiscInfoPass()
    : m_hDiscInfoEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_arrDiscInfo{},
      m_dwBootIndex(kNoDrive),
      m_bRunning(false),
      m_pPassBurn(nullptr),
      m_dwPassCount(0),
      m_bPassRefresh(FALSE)
{
    InitializeCriticalSection(&m_csBurn);
    InitializeCriticalSection(&m_csDiscInfo);
}

CDiscInfoPass::~CDiscInfoPass()
{
    if (m_hDiscInfoEvent)
        CloseHandle(m_hDiscInfoEvent);
    DeleteCriticalSection(&m_csDiscInfo);
    DeleteCriticalSection(&m_csBurn);
}

HRESULT CDiscInfoPass::Start(IBurnMgmt* pBurn, DWORD dwDriveCount, BOOL bRefresh, HANDLE* phThread)
{
    if (!phThread || !m_hDiscInfoEvent || m_bRunning.exchange(true))
        return E_FAIL;
    ResetEvent(m_hDiscInfoEvent);
    if (pBurn)
        pBurn->AddRef();
    m_pPassBurn = pBurn;
    m_dwPassCount = dwDriveCount;
    m_bPassRefresh = bRefresh;
    // The thread's own reference keeps this object alive until it ends.
    auto* pSelf = new (std::nothrow) std::shared_ptr<CDiscInfoPass>(shared_from_this());
    HANDLE hThread = pSelf ? CreateThread(nullptr, 0, ThreadProc, pSelf, 0, nullptr) : nullptr;
    if (!hThread) {
        delete pSelf;
        if (m_pPassBurn)
            m_pPassBurn->Release();
        m_pPassBurn = nullptr;
        m_bRunning = false;
        SetEvent(m_hDiscInfoEvent);
        return E_FAIL;
    }
    *phThread = hThread;
    return S_OK;
}

DWORD WINAPI CDiscInfoPass::ThreadProc(LPVOID pv)
{
    std::unique_ptr<std::shared_ptr<CDiscInfoPass>> pSelf(static_cast<std::shared_ptr<CDiscInfoPass>*>(pv));
    (*pSelf)->Run();
    return 0;
}

DWORD CDiscInfoPass::RefreshedCount(IBurnMgmt* pBurn)
{
    CSectionLock lock(&m_csBurn);
    pBurn->Initialize(0);
    DWORD dwCount = 0;
    return SUCCEEDED(pBurn->GetDriveCount(&dwCount)) ? dwCount : 0;
}

void CDiscInfoPass::FillTable(IBurnMgmt* pBurn, DWORD dwCount)
{
    CSectionLock tableLock(&m_csDiscInfo);
    DWORD dwUsed = dwCount < kDriveSlots ? dwCount : kDriveSlots;
    for (DWORD i = 0; i < dwUsed && pBurn; ++i) {
        ZQDiscInfo entry{};
        CSectionLock lock(&m_csBurn);
        pBurn->SelectDrive(i);
        BurnDiscInfo info{};
        if (SUCCEEDED(pBurn->GetDiscInfo(&info))) {
            entry.dwValue1 = info.dwMediaType;
            entry.dwValue2 = info.dwDiscStatus;
            entry.dwValue3 = info.dwFreeSectors;
            entry.ullCapacity = static_cast<ULONGLONG>(info.dwCapacitySectors) * kSectorBytes;
        }
        WCHAR wc = 0;
        if (FAILED(pBurn->GetDrvLetter(i, &wc)))
            wc = 0;
        entry.wcDrvLet = static_cast<wchar_t>(towupper(wc));
        BurnDiscLabel label{};
        if (SUCCEEDED(pBurn->GetDiscLabel(&label)))
            entry.dwLabelValue = label.dwValue;
        m_arrDiscInfo[i] = entry;
    }
    for (DWORD i = pBurn ? dwUsed : 0; i < kDriveSlots; ++i)
        m_arrDiscInfo[i] = ZQDiscInfo{};
}

void CDiscInfoPass::Run()
{
    HRESULT hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IBurnMgmt* pBurn = m_pPassBurn;
    m_pPassBurn = nullptr;
    DWORD dwCount = m_dwPassCount;
    if (m_bPassRefresh) {
        if (!pBurn && SUCCEEDED(hrCom))
            CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt,
                             reinterpret_cast<void**>(&pBurn));
        if (pBurn)
            dwCount = RefreshedCount(pBurn);
    }
    FillTable(pBurn, dwCount);
    if (pBurn) {
        // Tray calls that follow act on the current drive: leave the boot one.
        CSectionLock lock(&m_csBurn);
        if (m_dwBootIndex != kNoDrive)
            pBurn->SelectDrive(m_dwBootIndex);
        pBurn->Release();
    }
    if (SUCCEEDED(hrCom))
        CoUninitialize();
    m_bRunning = false;
    SetEvent(m_hDiscInfoEvent);
}

ZQDiscInfo CDiscInfoPass::Entry(DWORD dwIndex)
{
    ZQDiscInfo entry{};
    if (dwIndex >= kDriveSlots)
        return entry;
    CSectionLock lock(&m_csDiscInfo);
    return m_arrDiscInfo[dwIndex];
}
