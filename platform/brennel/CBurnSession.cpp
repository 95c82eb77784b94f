#include "CBurnSession.h"

#include "CBurnRun.h"
#include "CBurnerPc.h"
#include "SimPcText.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <system_error>

namespace {

using SimPcText::Format;

const float kMaxSpeed = 100.0f;
const float kSpeedTolerance = 0.01f;
const int kModeFirst = 1;
const int kModeLast = 3;
// A description asking for longer burns is taken as a slip.
const DWORD kMaxBurnMs = 10 * 60 * 1000;

bool IsCDMedium(DWORD media)
{
    return media == DTM_CDR || media == DTM_CDRW;
}

bool IsRewritable(DWORD media)
{
    return media == DTM_CDRW || media == DTM_DVDRW || media == DTM_DVDPLUSRW || media == DTM_DVDRW_DL ||
           media == DTM_DVDPLUSRW_DL;
}

// The drive's write speeds, lowest first; nonsense in the description is skipped.
std::vector<float> ParseSpeeds(const std::wstring& text)
{
    std::vector<float> speeds;
    std::wistringstream in(text);
    std::wstring word;
    while (in >> word && speeds.size() < CBurnSession::kMaxSpeeds) {
        wchar_t* end = nullptr;
        double v = wcstod(word.c_str(), &end);
        if (end && !*end && v > 0.0 && v <= kMaxSpeed)
            speeds.push_back((float)v);
    }
    std::sort(speeds.begin(), speeds.end());
    return speeds;
}

bool IsPrintable(const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if ((unsigned char)text[i] < 0x20 || (unsigned char)text[i] >= 0x7F)
            return false;
    return true;
}

std::wstring Hex(HRESULT hr)
{
    return Format(L"0x%08lX", (unsigned long)hr);
}

} // namespace

CBurnSession::CBurnSession(bool bCD) : CBrennelUnknown(IID_IBurnSession), m_bCD(bCD) {}

CBurnSession::~CBurnSession()
{
    Lock lock(m_mutex);
    m_bCancel = true;
    m_changed.notify_all();
    JoinWorker(lock);
}

HRESULT CBurnSession::CheckIdle() const
{
    return m_bRunning ? BRN_E_BUSY : S_OK;
}

// The tree and its settings change only in a prepared session, between burns.
HRESULT CBurnSession::CheckEditable() const
{
    HRESULT hr = CheckIdle();
    return FAILED(hr) ? hr : m_bPrepared ? S_OK : BRN_E_NOT_PREPARED;
}

void CBurnSession::ResetTree()
{
    m_tree.Clear();
    m_volumeId.clear();
    m_bootImage.clear();
}

// The worker has ended or is about to: wait for it without holding the lock.
void CBurnSession::JoinWorker(Lock& lock)
{
    m_changed.wait(lock, [this] { return !m_bRunning; });
    if (!m_worker.joinable())
        return;
    std::thread worker = std::move(m_worker);
    lock.unlock();
    worker.join();
    lock.lock();
}

STDMETHODIMP CBurnSession::SetDrive(IBurnDrive* pDrive)
{
    if (!pDrive)
        return E_POINTER;
    char letter = 0;
    HRESULT hr = pDrive->GetLetter(&letter);
    if (FAILED(hr))
        return hr;
    Lock lock(m_mutex);
    if (FAILED(hr = CheckIdle()))
        return hr;
    m_cDrive = letter;
    m_bPrepared = false;
    m_bInfoRead = false;
    return S_OK;
}

HRESULT CBurnSession::ReadDisc(SimDisc& disc)
{
    if (!m_cDrive)
        return BRN_E_NOT_PREPARED;
    SimOptical drive;
    bool hasDisc = false;
    HRESULT hr = CBurnerPc::ReadPresent(m_cDrive, drive, &disc, &hasDisc);
    if (FAILED(hr))
        return hr;
    if (!hasDisc)
        return BRN_E_NO_MEDIUM;
    return IsCDMedium(disc.media) == m_bCD ? S_OK : BRN_E_WRONG_MEDIUM;
}

HRESULT CBurnSession::PreparedDisc(SimDisc& disc)
{
    return m_bPrepared ? ReadDisc(disc) : BRN_E_NOT_PREPARED;
}

STDMETHODIMP CBurnSession::Prepare()
{
    Lock lock(m_mutex);
    HRESULT hr = CheckIdle();
    if (FAILED(hr))
        return hr;
    SimDisc disc;
    if (FAILED(hr = ReadDisc(disc)))
        return hr;
    SimOptical drive;
    if (FAILED(hr = CBurnerPc::ReadPresent(m_cDrive, drive)))
        return hr;
    ResetTree();
    m_speeds = ParseSpeeds(drive.speeds);
    m_fSpeed = m_speeds.empty() ? 0.0f : m_speeds.front();
    m_bInfoRead = false;
    m_bPrepared = true;
    return S_OK;
}

STDMETHODIMP CBurnSession::GetMediaInfo(int* pnMode, BOOL* pbBlank, UINT* puCapacity, UINT* puSessions,
                                        BOOL* pbRewritable, void*, void*)
{
    if (pnMode) *pnMode = 0;
    if (pbBlank) *pbBlank = FALSE;
    if (puCapacity) *puCapacity = 0;
    if (puSessions) *puSessions = 0;
    if (pbRewritable) *pbRewritable = FALSE;
    Lock lock(m_mutex);
    SimDisc disc;
    HRESULT hr = PreparedDisc(disc);
    if (FAILED(hr))
        return hr;
    if (pnMode) *pnMode = (int)disc.media;
    if (pbBlank) *pbBlank = disc.blank ? TRUE : FALSE;
    if (puCapacity) *puCapacity = disc.capacity;
    if (puSessions) *puSessions = disc.blank ? 0 : 1;
    if (pbRewritable) *pbRewritable = IsRewritable(disc.media) ? TRUE : FALSE;
    return S_OK;
}

STDMETHODIMP CBurnSession::GetWriteSpeedCount(UINT* puCount, void*)
{
    if (!puCount)
        return E_POINTER;
    Lock lock(m_mutex);
    *puCount = (UINT)m_speeds.size();
    return m_bPrepared ? S_OK : BRN_E_NOT_PREPARED;
}

STDMETHODIMP CBurnSession::GetWriteSpeed(UINT uIndex, float* pfSpeed)
{
    if (!pfSpeed)
        return E_POINTER;
    *pfSpeed = 0.0f;
    Lock lock(m_mutex);
    if (!m_bPrepared)
        return BRN_E_NOT_PREPARED;
    if (uIndex >= m_speeds.size())
        return E_INVALIDARG;
    *pfSpeed = m_speeds[uIndex];
    return S_OK;
}

STDMETHODIMP CBurnSession::GetCurrentWriteSpeed(float* pfSpeed)
{
    if (!pfSpeed)
        return E_POINTER;
    Lock lock(m_mutex);
    *pfSpeed = m_fSpeed;
    return m_bPrepared ? S_OK : BRN_E_NOT_PREPARED;
}

STDMETHODIMP CBurnSession::SetWriteSpeed(float fSpeed)
{
    Lock lock(m_mutex);
    if (!m_bPrepared)
        return BRN_E_NOT_PREPARED;
    for (float listed : m_speeds) {
        if (std::fabs(listed - fSpeed) < kSpeedTolerance) {
            m_fSpeed = listed;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

STDMETHODIMP CBurnSession::RunCommand(int nCommand, DWORD dwFlags, void*)
{
    Lock lock(m_mutex);
    HRESULT hr = CheckEditable();
    if (SUCCEEDED(hr) && nCommand == BRN_CMD_READ_INFO) {
        SimDisc disc;
        hr = ReadDisc(disc);
        m_bInfoRead = SUCCEEDED(hr);
        m_hrResult = hr;
        m_nStage = BRN_STAGE_NONE;
        m_fProgress = 1.0f;
        return hr;
    }
    if (SUCCEEDED(hr) && nCommand != BRN_CMD_BURN)
        hr = BRN_E_UNKNOWN_COMMAND;
    if (SUCCEEDED(hr))
        hr = StartBurn(lock);
    CBurnerPc::Journal(Format(L"RunCommand(%d, 0x%lX) on %hc: -> %ls", nCommand, dwFlags, m_cDrive ? m_cDrive : '-',
                              Hex(hr).c_str()));
    return hr;
}

HRESULT CBurnSession::StartBurn(Lock& lock)
{
    JoinWorker(lock);
    // The lock was let go while the old worker ended: another thread may
    // have started a command since.
    HRESULT hr = CheckIdle();
    if (SUCCEEDED(hr))
        hr = m_tree.Refresh();
    if (FAILED(hr))
        return hr;
    CBurnRun::Plan plan;
    plan.letter = m_cDrive;
    plan.tree = m_tree;
    plan.sectors = m_tree.Sectors();
    plan.volumeId = m_volumeId;
    plan.bootImage = m_bootImage;
    if (FAILED(hr = ClaimDrive(plan)))
        return hr;
    hr = Launch(std::move(plan));
    if (FAILED(hr)) {
        CBurnerPc::ChangeDrive(m_cDrive, [&](CSimPc&, SimPcState&, SimOptical& drive) -> HRESULT {
            drive.burn = Format(L"failed 0x%08lX", (unsigned long)hr);
            return S_OK;
        });
    }
    return hr;
}

// Checks the drive and its disc for the burn and marks the drive as burning,
// in one change of the description, so that no other burner gets in between.
HRESULT CBurnSession::ClaimDrive(CBurnRun::Plan& plan)
{
    return CBurnerPc::ChangeDrive(m_cDrive, [&](CSimPc&, SimPcState& state, SimOptical& drive) -> HRESULT {
        if (!drive.present)
            return BRN_E_DRIVE_GONE;
        if (drive.IsBurning())
            return BRN_E_BUSY;
        const SimDisc* disc = drive.IsReady() ? state.FindDisc(drive.disc) : nullptr;
        if (!disc)
            return BRN_E_NO_MEDIUM;
        if (!(drive.caps & BRN_CAP_ANY_WRITE))
            return BRN_E_NOT_WRITER;
        if (IsCDMedium(disc->media) != m_bCD)
            return BRN_E_WRONG_MEDIUM;
        if (!disc->blank)
            return BRN_E_NOT_BLANK;
        if (plan.sectors > disc->freeSectors)
            return BRN_E_DISC_FULL;
        plan.discId = disc->id;
        plan.fault = drive.fault;
        plan.burnMs = std::min(drive.burnMs, kMaxBurnMs);
        // A requested fault strikes the next burn only.
        drive.fault.clear();
        drive.burn = Format(L"writing 0 pid %lu", GetCurrentProcessId());
        return S_OK;
    });
}

// Starts the worker; called with the lock held, so the worker's first
// report waits until the state below is set.
HRESULT CBurnSession::Launch(CBurnRun::Plan plan)
{
    std::unique_ptr<CBurnRun> run(new (std::nothrow) CBurnRun(std::move(plan),
        [this](int stage, float progress) {
            Lock inner(m_mutex);
            m_nStage = stage;
            m_fProgress = progress;
        },
        [this](DWORD waitMs) {
            Lock inner(m_mutex);
            return m_changed.wait_for(inner, std::chrono::milliseconds(waitMs), [this] { return m_bCancel; });
        }));
    if (!run)
        return E_OUTOFMEMORY;
    CBurnRun* raw = run.release();
    try {
        m_worker = std::thread([this, raw] { RunBurn(raw); });
    } catch (const std::system_error&) {
        delete raw;
        return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    }
    m_bRunning = true;
    m_bCancel = false;
    m_hrResult = BRN_E_STILL_RUNNING;
    m_nStage = BRN_STAGE_WRITING;
    m_fProgress = 0.0f;
    return S_OK;
}

void CBurnSession::RunBurn(CBurnRun* run)
{
    std::unique_ptr<CBurnRun> owned(run);
    HRESULT hr = owned->Run();
    Lock lock(m_mutex);
    m_hrResult = hr;
    m_bRunning = false;
    m_changed.notify_all();
}

STDMETHODIMP CBurnSession::Cancel()
{
    Lock lock(m_mutex);
    if (!m_bRunning)
        return S_FALSE;
    m_bCancel = true;
    m_changed.notify_all();
    return S_OK;
}

STDMETHODIMP CBurnSession::Wait(int nTimeoutMs, int* pnStage, float* pfProgress)
{
    Lock lock(m_mutex);
    auto ended = [this] { return !m_bRunning; };
    if (nTimeoutMs < 0)
        m_changed.wait(lock, ended);
    else
        m_changed.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), ended);
    if (pnStage)
        *pnStage = m_nStage;
    if (pfProgress)
        *pfProgress = m_fProgress;
    return m_bRunning ? BRN_E_STILL_RUNNING : S_OK;
}

STDMETHODIMP CBurnSession::GetResult()
{
    Lock lock(m_mutex);
    return m_hrResult;
}

// Each closing step forgets more: the prepared session, then the tree and
// its settings, then the drive.
HRESULT CBurnSession::Forget(CloseStep step)
{
    Lock lock(m_mutex);
    HRESULT hr = CheckIdle();
    if (FAILED(hr))
        return hr;
    m_bPrepared = false;
    m_bInfoRead = false;
    if (step >= CloseStep::Tree) {
        ResetTree();
        m_nMode = 0;
    }
    if (step == CloseStep::Drive)
        m_cDrive = 0;
    return S_OK;
}

STDMETHODIMP CBurnSession::EndSession() { return Forget(CloseStep::Session); }
STDMETHODIMP CBurnSession::Close() { return Forget(CloseStep::Tree); }
STDMETHODIMP CBurnSession::Detach() { return Forget(CloseStep::Drive); }

STDMETHODIMP CBurnSession::SetMode(int nMode)
{
    if (nMode < kModeFirst || nMode > kModeLast)
        return E_INVALIDARG;
    Lock lock(m_mutex);
    HRESULT hr = CheckIdle();
    if (SUCCEEDED(hr))
        m_nMode = nMode;
    return hr;
}

STDMETHODIMP CBurnSession::SetVolumeId(const char* pszVolumeId)
{
    if (!pszVolumeId)
        return E_POINTER;
    size_t length = strnlen(pszVolumeId, kMaxVolumeIdChars + 1);
    if (length > kMaxVolumeIdChars || !IsPrintable(pszVolumeId, length))
        return E_INVALIDARG;
    Lock lock(m_mutex);
    HRESULT hr = CheckEditable();
    if (SUCCEEDED(hr))
        m_volumeId.assign(pszVolumeId, length);
    return hr;
}

STDMETHODIMP CBurnSession::AddFile(const wchar_t* pwszDiscPath, const wchar_t* pwszSource, void*, void*, void*)
{
    if (!pwszDiscPath || !pwszSource)
        return E_POINTER;
    std::wstring path;
    if (!CDiscTree::Normalise(pwszDiscPath, path) || path.empty())
        return E_INVALIDARG;
    Lock lock(m_mutex);
    HRESULT hr = CheckEditable();
    if (SUCCEEDED(hr))
        hr = m_tree.AddFile(path, pwszSource);
    if (FAILED(hr))
        CBurnerPc::Journal(Format(L"AddFile(%ls, %ls) -> %ls", path.c_str(), pwszSource, Hex(hr).c_str()));
    return hr;
}

STDMETHODIMP CBurnSession::AddFolder(const wchar_t* pwszParent, const wchar_t* pwszName, void*, DWORD dwFlags)
{
    if (!pwszParent || !pwszName)
        return E_POINTER;
    std::wstring name(pwszName);
    std::wstring path;
    if (name.empty() || name.find(L'\\') != std::wstring::npos ||
        !CDiscTree::Normalise(std::wstring(pwszParent) + L"\\" + name, path))
        return E_INVALIDARG;
    Lock lock(m_mutex);
    HRESULT hr = CheckEditable();
    return SUCCEEDED(hr) ? m_tree.AddFolder(path, (dwFlags & BRN_FOLDER_HIDDEN) != 0) : hr;
}

STDMETHODIMP CBurnSession::SetBootImage(const wchar_t* pwszPath)
{
    if (!pwszPath)
        return E_POINTER;
    DWORD attr = GetFileAttributesW(pwszPath);
    HRESULT hr = S_OK;
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY))
        hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    Lock lock(m_mutex);
    if (SUCCEEDED(hr))
        hr = CheckEditable();
    if (SUCCEEDED(hr))
        m_bootImage = pwszPath;
    CBurnerPc::Journal(Format(L"SetBootImage(%ls) -> %ls", pwszPath, Hex(hr).c_str()));
    return hr;
}

STDMETHODIMP CBurnSession::GetVolumeLabel(char* pszLabel, UINT uSize)
{
    if (!pszLabel)
        return E_POINTER;
    if (!uSize)
        return E_INVALIDARG;
    ZeroMemory(pszLabel, uSize);
    Lock lock(m_mutex);
    SimDisc disc;
    HRESULT hr = PreparedDisc(disc);
    if (FAILED(hr))
        return hr;
    std::string label = SimPcText::Narrow(disc.label);
    size_t n = std::min<size_t>(label.size(), uSize - 1);
    memcpy(pszLabel, label.data(), n);
    return S_OK;
}

STDMETHODIMP CBurnSession::GetFreeSectors(UINT* puSectors, void*)
{
    if (!puSectors)
        return E_POINTER;
    *puSectors = 0;
    Lock lock(m_mutex);
    if (m_bPrepared && !m_bInfoRead)
        return BRN_E_DISC_INFO_NOT_READ;
    SimDisc disc;
    HRESULT hr = PreparedDisc(disc);
    if (SUCCEEDED(hr))
        *puSectors = disc.freeSectors;
    return hr;
}
