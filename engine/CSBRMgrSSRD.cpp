// The factory reset from the factory disc set: the disk is laid out anew from
// the first disc, every disc's "preload" goes to the new Windows partition,
// and the factory image and the boot partition's image are applied. The
// first disc is checked in full (its file list, layout, sizes and both
// images) before the disk is touched.
#include "CSBRMgr.h"

#include <memory>
#include <new>

#include "CAutoLockDrv.h"
#include "CAutoTrace.h"
#include "CDumpMgr.h"
#include "CWimMgr.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "WimPtr.h"

namespace {

const wchar_t kPreload[] = L"preload\\";
const wchar_t kBootFolder[] = L"preload\\PART0002\\";
const wchar_t kBootImage[] = L"BootBP.wim";
const wchar_t kImageExt[] = L".wim";
const wchar_t kSetInfo[] = L"SETINFO.LOG";
const wchar_t kTempFolder[] = L"MDTemp";
// Where the save step keeps its first copies (the RAM drive's save folder).
const wchar_t kRamSaveFolder[] = L"X:\\SystemRecovery\\RP\\zq\\recovery\\savefile\\";
const DWORD kFirstImage = 1;
const DWORD kFirstDisc = 1;
const DWORD kPercentDone = 100;

bool EndsWithNoCase(const std::wstring& wstr, const wchar_t* pwszTail)
{
    const size_t n = wcslen(pwszTail);
    return wstr.size() > n && _wcsicmp(wstr.c_str() + wstr.size() - n, pwszTail) == 0;
}

} // namespace

// ------------------------------------------------------------ start call

HRESULT CSBRMgr::PerformZQSSRDFactoryReset()
{
    CAutoTrace trace(L"CSBRMgr", L"PerformZQSSRDFactoryReset", this);
    // The disk the dump file lies on is about to be re-partitioned; the
    // worker switches the dump on again once it has a new home.
    g_DumpMgr.SetEnabled(FALSE);
    m_ullTransferredBytes = 0;
    HRESULT hr = StartWorker(RO_SSRD_FACTORY_RESET, ZQSSRDFactoryResetThread);
    if (FAILED(hr))
        g_DumpMgr.SetEnabled(TRUE);
    return hr;
}

DWORD WINAPI CSBRMgr::ZQSSRDFactoryResetThread(LPVOID pvMgr)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQSSRDFactoryResetThread", nullptr);
    m_enZQStatus = OS_REPARTITION;
    CSBRMgr* pMgr = static_cast<CSBRMgr*>(pvMgr);
    const HRESULT hr = pMgr ? pMgr->RunSSRDFactoryReset() : S_OK;
    // Whatever ended the run, its log must not be lost.
    g_DumpMgr.SetEnabled(TRUE);
    return static_cast<DWORD>(hr);
}

// ------------------------------------------------------------ the discs

// Every index of the file list names a disc of the set: the discs count
// from 0 without a gap, so that each index has a disc to come from.
BOOL CSBRMgr::SSRDFileListFitsSet(DWORD dwDiscCount)
{
    if (dwDiscCount == 0 || m_mapWimFiles.empty())
        return FALSE;
    const int iFirst = m_mapWimFiles.begin()->first;
    const int iLast = m_mapWimFiles.rbegin()->first;
    return iFirst == 0 && static_cast<DWORD>(iLast) + 1 == dwDiscCount;
}

HRESULT CSBRMgr::CheckSSRDDisc(DWORD* pdwDiscCount)
{
    CAutoTrace trace(L"CSBRMgr", L"CheckSSRDDisc", this);
    HRESULT hr = ZQGetDiscCount(TRUE, pdwDiscCount);
    if (FAILED(hr))
        return hr;
    if (!SSRDFileListFitsSet(*pdwDiscCount)) {
        trace.Print(L"SPLIT.LOG names a disc outside the set of %lu.", *pdwDiscCount);
        return NV_E_VALUE;
    }
    if (!CheckSSRDLabel(kFirstDisc, *pdwDiscCount))
        return NV_E_VALUE;
    // Without a set identifier any disc would pass for the next one.
    wchar_t wszSetInfo[MAX_PATH];
    FormatPath(wszSetInfo, L"%c:\\%s", GetSSRDDrvLet(), kSetInfo);
    if (GetDiscID(wszSetInfo).empty()) {
        trace.Print(L"%s names no set.", wszSetInfo);
        return NV_E_VALUE;
    }
    return S_OK;
}

HRESULT CSBRMgr::WaitFirstSSRDDisc(DWORD* pdwDiscCount)
{
    CAutoTrace trace(L"CSBRMgr", L"WaitFirstSSRDDisc", this);
    while (FAILED(CheckSSRDDisc(pdwDiscCount))) {
        RejectDisc();
        HRESULT hr = WaitForBootDrive(TRUE);
        if (FAILED(hr))
            return hr;
        LockTray(TRUE);
    }
    trace.Print(L"Checking Disc #1 complete.");
    m_enZQStatus = OS_REPARTITION;
    return S_OK;
}

HRESULT CSBRMgr::WaitNextSSRDDisc(DWORD dwDiscCount)
{
    CAutoTrace trace(L"CSBRMgr", L"WaitNextSSRDDisc", this);
    for (;;) {
        RejectDisc(); // the tray unlocked first: a locked one would not open
        HRESULT hr = WaitForBootDrive(TRUE);
        if (FAILED(hr))
            return hr;
        LockTray(TRUE);
        if (!CheckDiscID(m_wstrFirstDiscID, m_wstrSetInfoPath.c_str()))
            trace.Print(L"CheckDiscID() failed.");
        else if (CheckSSRDLabel(m_dwWaitingDiscIndex + 1, dwDiscCount))
            return S_OK;
    }
}

HRESULT CSBRMgr::CopySSRDDiscs(const ZQSSRDRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"CopySSRDDiscs", this);
    const wchar_t wcDisc = GetSSRDDrvLet();
    wchar_t wszSrc[MAX_PATH], wszDst[MAX_PATH], wszSetInfo[MAX_PATH];
    FormatPath(wszSrc, L"%c:\\%s", wcDisc, kPreload);
    FormatPath(wszDst, L"%c:\\%s", run.wcPart1, kPreload);
    FormatPath(wszSetInfo, L"%c:\\%s", wcDisc, kSetInfo);
    DWORD dwProcessed = 0;
    m_dwWaitingDiscIndex = 1;
    for (;;) {
        m_enZQStatus = OS_SSRD_COPY_CDROM_FILE;
        SetFirstDiscID(GetDiscID(wszSetInfo), wszSetInfo);
        HRESULT hr = NvCopyDir(wszSrc, wszDst, &CSBRMgr::ZQCopyProgressRoutine, &CSBRMgr::ZQCopyFileDoneRoutine);
        if (FAILED(hr)) {
            trace.Print(L"NvCopyDir preload folder fail. hr = %lx", hr);
            return hr;
        }
        ++dwProcessed;
        trace.Print(L"dwProcessedDiscs = %lu, dwTotalDiscs = %lu", dwProcessed, run.dwDiscCount);
        if (dwProcessed >= run.dwDiscCount)
            return S_OK;
        hr = WaitNextSSRDDisc(run.dwDiscCount);
        if (FAILED(hr))
            return hr;
        ++m_dwWaitingDiscIndex;
    }
}

// ------------------------------------------------------------ the checks

// The image the set restores: the shortest ".wim" name of the file list,
// as the name is later found among the copied files. It must lie on one of
// the set's discs, and the first disc's files must be there.
HRESULT CSBRMgr::CheckSSRDImages(ZQSSRDRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"CheckSSRDImages", this);
    const wchar_t wcDisc = GetSSRDDrvLet();
    std::wstring wstrImage;
    for (const auto& entry : m_mapWimFiles) {
        const std::wstring& wstrName = entry.second;
        if (wstrName.find_first_of(L"\\/:") != std::wstring::npos) {
            trace.Print(L"SPLIT.LOG names %s outside the preload folder.", wstrName.c_str());
            return NV_E_FAIL;
        }
        wchar_t wszPath[MAX_PATH];
        if (entry.first == 0 && (FormatPath(wszPath, L"%c:\\%s%s", wcDisc, kPreload, wstrName.c_str()) < 0 ||
                                 !NvFileExists(wszPath))) {
            trace.Print(L"%s is not on the first disc.", wstrName.c_str());
            return NV_E_FAIL;
        }
        if (EndsWithNoCase(wstrName, kImageExt) && (wstrImage.empty() || wstrName.size() < wstrImage.size()))
            wstrImage = wstrName;
    }
    wchar_t wszBoot[MAX_PATH];
    FormatPath(wszBoot, L"%c:\\%s%s", wcDisc, kBootFolder, kBootImage);
    if (wstrImage.empty() || wstrImage.size() >= _countof(run.wszImageName) || !NvFileExists(wszBoot)) {
        trace.Print(L"The set has no factory image or no %s.", kBootImage);
        return NV_E_FAIL;
    }
    FormatPath(run.wszImageName, L"%s", wstrImage.c_str());
    return S_OK;
}

// The layout and the sizes the disk is laid out by; none may be missing.
HRESULT CSBRMgr::LoadSSRDLayout()
{
    CAutoTrace trace(L"CSBRMgr", L"LoadSSRDLayout", this);
    if (FAILED(LoadPartitionInfo()) || GetUPSize() == 0 || GetBPSize() == 0) {
        trace.Print(L"The set's layout or its sizes cannot be read.");
        return NV_E_PARTITION_INFO;
    }
    return S_OK;
}

HRESULT CSBRMgr::SaveFilesBeforeSSRD(ZQSSRDRun& run)
{
    if (m_enZQVendor != ZQ_VENDOR_DOZ || m_bSkipSaveFile)
        return S_OK;
    CAutoTrace trace(L"CSBRMgr", L"SaveFilesBeforeSSRD", this);
    trace.Print(L"Ready to PreSaveFile processing Step 1 before SSRD recovery starts");
    std::list<std::wstring> lstKeep;
    HRESULT hr = GetSaveFileList(lstKeep);
    if (FAILED(hr) || lstKeep.empty())
        return hr;
    // A copy left on the RAM drive by an earlier run would send the new copy
    // to partition 2, which the re-partitioning is about to wipe. Its file
    // is still there and is copied again, so the old copy can go.
    for (const std::wstring& wstrSrc : lstKeep) {
        const size_t nRoot = wstrSrc.size() > 3 && wstrSrc[1] == L':' ? 3 : 0;
        const std::wstring wstrOld = kRamSaveFolder + wstrSrc.substr(nRoot);
        if (NvFileExists(wstrOld.c_str()) && NvFileExists(wstrSrc.c_str())) {
            trace.Print(L"%s is an older copy: replaced.", wstrOld.c_str());
            SetFileAttributesW(wstrOld.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(wstrOld.c_str());
        }
    }
    return PreSaveFileProcessingForSSRD(lstKeep, run.lstSavedFirst);
}

// ------------------------------------------------------------ the disk

HRESULT CSBRMgr::RepartitionForSSRD(ZQSSRDRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"RepartitionForSSRD", this);
    trace.Print(L"Re-Partition.");
    HRESULT hr = ZQSSRDResetDisk();
    // The new table gives every partition a new letter: a letter cached
    // before (the save step caches partition 2's) could point the boot image
    // at the new Windows partition.
    ForgetPartitionLetters();
    if (FAILED(hr))
        return NV_E_FAIL;
    run.wcPart1 = GetMainPart1DrvLet();
    run.wcPart2 = GetMainPart2DrvLet();
    if (!run.wcPart1 || !run.wcPart2) {
        trace.Print(L"The new partitions have no letters.");
        return NV_E_FAIL;
    }
    g_DumpMgr.PrepareDumpFilePath(run.wcPart1);
    g_DumpMgr.SetEnabled(TRUE);
    return S_OK;
}

// ------------------------------------------------------------ the images

HRESULT CSBRMgr::ApplySSRDImage(CWimMgr& wim, const wchar_t* pwszImage, const wchar_t* pwszPattern,
                                const wchar_t* pwszTemp, wchar_t wcTarget)
{
    CAutoTrace trace(L"CSBRMgr", L"ApplySSRDImage", this);
    trace.Print(L"wszBuffer = %s", pwszImage);
    HRESULT hr = wim.SetWimImagePath(pwszImage);
    hr |= wim.SetTempPath(pwszTemp);
    hr |= wim.SetTargetDrive(wcTarget);
    hr |= wim.SetRefPath(pwszPattern);
    hr |= wim.SetImageIndex(kFirstImage);
    hr |= wim.SetMessageCallback(&CSBRMgr::ZQWIMMessageCallback);
    wim.SetMessageCallbackData(this);
    if (FAILED(hr)) {
        trace.Print(L"Setting error.");
        return hr;
    }
    hr = wim.RestoreWimImage();
    if (FAILED(hr))
        trace.Print(L"RestoreWimImage return %lx", hr);
    return hr;
}

HRESULT CSBRMgr::ApplySSRDImages(ZQSSRDRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"ApplySSRDImages", this);
    trace.Print(L"Start to restore WIM files.");
    m_enZQStatus = OS_SSRD_RESTORE_UP;
    WimPtr pWim(new (std::nothrow) CWimMgr(nullptr));
    if (!pWim)
        return NV_E_ALLOC;
    wchar_t wszTemp[MAX_PATH];
    FormatPath(wszTemp, L"%c:\\%s", run.wcPart1, kTempFolder);
    trace.Print(L"wszTempPath = %s", wszTemp);
    wchar_t wszName[MAX_PATH] = {};
    if (FAILED(ZQGetSoftwareBuildFilename(run.wcPart1, wszName, MAX_PATH)))
        return NV_E_FAIL;
    FormatPath(run.wszImageName, L"%s", wszName);
    wchar_t wszImage[MAX_PATH], wszPattern[MAX_PATH];
    FormatPath(wszImage, L"%c:\\%s%s", run.wcPart1, kPreload, wszName);
    FormatPath(wszPattern, L"%c:\\%s*.wim", run.wcPart1, kPreload);
    HRESULT hr = ApplySSRDImage(*pWim, wszImage, wszPattern, wszTemp, run.wcPart1);
    if (FAILED(hr))
        return hr;
    m_enZQStatus = OS_SSRD_RESTORE_SECOND;
    FormatPath(wszImage, L"%c:\\%s%s", run.wcPart1, kBootFolder, kBootImage);
    FormatPath(wszPattern, L"%c:\\%s*.wim", run.wcPart1, kBootFolder);
    hr = ApplySSRDImage(*pWim, wszImage, wszPattern, wszTemp, run.wcPart2);
    if (SUCCEEDED(hr) && NvDirectoryExists(wszTemp))
        NvDeleteDirectory(wszTemp);
    return hr;
}

// ------------------------------------------------------------ the run

HRESULT CSBRMgr::FinishSSRD(ZQSSRDRun& run)
{
    // The restore flag is named after the build: the factory image's name.
    std::wstring wstrBuild = run.wszImageName;
    wstrBuild = wstrBuild.substr(0, wstrBuild.rfind(L'.'));
    HRESULT hr = CreateSSRDFlagFile(wstrBuild.c_str());
    if (FAILED(hr) || m_enZQVendor != ZQ_VENDOR_DOZ)
        return hr;
    if (!m_bSkipSaveFile && !run.lstSavedFirst.empty()) {
        CAutoTrace trace(L"CSBRMgr", L"FinishSSRD", this);
        trace.Print(L"Ready to PreSaveFile processing Step 2 after SSRD recovery creates the UP and RP");
        std::list<std::wstring> lstSavedSecond;
        if (FAILED(hr = PreSaveFileProcessingForSSRD(run.lstSavedFirst, lstSavedSecond)))
            return hr;
    }
    return ZQPostProcessing();
}

HRESULT CSBRMgr::RunSSRDFactoryReset()
{
    CAutoTrace trace(L"CSBRMgr", L"RunSSRDFactoryReset", this);
    CAutoLockDrv tray(this);
    m_dwWaitingDiscIndex = 0;
    ZQSSRDRun run;
    HRESULT hr = WaitFirstSSRDDisc(&run.dwDiscCount);
    if (SUCCEEDED(hr) && m_enZQVendor == ZQ_VENDOR_DOZ)
        hr = ZQPreProcessing();
    if (SUCCEEDED(hr))
        hr = SaveFilesBeforeSSRD(run);
    // Nothing on the disk changes before the set proved complete.
    if (SUCCEEDED(hr))
        hr = LoadSSRDLayout();
    if (SUCCEEDED(hr))
        hr = CheckSSRDImages(run);
    ULONGLONG ullTotal = 0;
    if (SUCCEEDED(hr))
        hr = ZQGetSSRDToCopySize(&ullTotal);
    if (SUCCEEDED(hr))
        hr = RepartitionForSSRD(run);
    if (FAILED(hr))
        return hr;
    m_dwDiscFileCount = static_cast<DWORD>(m_mapWimFiles.size());
    m_ullTotalCopySize = ullTotal;
    trace.Print(L"dwTotalDiscs = %lu", run.dwDiscCount);
    hr = CopySSRDDiscs(run);
    if (SUCCEEDED(hr))
        hr = ApplySSRDImages(run);
    if (SUCCEEDED(hr))
        hr = FinishSSRD(run);
    if (SUCCEEDED(hr))
        m_dwPercent = kPercentDone;
    return hr;
}
