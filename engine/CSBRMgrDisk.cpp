// Disks, partitions and drive letters: which disk is the main one, which of
// its partitions hold Windows, the system files, the recovery tools and the
// factory image, and their letters.
#include "CSBRMgr.h"

#include <cwchar>

#include "CAutoTrace.h"
#include "CDriveLayout.h"
#include "DiskMgmt.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "ZQUCRDWimInfo.h"
#include "ZoruViva.h"

namespace {

const int kSSD = 0;
const int kHardDisk = 1;

BYTE PartitionTypeOf(DWORD dwFileSystem)
{
    switch (dwFileSystem) {
    case DMFS_NTFS: return 0x07;
    case DMFS_FAT32: return 0x0B;
    case DMFS_FAT16: return 0x06;
    default: return 0;
    }
}

const wchar_t* FileSystemNameOf(DWORD dwFileSystem)
{
    switch (dwFileSystem) {
    case DMFS_NTFS: return L"NTFS";
    case DMFS_FAT32: return L"FAT32";
    case DMFS_FAT16: return L"FAT16";
    default: return L"";
    }
}

template <typename T>
void ReleaseInterface(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

} // namespace

void CSBRMgr::ReleaseComObjects()
{
    ReleaseInterface(m_pIDiskMgmt);
    ReleaseInterface(m_pIBurnMgmt);
}

HRESULT CSBRMgr::InitDisk()
{
    ReleaseInterface(m_pIDiskMgmt);
    IUnknown* pUnknown = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DiskMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&pUnknown));
    if (FAILED(hr))
        return hr;
    hr = pUnknown->QueryInterface(IID_IDiskMgmt, reinterpret_cast<void**>(&m_pIDiskMgmt));
    pUnknown->Release();
    if (FAILED(hr)) {
        ReleaseInterface(m_pIDiskMgmt);
        return hr;
    }
    IDiskMgmtAux* pAux = nullptr;
    hr = m_pIDiskMgmt->GetAuxiliary(&pAux);
    if (FAILED(hr) || !pAux)
        return E_POINTER;
    pAux->Rescan(static_cast<DWORD>(-1));
    pAux->Release();

    DWORD dwDiskCount = 0;
    hr = m_pIDiskMgmt->GetDiskCount(&dwDiskCount);
    if (FAILED(hr) || dwDiskCount == 0)
        return E_FAIL;

    std::vector<ZQDiskRecord> disks;
    std::vector<ZQPartRecord> parts;
    for (DWORD d = 0; d < dwDiskCount; ++d) {
        DiskMgmtDiskInfo di{};
        if (FAILED(m_pIDiskMgmt->GetDiskInfo(d, &di)))
            continue;
        disks.push_back(ZQDiskRecord{d, ZQDiskInfo{di.dwValue1, di.wValue2, di.byValue3, di.byValue4, di.ullValue5}});
        DWORD dwParts = 0;
        if (FAILED(m_pIDiskMgmt->GetPartitionCount(d, &dwParts)))
            continue;
        for (DWORD p = 1; p <= dwParts; ++p) {
            DiskMgmtPartitionInfo pi{};
            // A partition whose information cannot be read is left out rather
            // than recorded with made-up values.
            if (FAILED(m_pIDiskMgmt->GetPartitionInfo(d, p, &pi)))
                continue;
            ZQPartRecord rec{};
            rec.dwDisk = d;
            rec.dwPartition = p;
            rec.ullStartingOffset = pi.ullStartingOffset;
            rec.ullLength = pi.ullLength;
            rec.byPartitionType = PartitionTypeOf(pi.dwFileSystem);
            rec.dwExtra = pi.dwExtra;
            WCHAR wcLetter = 0;
            if (FAILED(m_pIDiskMgmt->GetDriveLetter(d, p, &wcLetter)))
                wcLetter = 0;
            rec.wcDrvLet = wcLetter;
            if (wcLetter) {
                wchar_t wszRoot[] = {wcLetter, L':', L'\\', 0};
                GetVolumeInformationW(wszRoot, rec.wszVolumeName, MAX_PATH, nullptr, nullptr, nullptr,
                                      rec.wszFileSystem, MAX_PATH);
                ULARGE_INTEGER avail{}, total{}, free{};
                if (GetDiskFreeSpaceExW(wszRoot, &avail, &total, &free)) {
                    rec.ullFreeBytesAvailable = avail.QuadPart;
                    rec.ullTotalBytes = total.QuadPart;
                    rec.ullTotalFreeBytes = free.QuadPart;
                }
            } else {
                wcscpy(rec.wszFileSystem, FileSystemNameOf(pi.dwFileSystem));
                rec.ullTotalBytes = pi.ullLength;
            }
            parts.push_back(rec);
        }
    }
    EnterCriticalSection(&m_csInit);
    m_vecPartInfo.swap(parts);
    m_vecDiskInfo.swap(disks);
    m_dwDiskCount = dwDiskCount;
    LeaveCriticalSection(&m_csInit);
    return S_OK;
}

std::vector<ZQPartRecord> CSBRMgr::GetPartInfo()
{
    EnterCriticalSection(&m_csInit);
    std::vector<ZQPartRecord> copy = m_vecPartInfo;
    LeaveCriticalSection(&m_csInit);
    return copy;
}

DWORD CSBRMgr::ZQGetUPDiskIndex()
{
    if (m_dwUPDiskIndex == INVALID_INDEX) {
        DWORD dw = GetMainDiskIndexbyLocation();
        if (dw != INVALID_INDEX)
            m_dwUPDiskIndex = dw;
    }
    DebugPrint(L"ZQGetUPDiskIndex return %lu\n", m_dwUPDiskIndex);
    return m_dwUPDiskIndex;
}

DWORD CSBRMgr::ZQGetRPDATADiskIndex()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQGetRPDATADiskIndex", this);
    if (m_dwRPDATADiskIndex == INVALID_INDEX) {
        trace.Print(L"re-get rp_data disk index...");
        DWORD u = ZQGetUPDiskIndex();
        trace.Print(L"dwUPDiskIndex = %lu", u);
        if (u != INVALID_INDEX) {
            if (IsOneSSDPlusOneHDD() && GetZQVendor() == ZQ_VENDOR_CNB) {
                // The other fixed disk, whichever kind the main disk is: a USB
                // disk plugged in beside the two must never receive the image.
                for (DWORD d = 0; d < m_dwDiskCount; ++d) {
                    if (d != u && !IsRemovable(d)) {
                        m_dwRPDATADiskIndex = d;
                        break;
                    }
                }
            } else {
                trace.Print(L"LocalSSDIsExist() == %lu, GetZQVendor() == %lu", LocalSSDIsExist(), GetZQVendor());
                m_dwRPDATADiskIndex = u;
            }
        }
    }
    trace.Print(L"ZQGetRPDATADiskIndex return %lu", m_dwRPDATADiskIndex);
    return m_dwRPDATADiskIndex;
}

DWORD CSBRMgr::GetUPPartIndex()
{
    CAutoTrace trace(L"CSBRMgr", L"GetUPPartIndex", this);
    DWORD dw;
    if (m_dwZQOSVer == ZQ_PLATFORM_VISTA) {
        dw = 1;
    } else if (m_enZQVendor != ZQ_VENDOR_CNB) {
        dw = 2;
    } else {
        DWORD dwExit = 0;
        bool bRunning = m_enOperation == RO_FACTORY_RESET && m_hZQRecoveryThread &&
                        GetExitCodeThread(m_hZQRecoveryThread, &dwExit) && dwExit == STILL_ACTIVE;
        DWORD dwStatus = m_enZQStatus;
        if (bRunning && (dwStatus == OS_REINSTALL || dwStatus == OS_REPARTITION))
            dw = 1;
        else
            return GetUPPartIndexFromInfoFile();
    }
    trace.Print(L"GetUPPartIndex return %lu", dw);
    return dw;
}

DWORD CSBRMgr::GetSPPartIndex()
{
    CAutoTrace trace(L"CSBRMgr", L"GetSPPartIndex", this);
    DWORD dw;
    if (m_dwZQOSVer == ZQ_PLATFORM_VISTA) {
        dw = GetUPPartIndex();
    } else if (m_enZQVendor != ZQ_VENDOR_CNB) {
        dw = 1;
    } else {
        DWORD up = GetUPPartIndex();
        dw = up == 2 ? 1 : (up == 1 ? 4 : INVALID_INDEX);
    }
    trace.Print(L"GetSPPartIndex return %lu", dw);
    return dw;
}

DWORD CSBRMgr::GetRPTOOLPartIndex()
{
    CAutoTrace trace(L"CSBRMgr", L"GetRPTOOLPartIndex", this);
    DWORD dw;
    if (m_dwZQOSVer == ZQ_PLATFORM_VISTA) {
        dw = 2;
    } else if (m_enZQVendor != ZQ_VENDOR_CNB) {
        dw = 3;
    } else {
        DWORD up = GetUPPartIndex();
        if (up == INVALID_INDEX) {
            dw = INVALID_INDEX;
        } else if (IsOneSSDOnly()) {
            BOOL bAbove = FALSE;
            dw = SUCCEEDED(SSDIsAboveThreshold(&bAbove)) && bAbove ? up + 1 : INVALID_INDEX;
        } else {
            dw = up + 1;
        }
    }
    trace.Print(L"GetRPTOOLPartIndex return %lu", dw);
    return dw;
}

DWORD CSBRMgr::Win7NotebookRPDATAPartIndex()
{
    CAutoTrace trace(L"CSBRMgr", L"GetRPDATAPartIndex", this);
    if (IsOneSSDOnly()) {
        trace.Print(L"GetRPDATAPartIndex return %lu", INVALID_INDEX);
        return INVALID_INDEX;
    }
    if (!IsOneSSDPlusOneHDD())
        return GetRPTOOLPartIndex();
    if (!m_pIDiskMgmt)
        return INVALID_INDEX;
    DWORD d = ZQGetRPDATADiskIndex();
    DWORD n = 0;
    HRESULT hr = m_pIDiskMgmt->GetPartitionCount(d, &n);
    if (FAILED(hr) || n == 0) {
        trace.Print(L"IDiskMgmt::GetPartitionCount return %lx, dwPartCount = %lu", hr, n);
        return INVALID_INDEX;
    }
    DiskMgmtPartitionInfo pi{};
    hr = m_pIDiskMgmt->GetPartitionInfo(d, n, &pi);
    if (FAILED(hr)) {
        trace.Print(L"IDiskMgmt::GetPartitionInfo return %lx, part index = %lu", hr, n);
        return INVALID_INDEX;
    }
    if (pi.dwFileSystem != DMFS_NTFS) {
        trace.Print(L"Latest partition is NOT NTFS partition.");
        return INVALID_INDEX;
    }
    WCHAR wcLetter = 0;
    if (FAILED(m_pIDiskMgmt->GetDriveLetter(d, n, &wcLetter)))
        return INVALID_INDEX;
    BOOL bRPDATA = FALSE;
    hr = IsRPDATA(d, n, &bRPDATA);
    if (FAILED(hr)) {
        trace.Print(L"IsRPDATA return %lx", hr);
        return INVALID_INDEX;
    }
    return bRPDATA ? n : INVALID_INDEX;
}

DWORD CSBRMgr::GetRPDATAPartIndex()
{
    if (m_dwZQOSVer == ZQ_PLATFORM_WIN7 && m_enZQVendor == ZQ_VENDOR_CNB)
        return Win7NotebookRPDATAPartIndex();
    CAutoTrace trace(L"CSBRMgr", L"GetRPDATAPartIndex", this);
    DWORD dw = GetRPTOOLPartIndex();
    trace.Print(L"GetRPDATAPartIndex return %lu", dw);
    return dw;
}

DWORD CSBRMgr::GetDATAPartIndex()
{
    CAutoTrace trace(L"CSBRMgr", L"GetDATAPartIndex", this);
    DWORD dw;
    if (m_dwZQOSVer == ZQ_PLATFORM_VISTA)
        dw = INVALID_INDEX;
    else
        dw = IsOneSSDOnly() ? INVALID_INDEX : 1;
    trace.Print(L"GetDATAPartIndex return %lu", dw);
    return dw;
}

DWORD CSBRMgr::GetUPPartIndexFromInfoFile()
{
    CAutoTrace trace(L"CSBRMgr", L"GetUPPartIndexFromInfoFile", this);
    const BOOL bPE = IsUnderWinPE();
    const BOOL bFromODD = NvIsPEBootFromODD(nullptr);
    trace.Print(L"bIsPE = %lu, bIsBootFromCDROM = %lu", bPE, bFromODD);
    const UINT uWantedType = bPE && bFromODD ? DRIVE_CDROM : DRIVE_FIXED;
    wchar_t wcDrvLet = 0;
    for (wchar_t c = L'A'; c <= L'Z' && !wcDrvLet; ++c) {
        wchar_t wszRoot[] = {c, L':', L'\\', 0};
        if (GetDriveTypeW(wszRoot) == uWantedType && RootFileExists(c, L"CSP.dat"))
            wcDrvLet = c;
    }
    if (!wcDrvLet) {
        trace.Print(L"wcDrvLet is\tNULL");
        return INVALID_INDEX;
    }
    trace.Print(L"wcDrvLet = %c", wcDrvLet);
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\CSP.dat", wcDrvLet);
    trace.Print(L"wszPath = %s", wszPath);
    HRESULT hr = m_pUCRDWimInfo ? m_pUCRDWimInfo->LoadFile(wszPath) : NV_E_ALLOC;
    if (FAILED(hr)) {
        trace.Print(L"ZQUCRDWimInfo::LoadFile fail. hr = %lx", hr);
        return INVALID_INDEX;
    }
    trace.Print(L"Enter for loop ...");
    DWORD dwUP = INVALID_INDEX;
    for (DWORD i = 1; i <= 4; ++i) {
        trace.Print(L"i = %lu", i);
        if (m_pUCRDWimInfo->m_WimInfoPar[i].enPartRole == PR_UP) {
            trace.Print(L"find UP!");
            dwUP = i;
        }
    }
    if (dwUP == INVALID_INDEX)
        trace.Print(L"dwUPPartIndex = %lu, invalid.", dwUP);
    trace.Print(L"return %lu", dwUP);
    return dwUP;
}

BOOL CSBRMgr::IsFixedDrive(wchar_t wcDrvLet)
{
    wchar_t wszRoot[] = {wcDrvLet, L':', L'\\', 0};
    return GetDriveTypeW(wszRoot) == DRIVE_FIXED;
}

BOOL CSBRMgr::RootFileExists(wchar_t wcDrvLet, const wchar_t* pwszName)
{
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\%s", wcDrvLet, pwszName);
    return GetFileAttributesW(wszPath) != INVALID_FILE_ATTRIBUTES;
}

BOOL CSBRMgr::MainDiskLetter(DWORD dwPartition, wchar_t* pwcDrvLet)
{
    *pwcDrvLet = 0;
    DWORD dwDisk = ZQGetUPDiskIndex();
    if (dwDisk == INVALID_INDEX)
        return FALSE;
    WCHAR wc = 0;
    if (DskPos2LogDskLetter(dwDisk, dwPartition, &wc) != 0)
        return FALSE;
    *pwcDrvLet = wc;
    return TRUE;
}

wchar_t CSBRMgr::GetWindowsDrvLet()
{
    CAutoTrace trace(L"CSBRMgr", L"GetWindowsDrvLet", this);
    if (m_wcWindowsDrvLet) {
        trace.Print(L"return %c", m_wcWindowsDrvLet);
        return m_wcWindowsDrvLet;
    }
    trace.Print(L"Search drive letter ...");
    const BOOL bPE = IsUnderWinPE();
    for (wchar_t c = L'A'; c <= L'Z'; ++c) {
        if (bPE && c == L'X')
            continue;
        trace.Print(L"Check Volume %c ...", c);
        if (!IsFixedDrive(c))
            continue;
        wchar_t wszPath[MAX_PATH];
        FormatPath(wszPath, L"%c:\\windows\\system32\\", c);
        trace.Print(L"Check path %s ...", wszPath);
        if (NvDirectoryExists(wszPath)) {
            m_wcWindowsDrvLet = c;
            trace.Print(L"return m_wcWindowsDrvLet = %c", c);
            return c;
        }
    }
    trace.Print(L"GetWindowsDrvLet fail.");
    return 0;
}

wchar_t CSBRMgr::GetUPDrvLet()
{
    if (m_wcUPDrvLet)
        return m_wcUPDrvLet;
#ifdef RV_DISCORA
    DWORD up = GetUPPartIndex();
    wchar_t wc = 0;
    if (up != INVALID_INDEX && up >= 1 && MainDiskLetter(up, &wc))
        m_wcUPDrvLet = wc;
    return m_wcUPDrvLet;
#else
    if (!IsUnderWinPE()) {
        m_wcUPDrvLet = GetWindowsDrvLet();
        return m_wcUPDrvLet;
    }
    DWORD up = GetUPPartIndex();
    wchar_t wc = 0;
    if (up != INVALID_INDEX && up >= 1 && MainDiskLetter(up, &wc) && wc) {
        m_wcUPDrvLet = wc;
        return wc;
    }
    if (NvIsPEBootFromODD(nullptr)) {
        if (GetRecoveryDiscType() != RDT_UNKNOWN)
            return 0;
        m_wcUPDrvLet = GetWindowsDrvLet();
        return m_wcUPDrvLet;
    }
    if (RecoveryPartitionIsExist())
        return 0;
    m_wcUPDrvLet = GetWindowsDrvLet();
    return m_wcUPDrvLet;
#endif
}

wchar_t CSBRMgr::GetSPDrvLet()
{
    CAutoTrace trace(L"CSBRMgr", L"GetSPDrvLet", this);
    if (m_enZQVendor == ZQ_VENDOR_CNB) {
        trace.Print(L"It's cNB, cannot get SP drive letter.");
        return 0;
    }
    if (!IsUnderWinPE()) {
        trace.Print(L"***** ERROR ***** ERROR ***** ERROR : You cannot get SP drive letter under Windows 7 build 7000.");
        return 0;
    }
    if (!m_wcSPDrvLet) {
        wchar_t wc = 0;
        DWORD sp = GetSPPartIndex();
        if (sp == INVALID_INDEX || !MainDiskLetter(sp, &wc)) {
            m_wcSPDrvLet = 0;
            trace.Print(L"return m_wcSPDrvLet = empty, DskPos2LogDskLetter failed.");
            return 0;
        }
        m_wcSPDrvLet = wc;
    }
    trace.Print(L"return m_wcSPDrvLet = %c", m_wcSPDrvLet);
    return m_wcSPDrvLet;
}

wchar_t CSBRMgr::GetMainPart1DrvLet()
{
    if (!m_wcMainPart1DrvLet && !MainDiskLetter(1, &m_wcMainPart1DrvLet))
        m_wcMainPart1DrvLet = 0;
    return m_wcMainPart1DrvLet;
}

wchar_t CSBRMgr::GetMainPart2DrvLet()
{
    if (!m_wcMainPart2DrvLet && !MainDiskLetter(2, &m_wcMainPart2DrvLet))
        m_wcMainPart2DrvLet = 0;
    return m_wcMainPart2DrvLet;
}

BOOL CSBRMgr::IsRPTOOLVolume(wchar_t wcDrvLet)
{
    return RootFileExists(wcDrvLet, L"RPCONFIG.LOG") && RootFileExists(wcDrvLet, L"CSP.DAT") &&
           IsFixedDrive(wcDrvLet);
}

BOOL CSBRMgr::IsRPDATAVolume(wchar_t wcDrvLet)
{
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\preload\\", wcDrvLet);
    return NvDirectoryExists(wszPath) && IsFixedDrive(wcDrvLet);
}

BOOL CSBRMgr::SearchRPTOOLDrvLet()
{
    for (wchar_t c = L'a'; c <= L'z'; ++c) {
        wchar_t wszPath[MAX_PATH];
        FormatPath(wszPath, L"%c:\\RPCONFIG.LOG", c);
        if (IsFixedDrive(c) && NvFileExists(wszPath)) {
            m_wcRPDrvLet = c;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CSBRMgr::SearchRPDATADrvLet()
{
    for (wchar_t c = L'a'; c <= L'z'; ++c) {
        if (IsRPDATAVolume(c)) {
            m_wcRPDATADrvLet = c;
            return TRUE;
        }
    }
    return FALSE;
}

wchar_t CSBRMgr::GetRPTOOLDrvLet()
{
    if (m_wcRPDrvLet == 0) {
        DWORD p = GetRPTOOLPartIndex();
        wchar_t wc = 0;
        if (p != INVALID_INDEX && p >= 1 && MainDiskLetter(p, &wc) && wc)
            m_wcRPDrvLet = wc;
        else if (!SearchRPTOOLDrvLet()) {
            m_wcRPDrvLet = 0;
            return 0;
        }
        if (!m_bRepartitioned) {
            if (IsRPTOOLVolume(m_wcRPDrvLet))
                return m_wcRPDrvLet;
            if (!SearchRPTOOLDrvLet()) {
                m_wcRPDrvLet = 0;
                return 0;
            }
        }
    }
    if (m_bRecheckRPDrvLet && !IsRPTOOLVolume(m_wcRPDrvLet) && !SearchRPTOOLDrvLet()) {
        m_wcRPDrvLet = 0;
        return 0;
    }
    return m_wcRPDrvLet;
}

wchar_t CSBRMgr::GetRPDATADrvLet()
{
    if (m_wcRPDATADrvLet)
        return m_wcRPDATADrvLet;
    DWORD p = GetRPDATAPartIndex();
    wchar_t wc = 0;
    WCHAR wcFound = 0;
    if (p != INVALID_INDEX && p >= 1 && DskPos2LogDskLetter(ZQGetRPDATADiskIndex(), p, &wcFound) == 0 && wcFound)
        wc = wcFound;
    else if (SearchRPDATADrvLet())
        wc = m_wcRPDATADrvLet;
    if (wc && !IsRPDATAVolume(wc))
        wc = SearchRPDATADrvLet() ? m_wcRPDATADrvLet : 0;
    m_wcRPDATADrvLet = wc;
    return wc;
}

HRESULT CSBRMgr::IsRPDATA(DWORD dwDisk, DWORD dwPartition, BOOL* pbIsRPDATA)
{
    CAutoTrace trace(L"CSBRMgr", L"IsRPDATA", this);
    if (!pbIsRPDATA)
        return NV_E_INVALID_ARG;
    *pbIsRPDATA = FALSE;
    WCHAR wc = 0;
    if (DskPos2LogDskLetter(dwDisk, dwPartition, &wc) != 0) {
        trace.Print(L"DskPos2LogDskLetter failed.");
        return S_OK;
    }
    if (!wc) {
        trace.Print(L"wcRPDATA is null");
        return S_OK;
    }
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\preload", wc);
    if (NvDirectoryExists(wszPath))
        *pbIsRPDATA = TRUE;
    else
        trace.Print(L"%s not exist", wszPath);
    return S_OK;
}

HRESULT CSBRMgr::GetRPDATADiskFreeSpace(BOOL bCountRPDATAAsFree, ULONGLONG* pullFree)
{
    CAutoTrace trace(L"CSBRMgr", L"GetRPDATADiskFreeSpace", this);
    if (!pullFree)
        return NV_E_INVALID_ARG;
    trace.Print(L"Creating pDrvLayoutInfo ...");
    CDriveLayout layout;
    trace.Print(L"GetPartitionInfo ...");
    const DWORD dwDisk = ZQGetRPDATADiskIndex();
    HRESULT hr = layout.Read(dwDisk);
    if (FAILED(hr))
        return NV_E_PARTITION_INFO;
    ZV_DISK_LENGTH_INFO lengthInfo{};
    ULONGLONG ullLength = QueryDiskLengthInfo(dwDisk, &lengthInfo) == 0 ? lengthInfo.Length : 0;

    // The count the library reports is bounded by the four entries we hold.
    DWORD dwEntries = layout.Get()->PartitionCount;
    if (dwEntries > CDriveLayout::kEntries)
        dwEntries = CDriveLayout::kEntries;
    DWORD n = 0;
    trace.Print(L"PartitionCount = %lu", dwEntries);
    for (DWORD i = 0; i < dwEntries; ++i) {
        const PARTITION_INFORMATION& e = layout.Entry(i);
        trace.Print(L"StartingOffset = %llu", e.StartingOffset.QuadPart);
        trace.Print(L"PartitionLength = %llu", e.PartitionLength.QuadPart);
        trace.Print(L"HiddenSectors = %lu", e.HiddenSectors);
        trace.Print(L"PartitionNumber = %lu", e.PartitionNumber);
        trace.Print(L"PartitionType = %d", e.PartitionType);
        trace.Print(L"BootIndicator = %d", e.BootIndicator);
        trace.Print(L"RecognizedPartition = %d", e.RecognizedPartition);
        trace.Print(L"RewritePartition = %d", e.RewritePartition);
        if (e.PartitionLength.QuadPart != 0)
            ++n;
    }

    BOOL bLastIsRPDATA = FALSE;
    if (n >= 1)
        IsRPDATA(dwDisk, n, &bLastIsRPDATA);
    if (bLastIsRPDATA) {
        m_dwRPDATAPartIndex = n;
        if (n >= 2)
            m_dwShrinkPartIndex = n - 1;
    } else {
        m_dwShrinkPartIndex = n;
    }

    ULONGLONG ullPrevEnd = 0, ullLastEnd = 0;
    bool bAny = false;
    for (int i = 0; i < CDriveLayout::kEntries; ++i) {
        const PARTITION_INFORMATION& e = layout.Entry(i);
        if (e.PartitionLength.QuadPart == 0)
            continue;
        bAny = true;
        ullPrevEnd = ullLastEnd;
        ullLastEnd = e.StartingOffset.QuadPart + e.PartitionLength.QuadPart;
        trace.Print(L"i = %d, ullEndOfPart = %llu", i, ullLastEnd);
    }
    if (!bAny)
        return NV_E_FILE_NOT_EXIST;
    ULONGLONG ullEnd = bCountRPDATAAsFree && bLastIsRPDATA ? ullPrevEnd : ullLastEnd;
    // An unknown disk length (or a table past the disk's end) leaves no room,
    // never a wrapped-around huge number.
    *pullFree = ullLength > ullEnd ? ullLength - ullEnd : 0;
    trace.Print(L"disk free space = %llu", *pullFree);
    return S_OK;
}

BOOL CSBRMgr::RecoveryPartitionIsExist()
{
    m_bRecheckRPDrvLet = TRUE;
    wchar_t wc = GetRPTOOLDrvLet();
    m_bRecheckRPDrvLet = FALSE;
    return wc != 0;
}

BOOL CSBRMgr::RecoveryPartitionIsHealthy()
{
    CAutoTrace trace(L"CSBRMgr", L"RecoveryPartitionIsHealthy", this);
    wchar_t r = GetRPTOOLDrvLet();
    bool bHealthy = r != 0;
    const wchar_t* const kFiles[] = {L"bootmgr", L"CSP.DAT", L"language.ini", L"RPCONFIG.LOG", L"boot", L"zq"};
    for (const wchar_t* pwszName : kFiles)
        bHealthy = bHealthy && RootFileExists(r, pwszName);
    if (bHealthy) {
        wchar_t wcPreload = IsOneSSDPlusOneHDD() ? GetRPDATADrvLet() : r;
        bHealthy = wcPreload && RootFileExists(wcPreload, L"preload");
    }
    bHealthy = bHealthy && RootFileExists(r, L"Recovery");
    if (bHealthy && m_enZQVendor == ZQ_VENDOR_CNB)
        bHealthy = RootFileExists(r, L"system.sav");
    trace.Print(bHealthy ? L"Recovery partition is healthy" : L"Recovery partition is not healthy");
    return bHealthy;
}

HRESULT CSBRMgr::SetRPVolumeLabel()
{
    CAutoTrace trace(L"CSBRMgr", L"SetRPVolumeLabel", this);
    wchar_t wszRoot[] = {GetRPTOOLDrvLet(), L':', L'\\', 0};
    if (wszRoot[0] && SetVolumeLabelW(wszRoot, m_wszRPVolumeNameBuf)) {
        trace.Print(L"SetRPVolumeLabel works well: m_wszRPVolumeNameBuf = %s", m_wszRPVolumeNameBuf);
        return S_OK;
    }
    trace.Print(L"SetRPVolumeLabel fail: m_wszRPVolumeNameBuf = %s", m_wszRPVolumeNameBuf);
    return NV_E_FAIL;
}

BOOL CSBRMgr::IsRemovable(DWORD dwDisk)
{
    return IsRemovalDevice(dwDisk) == 1;
}

BOOL CSBRMgr::LocalSSDIsExist()
{
    CAutoTrace trace(L"CSBRMgr", L"LocalSSDIsExist", this);
    trace.Print(L"Disk Count: %lu", m_dwDiskCount);
    for (DWORD d = 0; d < m_dwDiskCount; ++d) {
        if (IsRemovable(d)) {
            trace.Print(L"is removable device, skip.");
            continue;
        }
        if (DetectDriveType(d) == kSSD) {
            trace.Print(L"return true");
            return TRUE;
        }
    }
    trace.Print(L"return false");
    return FALSE;
}

BOOL CSBRMgr::IsOneSSDOnly()
{
    CAutoTrace trace(L"CSBRMgr", L"IsOneSSDOnly", this);
    trace.Print(L"Disk Count: %lu", m_dwDiskCount);
    DWORD dwSSD = 0;
    for (DWORD d = 0; d < m_dwDiskCount; ++d) {
        if (IsRemovable(d))
            continue;
        if (DetectDriveType(d) != kSSD)
            return FALSE;
        ++dwSSD;
    }
    return dwSSD == 1;
}

BOOL CSBRMgr::IsOneSSDPlusOneHDD()
{
    CAutoTrace trace(L"CSBRMgr", L"IsOneSSDPlusOneHDD", this);
    trace.Print(L"Disk Count: %lu", m_dwDiskCount);
    DWORD dwHDD = 0, dwSSD = 0;
    for (DWORD d = 0; d < m_dwDiskCount; ++d) {
        if (IsRemovable(d))
            continue;
        int type = DetectDriveType(d);
        if (type == kHardDisk)
            ++dwHDD;
        else if (type == kSSD)
            ++dwSSD;
    }
    BOOL bUnder = FALSE;
    if (dwHDD == 1 && dwSSD == 1) {
        ULONGLONG ullLength = 0;
        DWORD dwMain = ZQGetUPDiskIndex();
        bUnder = dwMain != INVALID_INDEX && ZQGetDiskLength(dwMain, &ullLength) == 0 &&
                 ullLength < (m_oMDConfig.m_ullLargeSSDThreshold << 30);
    }
    trace.Print(L"dwHDDCount = %lu, dwSSDCount = %lu, bIsSSDUnderThreshold = %d", dwHDD, dwSSD, bUnder);
    return dwHDD == 1 && dwSSD == 1 && bUnder;
}

HRESULT CSBRMgr::SSDIsAboveThreshold(BOOL* pbAbove)
{
    CAutoTrace trace(L"CSBRMgr", L"SSDIsAboveThreshold", this);
    if (!pbAbove)
        return NV_E_INVALID_ARG;
    trace.Print(L"Disk Count: %lu", m_dwDiskCount);
    for (DWORD d = 0; d < m_dwDiskCount; ++d) {
        if (IsRemovable(d) || DetectDriveType(d) != kSSD)
            continue;
        ZV_DISK_LENGTH_INFO info{};
        if (QueryDiskLengthInfo(d, &info) != 0)
            return NV_E_FAIL;
        ULONGLONG ullThreshold = m_oMDConfig.m_ullLargeSSDThreshold << 30;
        trace.Print(L"uiDiskSize = %llu, threshold = %llu", static_cast<ULONGLONG>(info.Length), ullThreshold);
        *pbAbove = static_cast<ULONGLONG>(info.Length) >= ullThreshold;
        return S_OK;
    }
    return NV_E_FILE_NOT_EXIST;
}

void CSBRMgr::PrintSSDInformation()
{
    CAutoTrace trace(L"CSBRMgr", L"PrintSSDInformation", this);
#ifdef RV_DISCORA
    auto yes = [](BOOL b) { return b ? L"TRUE" : L"FALSE"; };
    trace.Print(L"LocalSSDIsExist : %s", yes(LocalSSDIsExist()));
    trace.Print(L"IsOneSSDOnly : %s", yes(IsOneSSDOnly()));
    trace.Print(L"IsOneSSDPlusOneHDD : %s", yes(IsOneSSDPlusOneHDD()));
    BOOL b = FALSE;
    HRESULT hr = SSDIsAboveThreshold(&b);
    if (SUCCEEDED(hr))
        trace.Print(L"SSDIsAboveThreshold : %s", yes(b));
    else
        trace.Print(L"SSDIsAboveThreshold failed. hr = %lx", hr);
    DWORD dwPart = GetRPDATAPartIndex();
    hr = IsRPDATA(ZQGetRPDATADiskIndex(), dwPart, &b);
    if (SUCCEEDED(hr))
        trace.Print(L"IsRPDATA : %s", yes(b));
    else
        trace.Print(L"IsRPDATA failed. hr = %lx", hr);
#else
    for (DWORD d = 0; d < m_dwDiskCount; ++d) {
        if (DetectDriveType(d) == kSSD)
            trace.Print(L"Disk %lu is SSD.", d);
        else
            trace.Print(L"Disk %lu is HDD", d);
    }
    trace.Print(IsOneSSDOnly() ? L"IsOneSSDOnly return TRUE" : L"IsOneSSDOnly return FALSE");
    trace.Print(LocalSSDIsExist() ? L"LocalSSDIsExist return TRUE" : L"LocalSSDIsExist return FALSE");
#endif
}
