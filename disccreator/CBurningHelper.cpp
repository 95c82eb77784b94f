// Burning through Brennel.dll: loading, writer selection, one set per disc,
// tray and medium queries.
#include "CBurningHelper.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

#include "Brennel.h"
#include "CAutoTrace.h"
#include "CComRef.h"
#include "DiscErrorCode.h"
#include "IEntry.h"
#include "ISet.h"
#include "NvErrorCode.h"

namespace {

// A writer has CD-R or any DVD write bit (Discora's test).
const DWORD kWriterBits = BRN_CAP_WRITE_CDR | 0x3700;
const int kWaitStepMs = 100;
const int kWaitForever = -1;
const int kSessionMode = 3;
const int kBootSetNumber = 1;
const UINT kVolumeIdChars = 260;
const ULONGLONG kMinimumFreeBytes = 1ULL << 32;
const UINT kMediaRefusedString = 7743;
const size_t kMessageChars = 1024;
const wchar_t kBootImageName[] = L"\\etfsboot.com";

bool IsCdType(int iType)
{
    return iType == DTM_CDR || iType == DTM_CDRW;
}

template <class T>
void ReleaseInto(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

using DriveRef = CComRef<IBurnDrive>;

// The message box a user sees when a disc is refused.
class CMessageBoxNotice : public IMediaRefusalNotice {
public:
    void ShowMediaRefused() override
    {
        wchar_t wszFormat[kMessageChars] = {};
        if (!LoadStringW(GetModuleHandleW(nullptr), kMediaRefusedString, wszFormat, _countof(wszFormat))) {
            DebugPrint(L"String %u is missing\n", kMediaRefusedString);
            return;
        }
        wchar_t wszText[kMessageChars];
        _snwprintf(wszText, _countof(wszText) - 1, wszFormat, L"Discora");
        wszText[_countof(wszText) - 1] = L'\0';
        MessageBoxW(nullptr, wszText, L"Discora", MB_OK);
    }
};

CMessageBoxNotice g_messageBoxNotice;

} // namespace

CBurningHelper::CBurningHelper() = default;

CBurningHelper::~CBurningHelper()
{
    Uninit();
}

HRESULT CBurningHelper::LoadEngine()
{
    if (m_pLoader && m_pLoader->hModule)
        return S_OK;
    if (!m_pLoader)
        m_pLoader = new (std::nothrow) Loader;
    if (!m_pLoader)
        return E_OUTOFMEMORY;
    const wchar_t* pwszLibrary = m_libraryPath.empty() ? BRENNEL_DLL_NAME : m_libraryPath.c_str();
    wcsncpy(m_pLoader->wszPath, pwszLibrary, MAX_PATH - 1);
    HMODULE hModule = LoadLibraryW(pwszLibrary);
    if (!hModule) {
        DebugPrint(L"Cannot load %s, error code = %d\n", pwszLibrary, GetLastError());
        delete m_pLoader;
        m_pLoader = nullptr;
        return E_OUTOFMEMORY;
    }
    FARPROC pfnGet = GetProcAddress(hModule, "DllGetClassObject");
    FARPROC pfnUnload = GetProcAddress(hModule, "DllCanUnloadNow");
    if (!pfnGet || !pfnUnload) {
        DebugPrint(L"%s lacks its exports, hr = %x\n", pwszLibrary, NV_E_BURNER_FUNCTION);
        FreeLibrary(hModule);
        delete m_pLoader;
        m_pLoader = nullptr;
        return E_OUTOFMEMORY;
    }
    m_pLoader->hModule = hModule;
    m_pLoader->pfnGetClassObject = pfnGet;
    m_pLoader->pfnCanUnloadNow = pfnUnload;
    return S_OK;
}

HRESULT CBurningHelper::CreateEngine()
{
    if (!m_pLoader || !m_pLoader->pfnGetClassObject)
        return NV_E_FAIL;
    auto pfnGet = reinterpret_cast<PFN_BurnDllGetClassObject>(
        reinterpret_cast<void (*)()>(m_pLoader->pfnGetClassObject));
    IClassFactory* pFactory = nullptr;
    HRESULT hr = pfnGet(CLSID_BurnEngine, IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
    if (SUCCEEDED(hr) && pFactory) {
        hr = pFactory->CreateInstance(nullptr, IID_IBurnEngine, reinterpret_cast<void**>(&m_pBrennel));
        pFactory->Release();
    }
    if (FAILED(hr) || !m_pBrennel) {
        m_pBrennel = nullptr;
        return NV_E_BURNER_FACTORY;
    }
    return S_OK;
}

HRESULT CBurningHelper::NewBurner(REFGUID kind, IBurnSession** ppBurner)
{
    IUnknown* pUnknown = nullptr;
    HRESULT hr = m_pBrennel->CreateBurner(kind, &pUnknown);
    if (FAILED(hr) || !pUnknown)
        return NV_E_BURNER_OBJECTS;
    hr = pUnknown->QueryInterface(IID_IBurnSession, reinterpret_cast<void**>(ppBurner));
    pUnknown->Release();
    return FAILED(hr) || !*ppBurner ? NV_E_BURNER_OBJECTS : S_OK;
}

HRESULT CBurningHelper::CreateBurners()
{
    HRESULT hr = NewBurner(GUID_BurnerKindCD, &m_pCD);
    if (SUCCEEDED(hr))
        hr = NewBurner(GUID_BurnerKindDVD, &m_pDVD);
    return hr;
}

void CBurningHelper::SelectWriter()
{
    UINT uCount = 0;
    if (FAILED(m_pBrennel->GetDriveCount(&uCount)))
        return;
    for (UINT i = 0; i < uCount; ++i) {
        DriveRef drive;
        DWORD dwCaps = 0;
        if (FAILED(m_pBrennel->GetDriveByIndex(i, drive.Out())) || !drive.Get() ||
            FAILED(drive.Get()->GetCapabilities(&dwCaps)) || !(dwCaps & kWriterBits))
            continue;
        char cLetter = 0;
        if (SUCCEEDED(drive.Get()->GetLetter(&cLetter)) && cLetter) {
            m_wcDrive = static_cast<wchar_t>(static_cast<unsigned char>(cLetter));
            return;
        }
    }
    DebugPrint(L"No writer drive, hr = %x\n", RD_E_NO_WRITER);
}

HRESULT CBurningHelper::Init()
{
    CAutoTrace trace(L"CBurningHelper", L"Init", this);
    HRESULT hr = LoadEngine();
    if (FAILED(hr))
        return E_OUTOFMEMORY;
    if (FAILED(hr = CreateEngine()) || FAILED(hr = CreateBurners())) {
        trace.Print(L"Burning engine objects not created, hr = %x", hr);
        Uninit();
        return NV_E_BURNER_OBJECTS;
    }
    m_pBrennel->Refresh(0);
    SelectWriter();
    return S_OK;
}

HRESULT CBurningHelper::Uninit()
{
    Detach();
    ReleaseInto(m_pCD);
    ReleaseInto(m_pDVD);
    ReleaseInto(m_pBrennel);
    if (m_pLoader) {
        auto pfnUnload = reinterpret_cast<PFN_BurnDllCanUnloadNow>(
            reinterpret_cast<void (*)()>(m_pLoader->pfnCanUnloadNow));
        if (m_pLoader->hModule && pfnUnload && pfnUnload() == S_OK)
            FreeLibrary(m_pLoader->hModule);
        delete m_pLoader;
        m_pLoader = nullptr;
    }
    return S_OK;
}

HRESULT CBurningHelper::SetFileSet(ISet* pSet)
{
    m_pSet = pSet;
    return S_OK;
}

HRESULT CBurningHelper::AddListener(IBurnEventHandler* pListener)
{
    if (!pListener)
        return E_POINTER;
    if (std::find(m_listeners.begin(), m_listeners.end(), pListener) != m_listeners.end())
        return S_FALSE;
    m_listeners.push_back(pListener);
    return S_OK;
}

HRESULT CBurningHelper::RemoveListener(IBurnEventHandler* pListener)
{
    auto it = std::find(m_listeners.begin(), m_listeners.end(), pListener);
    if (it == m_listeners.end())
        return S_FALSE;
    m_listeners.erase(it);
    return S_OK;
}

void CBurningHelper::Fire(int iCode, float fProgress)
{
    for (IBurnEventHandler* pListener : m_listeners)
        pListener->OnBurnEvent(iCode, fProgress);
}

IBurnSession* CBurningHelper::BurnerFor(int iType) const
{
    return IsCdType(iType) ? m_pCD : m_pDVD;
}

HRESULT CBurningHelper::TakeDrive(IBurnDrive** ppDrive)
{
    if (!m_pBrennel)
        return RD_E_MISSING;
    char cLetter = static_cast<char>(m_wcDrive);
    return m_pBrennel->GetDrive(cLetter, ppDrive);
}

HRESULT CBurningHelper::Burn()
{
    CAutoTrace trace(L"CBurningHelper", L"Burn", this);
    if (!m_pSet || !m_pBrennel)
        return RD_E_MISSING;
    // A cancel that came while no burn was attached belongs to that moment.
    m_bCancel = FALSE;
    HRESULT hr = Attach();
    if (FAILED(hr))
        return hr;
    hr = Preprocess();
    if (SUCCEEDED(hr))
        hr = Run();
    Detach();
    return hr;
}

HRESULT CBurningHelper::SetFastestSpeed(IBurnSession* pBurner)
{
    UINT uCount = 0;
    HRESULT hr = pBurner->GetWriteSpeedCount(&uCount, nullptr);
    if (FAILED(hr))
        return hr;
    float fBest = 0.0f;
    pBurner->GetCurrentWriteSpeed(&fBest);
    for (UINT i = 0; i < uCount; ++i) {
        float fSpeed = 0.0f;
        if (SUCCEEDED(pBurner->GetWriteSpeed(i, &fSpeed)) && fSpeed > fBest)
            fBest = fSpeed;
    }
    pBurner->SetWriteSpeed(fBest);
    return hr;
}

// hrSoFar: the write-speed status, which the boot image's status replaces.
HRESULT CBurningHelper::SetBootImageAndVolumeId(IBurnSession* pBurner, HRESULT hrSoFar)
{
    CAutoTrace trace(L"CBurningHelper", L"Attach", this);
    HRESULT hr = hrSoFar;
    if (m_pSet->GetNumber() == kBootSetNumber) {
        wchar_t wszBoot[MAX_PATH] = {};
        DWORD cch = GetModuleFileNameW(nullptr, wszBoot, MAX_PATH);
        if (!cch || cch >= MAX_PATH || !PathRemoveFileSpecW(wszBoot) ||
            wcslen(wszBoot) + wcslen(kBootImageName) >= MAX_PATH)
            return RD_E_MISSING;
        wcscat(wszBoot, kBootImageName);
        hr = pBurner->SetBootImage(wszBoot);
        if (FAILED(hr)) {
            trace.Print(L"m_pActiveBurn->SetBootImage failed, hr = %x", hr);
            return hr;
        }
    }
    char szVolumeId[kVolumeIdChars];
    _snprintf(szVolumeId, kVolumeIdChars - 1, "%s%d%d", "Recovery", m_pSet->GetNumber(), m_pSet->GetTotal());
    szVolumeId[kVolumeIdChars - 1] = '\0';
    hr |= pBurner->SetVolumeId(szVolumeId);
    if (FAILED(hr))
        trace.Print(L"m_pActiveBurn->SetVolumeID failed, hr = %x", hr);
    return hr;
}

HRESULT CBurningHelper::Attach()
{
    CAutoTrace trace(L"CBurningHelper", L"Attach", this);
    DriveRef drive;
    HRESULT hr = TakeDrive(drive.Out());
    if (FAILED(hr) || !drive.Get()) {
        trace.Print(L"m_pBrennel->GetDrive failed, hr = %x", hr);
        return FAILED(hr) ? hr : RD_E_MISSING;
    }
    int iType = 0;
    if (FAILED(hr = drive.Get()->GetCurDiscTypeMode(&iType, nullptr, nullptr))) {
        trace.Print(L"pDrv->GetCurDiscTypeMode failed, hr = %x", hr);
        return hr;
    }
    IBurnSession* pBurner = BurnerFor(iType);
    pBurner->AddRef();
    {
        std::lock_guard<std::mutex> lock(m_activeLock);
        m_pActiveBurn = pBurner;
    }
    Fire(BEC_WRITE, 0.0f);
    // A burner that could not be prepared is let go at once, never left attached.
    hr = pBurner->SetDrive(drive.Get());
    if (SUCCEEDED(hr))
        hr = pBurner->Prepare();
    if (SUCCEEDED(hr)) {
        pBurner->SetMode(kSessionMode);
        hr = SetBootImageAndVolumeId(pBurner, SetFastestSpeed(pBurner));
    } else {
        trace.Print(L"Prepare the burner failed, hr = %x", hr);
    }
    if (FAILED(hr)) {
        pBurner->Close();
        pBurner->Detach();
        std::lock_guard<std::mutex> lock(m_activeLock);
        ReleaseInto(m_pActiveBurn);
    }
    return hr;
}

HRESULT CBurningHelper::AddFolderChain(IEntry* pEntry)
{
    wchar_t wszFolder[MAX_PATH] = {};
    pEntry->GetToFolder(wszFolder, _countof(wszFolder));
    std::wstring path;
    const wchar_t* pwszPart = wszFolder;
    while (*pwszPart) {
        const wchar_t* pwszEnd = wcschr(pwszPart, L'\\');
        std::wstring part = pwszEnd ? std::wstring(pwszPart, pwszEnd) : std::wstring(pwszPart);
        if (!part.empty()) {
            m_pActiveBurn->AddFolder(path.c_str(), part.c_str(), nullptr, 0);
            if (!path.empty() && path.back() != L'\\')
                path += L'\\';
            path += part;
        }
        if (!pwszEnd)
            break;
        pwszPart = pwszEnd + 1;
    }
    return S_OK;
}

HRESULT CBurningHelper::AddFileEntry(IEntry* pEntry)
{
    wchar_t wszFrom[MAX_PATH] = {};
    if (FAILED(pEntry->GetFrom(wszFrom, _countof(wszFrom))))
        return RD_E_ENTRY_PATH;
    AddFolderChain(pEntry);
    wchar_t wszTo[MAX_PATH] = {};
    if (FAILED(pEntry->GetTo(wszTo, _countof(wszTo))))
        return RD_E_ENTRY_PATH;
    return m_pActiveBurn->AddFile(wszTo, wszFrom, nullptr, nullptr, nullptr);
}

HRESULT CBurningHelper::Preprocess()
{
    CAutoTrace trace(L"CBurningHelper", L"Preprocess", this);
    HRESULT hr = S_OK;
    m_pSet->Reset();
    for (IEntry* pEntry = m_pSet->Next(); pEntry; pEntry = m_pSet->Next()) {
        hr = pEntry->IsFolder() ? AddFolderChain(pEntry) : AddFileEntry(pEntry);
        if (hr == BRN_E_FILE_EXISTS || hr == BRN_E_FOLDER_EXISTS || !pEntry->IsMustProcess())
            hr = S_OK;
        if (FAILED(hr)) {
            wchar_t wszFrom[MAX_PATH] = {};
            pEntry->GetFrom(wszFrom, _countof(wszFrom));
            trace.Print(L"Add %s failed, hr = %x", wszFrom, hr);
            return hr;
        }
    }
    return hr;
}

HRESULT CBurningHelper::Run()
{
    CAutoTrace trace(L"CBurningHelper", L"Run", this);
    HRESULT hr = m_bCancel ? RD_E_CANCELLED : m_pActiveBurn->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr);
    if (FAILED(hr)) {
        trace.Print(L"m_pActiveBurn->RunCommand failed, hr = %x", hr);
        m_bCancel = FALSE;
        return hr;
    }
    for (;;) {
        int iStage = 0;
        float fProgress = 0.0f;
        hr = m_pActiveBurn->Wait(kWaitStepMs, &iStage, &fProgress);
        if (hr != BRN_E_STILL_RUNNING)
            break;
        if (iStage == BRN_STAGE_WRITING)
            Fire(BEC_WRITE, fProgress);
        else if (iStage == BRN_STAGE_FINISHING)
            Fire(BEC_FINISH, fProgress);
    }
    if (m_bCancel.exchange(FALSE))
        return RD_E_CANCELLED;
    return m_pActiveBurn->GetResult();
}

HRESULT CBurningHelper::Detach()
{
    std::lock_guard<std::mutex> lock(m_activeLock);
    if (!m_pActiveBurn)
        return S_OK;
    m_pActiveBurn->EndSession();
    m_pActiveBurn->Close();
    m_pActiveBurn->Detach();
    ReleaseInto(m_pActiveBurn);
    return S_OK;
}

HRESULT CBurningHelper::Cancel()
{
    m_bCancel = TRUE;
    std::lock_guard<std::mutex> lock(m_activeLock);
    return m_pActiveBurn ? m_pActiveBurn->Cancel() : S_OK;
}

HRESULT CBurningHelper::EjectDisc(BOOL bOpen)
{
    DriveRef drive;
    HRESULT hr = TakeDrive(drive.Out());
    return FAILED(hr) ? hr : drive.Get()->Tray(bOpen);
}

HRESULT CBurningHelper::LockTray(BOOL bLock)
{
    DriveRef drive;
    HRESULT hr = TakeDrive(drive.Out());
    return FAILED(hr) ? hr : drive.Get()->LockTray(bLock);
}

HRESULT CBurningHelper::IsMediaReady()
{
    DriveRef drive;
    HRESULT hr = TakeDrive(drive.Out());
    int iState = 0;
    if (SUCCEEDED(hr))
        hr = drive.Get()->GetMediaState(&iState);
    if (FAILED(hr))
        return hr;
    return iState == BRN_MEDIA_READY ? S_OK : E_FAIL;
}

HRESULT CBurningHelper::CheckBurnerExistence(BOOL* pbExists)
{
    CAutoTrace trace(L"CBurningHelper", L"CheckBurnerExistence", this);
    if (!pbExists)
        return RD_E_NULL_ARG;
    if (!m_pBrennel)
        return RD_E_MISSING;
    *pbExists = FALSE;
    DriveRef drive;
    HRESULT hr = TakeDrive(drive.Out());
    int iState = 0;
    if (SUCCEEDED(hr))
        hr = drive.Get()->GetMediaState(&iState);
    if (FAILED(hr)) {
        trace.Print(L"The burner does not exist.");
        return hr;
    }
    *pbExists = TRUE;
    return S_OK;
}

HRESULT CBurningHelper::HasDVDWriter(BOOL* pbFound)
{
    if (!pbFound)
        return RD_E_NULL_ARG;
    if (!m_pBrennel)
        return RD_E_MISSING;
    *pbFound = FALSE;
    UINT uCount = 0;
    m_pBrennel->GetDriveCount(&uCount);
    for (UINT i = 0; i < uCount && !*pbFound; ++i) {
        DriveRef drive;
        DWORD dwCaps = 0;
        if (SUCCEEDED(m_pBrennel->GetDriveByIndex(i, drive.Out())) && drive.Get() &&
            SUCCEEDED(drive.Get()->GetCapabilities(&dwCaps)) && (dwCaps & kWriterBits))
            *pbFound = TRUE;
    }
    return S_OK;
}

HRESULT CBurningHelper::QueryMedia(IBurnDrive* pDrive, IBurnSession* pBurner, BOOL* pbBlank,
                                   ULONGLONG* pullFreeBytes)
{
    HRESULT hr = pBurner->SetDrive(pDrive);
    if (SUCCEEDED(hr))
        hr = pBurner->Prepare();
    if (SUCCEEDED(hr))
        hr = pBurner->GetMediaInfo(nullptr, pbBlank, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    UINT uSectors = 0;
    hr = pBurner->GetFreeSectors(&uSectors, nullptr);
    if (hr == BRN_E_DISC_INFO_NOT_READ) {
        pBurner->RunCommand(BRN_CMD_READ_INFO, 0, nullptr);
        pBurner->Wait(kWaitForever, nullptr, nullptr);
        hr = pBurner->GetFreeSectors(&uSectors, nullptr);
    }
    if (pullFreeBytes)
        *pullFreeBytes = static_cast<ULONGLONG>(uSectors) * BRN_SECTOR_BYTES;
    return hr;
}

HRESULT CBurningHelper::GetMediaInfo(int* piType, BOOL* pbBlank, ULONGLONG* pullFreeBytes)
{
    if (!piType)
        return RD_E_NULL_ARG;
    if (pbBlank)
        *pbBlank = FALSE;
    DriveRef drive;
    HRESULT hr = TakeDrive(drive.Out());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = drive.Get()->GetCurDiscTypeMode(piType, nullptr, nullptr)) || !pbBlank)
        return hr;
    IBurnSession* pBurner = BurnerFor(*piType);
    hr = QueryMedia(drive.Get(), pBurner, pbBlank, pullFreeBytes);
    pBurner->EndSession();
    pBurner->Close();
    pBurner->Detach();
    return hr;
}

BOOL CBurningHelper::CheckBlankMedia(BOOL bAllowRewritable)
{
    int iType = 0;
    BOOL bBlank = FALSE;
    ULONGLONG ullFree = 0;
    GetMediaInfo(&iType, &bBlank, &ullFree);
    bool bUsableType = iType == DTM_DVDR || iType == DTM_DVDPLUSR ||
                       (bAllowRewritable && (iType == DTM_DVDRW || iType == DTM_DVDPLUSRW));
    if (bUsableType && bBlank && ullFree >= kMinimumFreeBytes)
        return TRUE;
    (m_pNotice ? m_pNotice : &g_messageBoxNotice)->ShowMediaRefused();
    return FALSE;
}
