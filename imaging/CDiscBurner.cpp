// Binding the burning engine, the writer list, the current drive and the
// media questions.
#include "CDiscBurner.h"

#include <algorithm>

#include "CComRef.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"

namespace {

const char kGetClassObject[] = "DllGetClassObject";
const char kCanUnloadNow[] = "DllCanUnloadNow";
const wchar_t kRewritableFlag[] = L"\\FBRW";

std::wstring Wide(const char* psz, size_t cchMax)
{
    size_t n = strnlen(psz, cchMax);
    if (n == 0)
        return L"";
    int cch = MultiByteToWideChar(CP_ACP, 0, psz, int(n), nullptr, 0);
    std::wstring s(cch > 0 ? size_t(cch) : 0, L'\0');
    if (cch > 0)
        MultiByteToWideChar(CP_ACP, 0, psz, int(n), &s[0], cch);
    return s;
}

std::wstring CollapseBlanks(const std::wstring& s)
{
    std::wstring out;
    for (wchar_t c : s)
        if (c != L' ' || out.empty() || out.back() != L' ')
            out += c;
    return out;
}

template <class F>
F ProcAddress(HMODULE h, const char* pszName)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(h, pszName)));
}

} // namespace

CDiscBurner::CDiscBurner()
{
    std::wstring strFolder;
    NvGetProgramFolder(strFolder);
    SetProgramFolder(strFolder);
}

CDiscBurner::~CDiscBurner()
{
    Uninit();
}

void CDiscBurner::SetProgramFolder(const std::wstring& strFolder)
{
    m_strProgramDir = strFolder;
    if (!m_strProgramDir.empty() && m_strProgramDir.back() == L'\\')
        m_strProgramDir.pop_back();
    m_bAllowRewritable = NvFileExists((m_strProgramDir + kRewritableFlag).c_str());
}

HRESULT CDiscBurner::Init()
{
    return InitFrom(BRENNEL_DLL_NAME);
}

HRESULT CDiscBurner::InitFrom(const wchar_t* pwszLibrary)
{
    if (!m_pLoader)
        m_pLoader = new (std::nothrow) BurnEngineLoader;
    if (!m_pLoader)
        return E_OUTOFMEMORY;
    if (!m_pLoader->hModule) {
        wcsncpy(m_pLoader->wszName, pwszLibrary, MAX_PATH - 1);
        m_pLoader->hModule = LoadLibraryW(m_pLoader->wszName);
        if (m_pLoader->hModule) {
            m_pLoader->pfnGetClassObject = ProcAddress<PFN_BurnDllGetClassObject>(m_pLoader->hModule, kGetClassObject);
            m_pLoader->pfnCanUnloadNow = ProcAddress<PFN_BurnDllCanUnloadNow>(m_pLoader->hModule, kCanUnloadNow);
        }
        if (!m_pLoader->pfnGetClassObject || !m_pLoader->pfnCanUnloadNow) {
            if (m_pLoader->hModule)
                FreeLibrary(m_pLoader->hModule);
            delete m_pLoader;
            m_pLoader = nullptr;
            return E_OUTOFMEMORY;
        }
    }
    CComRef<IClassFactory> factory;
    if (SUCCEEDED(m_pLoader->pfnGetClassObject(CLSID_BurnEngine, IID_IClassFactory,
                                               reinterpret_cast<void**>(factory.Out()))) &&
        factory.IsValid())
        factory->CreateInstance(nullptr, IID_IBurnEngine, reinterpret_cast<void**>(&m_pBrennel));
    if (!m_pBrennel) {
        UnloadLibrary();
        return NV_E_BURNER_OBJECTS;
    }
    // Without a CD burner the engine stays bound; without a DVD burner
    // nothing of a backup can be burned and the engine goes.
    if (FAILED(CreateBurner(GUID_BurnerKindCD, &m_pCDBurner)))
        return NV_E_BURNER_OBJECTS;
    if (FAILED(CreateBurner(GUID_BurnerKindDVD, &m_pDVDBurner))) {
        Uninit();
        return NV_E_BURNER_OBJECTS;
    }
    EnumWriterDrives();
    SelectDefaultDrive();
    return S_OK;
}

HRESULT CDiscBurner::CreateBurner(const GUID& kind, IBurnSession** ppBurner)
{
    CComRef<IUnknown> object;
    HRESULT hr = m_pBrennel->CreateBurner(kind, object.Out());
    if (FAILED(hr) || !object.IsValid())
        return FAILED(hr) ? hr : E_POINTER;
    hr = object->QueryInterface(IID_IBurnSession, reinterpret_cast<void**>(ppBurner));
    if (SUCCEEDED(hr) && !*ppBurner)
        hr = E_NOINTERFACE;
    return hr;
}

void CDiscBurner::UnloadLibrary()
{
    if (m_pLoader && m_pLoader->hModule && m_pLoader->pfnCanUnloadNow && m_pLoader->pfnCanUnloadNow() == S_OK)
        FreeLibrary(m_pLoader->hModule);
    delete m_pLoader;
    m_pLoader = nullptr;
}

HRESULT CDiscBurner::Uninit()
{
    SetActiveBurner(nullptr);
    for (IBurnSession** pp : {&m_pCDBurner, &m_pDVDBurner}) {
        if (*pp)
            (*pp)->Release();
        *pp = nullptr;
    }
    if (m_pBrennel)
        m_pBrennel->Release();
    m_pBrennel = nullptr;
    UnloadLibrary();
    return S_OK;
}

void CDiscBurner::AddHandler(IBurnEventHandler* pHandler)
{
    if (pHandler)
        m_vecHandlers.push_back(pHandler);
}

void CDiscBurner::RemoveHandler(IBurnEventHandler* pHandler)
{
    m_vecHandlers.erase(std::remove(m_vecHandlers.begin(), m_vecHandlers.end(), pHandler), m_vecHandlers.end());
}

void CDiscBurner::SendEvent(int iEvent, float fProgress)
{
    for (IBurnEventHandler* handler : m_vecHandlers)
        handler->OnBurnEvent(iEvent, fProgress);
}

HRESULT CDiscBurner::EnumWriterDrives()
{
    if (!m_pBrennel)
        return NV_E_BURNER_OBJECTS;
    m_pBrennel->Refresh(0);
    UINT uCount = 0;
    HRESULT hr = m_pBrennel->GetDriveCount(&uCount);
    m_vecDrives.clear();
    m_bHasWriter = FALSE;
    for (UINT i = 0; SUCCEEDED(hr) && i < uCount; i++) {
        CComRef<IBurnDrive> drive;
        hr = m_pBrennel->GetDriveByIndex(i, drive.Out());
        if (!drive.IsValid())
            continue;
        DWORD dwCaps = 0;
        hr = drive->GetCapabilities(&dwCaps);
        if (FAILED(hr) || !(dwCaps & (BRN_CAP_WRITE_CDR | BRN_CAP_WRITE_CDRW)))
            continue;
        m_bHasWriter = TRUE;
        char cLetter = 0;
        BurnInquiry inquiry {};
        hr = drive->GetLetter(&cLetter);
        if (SUCCEEDED(hr))
            hr = drive->GetInquiry(&inquiry);
        if (FAILED(hr))
            continue;
        std::wstring text = Wide(inquiry.szVendor, sizeof inquiry.szVendor) + L" " +
                            Wide(inquiry.szProduct, sizeof inquiry.szProduct) + L" " +
                            Wide(inquiry.szRevision, sizeof inquiry.szRevision);
        m_vecDrives.push_back(std::wstring(1, wchar_t(static_cast<unsigned char>(cLetter))) + L":\\" +
                              CollapseBlanks(text));
    }
    return hr;
}

HRESULT CDiscBurner::SelectDefaultDrive()
{
    if (!m_pBrennel)
        return NV_E_BURNER_OBJECTS;
    UINT uCount = 0;
    m_pBrennel->GetDriveCount(&uCount);
    CComRef<IBurnDrive> drive;
    HRESULT hr = m_pBrennel->GetDriveByIndex(0, drive.Out());
    if (FAILED(hr) || !drive.IsValid())
        return FAILED(hr) ? hr : BRN_E_NO_SUCH_DRIVE;
    char cLetter = 0;
    hr = drive->GetLetter(&cLetter);
    if (SUCCEEDED(hr) && cLetter)
        m_wcCurDrive = wchar_t(static_cast<unsigned char>(cLetter));
    return hr;
}

HRESULT CDiscBurner::SelectDrive(wchar_t wcLetter)
{
    if (!m_pBrennel)
        return NV_E_BURNER_OBJECTS;
    if (wcLetter <= 0 || wcLetter > 0x7F)
        return BRN_E_NO_SUCH_DRIVE;
    CComRef<IBurnDrive> drive;
    HRESULT hr = m_pBrennel->GetDrive(char(wcLetter), drive.Out());
    if (FAILED(hr) || !drive.IsValid())
        return FAILED(hr) ? hr : BRN_E_NO_SUCH_DRIVE;
    m_wcCurDrive = wcLetter;
    return S_OK;
}

HRESULT CDiscBurner::GetCurrentDrive(IBurnDrive** ppDrive)
{
    *ppDrive = nullptr;
    if (!m_pBrennel)
        return NV_E_BURNER_OBJECTS;
    HRESULT hr = m_pBrennel->GetDrive(char(m_wcCurDrive & 0xFF), ppDrive);
    if (SUCCEEDED(hr) && !*ppDrive)
        hr = BRN_E_NO_SUCH_DRIVE;
    return hr;
}

HRESULT CDiscBurner::GetCurrentDisc(IBurnDrive** ppDrive, int* pnType)
{
    HRESULT hr = GetCurrentDrive(ppDrive);
    return FAILED(hr) ? hr : (*ppDrive)->GetCurDiscTypeMode(pnType, nullptr, nullptr);
}

HRESULT CDiscBurner::EjectDisc(BOOL bOpen)
{
    CComRef<IBurnDrive> drive;
    HRESULT hr = GetCurrentDrive(drive.Out());
    return FAILED(hr) ? hr : drive->Tray(bOpen);
}

HRESULT CDiscBurner::IsMediaReady()
{
    CComRef<IBurnDrive> drive;
    HRESULT hr = GetCurrentDrive(drive.Out());
    if (FAILED(hr))
        return hr;
    int nState = 0;
    hr = drive->GetMediaState(&nState);
    if (FAILED(hr))
        return hr;
    return nState == BRN_MEDIA_READY ? S_OK : E_FAIL;
}

IBurnSession* CDiscBurner::BurnerFor(int nType) const
{
    return (nType == DTM_CDR || nType == DTM_CDRW) ? m_pCDBurner : m_pDVDBurner;
}

HRESULT CDiscBurner::ReadFreeSectors(IBurnSession* pBurner, UINT* puSectors)
{
    HRESULT hr = pBurner->GetFreeSectors(puSectors, nullptr);
    if (hr != BRN_E_DISC_INFO_NOT_READ)
        return hr;
    hr = pBurner->RunCommand(BRN_CMD_READ_INFO, 0, nullptr);
    if (SUCCEEDED(hr))
        hr = pBurner->Wait(-1, nullptr, nullptr);
    if (SUCCEEDED(hr))
        hr = pBurner->GetFreeSectors(puSectors, nullptr);
    return hr;
}

HRESULT CDiscBurner::GetMediaInfo(int* pnType, BOOL* pbBlank, ULONGLONG* pullFree)
{
    if (!pnType)
        return E_POINTER;
    if (pbBlank)
        *pbBlank = FALSE;
    CComRef<IBurnDrive> drive;
    HRESULT hr = GetCurrentDisc(drive.Out(), pnType);
    if (FAILED(hr) || !pbBlank)
        return hr;
    IBurnSession* pBurner = BurnerFor(*pnType);
    if (!pBurner)
        return NV_E_BURNER_OBJECTS;
    hr = pBurner->SetDrive(drive.Get());
    if (SUCCEEDED(hr))
        hr = pBurner->Prepare();
    int nMode = 0;
    if (SUCCEEDED(hr))
        hr = pBurner->GetMediaInfo(&nMode, pbBlank, nullptr, nullptr, nullptr, nullptr, nullptr);
    UINT uSectors = 0;
    if (SUCCEEDED(hr))
        hr = ReadFreeSectors(pBurner, &uSectors);
    // A DVD's sectors times 2,048 overflow 32 bits.
    if (SUCCEEDED(hr) && pullFree)
        *pullFree = ULONGLONG(uSectors) * BRN_SECTOR_BYTES;
    pBurner->EndSession();
    pBurner->Close();
    pBurner->Detach();
    return hr;
}

HRESULT CDiscBurner::GetDiscLabel(char* pszLabel, UINT uSize)
{
    if (!pszLabel || uSize == 0)
        return E_POINTER;
    ZeroMemory(pszLabel, uSize);
    int nType = 0;
    CComRef<IBurnDrive> drive;
    HRESULT hr = GetCurrentDisc(drive.Out(), &nType);
    if (FAILED(hr))
        return hr;
    IBurnSession* pBurner = BurnerFor(nType);
    if (!pBurner)
        return NV_E_BURNER_OBJECTS;
    hr = pBurner->SetDrive(drive.Get());
    if (SUCCEEDED(hr))
        hr = pBurner->Prepare();
    if (SUCCEEDED(hr))
        hr = pBurner->RunCommand(BRN_CMD_READ_INFO, 0, nullptr);
    if (SUCCEEDED(hr))
        hr = pBurner->Wait(-1, nullptr, nullptr);
    if (SUCCEEDED(hr))
        hr = pBurner->GetVolumeLabel(pszLabel, uSize);
    pszLabel[uSize - 1] = '\0';
    if (FAILED(hr))
        ZeroMemory(pszLabel, uSize);
    HRESULT hrClose = pBurner->Close();
    HRESULT hrDetach = pBurner->Detach();
    if (SUCCEEDED(hr))
        hr = FAILED(hrClose) ? hrClose : hrDetach;
    return hr;
}

void CDiscBurner::SetActiveBurner(IBurnSession* pBurner)
{
    if (pBurner)
        pBurner->AddRef();
    IBurnSession* pOld = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_activeLock);
        pOld = m_pActiveBurner;
        m_pActiveBurner = pBurner;
    }
    if (pOld)
        pOld->Release();
}

IBurnSession* CDiscBurner::ActiveBurner()
{
    std::lock_guard<std::mutex> lock(m_activeLock);
    return m_pActiveBurner;
}

HRESULT CDiscBurner::Cancel()
{
    m_bBurnCancelled = TRUE;
    std::lock_guard<std::mutex> lock(m_activeLock);
    return m_pActiveBurner ? m_pActiveBurner->Cancel() : S_OK;
}
