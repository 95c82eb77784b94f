// Optical drives and recovery discs: which kind of recovery disc is in the
// boot drive, a disc set's file list and identity, the wait for the next
// disc, and the background pass over all drives.
#include "CSBRMgr.h"

#include <cstdio>
#include <cwchar>

#include "CAutoTrace.h"
#include "DiskMgmt.h"
#include "IniFile.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

#ifndef RV_DISCORA
const wchar_t kSSRDMark[] = L"preload\\PART0002\\";
const wchar_t kUCRDDesktopMark[] = L"zq\\MLs\\BuildInfo.ini";
const wchar_t kUCRDNotebookMark[] = L"system.sav";
// Disc indexes a set's list may name, from 0.
const int kMaxDiscs = 100;

#endif

// Holds the burn object's current-drive selection for one sequence of calls:
// the start-up pass and the pages must not select drives under each other.
class CBurnLock {
public:
    explicit CBurnLock(CRITICAL_SECTION* pcs) : m_pcs(pcs) { EnterCriticalSection(m_pcs); }
    ~CBurnLock() { LeaveCriticalSection(m_pcs); }
    CBurnLock(const CBurnLock&) = delete;
    CBurnLock& operator=(const CBurnLock&) = delete;

private:
    CRITICAL_SECTION* m_pcs;
};

} // namespace

HRESULT CSBRMgr::EnsureBurnMgmt()
{
    if (m_pIBurnMgmt)
        return S_OK;
    return CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt,
                            reinterpret_cast<void**>(&m_pIBurnMgmt));
}

HRESULT CSBRMgr::RefreshDriveCount()
{
    CBurnLock lock(BurnLock());
    m_pIBurnMgmt->Initialize(0);
    DWORD dwCount = 0;
    HRESULT hr = m_pIBurnMgmt->GetDriveCount(&dwCount);
    m_dwCDROMCount = SUCCEEDED(hr) ? dwCount : 0;
    return hr;
}

HRESULT CSBRMgr::InitBurning()
{
    HRESULT hr = EnsureBurnMgmt();
    if (FAILED(hr))
        return hr;
    RefreshDriveCount();
    return S_OK;
}

DWORD CSBRMgr::GetCDROMCount()
{
    if (IsUnderWinPE() && SUCCEEDED(EnsureBurnMgmt()))
        RefreshDriveCount();
    return m_dwCDROMCount;
}

HRESULT CSBRMgr::GetDrvLetter(DWORD dwIndex, wchar_t* pwcDrvLet)
{
    if (!m_pIBurnMgmt)
        return E_FAIL;
    return m_pIBurnMgmt->GetDrvLetter(dwIndex, pwcDrvLet);
}

void CSBRMgr::SetBootCDROMIndex(DWORD dwIndex)
{
    m_dwBootCDROMIndex = dwIndex;
    m_pDiscPass->SetBootIndex(dwIndex);
}

void CSBRMgr::SelectBootDrive()
{
    // Another pass may have left any drive current; the tray calls act on
    // the current one. Callers hold the burn lock.
    if (m_pIBurnMgmt && m_dwBootCDROMIndex != INVALID_CDROM_INDEX
        && SUCCEEDED(m_pIBurnMgmt->SelectDrive(m_dwBootCDROMIndex)))
        m_dwCurCDROMIndex = m_dwBootCDROMIndex;
}

#ifndef RV_DISCORA

HRESULT CSBRMgr::IsBootDriveReady()
{
    if (!m_pIBurnMgmt)
        return E_FAIL;
    CBurnLock lock(BurnLock());
    SelectBootDrive();
    return m_pIBurnMgmt->IsDrvReady();
}

HRESULT CSBRMgr::LockTray(BOOL bLock)
{
    CAutoTrace trace(L"CSBRMgr", L"LockTray", this);
    if (!m_pIBurnMgmt) {
        trace.Print(L"m_pIBurnMgmt == NULL");
        return E_FAIL;
    }
    CBurnLock lock(BurnLock());
    SelectBootDrive();
    HRESULT hr = m_pIBurnMgmt->LockTray(bLock);
    trace.Print(L"IBurnMgmt::LockTray returns hr == %lx", hr);
    return hr;
}

HRESULT CSBRMgr::EjectTray(BOOL bEject)
{
    if (!m_pIBurnMgmt)
        return E_FAIL;
    CBurnLock lock(BurnLock());
    SelectBootDrive();
    return m_pIBurnMgmt->EjectTray(bEject);
}

wchar_t CSBRMgr::GetSSRDDrvLet()
{
    CAutoTrace trace(L"CSBRMgr", L"GetSSRDDrvLet", this);
    if (m_wcSSRDDrvLet) {
        trace.Print(L"return %c", m_wcSSRDDrvLet);
        return m_wcSSRDDrvLet;
    }
    if (m_dwBootCDROMIndex == INVALID_CDROM_INDEX) {
        trace.Print(L"INVALID_CDROM_INDEX == m_dwBootCDROMIndex");
        return 0;
    }
    WCHAR wcDrvLet = 0;
    if (m_pIBurnMgmt) {
        CBurnLock lock(BurnLock());
        if (SUCCEEDED(m_pIBurnMgmt->SelectDrive(m_dwBootCDROMIndex)))
            m_dwCurCDROMIndex = m_dwBootCDROMIndex;
        if (SUCCEEDED(m_pIBurnMgmt->IsDrvReady())) {
            if (FAILED(m_pIBurnMgmt->GetDrvLetter(m_dwBootCDROMIndex, &wcDrvLet))) {
                trace.Print(L"GetDrvLetter fail.");
                return 0;
            }
        }
    }
    if (!wcDrvLet) {
        trace.Print(L"0 == wcDrvLet.");
        return 0;
    }
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\%s", wcDrvLet, kSSRDMark);
    if (RootFileExists(wcDrvLet, kSSRDMark)) {
        trace.Print(L"PathFileExists - %s", wszPath);
        m_wcSSRDDrvLet = wcDrvLet;
    }
    trace.Print(L"return %c", m_wcSSRDDrvLet ? m_wcSSRDDrvLet : L' ');
    return m_wcSSRDDrvLet;
}

BOOL CSBRMgr::UCRDMarksPresent(wchar_t wcDrvLet)
{
    CAutoTrace trace(L"CSBRMgr", L"UCRDMarksPresent", this);
    const bool bDesktop = m_enZQVendor == ZQ_VENDOR_DOZ;
    const wchar_t* pwszMark = bDesktop ? kUCRDDesktopMark : kUCRDNotebookMark;
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\%s", wcDrvLet, pwszMark);
    wchar_t wszDebug[MAX_PATH + 64];
    _snwprintf(wszDebug, _countof(wszDebug) - 1, L"CSBRMgr::GetUCRDDrvLet() - %s check %s", bDesktop ? L"dOZ" : L"cNB",
               wszPath);
    wszDebug[_countof(wszDebug) - 1] = 0;
    OutputDebugStringW(wszDebug);
    if (!RootFileExists(wcDrvLet, pwszMark)) {
        trace.Print(L"%s not exist.", wszPath);
        return FALSE;
    }
    FormatPath(wszPath, L"%c:\\%s", wcDrvLet, kSSRDMark);
    if (RootFileExists(wcDrvLet, kSSRDMark)) {
        trace.Print(L"error: %s exist.", wszPath);
        return FALSE;
    }
    return TRUE;
}

wchar_t CSBRMgr::GetUCRDDrvLet()
{
    CAutoTrace trace(L"CSBRMgr", L"GetUCRDDrvLet", this);
    if (m_wcUCRDDrvLet) {
        trace.Print(L"m_wcUCRDDrvLet has a value.");
        if (m_bVerifyUCRDSign) {
            trace.Print(L"GetZQVerifyUCRDSign returns true.");
            if (!IsUCRDDrvLetRight(m_wcUCRDDrvLet)) {
                trace.Print(L"IsUCRDDrvLetRight returns false.");
                m_wcUCRDDrvLet = 0;
                return 0;
            }
            trace.Print(L"IsUCRDDrvLetRight returns true.");
        }
        return m_wcUCRDDrvLet;
    }
    if (m_dwBootCDROMIndex == INVALID_CDROM_INDEX) {
        trace.Print(L"INVALID_CDROM_INDEX == m_dwBootCDROMIndex");
        return 0;
    }
    if (!m_pIBurnMgmt) {
        trace.Print(L"IsDrvReady failed.");
        return 0;
    }
    WCHAR wcDrvLet = 0;
    {
        CBurnLock lock(BurnLock());
        if (SUCCEEDED(m_pIBurnMgmt->SelectDrive(m_dwBootCDROMIndex)))
            m_dwCurCDROMIndex = m_dwBootCDROMIndex;
        if (FAILED(m_pIBurnMgmt->IsDrvReady())) {
            trace.Print(L"IsDrvReady failed.");
            return 0;
        }
        if (FAILED(m_pIBurnMgmt->GetDrvLetter(m_dwBootCDROMIndex, &wcDrvLet))) {
            trace.Print(L"GetDrvLetter failed.");
            return 0;
        }
    }
    if (!wcDrvLet) {
        trace.Print(L"GetDrvLetter return null character.");
        return 0;
    }
    if (!UCRDMarksPresent(wcDrvLet))
        return 0;
    m_wcUCRDDrvLet = wcDrvLet;
    trace.Print(L"CSBRMgr::GetUCRDDrvLet() - return UCRD drv let = %c", wcDrvLet);
    return wcDrvLet;
}

BOOL CSBRMgr::IsUCRDDrvLetRight(wchar_t wcDrvLet)
{
    CAutoTrace trace(L"CSBRMgr", L"IsUCRDDrvLetRight", this);
    if (!wcDrvLet || !UCRDMarksPresent(wcDrvLet))
        return FALSE;
    trace.Print(L"CSBRMgr::IsUCRDDrvLetRight() - return UCRD drv let = %c", wcDrvLet);
    return TRUE;
}

RecoveryDiscType CSBRMgr::GetRecoveryDiscType()
{
    CAutoTrace trace(L"CSBRMgr", L"GetRecoveryDiscType", this);
    if (GetSSRDDrvLet()) {
        trace.Print(L"RDT_SSRD.");
        return RDT_SSRD;
    }
    if (GetUCRDDrvLet()) {
        trace.Print(L"RDT_UCRD.");
        return RDT_UCRD;
    }
    trace.Print(L"RDT_UNKNOWN.");
    return RDT_UNKNOWN;
}

BOOL CSBRMgr::FirstUCRDIsExist()
{
    CAutoTrace trace(L"CSBRMgr", L"FirstUCRDIsExist", this);
    m_bVerifyUCRDSign = TRUE;
    wchar_t wc = GetUCRDDrvLet();
    m_bVerifyUCRDSign = FALSE;
    trace.Print(wc ? L"GetUCRDDrvLet returns a drive letter." : L"GetUCRDDrvLet returns null character.");
    return wc != 0;
}

BOOL CSBRMgr::CheckSSRDLabel(DWORD dwDiscNumber, DWORD dwDiscCount)
{
    CAutoTrace trace(L"CSBRMgr", L"CheckSSRDLabel", this);
    trace.Print(L"dwCurrentDiscIndex == %lu, dwTotalDiscCount == %lu", dwDiscNumber, dwDiscCount);
    std::wstring label = m_pEnv->VolumeLabel(GetSSRDDrvLet());
    trace.Print(L"wszVolumeName == %s", label.c_str());
    wchar_t wszExpect[MAX_PATH];
    FormatPath(wszExpect, L"VovedudUzev%lu%lu", dwDiscNumber, dwDiscCount);
    trace.Print(L"wszExpectLabel == %s", wszExpect);
    if (_wcsicmp(label.c_str(), wszExpect) == 0) {
        trace.Print(L"%s and %s match!", label.c_str(), wszExpect);
        return TRUE;
    }
    trace.Print(L"%s and %s do not match!", label.c_str(), wszExpect);
    return FALSE;
}

std::wstring CSBRMgr::GetDiscID(const wchar_t* pwszSetInfoPath)
{
    CAutoTrace trace(L"CSBRMgr", L"GetDiscID", nullptr);
    if (!pwszSetInfoPath) {
        trace.Print(L"[GetDiscID] - Invalid Arguments.");
        return std::wstring();
    }
    if (!NvFileExists(pwszSetInfoPath)) {
        trace.Print(L"[GetDiscID] - Failed to open %s.", pwszSetInfoPath);
        return std::wstring();
    }
    IniFile ini;
    ini.SetFile(pwszSetInfoPath);
    return ini.GetString(L"SETINFO", L"SETID", L"");
}

BOOL CSBRMgr::CheckDiscID(const std::wstring& wstrFirstID, const wchar_t* pwszSetInfoPath)
{
    CAutoTrace trace(L"CSBRMgr", L"[CheckDiscID]", this);
    std::wstring id = GetDiscID(pwszSetInfoPath);
    if (id == wstrFirstID) {
        trace.Print(L"[CheckDiscID] - [End] Disc ID checking pass, ID=%s.", id.c_str());
        return TRUE;
    }
    trace.Print(L"[CheckDiscID] - Disc ID is not the same as ID of first disc, Cur ID=%s, First Disc ID=%s.",
                id.c_str(), wstrFirstID.c_str());
    return FALSE;
}

void CSBRMgr::SetFirstDiscID(const std::wstring& wstrID, const std::wstring& wstrSetInfoPath)
{
    m_wstrFirstDiscID = wstrID;
    m_wstrSetInfoPath = wstrSetInfoPath;
}

HRESULT CSBRMgr::ZQGetDiscCount(BOOL bFactorySet, DWORD* pdwCount)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQGetDiscCount", this);
    if (!pdwCount)
        return NV_E_INVALID_ARG;
    wchar_t wc = bFactorySet ? GetSSRDDrvLet() : GetUCRDDrvLet();
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\preload\\SPLIT.LOG", wc);
    FILE* pFile = wc ? _wfopen(wszPath, L"rt") : nullptr;
    if (!pFile)
        return NV_E_FILE_IO;
    // A second read of the list must not count its files twice.
    m_mapWimFiles.clear();
    wchar_t wszToken[MAX_PATH];
    while (fwscanf(pFile, L"%259ls", wszToken) == 1) {
        trace.Print(L"wszBuffer == %s", wszToken);
        wchar_t* pwszEq = wcschr(wszToken, L'=');
        if (!pwszEq || pwszEq == wszToken || !pwszEq[1])
            break;
        *pwszEq = L'\0';
        long lIndex = wcstol(pwszEq + 1, nullptr, 10);
        trace.Print(L"dwDiscIndex == %lu", static_cast<DWORD>(lIndex));
        // Inserted after any entries of the same index.
        m_mapWimFiles.insert(m_mapWimFiles.upper_bound(static_cast<int>(lIndex)),
                             std::make_pair(static_cast<int>(lIndex), std::wstring(wszToken)));
    }
    fclose(pFile);
    DWORD dwDiscs = 0;
    for (int i = 0; i < kMaxDiscs; ++i) {
        DWORD n = static_cast<DWORD>(m_mapWimFiles.count(i));
        trace.Print(L"%d count == %lu", i, n);
        if (n)
            ++dwDiscs;
    }
    // A file on a disc the set does not have would be waited for forever:
    // every index must name one of the set's discs, counted from 0.
    if (!m_mapWimFiles.empty() &&
        (m_mapWimFiles.begin()->first < 0 || m_mapWimFiles.rbegin()->first >= static_cast<int>(dwDiscs))) {
        trace.Print(L"SPLIT.LOG names disc index %d outside the set of %lu discs.",
                    m_mapWimFiles.begin()->first < 0 ? m_mapWimFiles.begin()->first : m_mapWimFiles.rbegin()->first,
                    dwDiscs);
        m_mapWimFiles.clear();
        return NV_E_VALUE;
    }
    *pdwCount = dwDiscs;
    return S_OK;
}

UCRDLabelSplit SplitUCRDLabel(const std::wstring& wstrLabel, std::wstring* pwstrDigits)
{
    // Tokens as the runtime tokenizer cuts them at a lower-case 'y': leading
    // delimiters skipped, each token ends at the next one.
    const wchar_t kDelimiter = L'y';
    size_t first = wstrLabel.find_first_not_of(kDelimiter);
    if (first == std::wstring::npos)
        return ULS_NO_SPLIT;
    size_t end = wstrLabel.find(kDelimiter, first);
    if (_wcsicmp(wstrLabel.substr(first, end == std::wstring::npos ? end : end - first).c_str(), L"Recover") != 0)
        return ULS_WRONG_TEXT;
    pwstrDigits->clear();
    size_t second = end == std::wstring::npos ? end : wstrLabel.find_first_not_of(kDelimiter, end);
    if (second != std::wstring::npos)
        *pwstrDigits = wstrLabel.substr(second, wstrLabel.find(kDelimiter, second) - second);
    return ULS_OK;
}

BOOL CSBRMgr::DiscLabelMatchesWaitedDisc()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQWaitTheCorrectRecoverydisc", nullptr);
    std::wstring label = m_pEnv->VolumeLabel(GetUCRDDrvLet());
    std::wstring digits;
    UCRDLabelSplit enSplit = SplitUCRDLabel(label, &digits);
    if (enSplit == ULS_NO_SPLIT) {
        trace.Print(L"[ZQWaitTheCorrectRecoverydisc] - Return failure from wcstok_s().");
        return FALSE;
    }
    if (enSplit == ULS_WRONG_TEXT) {
        trace.Print(L"[ZQWaitTheCorrectRecoverydisc] - Return failure from _wcsicmp().");
        return FALSE;
    }
    if (digits.size() >= 1 && static_cast<DWORD>(digits[0] - L'0') == m_dwWaitingDiscIndex + 1)
        return TRUE;
    trace.Print(L"[ZQWaitTheCorrectRecoverydisc] - Return failure in [Step 2]: Check if disc index is right.");
    return FALSE;
}

void CSBRMgr::RejectDisc()
{
    LockTray(FALSE);
    if (m_pIBurnMgmt)
        EjectTray(TRUE);
    m_enZQStatus = OS_WAIT_DISC;
}

HRESULT CSBRMgr::ZQWaitTheCorrectRecoverydisc(DWORD dwDiscIndex)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQWaitTheCorrectRecoverydisc", nullptr);
    if (dwDiscIndex < 1)
        return NV_E_INVALID_ARG;
    const DWORD dwPoll = m_pEnv->DiscPollMilliseconds();
    for (;;) {
        // Without the burn object no disc can ever become ready, and a user
        // who gave up must not be kept waiting.
        for (;;) {
            if (m_bUserAbort)
                return NV_E_USER_CANCELLED;
            if (!m_pIBurnMgmt)
                return E_FAIL;
            if (SUCCEEDED(IsBootDriveReady()))
                break;
            m_pEnv->Clock().Sleep(dwPoll);
        }
        trace.Print(L"[ZQWaitTheCorrectRecoverydisc] - Drive is ready.");
        LockTray(TRUE);
        trace.Print(L"[ZQWaitTheCorrectRecoverydisc] - Lock the tray.");
        if (!CheckDiscID(m_wstrFirstDiscID, m_wstrSetInfoPath.c_str())) {
            trace.Print(L"[ZQWaitTheCorrectRecoverydisc] - Return failure from CheckDiscID(%s).",
                        m_wstrFirstDiscID.c_str());
        } else if (DiscLabelMatchesWaitedDisc()) {
            return S_OK;
        }
        RejectDisc();
    }
}

HRESULT CSBRMgr::GetWaitingDiscIndex(DWORD* pdwIndex)
{
    if (!pdwIndex || m_enZQStatus != OS_WAIT_DISC)
        return NV_E_INVALID_ARG;
    *pdwIndex = m_dwWaitingDiscIndex;
    return S_OK;
}

#endif // RV_DISCORA

HRESULT CSBRMgr::UpdateDiscInfoCache()
{
    if (m_pDiscPass->IsRunning() || !m_phDiscInfoEvent || !*m_phDiscInfoEvent)
        return NV_E_FAIL;
    if (SUCCEEDED(EnsureBurnMgmt()))
        RefreshDriveCount();
    JoinDiscInfoWorker(m_pEnv->DiscPassWaitMilliseconds());
    HANDLE hThread = nullptr;
    if (FAILED(m_pDiscPass->Start(m_pIBurnMgmt, m_dwCDROMCount, IsUnderWinPE(), &hThread)))
        return NV_E_FAIL;
    m_hDiscInfoWorker = hThread;
    return S_OK;
}

void CSBRMgr::JoinDiscInfoWorker(DWORD dwMilliseconds)
{
    if (!m_hDiscInfoWorker)
        return;
    if (WaitForSingleObject(m_hDiscInfoWorker, dwMilliseconds) != WAIT_OBJECT_0)
        DebugPrint(L"The disc-information pass did not end in %lu ms; it is left to finish alone.\n",
                   dwMilliseconds);
    CloseHandle(m_hDiscInfoWorker);
    m_hDiscInfoWorker = nullptr;
}

BOOL CSBRMgr::WaitDiscInfoPass(DWORD dwMilliseconds)
{
    return m_phDiscInfoEvent && *m_phDiscInfoEvent &&
           WaitForSingleObject(*m_phDiscInfoEvent, dwMilliseconds) == WAIT_OBJECT_0;
}

ZQDiscInfo CSBRMgr::GetDiscInfoEntry(DWORD dwIndex)
{
    return m_pDiscPass->Entry(dwIndex);
}
