// The recovery operations on the worker thread: system recovery, re-imaging
// and removal of the recovery partition.
#include "CSBRMgr.h"

#include <memory>
#include <new>

#include "CAutoLockDrv.h"
#include "CAutoTrace.h"
#include "CWimMgr.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "WimPtr.h"

namespace {

const wchar_t kTempFolder[] = L"MDTemp";
const wchar_t kDiscImageFolder[] = L"MD\\Image";
const DWORD kRecoveryModeMinimal = 2;
const DWORD kRecoveryModeTwoImages = 5;
const DWORD kFullImage = 1;
const DWORD kSecondImage = 2;
const DWORD kMinimalImage = 3;
const DWORD kPercentStart = 1;
const DWORD kPercentDone = 100;

} // namespace

// ------------------------------------------------------------ start calls

HRESULT CSBRMgr::PerformZQSystemRecovery()
{
    CAutoTrace trace(L"CSBRMgr", L"PerformZQSystemRecovery", this);
    m_ullTransferredBytes = 0;
    return StartWorker(RO_SYSTEM_RECOVERY, ZQSystemRecoveryThread);
}

HRESULT CSBRMgr::PerformZQRemoveRP()
{
    CAutoTrace trace(L"CSBRMgr", L"PerformZQRemoveRP", this);
    return StartWorker(RO_REMOVE_RP, ZQRemoveRPThread);
}

HRESULT CSBRMgr::PerformZQReImage()
{
    CAutoTrace trace(L"CSBRMgr", L"PerformZQReImage", this);
    return StartWorker(RO_REIMAGE, ZQReImageThread);
}

DWORD WINAPI CSBRMgr::ZQSystemRecoveryThread(LPVOID pvMgr)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQSystemRecoveryThread", nullptr);
    CSBRMgr* pMgr = static_cast<CSBRMgr*>(pvMgr);
    return pMgr ? static_cast<DWORD>(pMgr->RunSystemRecovery()) : 0;
}

DWORD WINAPI CSBRMgr::ZQReImageThread(LPVOID pvMgr)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQReImageThread", nullptr);
    CSBRMgr* pMgr = static_cast<CSBRMgr*>(pvMgr);
    return pMgr ? static_cast<DWORD>(pMgr->RunReImage()) : 0;
}

DWORD WINAPI CSBRMgr::ZQRemoveRPThread(LPVOID pvMgr)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQRemoveRPThread", nullptr);
    m_enZQStatus = OS_REMOVE_RP;
    CSBRMgr* pMgr = static_cast<CSBRMgr*>(pvMgr);
    return pMgr ? static_cast<DWORD>(pMgr->RunRemoveRP()) : 0;
}

// ------------------------------------------------------- system recovery

HRESULT CSBRMgr::ApplyFactoryImage(const wchar_t* pwszImage, const wchar_t* pwszPattern, const wchar_t* pwszTemp,
                                   wchar_t wcUP, DWORD dwIndex)
{
    CAutoTrace trace(L"CSBRMgr", L"ApplyFactoryImage", this);
    WimPtr pWim(new (std::nothrow) CWimMgr(nullptr));
    if (!pWim)
        return NV_E_ALLOC;
    HRESULT hr = pWim->SetWimImagePath(pwszImage);
    hr |= pWim->SetTempPath(pwszTemp);
    hr |= pWim->SetTargetDrive(wcUP);
    if (m_enZQVendor == ZQ_VENDOR_CNB)
        hr |= pWim->MergeImage(pwszImage);
    hr |= pWim->SetRefPath(pwszPattern);
    hr |= pWim->SetImageIndex(dwIndex);
    hr |= pWim->SetMessageCallback(&CSBRMgr::ZQWIMMessageCallback);
    pWim->SetMessageCallbackData(this);
    if (FAILED(hr)) {
        trace.Print(L"Setting error.");
        return hr;
    }
    hr = pWim->RestoreWimImage();
    if (SUCCEEDED(hr))
        hr = pWim->CleanUpHandles();
    else
        pWim->CleanUpHandles();
    return hr;
}

// Everything to restore from is found and checked before anything is
// formatted: the main disk, the letters, the image and its folder.
HRESULT CSBRMgr::FindRecoverySource(ZQRecoveryRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"FindRecoverySource", this);
    trace.Print(L"check up disk index...");
    // No main disk is a failure the page can show, never a silent end.
    if (ZQGetUPDiskIndex() == INVALID_INDEX)
        return NV_E_FAIL;
    trace.Print(L"up disk index pass.");
    const bool bWin7Desktop = m_enZQVendor == ZQ_VENDOR_DOZ && m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    run.wcUP = GetUPDrvLet();
    run.wcSP = bWin7Desktop ? GetSPDrvLet() : 0;
    if (!run.wcUP || (bWin7Desktop && !run.wcSP))
        return NV_E_FAIL;
    if (run.bFromDisc)
        return CheckUCRDSource(run);
    const wchar_t wcImage = GetRPDATADrvLet();
    wchar_t wszName[MAX_PATH] = {};
    if (!wcImage || FAILED(ZQGetSoftwareBuildFilename(wcImage, wszName, MAX_PATH)))
        return NV_E_FAIL;
    FormatPath(run.wszImage, L"%c:\\preload\\%s", wcImage, wszName);
    const wchar_t* pwszExt = wcsrchr(wszName, L'.');
    FormatPath(run.wszPattern, L"%c:\\preload\\*%s", wcImage, pwszExt ? pwszExt : L"");
    return NvFileExists(run.wszImage) ? S_OK : NV_E_FAIL;
}

HRESULT CSBRMgr::SaveUserFiles(ZQRecoveryRun& run)
{
    if (m_bSkipSaveFile)
        return S_OK;
    CAutoTrace trace(L"CSBRMgr", L"SaveUserFiles", this);
    trace.Print(L"Ready to PreSaveFile processing before recovery starts");
    HRESULT hr = GetSaveFileList(run.lstKeep);
    if (FAILED(hr) || run.lstKeep.empty())
        return hr;
    hr = SearchRPTOOLDrvLet() ? PreSaveFileProcessingForRP(run.lstKeep, run.lstSavedRP)
                              : PreSaveFileProcessingForUCRD(run.lstKeep, run.lstSavedDisc);
    run.bSaved = SUCCEEDED(hr);
    return hr;
}

HRESULT CSBRMgr::FormatAndApply(ZQRecoveryRun& run)
{
    CAutoTrace trace(L"CSBRMgr", L"FormatAndApply", this);
    const bool bNotebook = m_enZQVendor == ZQ_VENDOR_CNB;
    trace.Print(L"ready to format SP & UP...");
    // A user who gave up before the first change keeps the disk.
    if (m_bUserAbort)
        return NV_E_USER_CANCELLED;
    m_enZQStatus = OS_FORMATTING;
    if ((run.wcSP && FAILED(FormatPartition(run.wcSP, L"NTFS"))) || FAILED(FormatPartition(run.wcUP, L"NTFS")))
        return NV_E_FAIL;
    const BOOL bMinimal = bNotebook && m_dwRecoveryMode == kRecoveryModeMinimal && PureOSEnabled();
    if (run.bFromDisc) {
        HRESULT hrCopy = CopyUCRDImageToUP(run);
        if (FAILED(hrCopy))
            return hrCopy;
    }
    m_enZQStatus = OS_REINSTALL;
    wchar_t wszTemp[MAX_PATH];
    FormatPath(wszTemp, L"%c:\\%s", run.wcUP, kTempFolder);
    trace.Print(L"wszTempPath = %s", wszTemp);
    if (!NvDirectoryExists(wszTemp) && FAILED(NvCreateDirectoryW(wszTemp))) {
        trace.Print(L"create folder %s failed.", wszTemp);
        return NV_E_CREATE_DIR;
    }
    trace.Print(L"wszImagePath = %s", run.wszImage);
    const DWORD dwFirst = bMinimal ? kMinimalImage : kFullImage;
    HRESULT hr = ApplyFactoryImage(run.wszImage, run.wszPattern, wszTemp, run.wcUP, dwFirst);
    if (SUCCEEDED(hr) && bNotebook && m_dwRecoveryMode == kRecoveryModeTwoImages)
        hr = ApplyFactoryImage(run.wszImage, run.wszPattern, wszTemp, run.wcUP, kSecondImage);
    if (SUCCEEDED(hr) && NvDirectoryExists(wszTemp))
        NvDeleteDirectory(wszTemp);
    return hr;
}

HRESULT CSBRMgr::RepairBoot(const ZQRecoveryRun& run)
{
    const bool bNotebook = m_enZQVendor == ZQ_VENDOR_CNB;
    const bool bWin7 = m_dwZQOSVer == ZQ_PLATFORM_WIN7;
    HRESULT hr = S_OK;
    if (m_enZQVendor == ZQ_VENDOR_DOZ && bWin7 && FAILED(hr = RebuildSPByBCDBoot()))
        return hr;
    if (bNotebook && FAILED(hr = PatchFolderProcessing(run.bFromDisc)))
        return hr;
    if (FAILED(hr = CallSetMBR()))
        return hr;
    return bNotebook && bWin7 ? S_OK : FixBCDForPlatform();
}

HRESULT CSBRMgr::RestoreUserFiles(const ZQRecoveryRun& run)
{
    if (m_bSkipSaveFile || !run.bSaved)
        return S_OK;
    CAutoTrace trace(L"CSBRMgr", L"RestoreUserFiles", this);
    if (SearchRPTOOLDrvLet()) {
        trace.Print(L"Ready to PostSaveFile processing from RP to UP after recovery ends");
        return PostSaveFileProcessingFromRP(run.lstSavedRP, run.lstKeep);
    }
    trace.Print(L"Ready to PostSaveFile processing from RD to UP after recovery ends");
    return PostSaveFileProcessingForUCRD(run.lstSavedDisc, run.lstKeep);
}

HRESULT CSBRMgr::FinishSystemRecovery(const ZQRecoveryRun& run)
{
    const bool bDesktop = m_enZQVendor == ZQ_VENDOR_DOZ;
    const bool bNotebook = m_enZQVendor == ZQ_VENDOR_CNB;
    HRESULT hr = S_OK;
    if (bNotebook && FAILED(hr = ZQSaveFileForCNB()))
        return hr;
    if (bDesktop && (FAILED(hr = UpdateRecoveryCount()) || FAILED(hr = ZQPostProcessing())))
        return hr;
    if (bNotebook && m_dwZQOSVer == ZQ_PLATFORM_WIN7 && FAILED(hr = GenerateFlagFile()))
        return hr;
    if (bNotebook && m_dwRecoveryMode == kRecoveryModeTwoImages && FAILED(hr = CreateMDinImgFlag()))
        return hr;
    if (bNotebook && FAILED(hr = CreateSystemRecoveryDoneFlag()))
        return hr;
    if (bDesktop && FAILED(hr = SetUPVolumeLabel()))
        return hr;
    if (bNotebook && FAILED(hr = ZQCreateRPIsRemovedFlg()))
        return hr;
    return run.bFromDisc || ZqcdFlgIsExistInRP() ? WriteUpFlg() : S_OK;
}

HRESULT CSBRMgr::RunSystemRecovery()
{
    CAutoTrace trace(L"CSBRMgr", L"RunSystemRecovery", this);
    ZQRecoveryRun run;
    std::unique_ptr<CAutoLockDrv> pTray(new CAutoLockDrv(this));
    run.bFromDisc = NvIsPEBootFromODD(nullptr);
    if (!run.bFromDisc)
        pTray.reset();
    const bool bDesktop = m_enZQVendor == ZQ_VENDOR_DOZ;
    HRESULT hr = bDesktop ? ZQPreProcessing() : S_OK;
    if (SUCCEEDED(hr))
        hr = FindRecoverySource(run);
    if (SUCCEEDED(hr))
        hr = SaveUserFiles(run);
    if (SUCCEEDED(hr) && bDesktop)
        hr = GetUPVolumeLabel();
    if (SUCCEEDED(hr) && m_enZQVendor == ZQ_VENDOR_CNB) {
        trace.Print(L"Ready to SetUPActive after system recovery");
        hr = SetUPActive();
    }
    if (SUCCEEDED(hr))
        hr = FormatAndApply(run);
    if (SUCCEEDED(hr))
        hr = RepairBoot(run);
    if (SUCCEEDED(hr) && run.bFromDisc)
        DeleteCopiedImage(run.wcUP);
    if (SUCCEEDED(hr))
        hr = RestoreUserFiles(run);
    if (SUCCEEDED(hr))
        hr = FinishSystemRecovery(run);
    if (SUCCEEDED(hr))
        m_dwPercent = kPercentDone;
    return hr;
}

// ----------------------------------------------------------- re-imaging

// The new image is captured beside the old one and takes its place only
// after the capture succeeded, so that a failed capture keeps the factory
// image the partition had.
HRESULT CSBRMgr::RunReImage()
{
    CAutoTrace trace(L"CSBRMgr", L"RunReImage", this);
    m_enZQStatus = OS_REIMAGE_CAPTURE;
    m_dwPercent = kPercentStart;
    const wchar_t wcRP = GetRPTOOLDrvLet();
    wchar_t wszName[MAX_PATH] = {};
    HRESULT hr = wcRP ? ZQGetSoftwareBuildFilename(wcRP, wszName, MAX_PATH) : NV_E_FAIL;
    if (FAILED(hr)) {
        trace.Print(L"ZQGetSoftwareBuildFilename failed. hr = %lx", hr);
        return NV_E_FAIL;
    }
    const wchar_t wcUP = GetUPDrvLet();
    if (!wcUP)
        return NV_E_FAIL;
    wchar_t wszPreload[MAX_PATH], wszNew[MAX_PATH], wszOld[MAX_PATH];
    FormatPath(wszPreload, L"%c:\\preload", wcRP);
    FormatPath(wszNew, L"%c:\\preload.new", wcRP);
    FormatPath(wszOld, L"%c:\\preload.old", wcRP);
    if (NvDirectoryExists(wszNew))
        NvDeleteDirectory(wszNew);
    NvCreateDirectoryW(wszNew);

    m_enZQStatus = OS_REIMAGE_APPLY;
    trace.Print(L"Backup UP ...");
    wchar_t wszSource[MAX_PATH], wszTarget[MAX_PATH];
    FormatPath(wszSource, L"%c:\\", wcUP);
    FormatPath(wszTarget, L"%s\\%s", wszNew, wszName);
    trace.Print(L"Source = %s", wszSource);
    trace.Print(L"Dest = %s", wszTarget);
    {
        WimPtr pWim(new (std::nothrow) CWimMgr(nullptr));
        if (!pWim)
            return NV_E_ALLOC;
        hr = pWim->SetCaptureSource(wszSource);
        hr |= pWim->SetCaptureTarget(wszTarget);
        hr |= pWim->SetMessageCallback(&CSBRMgr::ZQWIMMessageCallback);
        pWim->SetMessageCallbackData(this);
        if (FAILED(hr))
            trace.Print(L"Setting error.");
        else
            hr = pWim->BackupToImage();
        HRESULT hrClean = pWim->CleanUpHandles();
        if (SUCCEEDED(hr))
            hr = hrClean;
    }
    if (FAILED(hr)) {
        trace.Print(L"hr = %lx", hr);
        NvDeleteDirectory(wszNew);
        return hr;
    }
    // Old aside, new in, old gone; a failed second move puts the old back.
    if (NvDirectoryExists(wszOld))
        NvDeleteDirectory(wszOld);
    if (NvDirectoryExists(wszPreload) && !MoveFileW(wszPreload, wszOld))
        return NV_E_FAIL;
    if (!MoveFileW(wszNew, wszPreload)) {
        MoveFileW(wszOld, wszPreload);
        return NV_E_FAIL;
    }
    if (NvDirectoryExists(wszOld))
        NvDeleteDirectory(wszOld);
    m_dwPercent = kPercentDone;
    return S_OK;
}

// ------------------------------------------ removal of the recovery partition

HRESULT CSBRMgr::RunRemoveRP()
{
    CAutoTrace trace(L"CSBRMgr", L"RunRemoveRP", this);
    m_dwPercent = kPercentStart;
    HRESULT hr = ReCreateWinREBootEntry();
    if (SUCCEEDED(hr))
        hr = DeleteRPAndExtendUP();
    if (FAILED(hr))
        return hr;
    m_dwPercent = kPercentDone;
    return S_OK;
}
