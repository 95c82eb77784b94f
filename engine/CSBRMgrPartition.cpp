// The controller's operations that change the disk: formatting, clearing a
// partition table, writing a new table from a recovery set's layout file,
// and the size checks that decide whether a disk can take a layout. Every
// planned table is checked against the disk before it is written: a table
// that overlaps itself or leaves the disk would destroy what it cannot hold.
#include "CSBRMgr.h"

#include "CAutoTrace.h"
#include "CDriveLayout.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "ZQSSRDWimInfo.h"
#include "ZQUCRDWimInfo.h"
#include "ZoruViva.h"

#include <vector>

namespace {

const DWORD kFormatPasses = 15;
// Windows PE mounts new volumes a while after the table is written.
const DWORD kPassSleepMilliseconds = 5000;
const int kFormatAttempts = 3;
const ULONGLONG kMiB = 1ull << 20;
// Up to this size an entry of a desktop layout is its system partition.
const ULONGLONG kSystemPartitionMaxBytes = 0xC800000;
const BYTE kNtfsPartitionType = 7;
const wchar_t kNtfs[] = L"NTFS";
const wchar_t kLayoutFile[] = L"csp.dat";
const wchar_t kFactoryLayoutFile[] = L"preload\\csp.dat";

// The disk's size and the units of its geometry, all non-zero.
struct DiskGeometry {
    ULONGLONG ullDiskSize;
    DWORD dwBytesPerSector;
    DWORD dwTrackSize;
    DWORD dwCylinderSize;
};

// 0, or NV_E_FAIL when the disk cannot be asked or reports a geometry of 0
// (which would divide by zero or plan on a disk of no size).
HRESULT ReadGeometry(DWORD dwDisk, DiskGeometry& geometry, CAutoTrace& trace)
{
    ZV_DISK_INFO info{};
    if (QueryDiskInfo(dwDisk, &info) != 0)
        return NV_E_FAIL;
    const DISK_GEOMETRY& g = info.Geometry;
    ULONGLONG ullTrack = static_cast<ULONGLONG>(g.BytesPerSector) * g.SectorsPerTrack;
    ULONGLONG ullCylinder = ullTrack * g.TracksPerCylinder;
    if (g.BytesPerSector == 0 || ullCylinder == 0 || ullCylinder > MAXDWORD || g.Cylinders.QuadPart <= 0) {
        trace.Print(L"Disk %lu reports no usable geometry.", dwDisk);
        return NV_E_FAIL;
    }
    geometry.ullDiskSize = static_cast<ULONGLONG>(g.Cylinders.QuadPart) * ullCylinder;
    geometry.dwBytesPerSector = g.BytesPerSector;
    geometry.dwTrackSize = static_cast<DWORD>(ullTrack);
    geometry.dwCylinderSize = static_cast<DWORD>(ullCylinder);
    return S_OK;
}

// The bytes a table may use: the disk's length, which the whole cylinders
// of its geometry may fall short of.
ULONGLONG DiskLength(DWORD dwDisk, const DiskGeometry& geometry)
{
    ULONGLONG ullLength = 0;
    if (ZQGetDiskLength(dwDisk, &ullLength) != 0 || ullLength < geometry.ullDiskSize)
        return geometry.ullDiskSize;
    return ullLength;
}

// True when every planned partition has a size, lies on the disk and
// overlaps no other.
bool PlanFitsDisk(const std::vector<ZQPlannedPartition>& plan, ULONGLONG ullDiskSize, CAutoTrace& trace)
{
    for (size_t i = 0; i < plan.size(); ++i) {
        const ZQPlannedPartition& p = plan[i];
        if (p.ullSize == 0 || p.ullStart >= ullDiskSize || p.ullSize > ullDiskSize - p.ullStart) {
            trace.Print(L"Partition %u (start %llu, size %llu) does not lie on the disk of %llu bytes.",
                        static_cast<unsigned>(i + 1), p.ullStart, p.ullSize, ullDiskSize);
            return false;
        }
        for (size_t j = 0; j < i; ++j) {
            const ZQPlannedPartition& q = plan[j];
            if (p.ullStart < q.ullStart + q.ullSize && q.ullStart < p.ullStart + p.ullSize) {
                trace.Print(L"Partitions %u and %u overlap.", static_cast<unsigned>(j + 1),
                            static_cast<unsigned>(i + 1));
                return false;
            }
        }
    }
    return true;
}

bool IsTaken(DWORD dwVendor, const ZQWimInfoPar& par)
{
    if (dwVendor == ZQ_VENDOR_CNB)
        return par.enPartRole == PR_UP;
    if (dwVendor == ZQ_VENDOR_DOZ)
        return par.enPartRole == PR_UP || par.enPartRole == PR_RP ||
               par.ullPartitionSize <= kSystemPartitionMaxBytes;
    return true;
}

bool IsBootEntry(DWORD dwVendor, const ZQPlannedPartition& p)
{
    if (dwVendor == ZQ_VENDOR_CNB)
        return p.dwRole == PR_UP;
    if (dwVendor == ZQ_VENDOR_DOZ)
        return p.ullSize <= kSystemPartitionMaxBytes && p.dwRole != PR_UP && p.dwRole != PR_RP;
    return false;
}

} // namespace

HRESULT CSBRMgr::FormatPartition(wchar_t wcDrvLet, const wchar_t* pwszType)
{
    CAutoTrace trace(L"CSBRMgr", L"FormatPartition", this);
    trace.Print(L"wcDriveLetter = %c, wszType = %s\n", wcDrvLet ? wcDrvLet : L' ', pwszType ? pwszType : L"");
    if (!iswalpha(wcDrvLet) || wcDrvLet > L'z' || !pwszType)
        return NV_E_INVALID_ARG;
    if (!QSFormatEx(wcDrvLet, pwszType, 0, 0)) {
        trace.Print(L"QSFormatEx fail.");
        return NV_E_FAIL;
    }
    return S_OK;
}

HRESULT CSBRMgr::WipeDisk(DWORD dwDisk)
{
    CAutoTrace trace(L"CSBRMgr", L"WipeDisk", this);
    ZV_DISK_INFO info{};
    if (QueryDiskInfo(dwDisk, &info) != 0)
        return NV_E_FAIL;
    CDriveLayout layout;
    trace.Print(L"Fill the content of Drive Layout Information.");
    return layout.Write(dwDisk);
}

HRESULT CSBRMgr::FormatWithRetries(wchar_t wcDrvLet)
{
    for (int i = 0; i < kFormatAttempts; ++i) {
        if (QSFormatEx(wcDrvLet, kNtfs, 0, 0))
            return S_OK;
    }
    return NV_E_FAIL;
}

HRESULT CSBRMgr::FormatNewPartitions(DWORD dwDisk, DWORD dwCount)
{
    CAutoTrace trace(L"CSBRMgr", L"FormatNewPartitions", this);
    for (DWORD dwPass = 0; dwPass < kFormatPasses; ++dwPass) {
        m_pEnv->Clock().Sleep(kPassSleepMilliseconds);
        DWORD dwPos = 1;
        for (; dwPos <= dwCount; ++dwPos) {
            WCHAR wc = 0;
            // A letter of 0 is a volume not mounted yet: wait for the next pass.
            if (DskPos2LogDskLetter(dwDisk, dwPos, &wc) != 0 || wc == 0) {
                trace.Print(L"Get drive letter fail: disk %lu, partition %lu", dwDisk, dwPos);
                break;
            }
            if (FAILED(FormatWithRetries(wc))) {
                trace.Print(L"QSFormatEx retried 3 times fail ...");
                return NV_E_FAIL;
            }
        }
        if (dwPos > dwCount)
            return S_OK;
    }
    // Reporting success here would let the recovery copy into volumes that
    // were never formatted or do not exist.
    trace.Print(L"The new partitions got no drive letters in %lu passes.", kFormatPasses);
    return NV_E_FAIL;
}

HRESULT CSBRMgr::ZQSSRDResetDisk()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQSSRDResetDisk", this);
    const DWORD dwDisk = ZQGetUPDiskIndex();
    DiskGeometry geometry{};
    HRESULT hr = ReadGeometry(dwDisk, geometry, trace);
    if (FAILED(hr))
        return hr;
    if (!m_pSSRDWimInfo)
        return NV_E_ALLOC;
    CDriveLayout layout;
    trace.Print(L"Fill the content of Drive Layout Information.");
    trace.Print(L"disk total bytes: %llu", geometry.ullDiskSize);
    const ULONGLONG ullS1 = m_pSSRDWimInfo->m_WimInfoPar[0].ullPartitionSize;
    const ULONGLONG ullS2 = m_pSSRDWimInfo->m_WimInfoPar[1].ullPartitionSize;
    if (ullS1 == 0 || ullS2 == 0)
        return NV_E_FAIL;
    trace.Print(L"up total bytes: %llu", ullS1);
    ULONGLONG ullHead = geometry.dwTrackSize;
    ULONGLONG ullHeadFree = 0;
    if (SUCCEEDED(GetHeadFreeSpace(&ullHeadFree)))
        ullHead += ullHeadFree;

    const ULONGLONG ullFirstEnd = ullHead + ullS1;
    const ULONGLONG ullTrim = ullFirstEnd % geometry.dwCylinderSize;
    if (ullTrim >= ullS1)
        return NV_E_FAIL;
    std::vector<ZQPlannedPartition> plan = {{ullS1 - ullTrim, ullHead, kNtfsPartitionType, 0},
                                          {ullS2, ullFirstEnd, kNtfsPartitionType, 0}};
    if (!PlanFitsDisk(plan, DiskLength(dwDisk, geometry), trace))
        return NV_E_FAIL;
    layout.SetEntry(0, plan[0].ullStart, plan[0].ullSize, kNtfsPartitionType, FALSE, geometry.dwBytesPerSector);
    layout.SetEntry(1, plan[1].ullStart, plan[1].ullSize, kNtfsPartitionType, TRUE, geometry.dwBytesPerSector);
    hr = layout.Write(dwDisk);
    if (FAILED(hr))
        return hr;
    return FormatNewPartitions(dwDisk, 2);
}

HRESULT CSBRMgr::ZQUCRDCheckLayout(std::vector<ZQPlannedPartition>& plan)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQUCRDResetDiskByDefFile", this);
    plan.clear();
    if (m_dwZQOSVer != ZQ_PLATFORM_WIN7)
        return NV_E_FAIL;
    if (!m_pUCRDWimInfo)
        return NV_E_ALLOC;
    const wchar_t wcUCRD = GetUCRDDrvLet();
    wchar_t wszParLayoutFile[MAX_PATH];
    FormatPath(wszParLayoutFile, L"%c:\\%s", wcUCRD, kLayoutFile);
    trace.Print(L"wszParLayoutFile = %s", wszParLayoutFile);
    HRESULT hr = wcUCRD ? m_pUCRDWimInfo->LoadFile(wszParLayoutFile) : NV_E_FAIL;
    if (FAILED(hr)) {
        trace.Print(L"ZQUCRDWimInfo::LoadFile fail. hr = %lx", hr);
        return NV_E_FAIL;
    }
    const DWORD dwDisk = ZQGetUPDiskIndex();
    DiskGeometry geometry{};
    hr = ReadGeometry(dwDisk, geometry, trace);
    if (FAILED(hr))
        return hr;
    trace.Print(L"disk total bytes: %llu", geometry.ullDiskSize);
    hr = PlanUCRDLayout(wcUCRD, geometry.ullDiskSize, plan);
    if (FAILED(hr))
        return hr;
    // An empty or impossible plan would clear the disk and install nothing.
    if (plan.empty() || !PlanFitsDisk(plan, DiskLength(dwDisk, geometry), trace))
        return NV_E_LAYOUT_MISMATCH;
    return S_OK;
}

HRESULT CSBRMgr::ZQUCRDResetDiskByDefFile()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQUCRDResetDiskByDefFile", this);
    std::vector<ZQPlannedPartition> plan;
    HRESULT hr = ZQUCRDCheckLayout(plan);
    if (FAILED(hr))
        return hr;
    const DWORD dwDisk = ZQGetUPDiskIndex();
    DiskGeometry geometry{};
    hr = ReadGeometry(dwDisk, geometry, trace);
    if (FAILED(hr))
        return hr;
    trace.Print(L"Fill the content of Drive Layout Information.");
    CDriveLayout layout;
    for (size_t k = 0; k < plan.size() && k < CDriveLayout::kEntries; ++k) {
        trace.Print(L"writing partition entries ...");
        layout.SetEntry(static_cast<int>(k), plan[k].ullStart, plan[k].ullSize, LOBYTE(plan[k].wType),
                        IsBootEntry(m_enZQVendor, plan[k]), geometry.dwBytesPerSector);
    }
    trace.Print(L"calling SetPartition ...");
    hr = layout.Write(dwDisk);
    if (FAILED(hr))
        return hr;
    trace.Print(L"pass SetPartition ...");
    hr = FormatNewPartitions(dwDisk, static_cast<DWORD>(plan.size()));
    if (SUCCEEDED(hr))
        m_bRepartitioned = TRUE;
    return hr;
}

HRESULT CSBRMgr::PlanUCRDLayout(wchar_t wcUCRD, ULONGLONG ullDiskSize, std::vector<ZQPlannedPartition>& plan)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQUCRDResetDiskByDefFile", this);
    ULONGLONG ullRunning = 0;
    for (DWORD n = 1; n <= 4; ++n) {
        const ZQWimInfoPar& par = m_pUCRDWimInfo->m_WimInfoPar[n];
        trace.Print(L"get role = %lu", static_cast<DWORD>(par.enPartRole));
        trace.Print(L"get partition size = %llu", par.ullPartitionSize);
        trace.Print(L"get starting offset = %llu", par.ullStartingOffset);
        trace.Print(L"get FS type = %u", static_cast<unsigned>(par.dwPartitionType & 0xFFFF));
        if (par.ullPartitionSize == 0 || !IsTaken(m_enZQVendor, par))
            continue;
        trace.Print(L"push back ...");
        ZQPlannedPartition p{par.ullPartitionSize, par.ullStartingOffset, static_cast<WORD>(par.dwPartitionType),
                           static_cast<DWORD>(par.enPartRole)};
        if (m_enZQVendor == ZQ_VENDOR_DOZ) {
            HRESULT hr = PlanDesktopEntry(wcUCRD, ullDiskSize, par, ullRunning, p);
            if (FAILED(hr))
                return hr;
        }
        trace.Print(L"set role = %lu", p.dwRole);
        trace.Print(L"set partition size = %llu", p.ullSize);
        trace.Print(L"set starting offset = %llu", p.ullStart);
        trace.Print(L"set FS type = %u", static_cast<unsigned>(p.wType));
        plan.push_back(p);
    }
    return S_OK;
}

HRESULT CSBRMgr::PlanDesktopEntry(wchar_t wcUCRD, ULONGLONG ullDiskSize, const ZQWimInfoPar& par,
                                  ULONGLONG& ullRunning, ZQPlannedPartition& p)
{
    ULONGLONG ullMiB = 0;
    HRESULT hr = S_OK;
    if (par.enPartRole == PR_UP) {
        hr = ReadNumericValueFromBuildInfoIni(wcUCRD, L"Recovery", L"SizeUP", &ullMiB);
        if (FAILED(hr))
            return hr;
        // The system partition must come first and a size must be given.
        if (ullRunning == 0 || ullMiB == 0 || ullMiB > MAXULONGLONG / kMiB)
            return NV_E_LAYOUT_MISMATCH;
        p.ullSize = ullMiB * kMiB;
        p.ullStart = ullRunning;
        ullRunning += p.ullSize;
    } else if (par.enPartRole == PR_RP) {
        if (par.ullPartitionSize > ullDiskSize)
            return NV_E_LAYOUT_MISMATCH;
        p.ullStart = ullDiskSize - par.ullPartitionSize;
    } else {
        hr = ReadNumericValueFromBuildInfoIni(wcUCRD, L"SystemPartition", L"size", &ullMiB);
        if (FAILED(hr))
            return hr;
        if (ullRunning != 0 || ullMiB == 0 || ullMiB > MAXULONGLONG / kMiB)
            return NV_E_LAYOUT_MISMATCH;
        p.ullSize = ullMiB * kMiB;
        p.ullStart = par.ullStartingOffset;
        ullRunning = p.ullStart + p.ullSize;
    }
    return S_OK;
}

HRESULT CSBRMgr::IsSmallerHDD(BOOL* pbSmaller)
{
    CAutoTrace trace(L"CSBRMgr", L"IsSmallerHDD", this);
    if (!pbSmaller)
        return NV_E_INVALID_ARG;
    const wchar_t wcUCRD = GetUCRDDrvLet();
    wchar_t wszParLayoutFile[MAX_PATH];
    FormatPath(wszParLayoutFile, L"%c:\\%s", wcUCRD, kLayoutFile);
    trace.Print(L"wszParLayoutFile = %s", wszParLayoutFile);
    ZQUCRDWimInfo info;
    HRESULT hr = wcUCRD ? info.LoadFile(wszParLayoutFile) : NV_E_FAIL;
    if (FAILED(hr)) {
        trace.Print(L"ZQUCRDWimInfo::LoadFile fail. hr = %lx", hr);
        return NV_E_FAIL;
    }
    ULONGLONG ullRequired = info.m_ullDiskSize;
    if (m_enZQVendor == ZQ_VENDOR_DOZ) {
        ULONGLONG ullRP = 0;
        for (DWORD n = 1; n <= 4 && ullRP == 0; ++n) {
            trace.Print(L"role = %lu", static_cast<DWORD>(info.m_WimInfoPar[n].enPartRole));
            trace.Print(L"partition size = %llu", info.m_WimInfoPar[n].ullPartitionSize);
            if (info.m_WimInfoPar[n].enPartRole == PR_RP) {
                ullRP = info.m_WimInfoPar[n].ullPartitionSize;
                if (ullRP == 0)
                    return NV_E_FILE_NOT_EXIST;
            }
        }
        if (ullRP == 0)
            return NV_E_FILE_NOT_EXIST;
        ULONGLONG ullUP = 0, ullSP = 0;
        hr = ReadNumericValueFromBuildInfoIni(wcUCRD, L"Recovery", L"SizeUP", &ullUP);
        if (SUCCEEDED(hr))
            hr = ReadNumericValueFromBuildInfoIni(wcUCRD, L"SystemPartition", L"size", &ullSP);
        if (FAILED(hr))
            return hr;
        ullRequired = ullRP + ullUP * kMiB + ullSP * kMiB;
    }
    ULONGLONG ullDisk = 0;
    if (ZQGetDiskLength(ZQGetUPDiskIndex(), &ullDisk) != 0 || ullDisk == 0 || ullRequired == 0)
        return NV_E_FAIL;
    trace.Print(L"ullRequiredSize = %llu, ulintDiskSizeCurrent.QuadPart = %llu", ullRequired, ullDisk);
    *pbSmaller = ullDisk < ullRequired;
    return S_OK;
}

HRESULT CSBRMgr::LoadPartitionInfo(ZQSSRDWimInfo* pInfo)
{
    CAutoTrace trace(L"CSBRMgr", L"LoadPartitionInfo", this);
    ZQSSRDWimInfo* pTarget = pInfo ? pInfo : m_pSSRDWimInfo;
    if (!pTarget)
        return NV_E_ALLOC;
    const wchar_t wcSSRD = GetSSRDDrvLet();
    wchar_t wszParLayoutFile[MAX_PATH];
    FormatPath(wszParLayoutFile, L"%c:\\%s", wcSSRD, kFactoryLayoutFile);
    trace.Print(L"wszParLayoutFile = %s", wszParLayoutFile);
    HRESULT hr = wcSSRD ? pTarget->LoadFile(wszParLayoutFile) : NV_E_FAIL;
    if (FAILED(hr)) {
        trace.Print(L"ZQSSRDWimInfo::LoadFile fail. hr = %lx", hr);
        return NV_E_FAIL;
    }
    ULONGLONG ullUP = 0, ullBP = 0;
    hr = ReadNumericValueFromBuildInfoIni(wcSSRD, L"Recovery", L"SizeUP", &ullUP);
    if (SUCCEEDED(hr))
        hr = ReadNumericValueFromBuildInfoIni(wcSSRD, L"Recovery", L"SizeBP", &ullBP);
    if (FAILED(hr))
        return hr;
    m_ullUPSize = ullUP * kMiB;
    m_ullBPSize = ullBP * kMiB;
    return S_OK;
}

HRESULT CSBRMgr::SSRDIsSmallerHDD(BOOL* pbSmaller)
{
    CAutoTrace trace(L"CSBRMgr", L"SSRDIsSmallerHDD", this);
    if (!pbSmaller)
        return NV_E_INVALID_ARG;
    ZQSSRDWimInfo info;
    LoadPartitionInfo(&info);
    DiskGeometry geometry{};
    HRESULT hr = ReadGeometry(ZQGetUPDiskIndex(), geometry, trace);
    if (FAILED(hr))
        return hr;
    const ULONGLONG ullNeed = GetUPSize() + GetBPSize();
    trace.Print(L"GetUPSize == %llu", GetUPSize());
    trace.Print(L"GetBPSize == %llu", GetBPSize());
    trace.Print(L"ullNeedDiskSize == %llu", ullNeed);
    trace.Print(L"ullDiskSizeCurrent == %llu", geometry.ullDiskSize);
    if (ullNeed == 0)
        return NV_E_FAIL;
    *pbSmaller = geometry.ullDiskSize < ullNeed;
    return S_OK;
}

HRESULT CSBRMgr::IsShrinkNeed(BOOL bCountRPDATAAsFree, BOOL* pbNeed)
{
    CAutoTrace trace(L"CSBRMgr", L"IsShrinkNeed", this);
    if (!pbNeed)
        return NV_E_INVALID_ARG;
    if (!IsOneSSDPlusOneHDD()) {
        *pbNeed = FALSE;
        return S_OK;
    }
    ULONGLONG ullPreload = 0, ullFree = 0;
    HRESULT hr = GetPreloadSize(&ullPreload);
    if (SUCCEEDED(hr))
        hr = GetRPDATADiskFreeSpace(bCountRPDATAAsFree, &ullFree);
    if (FAILED(hr))
        return hr;
    // One and a quarter times the preload, plus one byte.
    const ULONGLONG ullExpect = ((ullPreload * 10) >> 3) + 1;
    trace.Print(L"ullPreloadSize = %llu", ullPreload);
    trace.Print(L"ullDiskFreeSpace = %llu", ullFree);
    trace.Print(L"ullExpectRPDATASize = %llu", ullExpect);
    if (ullFree < ullExpect) {
        m_ullDesireShrinkSize = ullExpect - ullFree;
        trace.Print(L"m_ullDesireShrinkSize = %llu", m_ullDesireShrinkSize);
        *pbNeed = TRUE;
    } else {
        *pbNeed = FALSE;
    }
    return S_OK;
}

HRESULT CSBRMgr::GetHeadFreeSpace(ULONGLONG* pullBytes)
{
    CAutoTrace trace(L"CSBRMgr", L"GetHeadFreeSpace", this);
    if (!pullBytes)
        return NV_E_INVALID_ARG;
    return LoadHeadFreeSpace(pullBytes);
}
