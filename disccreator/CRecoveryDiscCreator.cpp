// The disc-creation engine: rule file, plan, creator thread, listeners.
#include "CRecoveryDiscCreator.h"

#include <process.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>

#include "CAutoFindHandle.h"
#include "CAutoTrace.h"
#include "CBurningHelper.h"
#include "CRecoveryDriveInfo.h"
#include "DiscErrorCode.h"
#include "DiscMedia.h"
#include "InstanceLog.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "Walker.h"
#include "XmlReader.h"

namespace {

const ULONGLONG kMiB = 1024 * 1024;
const float kPrepareStart = 0.8f;
const wchar_t kRuleFileName[] = L"\\FileSet.xml";
const wchar_t kImageFolder[] = L"preload\\";
const wchar_t kImageName[] = L"base.wim";
const wchar_t kPartStem[] = L"base";

bool AllDigits(const std::wstring& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return iswdigit(c) != 0; });
}

// The names the image split writes: base.wim, base2.wim ... and, for a part
// the split library cut, baseN.dat with the pieces baseN.0, baseN.1 ...
bool IsSplitPartName(const std::wstring& name)
{
    const size_t cchStem = wcslen(kPartStem);
    if (name.size() <= cchStem || _wcsnicmp(name.c_str(), kPartStem, cchStem) != 0)
        return false;
    size_t dot = name.find(L'.', cchStem);
    if (dot == std::wstring::npos)
        return false;
    std::wstring number = name.substr(cchStem, dot - cchStem);
    std::wstring extension = name.substr(dot + 1);
    if (!number.empty() && !AllDigits(number))
        return false;
    return !_wcsicmp(extension.c_str(), L"wim") || !_wcsicmp(extension.c_str(), L"dat") || AllDigits(extension);
}

} // namespace

CRecoveryDiscCreator::CRecoveryDiscCreator() = default;

CRecoveryDiscCreator::~CRecoveryDiscCreator()
{
    if (IsCreating()) {
        Cancel();
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
    RemoveSplitParts();
    Release();
}

void CRecoveryDiscCreator::Release()
{
    if (m_pHelper)
        m_pHelper->RemoveListener(this);
    m_pHelper.reset();
    m_wakeUp.Close();
    if (!IsCreating())
        m_thread.Close();
}

HRESULT CRecoveryDiscCreator::ReadRuleFile(const std::wstring& path)
{
    CAutoTrace trace(L"CRecoveryDiscCreator", L"Init", this);
    XmlReader reader;
    HRESULT hr = reader.Init();
    if (FAILED(hr)) {
        trace.Print(L"Xmlreader init failed, hr = %x, error code = %d", hr, GetLastError());
        return hr;
    }
    if (FAILED(hr = reader.SetSource(path.c_str()))) {
        trace.Print(L"Xmlreader set source file failed, hr = %x, error code = %d", hr, GetLastError());
        return hr;
    }
    if (FAILED(hr = reader.Parse(&m_ruleFiles, &m_logs, &m_rules))) {
        trace.Print(L"Xmlreader parse source file failed, hr = %x, error code = %d", hr, GetLastError());
        return hr;
    }
    int iSupportRW = 0;
    m_bSupportRW = reader.GetSupportRW(&iSupportRW) ? TRUE : FALSE;
    m_iSplitSize = reader.GetSplitSize();
    return S_OK;
}

HRESULT CRecoveryDiscCreator::RelocateSources()
{
    CAutoTrace trace(L"CRecoveryDiscCreator", L"Init", this);
    CRecoveryDriveInfo drives;
    wchar_t wcRelocation = 0;
    std::wstring source = GetSourceImagePath();
    if (!source.empty() && NvFileExists(source.c_str())) {
        trace.Print(L"Relocate source base.wim to UP");
        wcRelocation = drives.GetWindowsDrive();
    }
    std::wstring split = GetSplitImagePath();
    m_bSplitFolderExisted = split.empty() || NvDirectoryExists(split.substr(0, split.rfind(L'\\')).c_str());
    return m_ruleFiles.SetDriveLetters(drives.GetRecoveryDrive(), wcRelocation);
}

HRESULT CRecoveryDiscCreator::Init()
{
    CAutoTrace trace(L"CRecoveryDiscCreator", L"Init", this);
    Release();
    std::wstring folder = GetModuleFolderPath();
    if (folder.empty())
        return RD_E_MISSING;
    HRESULT hr = ReadRuleFile(folder + kRuleFileName);
    if (SUCCEEDED(hr))
        hr = RelocateSources();
    if (FAILED(hr)) {
        Release();
        return hr;
    }
    m_pHelper.reset(new (std::nothrow) CBurningHelper);
    if (!m_pHelper) {
        trace.Print(L"CBurningHelper new failed, hr = %x, error code = %d", NV_E_ALLOC, GetLastError());
        return NV_E_ALLOC;
    }
    m_pHelper->SetRefusalNotice(m_pNotice);
    if (FAILED(hr = m_pHelper->Init())) {
        trace.Print(L"CBurningHelper init failed, hr = %x, error code = %d", hr, GetLastError());
        Release();
        return hr;
    }
    // Once for the run: a listener added at every thread start hears each event many times.
    m_pHelper->AddListener(this);
    m_wakeUp.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_wakeUp.IsValid()) {
        trace.Print(L"CSimpleEvent new failed, hr = %x, error code = %d", NV_E_ALLOC, GetLastError());
        Release();
        return NV_E_ALLOC;
    }
    return S_OK;
}

void CRecoveryDiscCreator::SetRefusalNotice(IMediaRefusalNotice* pNotice)
{
    m_pNotice = pNotice;
    if (m_pHelper)
        m_pHelper->SetRefusalNotice(pNotice);
}

std::wstring CRecoveryDiscCreator::GetSourceImagePath() const
{
    wchar_t wszPath[MAX_PATH];
    if (!m_wcRPDATA || FormatPath(wszPath, L"%c:\\%s%s", m_wcRPDATA, kImageFolder, kImageName) < 0)
        return std::wstring();
    return wszPath;
}

std::wstring CRecoveryDiscCreator::GetSplitImagePath()
{
    CRecoveryDriveInfo drives;
    wchar_t wcWindows = drives.GetWindowsDrive();
    wchar_t wszPath[MAX_PATH];
    if (wcWindows == CRecoveryDriveInfo::kNotFound ||
        FormatPath(wszPath, L"%c:\\%s%s", wcWindows, kImageFolder, kImageName) < 0)
        return std::wstring();
    return wszPath;
}

ULONGLONG CRecoveryDiscCreator::GetSplitSize() const
{
    return static_cast<ULONGLONG>(m_iSplitSize) * kMiB;
}

HRESULT CRecoveryDiscCreator::GetDiscType(int* piType)
{
    if (piType)
        *piType = m_iDiscType;
    return S_OK;
}

int CRecoveryDiscCreator::EstimateDiscCount(int iDiscType)
{
    return DiscSplitImpl(iDiscType, TRUE);
}

int CRecoveryDiscCreator::DiscSplit(int iDiscType)
{
    m_iDiscType = iDiscType;
    return DiscSplitImpl(iDiscType, FALSE);
}

// A failure is a negative code, never a disc count, and leaves no sets: the
// walked entries that earlier sets pointed at are gone with the new walk.
int CRecoveryDiscCreator::DiscSplitImpl(int iDiscType, BOOL bDryRun)
{
    CAutoTrace trace(L"CRecoveryDiscCreator", L"DiscSplitImpl", this);
    m_splitter.ClearSets();
    Walker walker;
    HRESULT hr = walker.SetCollectors(&m_ruleFiles);
    if (FAILED(hr)) {
        trace.Print(L"Set Collectors to walker failed");
        return hr;
    }
    if (FAILED(hr = walker.Walk(&m_walked))) {
        trace.Print(L"Walk through each entry failed");
        return hr;
    }
    m_splitter.SetCollectors(&m_walked);
    m_splitter.SetRuleAndLogCollectors(&m_rules, &m_logs);
    const ULONGLONG ullCapacity = static_cast<ULONGLONG>(DiscTypeCapacityMB(iDiscType)) * kMiB;
    hr = bDryRun ? m_splitter.Estimate(ullCapacity) : m_splitter.Split(ullCapacity);
    if (FAILED(hr)) {
        trace.Print(L"Split to file set failed");
        m_splitter.ClearSets();
        return hr;
    }
    return m_splitter.GetSetCount();
}

HRESULT CRecoveryDiscCreator::LoadResumeSnapshot()
{
    HRESULT hr = m_snapshot.Load(&m_splitter);
    if (FAILED(hr))
        return hr;
    if (m_snapshot.GetResumeSetNo() != 1) {
        m_iLastBurned = m_snapshot.GetResumeSetNo() - 1;
        m_iCurrentSet = m_iLastBurned;
    }
    m_iDiscType = m_snapshot.GetDiscType();
    return hr;
}

HRESULT CRecoveryDiscCreator::AddEventHandler(IRecoveryDiscEventHandler* pHandler)
{
    std::lock_guard<std::mutex> lock(m_listenerLock);
    if (!pHandler)
        return E_FAIL;
    if (std::find(m_listeners.begin(), m_listeners.end(), pHandler) != m_listeners.end())
        return S_FALSE;
    m_listeners.push_back(pHandler);
    return S_OK;
}

HRESULT CRecoveryDiscCreator::RemoveEventHandler(IRecoveryDiscEventHandler* pHandler)
{
    std::lock_guard<std::mutex> lock(m_listenerLock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), pHandler);
    if (!pHandler || it == m_listeners.end())
        return S_FALSE;
    m_listeners.erase(it);
    return S_OK;
}

void CRecoveryDiscCreator::SendEvent()
{
    std::lock_guard<std::mutex> lock(m_listenerLock);
    for (IRecoveryDiscEventHandler* pHandler : m_listeners)
        pHandler->OnEvent(&m_event);
}

void CRecoveryDiscCreator::FireEvent(int iState, float fProgress)
{
    m_event.state = iState;
    m_event.progress = fProgress;
    m_event.setNo = m_iCurrentSet;
    SendEvent();
}

BOOL CRecoveryDiscCreator::OnBurnEvent(int iCode, float fProgress)
{
    m_event.stateChanged = iCode != m_event.state;
    m_event.progress = fProgress;
    m_event.setNo = m_iCurrentSet;
    m_event.state = iCode;
    SendEvent();
    return TRUE;
}

HRESULT CRecoveryDiscCreator::StartCreate()
{
    if (IsCreating())
        return S_FALSE;
    if (!m_pHelper)
        return E_FAIL;
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, CreatorThread, this, CREATE_SUSPENDED, nullptr)));
    if (!m_thread.IsValid()) {
        DebugPrint(L"Failed to launch CRecoveryDiscCreator thread - Error : %d. \n", GetLastError());
        return E_FAIL;
    }
    if (ResumeThread(m_thread.Get()) == static_cast<DWORD>(-1))
        DebugPrint(L"Failed to resume CRecoveryDiscCreator thread - Error : %d. \n", GetLastError());
    return S_OK;
}

BOOL CRecoveryDiscCreator::IsCreating()
{
    return m_thread.IsValid() && WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT;
}

HRESULT CRecoveryDiscCreator::ContinueNextDisc(BOOL bAdvance)
{
    if (!m_wakeUp.IsValid())
        return S_OK;
    if (WaitForSingleObject(m_wakeUp.Get(), 0) == WAIT_OBJECT_0) {
        // A wake-up is pending already: keep it, and do not advance twice.
        SetEvent(m_wakeUp.Get());
        return S_OK;
    }
    if (bAdvance)
        ++m_iCurrentSet;
    SetEvent(m_wakeUp.Get());
    return S_OK;
}

void CRecoveryDiscCreator::Cancel()
{
    m_bCancel = TRUE;
    if (!m_pHelper)
        return;
    // Always wake a waiting thread: a consumed pending signal would leave it waiting for ever.
    if (m_wakeUp.IsValid())
        SetEvent(m_wakeUp.Get());
    m_pHelper->Cancel();
}

unsigned __stdcall CRecoveryDiscCreator::CreatorThread(void* pvEngine)
{
    CRecoveryDiscCreator* pEngine = static_cast<CRecoveryDiscCreator*>(pvEngine);
    ResumeSnapshot snapshot;
    pEngine->EndRun(pEngine->RunSets(snapshot), snapshot);
    return 0;
}

HRESULT CRecoveryDiscCreator::RunSets(ResumeSnapshot& snapshot)
{
    CAutoTrace trace(L"CRecoveryDiscCreator", L"CreatorThread", this);
    ResetEvent(m_wakeUp.Get());
    bool bResume = m_snapshot.Exists() != FALSE;
    m_iCurrentSet = 1;
    const int iCount = m_splitter.GetSetCount();
    if (iCount <= 0) {
        trace.Print(L"No set to burn");
        return RD_E_MISSING;
    }
    HRESULT hr = S_OK;
    while (m_iCurrentSet <= iCount) {
        if (bResume) {
            m_iCurrentSet = m_snapshot.GetResumeSetNo();
            bResume = false;
        }
        if (m_bCancel) {
            hr = RD_E_CANCELLED;
            break;
        }
        if (FAILED(hr = BurnSet(m_iCurrentSet, snapshot)))
            break;
        if (m_iCurrentSet + 1 > iCount)
            break;
        WaitForNextDisc();
    }
    return hr;
}

HRESULT CRecoveryDiscCreator::BurnSet(int iNumber, ResumeSnapshot& snapshot)
{
    ISet* pSet = nullptr;
    HRESULT hr = m_splitter.GetSet(iNumber, &pSet);
    DebugPrint(L"GetFileSet hr = %x\n", hr);
    if (FAILED(hr) || !pSet)
        return RD_E_MISSING; // a gap in the plan: never an empty disc
    FireEvent(RDS_PREPARE_SET, kPrepareStart);
    m_pHelper->SetFileSet(pSet);
    FireEvent(RDS_PREPARE_SET, 1.0f);
    hr = m_pHelper->Burn();
    DebugPrint(L"Burn hr = %x\n", hr);
    if (FAILED(hr))
        return hr;
    m_splitter.RecordBurnedSet(iNumber);
    m_iLastBurned = iNumber;
    snapshot.Save(&m_splitter, iNumber + 1, m_iDiscType);
    return hr;
}

void CRecoveryDiscCreator::WaitForNextDisc()
{
    m_pHelper->EjectDisc(TRUE);
    FireEvent(RDS_DISC_DONE, 1.0f);
    FireEvent(RDS_WAIT_NEXT_DISC, 0.0f);
    if (WaitForSingleObject(m_wakeUp.Get(), INFINITE) == WAIT_OBJECT_0)
        ResetEvent(m_wakeUp.Get());
}

void CRecoveryDiscCreator::EndRun(HRESULT hr, ResumeSnapshot& snapshot)
{
    CAutoTrace trace(L"CRecoveryDiscCreator", L"CreatorThread", this);
    // Finished means every set of the plan burned, not only a loop that ended well.
    if (SUCCEEDED(hr) && (m_splitter.GetSetCount() <= 0 || m_iLastBurned != m_splitter.GetSetCount())) {
        trace.Print(L"Run ended after set %d of %d", m_iLastBurned, m_splitter.GetSetCount());
        hr = RD_E_MISSING;
    }
    m_hrLast = hr;
    m_pHelper->EjectDisc(TRUE);
    if (FAILED(hr)) {
        if (m_iLastBurned != 0)
            snapshot.Save(&m_splitter, m_iLastBurned + 1, m_iDiscType);
        FireEvent(hr == RD_E_CANCELLED ? RDS_CANCELLED : RDS_FAILED, 1.0f);
        return;
    }
    FireEvent(RDS_ALL_DONE, 1.0f);
    CRecoveryDriveInfo drives;
    drives.WriteCreatedMarkers();
    drives.CopyIniFolders();
    snapshot.Delete();
}

// Only the parts of the image split, only on a drive other than the
// factory image's, and the folder only when this run made it.
void CRecoveryDiscCreator::RemoveSplitParts()
{
    std::wstring source = GetSourceImagePath();
    std::wstring split = GetSplitImagePath();
    if (source.empty() || split.empty() || !NvFileExists(source.c_str()) ||
        PathGetDriveNumberW(source.c_str()) == PathGetDriveNumberW(split.c_str()))
        return;
    std::wstring folder = split.substr(0, split.rfind(L'\\') + 1);
    WIN32_FIND_DATAW data;
    CAutoFindHandle find(FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find.IsValid())
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsSplitPartName(data.cFileName)) {
            std::wstring part = folder + data.cFileName;
            SetFileAttributesW(part.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(part.c_str());
        }
    } while (FindNextFileW(find.Get(), &data));
    find.Close();
    if (!m_bSplitFolderExisted)
        RemoveDirectoryW(folder.c_str());
}

HRESULT CRecoveryDiscCreator::EjectDisc()
{
    return m_pHelper ? m_pHelper->EjectDisc(TRUE) : E_FAIL;
}

HRESULT CRecoveryDiscCreator::LockTray(BOOL bLock)
{
    return m_pHelper ? m_pHelper->LockTray(bLock) : E_FAIL;
}

HRESULT CRecoveryDiscCreator::IsMediaReady()
{
    return m_pHelper ? m_pHelper->IsMediaReady() : E_FAIL;
}

HRESULT CRecoveryDiscCreator::HasDVDWriter(BOOL* pbFound)
{
    return m_pHelper ? m_pHelper->HasDVDWriter(pbFound) : E_FAIL;
}

HRESULT CRecoveryDiscCreator::GetMediaInfo(int* piType, BOOL* pbBlank)
{
    return m_pHelper ? m_pHelper->GetMediaInfo(piType, pbBlank, nullptr) : E_FAIL;
}

BOOL CRecoveryDiscCreator::CheckBlankMedia()
{
    return m_pHelper ? m_pHelper->CheckBlankMedia(m_bSupportRW) : FALSE;
}

HRESULT CRecoveryDiscCreator::BurnerExists(BOOL* pbExists)
{
    if (!m_pHelper) {
        if (pbExists)
            *pbExists = FALSE;
        return E_FAIL;
    }
    return m_pHelper->CheckBurnerExistence(pbExists);
}
