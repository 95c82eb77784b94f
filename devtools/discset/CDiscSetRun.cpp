// The wizard's path through a disc-set creation, without windows.
#include "CDiscSetRun.h"

#include <cmath>
#include <cstdio>

#include "CRecoveryDriveInfo.h"
#include "CSBRMgr.h"
#include "CSimPc.h"
#include "DiscMedia.h"
#include "NvFileUtil.h"
#include "ResumeSnapshot.h"
#include "WIMHelper.h"

namespace {

// Blank discs tried before the driver gives up on the queue.
const int kMaxDiscTries = 16;
const int kPercentStep = 10;
// A single-layer DVD-R in 2048-byte sectors.
const DWORD kBlankDvdSectors = 2298496;

// Prints the split's progress every tenth.
class CSplitPrinter : public IWIMSplitEventListener {
public:
    BOOL OnSplitEvent(const WIMSplitEvent* pEvent) override
    {
        int iPercent = static_cast<int>(std::floor(pEvent->progress * 100.0f));
        if (pEvent->message == kSplitFailed)
            wprintf(L"split: failed 0x%08lX\n", static_cast<unsigned long>(pEvent->value));
        else if (iPercent / kPercentStep != m_iLast / kPercentStep || pEvent->message == kSplitFinished)
            wprintf(L"split: %d%%\n", iPercent);
        m_iLast = iPercent;
        return TRUE;
    }

private:
    int m_iLast = -kPercentStep;
};

// The vendor the simulated PC describes (its factory files would say it).
DWORD PcVendor()
{
    CSimPc pc(L"DiscSetDriver");
    SimPcState state;
    if (pc.Open() && SUCCEEDED(pc.Read(state)) && state.Value(L"vendor") == L"cNB")
        return ZQ_VENDOR_CNB;
    return ZQ_VENDOR_DOZ;
}

wchar_t FindRPDATA()
{
    CSBRMgr controller;
    controller.Init(); // the settings file is optional here
    controller.SetZQOSVer(ZQ_PLATFORM_WIN7);
    controller.SetZQVendor(PcVendor());
    controller.InitDisk();
    return controller.GetRPDATADrvLet();
}

} // namespace

void CDiscSetRun::ShowMediaRefused()
{
    wprintf(L"disc refused: not a blank DVD-R or DVD+R with room for a set\n");
}

BOOL CDiscSetRun::OnEvent(const RecoveryDiscEvent* pEvent)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back(*pEvent);
    m_arrived.notify_one();
    return TRUE;
}

int CDiscSetRun::Run()
{
    if (!QueueBlankDiscs())
        return DSR_FAILED;
    wchar_t wcRPDATA = FindRPDATA();
    wprintf(L"image partition: %lc\n", wcRPDATA ? wcRPDATA : L'-');
    m_engine.SetRPDATADrive(wcRPDATA);
    m_engine.SetRefusalNotice(this);
    HRESULT hr = m_engine.Init();
    if (FAILED(hr)) {
        wprintf(L"engine: init failed 0x%08lX\n", static_cast<unsigned long>(hr));
        return DSR_FAILED;
    }
    int iCheck = Check();
    if (iCheck != DSR_DONE)
        return iCheck;
    bool bResumed = Resume();
    if (!SplitImage())
        return DSR_FAILED;
    if (!InsertBlankDisc() || (!bResumed && !Plan()))
        return DSR_FAILED;
    if (!ApplyFault(bResumed ? m_engine.GetCurrentSetNumber() + 1 : 1))
        return DSR_FAILED;
    m_engine.AddEventHandler(this);
    if (FAILED(m_engine.StartCreate())) {
        wprintf(L"engine: thread not started\n");
        return DSR_FAILED;
    }
    return Follow();
}

// The welcome page's checks.
int CDiscSetRun::Check()
{
    BOOL bWriter = FALSE;
    if (FAILED(m_engine.HasDVDWriter(&bWriter)) || !bWriter) {
        wprintf(L"check: no DVD writer\n");
        return DSR_FAILED;
    }
    CRecoveryDriveInfo drives;
    if (drives.CreatedMarkerExists()) {
        wprintf(L"check: a disc set was made on this computer already\n");
        return DSR_FAILED;
    }
    if (drives.GetRecoveryDrive() == CRecoveryDriveInfo::kNotFound) {
        wprintf(L"check: no recovery partition\n");
        return DSR_FAILED;
    }
    std::wstring source = m_engine.GetSourceImagePath();
    if (!source.empty() && NvFileExists(source.c_str()) &&
        !drives.HasRoomFor(source.substr(0, source.rfind(L'\\') + 1).c_str())) {
        wprintf(L"check: no room on the Windows drive for the image parts\n");
        return DSR_FAILED;
    }
    wprintf(L"check: writer, recovery partition %lc:, Windows drive %lc:\n", drives.GetRecoveryDrive(),
            drives.GetWindowsDrive());
    return DSR_DONE;
}

// An unusable snapshot is no reason to stop: the run starts afresh.
bool CDiscSetRun::Resume()
{
    ResumeSnapshot snapshot;
    if (!snapshot.Exists())
        return false;
    HRESULT hr = m_engine.LoadResumeSnapshot();
    if (FAILED(hr) && m_options.keepUnusableSnapshot) {
        wprintf(L"resume: snapshot unusable (0x%08lX), kept\n", static_cast<unsigned long>(hr));
        return true;
    }
    if (FAILED(hr)) {
        wprintf(L"resume: snapshot unusable (0x%08lX), starting afresh\n", static_cast<unsigned long>(hr));
        snapshot.Delete();
        return false;
    }
    wprintf(L"resume: %d discs, next disc %d\n", m_engine.GetDiscCount(), m_engine.GetCurrentSetNumber() + 1);
    return true;
}

// The preparation page: the factory image into parts on the Windows drive.
bool CDiscSetRun::SplitImage()
{
    std::wstring source = m_engine.GetSourceImagePath();
    if (source.empty() || !NvFileExists(source.c_str()))
        return true;
    CSplitPrinter printer;
    WIMHelper helper;
    helper.AddListener(&printer);
    ULONGLONG ullSplitSize = m_engine.GetSplitSize();
    if (FAILED(helper.Start(source.c_str(), m_engine.GetSplitImagePath().c_str(), &ullSplitSize)))
        return false;
    helper.Wait(INFINITE);
    return SUCCEEDED(helper.GetResult());
}

// The statistic page: estimate, a usable disc, the real plan for its kind.
bool CDiscSetRun::Plan()
{
    wprintf(L"estimate: %d discs\n", m_engine.EstimateDiscCount(DTM_DVDMR));
    int iType = 0;
    BOOL bBlank = FALSE;
    m_engine.GetMediaInfo(&iType, &bBlank);
    int iCount = m_engine.DiscSplit(iType);
    if (iCount <= 0) {
        wprintf(L"plan: failed 0x%08lX\n", static_cast<unsigned long>(iCount));
        return false;
    }
    const wchar_t* pwszName = DiscTypeName(iType);
    wprintf(L"plan: %d discs of %ls\n", iCount, pwszName ? pwszName : L"?");
    return true;
}

// Opens the tray until the drive's queue has fed in a disc the engine takes.
bool CDiscSetRun::InsertBlankDisc()
{
    for (int i = 0; i < kMaxDiscTries; ++i) {
        if (m_engine.IsMediaReady() == S_OK && m_engine.CheckBlankMedia())
            return true;
        m_engine.EjectDisc();
        if (m_engine.IsMediaReady() != S_OK)
            break;
    }
    wprintf(L"disc: no usable blank disc left in the queue\n");
    return false;
}

// The simulated PC's first optical drive, changed as the harness would.
HRESULT CDiscSetRun::ChangeWriter(const std::function<HRESULT(CSimPc&, SimPcState&, SimOptical&)>& change)
{
    CSimPc pc(L"DiscSetDriver");
    if (!pc.Open())
        return E_FAIL;
    return pc.Update([&](SimPcState& state) -> HRESULT {
        return state.opticals.empty() ? E_FAIL : change(pc, state, state.opticals.front());
    });
}

bool CDiscSetRun::ApplyFault(int iDisc)
{
    auto it = m_options.faults.find(iDisc);
    if (it == m_options.faults.end())
        return true;
    HRESULT hr = ChangeWriter([&](CSimPc&, SimPcState&, SimOptical& drive) -> HRESULT {
        drive.fault = it->second;
        return S_OK;
    });
    wprintf(L"fault: %ls for disc %d%ls\n", it->second.c_str(), iDisc, SUCCEEDED(hr) ? L"" : L" not set");
    return SUCCEEDED(hr);
}

bool CDiscSetRun::QueueBlankDiscs()
{
    if (!m_options.blankDiscs)
        return true;
    HRESULT hr = ChangeWriter([&](CSimPc& pc, SimPcState& state, SimOptical& drive) -> HRESULT {
        for (int i = 0; i < m_options.blankDiscs; ++i) {
            SimDisc disc;
            disc.id = state.NewId(L"blank");
            disc.media = DTM_DVDMR;
            disc.blank = true;
            disc.capacity = disc.freeSectors = kBlankDvdSectors;
            state.discs.push_back(disc);
            CreateDirectoryW(pc.DiscFolder(disc.id).c_str(), nullptr);
            drive.queue.push_back(disc.id);
        }
        return S_OK;
    });
    wprintf(L"disc: %d blank DVD-R queued%ls\n", m_options.blankDiscs, SUCCEEDED(hr) ? L"" : L" - failed");
    return SUCCEEDED(hr);
}

void CDiscSetRun::PrintProgress(const RecoveryDiscEvent& event)
{
    int iPercent = static_cast<int>(std::floor(event.progress * 100.0f));
    if (event.state == m_iLastState && iPercent / kPercentStep == m_iLastPercent / kPercentStep)
        return;
    m_iLastState = event.state;
    m_iLastPercent = iPercent;
    wprintf(L"state %d disc %d %d%%\n", event.state, event.setNo, iPercent);
}

// One event on the driver's thread; false once the run has ended.
bool CDiscSetRun::Handle(const RecoveryDiscEvent& event)
{
    PrintProgress(event);
    switch (event.state) {
    case RDS_WAIT_NEXT_DISC:
        if (m_options.stopAfter && event.setNo >= m_options.stopAfter) {
            wprintf(L"stop: after disc %d\n", event.setNo);
            m_engine.Cancel();
        } else if (!ApplyFault(event.setNo + 1) || !InsertBlankDisc()) {
            m_engine.Cancel();
        } else {
            m_engine.ContinueNextDisc(TRUE);
        }
        return true;
    case RDS_ALL_DONE:
    case RDS_FAILED:
    case RDS_CANCELLED:
        m_iEndState = event.state;
        return false;
    default:
        return true;
    }
}

int CDiscSetRun::Follow()
{
    for (bool bRunning = true; bRunning;) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_arrived.wait(lock, [this] { return !m_events.empty(); });
        RecoveryDiscEvent event = m_events.front();
        m_events.pop_front();
        lock.unlock();
        bRunning = Handle(event);
    }
    while (m_engine.IsCreating())
        Sleep(10);
    m_engine.RemoveEventHandler(this);
    HRESULT hr = m_engine.GetCreateResult();
    if (m_iEndState == RDS_ALL_DONE) {
        wprintf(L"result: done\n");
        return DSR_DONE;
    }
    wprintf(L"result: %ls 0x%08lX\n", m_iEndState == RDS_CANCELLED ? L"cancelled" : L"failed",
            static_cast<unsigned long>(hr));
    return m_iEndState == RDS_CANCELLED ? DSR_STOPPED : DSR_FAILED;
}
