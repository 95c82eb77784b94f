#include "CSBRMgr.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "Win32Error.h"
#ifndef RV_DISCORA
#include "ZQSSRDWimInfo.h"
#endif
#include "ZQUCRDWimInfo.h"

namespace {

wchar_t g_wszWinPEISOPath[MAX_PATH];

const wchar_t kISOTail[] = L"MakeWinPEISO\\winpe_x86\\ISO";
const wchar_t kBootImageTail[] = L"MakeWinPEISO\\winpe_x86\\ISO\\sources\\boot.wim";

} // namespace

CSBRMgr::CSBRMgr(IControllerEnvironment* pEnv)
    : m_dwDiscFileCount(0),
      m_dwCopiedFileCount(0),
      m_ullTotalCopySize(0),
      m_dwRecoveryMode(0),
      m_dwBackupOrigin(0),
      m_bFinishDlg(FALSE),
      m_bCTOPanic(FALSE),
      m_bFileRestore(FALSE),
      m_pEnv(pEnv),
      m_bWimFltrStarted(FALSE),
      m_pIDiskMgmt(nullptr),
      m_dwDiskCount(0),
      m_dwCDROMCount(0),
      m_dwCurCDROMIndex(INVALID_CDROM_INDEX),
      m_dwOSVersion(0),
      m_pDiscPass(std::make_shared<CDiscInfoPass>()),
      m_hDiscInfoWorker(nullptr),
      m_phDiscInfoEvent(nullptr),
      m_wszProgramFolder{},
      m_pIBurnMgmt(nullptr),
      m_dwUPDiskIndex(INVALID_INDEX),
      m_dwRPDATADiskIndex(INVALID_INDEX),
      m_wcUPDrvLet(0),
      m_wcSPDrvLet(0),
      m_wcRPDrvLet(0),
      m_wcRPDATADrvLet(0),
      m_wcMainPart1DrvLet(0),
      m_wcMainPart2DrvLet(0),
      m_wcUCRDDrvLet(0),
      m_wcSSRDDrvLet(0),
      m_dwBootCDROMIndex(INVALID_CDROM_INDEX),
      m_wcWindowsDrvLet(0),
      m_dwRPDATAPartIndex(INVALID_INDEX),
      m_dwShrinkPartIndex(INVALID_INDEX),
      m_pSSRDWimInfo(nullptr),
      m_hZQRecoveryThread(nullptr),
      m_bThreadSuspended(FALSE),
      m_hResumeEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      m_enOperation(RO_NONE),
      m_hrZQOpResult(S_OK),
      m_bRepartitioned(FALSE),
      m_dwZQOSVer(0),
      m_enZQVendor(0),
      m_bSkipSaveFile(FALSE),
      m_bRecheckRPDrvLet(FALSE),
      m_bVerifyUCRDSign(FALSE),
#ifdef RV_DISCORA
      m_wszUPVolumeNameBuf{},
      m_wszRPVolumeNameBuf{},
      m_wszRestoreSourcePath{},
#endif
      m_pUCRDWimInfo(new (std::nothrow) ZQUCRDWimInfo()),
      m_ullDesireShrinkSize(0),
      m_bNeedShrink(FALSE),
      m_bNeedWipe(FALSE),
      m_bPowerWarning(FALSE),
      m_ullUPSize(0),
      m_ullBPSize(0)
{
    if (!m_pEnv) {
        m_pOwnEnv.reset(new CSystemControllerEnvironment());
        m_pEnv = m_pOwnEnv.get();
    }
#ifndef RV_DISCORA
    // The disc creator reads no factory disc set.
    m_pSSRDWimInfo = new (std::nothrow) ZQSSRDWimInfo();
#endif
    m_phDiscInfoEvent = m_pDiscPass->EventSlot();
    InitializeCriticalSection(&m_csInit);
    CoInitialize(nullptr);
}

CSBRMgr::~CSBRMgr()
{
    // A pass that hangs in a drive is let go after the limit: it holds its
    // own state and burn object and touches nothing of the controller.
    JoinDiscInfoWorker(m_pEnv->DiscPassWaitMilliseconds());
    ReleaseComObjects();
    m_phDiscInfoEvent = nullptr;
#ifndef RV_DISCORA
    delete m_pSSRDWimInfo;
#endif
    m_pSSRDWimInfo = nullptr;
    delete m_pUCRDWimInfo;
    m_pUCRDWimInfo = nullptr;
    if (m_hResumeEvent)
        CloseHandle(m_hResumeEvent);
    if (m_hZQRecoveryThread)
        CloseHandle(m_hZQRecoveryThread);
    DeleteCriticalSection(&m_csInit);
    CoUninitialize();
}

HRESULT CSBRMgr::Init()
{
    CAutoTrace trace(L"CSBRMgr", L"Init", this);
    EnterCriticalSection(&m_csInit);
    std::wstring folder = m_pEnv->ProgramFolder();
    _snwprintf(m_wszProgramFolder, MAX_PATH - 1, L"%s", folder.c_str());
    _snwprintf(g_wszWinPEISOPath, MAX_PATH - 1, L"%s%s", m_wszProgramFolder, kISOTail);
    SetupQsvd();
    wchar_t wszIni[MAX_PATH];
    FormatPath(wszIni, L"%sMD.ini", m_wszProgramFolder);
    HRESULT hr = m_oMDConfig.LoadConfig(wszIni);
    LeaveCriticalSection(&m_csInit);
    return hr;
}

BOOL CSBRMgr::IsUnderWinPE()
{
    return CachedOSVersion() == OSV_WINPE;
}

DWORD CSBRMgr::CachedOSVersion()
{
    if (m_dwOSVersion == 0)
        NvGetOSVersion(&m_dwOSVersion);
    return m_dwOSVersion;
}

void CSBRMgr::SetZQOSVer(DWORD dwVer)
{
    CAutoTrace trace(L"CSBRMgr", L"SetZQOSVer", this);
    trace.Print(L"ver = %lu", dwVer);
    m_dwZQOSVer = dwVer;
}

void CSBRMgr::SetZQVendor(DWORD dwVendor)
{
    CAutoTrace trace(L"CSBRMgr", L"SetZQVendor", this);
    trace.Print(L"vendor = %lu", dwVendor);
    m_enZQVendor = dwVendor;
}

void CSBRMgr::SetRestoreSourcePath(const wchar_t* pwszPath)
{
    if (!pwszPath)
        pwszPath = L"";
    // Room is kept for the backslash: a path that fills the buffer is cut.
    _snwprintf(m_wszRestoreSourcePath, MAX_PATH - 2, L"%s", pwszPath);
    m_wszRestoreSourcePath[MAX_PATH - 2] = L'\0';
    size_t cch = wcslen(m_wszRestoreSourcePath);
    if (cch == 0 || m_wszRestoreSourcePath[cch - 1] != L'\\') {
        m_wszRestoreSourcePath[cch] = L'\\';
        m_wszRestoreSourcePath[cch + 1] = L'\0';
    }
}

const wchar_t* CSBRMgr::GetWinPEISOPath()
{
    return g_wszWinPEISOPath;
}

namespace {

// Last-write time of a file opened read-only; the handle is always closed.
HRESULT LastWriteTime(const wchar_t* pwszPath, FILETIME* pft)
{
    if (!pwszPath || !*pwszPath)
        return NV_E_PATH_ARG;
    CAutoHandle file(CreateFileW(pwszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, nullptr));
    if (!file.IsValid()) {
        DebugPrint(L"Create File Failed.\n");
        PrintWin32Error(GetLastError());
        return NV_E_FILE_IO;
    }
    if (!GetFileTime(file.Get(), nullptr, nullptr, pft))
        return NV_E_FILE_TIME;
    if (!file.Close())
        PrintWin32Error(GetLastError());
    return S_OK;
}

} // namespace

HRESULT CSBRMgr::IsWinPEISOOutdated(BOOL* pbOutdated)
{
    if (!pbOutdated)
        return NV_E_INVALID_ARG;
    wchar_t wszImage[MAX_PATH];
    if (FormatPath(wszImage, L"%s\\sources\\boot.wim", g_wszWinPEISOPath) < 0)
        return NV_E_INVALID_ARG;
    if (!NvFileExists(wszImage)) {
        *pbOutdated = TRUE;
        return S_OK;
    }
    const wchar_t* pwszTail = wcsstr(wszImage, kBootImageTail);
    wchar_t wszModule[MAX_PATH] = {};
    DWORD cch = GetModuleFileNameW(nullptr, wszModule, MAX_PATH);
    const wchar_t* pwszName = cch ? wcsrchr(wszModule, L'\\') : nullptr;
    if (!pwszTail || !pwszName)
        return NV_E_INVALID_ARG;
    wchar_t wszProgram[MAX_PATH];
    if (FormatPath(wszProgram, L"%.*s%s", static_cast<int>(pwszTail - wszImage), wszImage, pwszName + 1) < 0)
        return NV_E_INVALID_ARG;

    FILETIME ftImage{}, ftProgram{};
    HRESULT hr = LastWriteTime(wszImage, &ftImage);
    if (FAILED(hr))
        return hr;
    hr = LastWriteTime(wszProgram, &ftProgram);
    if (FAILED(hr))
        return hr;
    *pbOutdated = CompareFileTime(&ftProgram, &ftImage) > 0;
    return S_OK;
}

int FormatPathA(char (&szBuf)[MAX_PATH], const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    int n = _vsnprintf(szBuf, MAX_PATH - 1, pszFormat, args);
    va_end(args);
    szBuf[MAX_PATH - 1] = '\0';
    return n < 0 ? static_cast<int>(strlen(szBuf)) : n;
}
