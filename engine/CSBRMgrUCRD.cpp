// Recovery from a user-created disc set: the copy of the set from the
// optical drive onto the disk, disc by disc, and the factory reset that
// lays the disk out anew from the set. Everything the operations restore
// from is read and checked before the first step that changes the disk.
#include "CSBRMgr.h"

#include <cwchar>

#include "CAutoLockDrv.h"
#include "CAutoTrace.h"
#include "CDriveLayout.h"
#include "CDumpMgr.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "ZQWimInfoPar.h"

namespace {

const wchar_t kTempFolder[] = L"MDTemp";
const wchar_t kImageExt[] = L".wim";
const wchar_t kDiscFolder[] = L"zq";
const wchar_t kRamSaveFolder[] = L"X:\\zq\\recovery\\savefile\\";
const DWORD kFullImage = 1;
const DWORD kMinimalImage = 3;
const DWORD kPercentDone = 100;
const int kDeleteTries = 14;
const DWORD kDeleteRetryMilliseconds = 1000;
const ULONGLONG kShrinkStepMiB = 100;
const int kMiBShift = 20;

// The dump may be left switched off by a move that failed half-way; the
// operation's log must go on whatever ends it.
class CDumpBackOn {
public:
    CDumpBackOn() = default;
    ~CDumpBackOn() { g_DumpMgr.SetEnabled(TRUE); }
    CDumpBackOn(const CDumpBackOn&) = delete;
    CDumpBackOn& operator=(const CDumpBackOn&) = delete;
};

bool HasImageExt(const std::wstring& wstrName)
{
    const size_t n = wcslen(kImageExt);
    return wstrName.size() > n && _wcsicmp(wstrName.c_str() + wstrName.size() - n, kImageExt) == 0;
}

// The partition's length at a position counted over the used entries from 1.
bool PartitionLength(DWORD dwDisk, DWORD dwPosition, ULONGLONG* pullLength)
{
    CDriveLayout layout;
    if (FAILED(layout.Read(dwDisk)))
        return false;
    DWORD dwUsed = 0;
    for (int k = 0; k < CDriveLayout::kEntries; ++k) {
        const ULONGLONG ullLength = static_cast<ULONGLONG>(layout.Entry(k).PartitionLength.QuadPart);
        if (ullLength != 0 && ++dwUsed == dwPosition) {
            *pullLength = ullLength;
            return true;
        }
    }
    return false;
}

} // namespace

// ----------------------------------------------------------- start call

HRESULT CSBRMgr::PerformZQFactoryReset()
{
    CAutoTrace trace(L"CSBRMgr", L"PerformZQFactoryReset", this);
    m_ullTransferredBytes = 0;
    return StartWorker(RO_FACTORY_RESET, ZQFactoryResetThread);
}

DWORD WINAPI CSBRMgr::ZQFactoryResetThread(LPVOID pvMgr)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFactoryResetThread", nullptr);
    CSBRMgr* pMgr = static_cast<CSBRMgr*>(pvMgr);
    return pMgr ? static_cast<DWORD>(pMgr->RunFactoryReset()) : 0;
}

void CSBRMgr::ForgetPartitionLetters()
{
    m_wcUPDrvLet = 0;
    m_wcSPDrvLet = 0;
    m_wcRPDrvLet = 0;
    m_wcRPDATADrvLet = 0;
    m_wcMainPart1DrvLet = 0;
    m_wcMainPart2DrvLet = 0;
    m_wcWindowsDrvLet = 0;
}

// ------------------------------------------------------ checking the set

// The set's list, the files of its first disc, the image among them and
// the bytes to copy: a set that fails here has cost the disk nothing.
HRESULT CSBRMgr::CheckUCRDSet(BOOL bWithTools, ZQUCRDSetCheck& set)
{
    CAutoTrace trace(L"CSBRMgr", L"CheckUCRDSet", this);
    const wchar_t wcDisc = GetUCRDDrvLet();
    if (!wcDisc) {
        trace.Print(L"No user-created disc in the drive.");
        return NV_E_FAIL;
    }
    DWORD dwDiscs = 0;
    HRESULT hr = ZQGetDiscCount(FALSE, &dwDiscs);
    if (FAILED(hr))
        return hr;
    if (dwDiscs == 0) {
        trace.Print(L"SPLIT.LOG lists no image file.");
        return NV_E_FILE_IO;
    }
    std::wstring wstrImage;
    for (const auto& entry : m_mapWimFiles) {
        if (HasImageExt(entry.second) && (wstrImage.empty() || entry.second.size() < wstrImage.size()))
            wstrImage = entry.second;
        wchar_t wszPath[MAX_PATH] = {};
        if (entry.first == 0 && (FormatPath(wszPath, L"%c:\\preload\\%s", wcDisc, entry.second.c_str()) < 0 ||
                                 !NvFileExists(wszPath))) {
            trace.Print(L"%s is listed for this disc but missing.", wszPath);
            return NV_E_COPY_FILE;
        }
    }
    if (wstrImage.empty() || wstrImage.size() >= _countof(set.wszImageName)) {
        trace.Print(L"The set holds no image file.");
        return NV_E_FAIL;
    }
    wcscpy(set.wszImageName, wstrImage.c_str());
    hr = ZQGetUCRDToCopySize(&set.ullCopySize, bWithTools);
    if (FAILED(hr))
        return hr;
    trace.Print(L"image %s, %llu bytes to copy", set.wszImageName, set.ullCopySize);
    return S_OK;
}

// The system recovery's source on a disc: the set checked, and the
// Windows partition large enough for the copy it will hold.
HRESULT CSBRMgr::CheckUCRDSource(ZQRecoveryRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"CheckUCRDSource", this);
    ZQUCRDSetCheck set;
    HRESULT hr = CheckUCRDSet(FALSE, set);
    if (FAILED(hr))
        return hr;
    ULONGLONG ullUP = 0;
    if (!PartitionLength(ZQGetUPDiskIndex(), GetUPPartIndex(), &ullUP) || ullUP < set.ullCopySize) {
        trace.Print(L"The Windows partition (%llu bytes) cannot hold the set's %llu bytes.", ullUP,
                    set.ullCopySize);
        return NV_E_COPY_FILE;
    }
    FormatPath(run.wszImage, L"%c:\\%s\\%s", run.wcUP, ImageFolder(run.wcUP), set.wszImageName);
    return S_OK;
}

// The factory reset's source: the set, the layout it lays out on this
// disk, and the partition that will take the copy.
HRESULT CSBRMgr::CheckFactoryResetSource(ZQUCRDSetCheck& set)
{
    CAutoTrace trace(L"CSBRMgr", L"CheckFactoryResetSource", this);
    const bool bWin7Notebook = m_enZQVendor == ZQ_VENDOR_CNB && m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    if (ZQGetUPDiskIndex() == INVALID_INDEX) {
        trace.Print(L"No main disk.");
        return NV_E_FAIL;
    }
    std::vector<ZQPlannedPartition> plan;
    HRESULT hr = ZQUCRDCheckLayout(plan);
    if (FAILED(hr))
        return hr == NV_E_LAYOUT_MISMATCH ? hr : NV_E_FAIL;
    hr = CheckUCRDSet(!bWin7Notebook, set);
    if (FAILED(hr))
        return hr;
    // A notebook copies into the new Windows partition, others into the new
    // recovery partition, whose image the apply then reads.
    const DWORD dwTarget = bWin7Notebook ? PR_UP : PR_RP;
    for (const ZQPlannedPartition& p : plan) {
        if (p.dwRole != dwTarget)
            continue;
        if (p.ullSize < set.ullCopySize) {
            trace.Print(L"The partition of role %lu (%llu bytes) cannot hold the set's %llu bytes.", dwTarget,
                        p.ullSize, set.ullCopySize);
            return NV_E_COPY_FILE;
        }
        return S_OK;
    }
    trace.Print(L"The layout has no partition of role %lu for the copy.", dwTarget);
    return NV_E_LAYOUT_MISMATCH;
}

// ------------------------------------------------------- copying the set

HRESULT CSBRMgr::CopyFilesFromUCRDToHDD(wchar_t wcTarget, BOOL bWithTools)
{
    CAutoTrace trace(L"CSBRMgr", L"CopyFilesFromUCRDToHDD", this);
    trace.Print(L"wcTargetVol = %c", wcTarget ? wcTarget : L' ');
    DWORD dwDiscs = 0;
    HRESULT hr = ZQGetDiscCount(FALSE, &dwDiscs);
    if (FAILED(hr))
        return hr;
    m_dwDiscFileCount = static_cast<DWORD>(m_mapWimFiles.size());
    m_dwCopiedFileCount = 0;
    m_enZQStatus = OS_PREPARE_UCRD_COPY;
    ULONGLONG ullTotal = 0;
    hr = ZQGetUCRDToCopySize(&ullTotal, bWithTools);
    if (FAILED(hr))
        return hr;
    m_ullTotalCopySize = ullTotal;
    trace.Print(L"ZQGetUCRDToCopySize return size = %llu", ullTotal);
    m_enZQStatus = OS_COPY_FILE_FROM_CDROM;
    m_ullTransferredBytes = 0;
    hr = ZQCopyPEFiles(bWithTools);
    if (FAILED(hr))
        return hr;
    hr = ZQCopyWimFiles(wcTarget);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CSBRMgr::CopyDiscFiles(wchar_t wcDisc, const wchar_t* pwszDest)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCopyWimFiles", this);
    const int iDisc = static_cast<int>(m_dwWaitingDiscIndex);
    for (auto it = m_mapWimFiles.lower_bound(iDisc); it != m_mapWimFiles.upper_bound(iDisc); ++it) {
        wchar_t wszSrc[MAX_PATH], wszDst[MAX_PATH];
        if (FormatPath(wszSrc, L"%c:\\preload\\%s", wcDisc, it->second.c_str()) < 0 ||
            FormatPath(wszDst, L"%s%s", pwszDest, it->second.c_str()) < 0)
            return NV_E_COPY_FILE;
        trace.Print(L"Copying file from %s to %s", wszSrc, wszDst);
        SetCurrentFile(wszSrc);
        BOOL bCancel = FALSE;
        if (!CopyFileExW(wszSrc, wszDst, ZQCopyProgressRoutine, this, &bCancel, COPY_FILE_RESTARTABLE)) {
            trace.Print(L"Copy file fail. Error = %lu", GetLastError());
            return NV_E_COPY_FILE;
        }
        ULONGLONG ullSize = 0;
        if (SUCCEEDED(FindFileSizeInByte(wszSrc, &ullSize)))
            ZQCopyFileDoneRoutine(ullSize);
        else
            m_ullSingleFileTransfer = 0;
        ++m_dwCopiedFileCount;
    }
    return S_OK;
}

HRESULT CSBRMgr::CopyLaterDiscFolder(wchar_t wcDisc, wchar_t wcTarget)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCopyWimFiles", this);
    wchar_t wszSrc[MAX_PATH], wszDst[MAX_PATH];
    FormatPath(wszSrc, L"%c:\\%s\\", wcDisc, kDiscFolder);
    FormatPath(wszDst, L"%c:\\%s\\", wcTarget, kDiscFolder);
    if (!NvDirectoryExists(wszSrc))
        return S_OK;
    trace.Print(L"Copying folder from %s to %s", wszSrc, wszDst);
    HRESULT hr = NvCopyDir(wszSrc, wszDst, TRUE);
    if (FAILED(hr))
        trace.Print(L"NvCopyDir fail. hr = %lx", hr);
    return hr;
}

// Without the burn object no disc ever becomes ready, and a user who gave
// up must not be kept waiting. A tray that has just opened needs a while
// before the drive answers: bSettleFirst waits before the first question.
HRESULT CSBRMgr::WaitForBootDrive(BOOL bSettleFirst)
{
    const DWORD dwPoll = m_pEnv->DiscPollMilliseconds();
    for (;;) {
        if (m_bUserAbort)
            return NV_E_USER_CANCELLED;
        if (!m_pIBurnMgmt)
            return NV_E_ALLOC;
        if (bSettleFirst)
            m_pEnv->Clock().Sleep(dwPoll);
        if (SUCCEEDED(IsBootDriveReady()))
            return S_OK;
        if (!bSettleFirst)
            m_pEnv->Clock().Sleep(dwPoll);
    }
}

HRESULT CSBRMgr::ZQCopyWimFiles(wchar_t wcTarget)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQCopyWimFiles", this);
    if (!iswalpha(wcTarget) || wcTarget > L'z')
        return NV_E_INVALID_ARG;
    trace.Print(L"wcDestDrv = %c", wcTarget);
    const wchar_t wcDisc = GetUCRDDrvLet();
    if (!wcDisc)
        return NV_E_FAIL;
    wchar_t wszDest[MAX_PATH];
    FormatPath(wszDest, L"%c:\\%s\\", wcTarget, ImageFolder(wcTarget));
    if (NvDirectoryExists(wszDest))
        NvDeleteDirectory(wszDest);
    // A folder that cannot be made fails the first copy.
    NvCreateDirectoryPath(wszDest, 0);

    m_dwWaitingDiscIndex = 0;
    wchar_t wszSetInfo[MAX_PATH];
    FormatPath(wszSetInfo, L"%c:\\SETINFO.LOG", wcDisc);
    SetFirstDiscID(GetDiscID(wszSetInfo), wszSetInfo);
    trace.Print(L"m_mapWimFiles.size() = %lu", static_cast<DWORD>(m_mapWimFiles.size()));
    while (!m_mapWimFiles.empty()) {
        HRESULT hr = S_OK;
        if (m_dwWaitingDiscIndex != 0) {
            trace.Print(L"ZQWaitTheCorrectRecoverydisc() is ready.");
            if (FAILED(hr = ZQWaitTheCorrectRecoverydisc(m_dwWaitingDiscIndex)))
                return hr;
            m_enZQStatus = OS_COPY_FILE_FROM_CDROM;
        }
        trace.Print(L"UCRD checking disc label and SetInfo.log complete.");
        LockTray(TRUE);
        trace.Print(L"UCRD lock the tray complete.");
        if (FAILED(hr = CopyDiscFiles(wcDisc, wszDest)))
            return hr;
        if (m_dwWaitingDiscIndex != 0 && FAILED(hr = CopyLaterDiscFolder(wcDisc, wcTarget)))
            return hr;
        m_mapWimFiles.erase(static_cast<int>(m_dwWaitingDiscIndex));
        if (m_mapWimFiles.empty())
            break;
        ++m_dwWaitingDiscIndex;
        RejectDisc();
        if (FAILED(hr = WaitForBootDrive()))
            return hr;
        m_enZQStatus = OS_COPY_FILE_FROM_CDROM;
    }
    return S_OK;
}

// ------------------------------------------- system recovery from a disc

// After formatting: the set onto the Windows partition, then the image as
// the copy named it, in the folder the copy used.
HRESULT CSBRMgr::CopyUCRDImageToUP(ZQRecoveryRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"CopyUCRDImageToUP", this);
    HRESULT hr = CopyFilesFromUCRDToHDD(run.wcUP, FALSE);
    if (FAILED(hr))
        return hr;
    wchar_t wszName[MAX_PATH] = {};
    if (FAILED(ZQGetSoftwareBuildFilename(run.wcUP, wszName, MAX_PATH)))
        return NV_E_FAIL;
    const wchar_t* pwszFolder = ImageFolder(run.wcUP);
    FormatPath(run.wszImage, L"%c:\\%s\\%s", run.wcUP, pwszFolder, wszName);
    const wchar_t* pwszExt = wcsrchr(wszName, L'.');
    FormatPath(run.wszPattern, L"%c:\\%s\\*%s", run.wcUP, pwszFolder, pwszExt ? pwszExt : L"");
    return NvFileExists(run.wszImage) ? S_OK : NV_E_FAIL;
}

void CSBRMgr::DeleteCopiedImage(wchar_t wcUP)
{
    CAutoTrace trace(L"CSBRMgr", L"DeleteCopiedImage", this);
    for (int i = 0; i < kDeleteTries; ++i) {
        if (SUCCEEDED(ZQDeleteWimFiles(wcUP)))
            return;
        m_pEnv->Clock().Sleep(kDeleteRetryMilliseconds);
    }
    trace.Print(L"The copied image files stay on %c:.", wcUP);
}

// --------------------------------------------------------- factory reset

HRESULT CSBRMgr::ShrinkRPDATADisk()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFactoryResetThread", this);
    trace.Print(L"Start shrinking...");
    m_enZQStatus = OS_SHRINK;
    m_dwPercent = 1;
    if (m_dwShrinkPartIndex == INVALID_INDEX) {
        trace.Print(L"The partition index to be shrunk is invalid.");
        return NV_E_SHRINK_INDEX;
    }
    const DWORD dwDisk = ZQGetRPDATADiskIndex();
    const ULONGLONG ullMiB = ((m_ullDesireShrinkSize >> kMiBShift) / kShrinkStepMiB) * kShrinkStepMiB + kShrinkStepMiB;
    wchar_t wszScript[MAX_PATH];
    FormatPath(wszScript, L"select disk %d\r\n      select partition %d\r\nshrink desired=%lu\r\n",
               static_cast<int>(dwDisk), static_cast<int>(m_dwShrinkPartIndex), static_cast<unsigned long>(ullMiB));
    trace.Print(L"strContent = %s", wszScript);
    HRESULT hr = ExecuteDiskPart(wszScript);
    if (FAILED(hr)) {
        trace.Print(L"ExecuteDiskPart failed. hr = %lx", hr);
        return NV_E_SHRINK_INDEX;
    }
    BOOL bNeed = FALSE;
    trace.Print(L"Call IsShrinkNeed() ...");
    if (FAILED(hr = IsShrinkNeed(TRUE, &bNeed))) {
        trace.Print(L"IsShrinkNeed failed. hr = %lx", hr);
        return NV_E_SHRINK_INDEX;
    }
    trace.Print(L"bNeedShrink = %lu", bNeed);
    if (bNeed)
        return NV_E_SHRINK_INDEX;
    FormatPath(wszScript, L"select disk %d\r\n      select partition %d\r\n      delete partition\r\n",
               static_cast<int>(dwDisk), static_cast<int>(m_dwRPDATAPartIndex));
    trace.Print(L"strContent = %s", wszScript);
    if (FAILED(hr = ExecuteDiskPart(wszScript))) {
        trace.Print(L"ExecuteDiskPart failed. hr = %lx", hr);
        return NV_E_FAIL;
    }
    m_wcRPDATADrvLet = 0;
    trace.Print(L"Call IsShrinkNeed() ...");
    if (FAILED(hr = IsShrinkNeed(FALSE, &bNeed))) {
        trace.Print(L"IsShrinkNeed failed. hr = %lx", hr);
        return NV_E_SHRINK_INDEX;
    }
    trace.Print(L"bNeedShrink = %lu", bNeed);
    return bNeed ? NV_E_BUFFER_TOO_SMALL : S_OK;
}

// The hard disk's image partition gives way to the set: shrunk away or the
// disk wiped (on a Windows 7 notebook when asked), and its volume deleted
// on a notebook with an SSD and a hard disk.
HRESULT CSBRMgr::ClearRPDATADisk()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFactoryResetThread", this);
    const bool bNotebook = m_enZQVendor == ZQ_VENDOR_CNB;
    const bool bWin7Notebook = bNotebook && m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    HRESULT hr = S_OK;
    if (bWin7Notebook && m_bNeedShrink) {
        if (FAILED(hr = ShrinkRPDATADisk()))
            return hr;
    } else if (bWin7Notebook && m_bNeedWipe) {
        trace.Print(L"Start Wiping...");
        WipeDisk(ZQGetRPDATADiskIndex());
        ForgetPartitionLetters();
    }
    wchar_t wcRPDATA = 0;
    if (!bNotebook || !IsOneSSDPlusOneHDD() || (wcRPDATA = GetRPDATADrvLet()) == 0)
        return S_OK;
    wchar_t wszScript[MAX_PATH];
    FormatPath(wszScript, L"select volume %c\r\n      delete volume\r\n", wcRPDATA);
    trace.Print(L"strContentForRPDATA = %s", wszScript);
    if (FAILED(hr = ExecuteDiskPart(wszScript))) {
        trace.Print(L"ExecuteDiskPart failed. hr = %lx", hr);
        return NV_E_FAIL;
    }
    m_wcRPDATADrvLet = 0;
    return S_OK;
}

HRESULT CSBRMgr::RepartitionFromDisc(wchar_t* pwcUP)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFactoryResetThread", this);
    if (m_bUserAbort)
        return NV_E_USER_CANCELLED;
    trace.Print(L"Re-Partition.");
    m_enZQStatus = OS_REPARTITION;
    g_DumpMgr.MoveDumpToRamDrive();
    if (FAILED(ZQUCRDResetDiskByDefFile())) {
        ForgetPartitionLetters();
        return NV_E_FAIL;
    }
    // Every letter found before belongs to the old table.
    ForgetPartitionLetters();
    *pwcUP = GetUPDrvLet();
    if (!*pwcUP)
        return NV_E_FAIL;
    g_DumpMgr.MoveDumpToTmpDirInUP(*pwcUP);
    if (m_enZQVendor == ZQ_VENDOR_DOZ)
        return WriteRpLog();
    trace.Print(L"Ready to SetUPActive after system recovery");
    return SetUPActive();
}

HRESULT CSBRMgr::ApplyDiscSetImage(wchar_t wcUP, DWORD dwIndex)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFactoryResetThread", this);
    const bool bWin7Notebook = m_enZQVendor == ZQ_VENDOR_CNB && m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    trace.Print(L"ZQFactoryResetThread: Start to restore Vista WIM files.");
    m_enZQStatus = OS_REINSTALL;
    wchar_t wszTemp[MAX_PATH];
    FormatPath(wszTemp, L"%c:\\%s", wcUP, kTempFolder);
    trace.Print(L"wszTempPath = %s", wszTemp);
    const wchar_t wcImage = bWin7Notebook ? wcUP : GetRPDATADrvLet();
    wchar_t wszName[MAX_PATH] = {};
    if (!wcImage || FAILED(ZQGetSoftwareBuildFilename(wcImage, wszName, MAX_PATH)))
        return NV_E_FAIL;
    const wchar_t* pwszFolder = ImageFolder(wcImage);
    wchar_t wszImage[MAX_PATH], wszRef[MAX_PATH];
    FormatPath(wszImage, L"%c:\\%s\\%s", wcImage, pwszFolder, wszName);
    trace.Print(L"wszBuffer = %s", wszImage);
    FormatPath(wszRef, L"%c:\\%s\\*%s", wcImage, pwszFolder, kImageExt);
    trace.Print(L"wszRef = %s", wszRef);
    trace.Print(L"Restore UP.");
    HRESULT hr = ApplyFactoryImage(wszImage, wszRef, wszTemp, wcUP, dwIndex);
    if (FAILED(hr))
        return hr;
    if (NvDirectoryExists(wszTemp))
        NvDeleteDirectory(wszTemp);
    g_DumpMgr.MoveDumpToUP(wcUP);
    return S_OK;
}

HRESULT CSBRMgr::RepairFactoryResetBoot()
{
    const bool bWin7 = m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    const bool bWin7Notebook = m_enZQVendor == ZQ_VENDOR_CNB && bWin7;
    HRESULT hr = S_OK;
    if (m_enZQVendor == ZQ_VENDOR_DOZ && bWin7 && FAILED(hr = RebuildSPByBCDBoot()))
        return hr;
    if (FAILED(hr = PatchFolderProcessing(NvIsPEBootFromODD(nullptr))))
        return hr;
    if (bWin7Notebook)
        return RecoverMBR();
    if (FAILED(hr = CallSetMBR()))
        return hr;
    return FixBCDForPlatform();
}

HRESULT CSBRMgr::FinishFactoryReset(const ZQRecoveryRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQFactoryResetThread", this);
    const bool bDesktop = m_enZQVendor == ZQ_VENDOR_DOZ;
    const bool bNotebook = m_enZQVendor == ZQ_VENDOR_CNB;
    HRESULT hr = S_OK;
    if (!m_bSkipSaveFile && run.bSaved) {
        if (SearchRPTOOLDrvLet()) {
            trace.Print(L"Ready to PostSaveFile processing from RP after recovery ends");
            hr = PostSaveFileProcessingFromRP(run.lstSavedRP, run.lstKeep);
        } else {
            trace.Print(L"Ready to PostSaveFile processing from RD after recovery ends");
            hr = PostSaveFileProcessingForUCRD(run.lstSavedDisc, run.lstKeep);
        }
        if (FAILED(hr))
            return hr;
    }
    if (bNotebook && FAILED(hr = ZQSaveFileForCNB()))
        return hr;
    if (bDesktop && FAILED(hr = ZQPostProcessing()))
        return hr;
    if (bNotebook && m_dwZQOSVer == ZQ_PLATFORM_WIN7 && FAILED(hr = GenerateFlagFile()))
        return hr;
    if (bDesktop && (FAILED(hr = SetUPVolumeLabel()) || FAILED(hr = SetRPVolumeLabel())))
        return hr;
    return WriteUpFlg();
}

HRESULT CSBRMgr::RunFactoryReset()
{
    CAutoTrace trace(L"CSBRMgr", L"RunFactoryReset", this);
    CAutoLockDrv tray(this);
    CDumpBackOn dump;
    const bool bDesktop = m_enZQVendor == ZQ_VENDOR_DOZ;
    const bool bWin7Notebook = m_enZQVendor == ZQ_VENDOR_CNB && m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    ZQUCRDSetCheck set;
    HRESULT hr = CheckFactoryResetSource(set);
    if (SUCCEEDED(hr) && bDesktop)
        hr = ZQPreProcessing();
    ZQRecoveryRun run;
    if (SUCCEEDED(hr) && !m_bSkipSaveFile) {
        trace.Print(L"Ready to PreSaveFile processing Step 1 before UCRD recovery starts");
        hr = GetSaveFileList(run.lstKeep);
        // Only the RAM drive outlives the new table: a copy put on the old
        // recovery partition would go with it.
        if (SUCCEEDED(hr) && !run.lstKeep.empty() &&
            SUCCEEDED(hr = PreSave(run.lstKeep, run.lstSavedDisc, kRamSaveFolder, std::wstring(), TRUE)))
            run.bSaved = TRUE;
    }
    if (SUCCEEDED(hr) && m_bUserAbort)
        hr = NV_E_USER_CANCELLED;
    if (SUCCEEDED(hr))
        hr = ClearRPDATADisk();
    if (SUCCEEDED(hr) && bDesktop)
        hr = GetUPVolumeLabel();
    if (SUCCEEDED(hr))
        hr = RepartitionFromDisc(&run.wcUP);
    if (FAILED(hr))
        return hr;

    // Asked while disc 1, which may hold the flag against it, is in the drive.
    const DWORD dwIndex = bWin7Notebook && PureOSEnabled() ? kMinimalImage : kFullImage;
    hr = bWin7Notebook ? CopyFilesFromUCRDToHDD(run.wcUP, FALSE) : CopyFilesFromUCRDToHDD(GetRPTOOLDrvLet(), TRUE);
    if (SUCCEEDED(hr) && !m_bSkipSaveFile && run.bSaved && SearchRPTOOLDrvLet()) {
        trace.Print(L"Ready to PreSaveFile processing Step 2 after UCRD recovery creates the UP and RP");
        hr = PreSaveFileProcessingForUCRD(run.lstSavedDisc, run.lstSavedRP);
    }
    if (SUCCEEDED(hr))
        hr = ApplyDiscSetImage(run.wcUP, dwIndex);
    if (SUCCEEDED(hr))
        hr = RepairFactoryResetBoot();
    if (SUCCEEDED(hr))
        hr = FinishFactoryReset(run);
    if (SUCCEEDED(hr))
        m_dwPercent = kPercentDone;
    return hr;
}
