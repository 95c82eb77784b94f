#include "CRecoverySetInfo.h"

#include "CAutoTrace.h"
#include "IniFile.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "StringReg.h"

#include <stdlib.h>
#include <wchar.h>

namespace {

const wchar_t kBuildInfo[] = L"zq\\MLs\\BuildInfo.ini";
const wchar_t kAssistantKey[] = L"SOFTWARE\\Zentara\\ZQCareDesk";

bool IsLetter(wchar_t wc)
{
    return (wc >= L'A' && wc <= L'Z') || (wc >= L'a' && wc <= L'z');
}

// "Master" / "Size_Preload_Total" of <letter>:\PreloadSize.log; 0 when the
// log is missing, unreadable or says 0.
ULONGLONG PreloadSizeFromLog(wchar_t wcDrvLet)
{
    wchar_t wszLog[MAX_PATH];
    FormatPath(wszLog, L"%c:\\PreloadSize.log", wcDrvLet);
    IniFile oIni;
    if (!oIni.SetFile(wszLog))
        return 0;
    LONGLONG llSize = oIni.GetNumber(L"Master", L"Size_Preload_Total", 0);
    return llSize > 0 ? static_cast<ULONGLONG>(llSize) : 0;
}

} // namespace

CRecoverySetInfo::CRecoverySetInfo()
    : m_wszUPVolumeNameBuf{}, m_wszRPVolumeNameBuf{}, m_wszRestoreSourcePath{}
{
}

HRESULT CRecoverySetInfo::LoadBuildInfoINI(const wchar_t* pwszPath)
{
    CAutoTrace trace(L"CSBRMgr", L"LoadBuildInfoINI", this);
    if (pwszPath == nullptr)
        return NV_E_INVALID_ARG;
    IniFile oIni;
    if (!oIni.SetFile(pwszPath))
        return NV_E_FILE_IO;
    std::wstring wstrUP = oIni.GetString(L"Recovery", L"VolumeLabelUP", L"");
    std::wstring wstrRP = oIni.GetString(L"Recovery", L"VolumeLabelRP", L"");
    FormatPath(m_wszUPVolumeNameBuf, L"%s", wstrUP.c_str());
    FormatPath(m_wszRPVolumeNameBuf, L"%s", wstrRP.c_str());
    trace.Print(L"LoadBuildInfoINI works well: m_wszUPVolumeNameBuf = %s, m_wszRPVolumeNameBuf = %s",
                m_wszUPVolumeNameBuf, m_wszRPVolumeNameBuf);
    return S_OK;
}

HRESULT CRecoverySetInfo::GetUPVolumeLabel()
{
    CAutoTrace trace(L"CSBRMgr", L"GetUPVolumeLabel", this);
    wchar_t wcDrvLet = NvIsPEBootFromODD(nullptr) ? GetUCRDDrvLet() : GetRPTOOLDrvLet();
    // Without a letter there is no file to read: the missing file's code.
    if (!IsLetter(wcDrvLet)) {
        trace.Print(L"No drive holds the build information.");
        return NV_E_FILE_IO;
    }
    wchar_t wszBuildInfoFile[MAX_PATH];
    FormatPath(wszBuildInfoFile, L"%c:%s", wcDrvLet, L"\\ZQ\\MLs\\BuildInfo.ini");
    trace.Print(L"wszBuildInfoFile = %s", wszBuildInfoFile);
    HRESULT hr = LoadBuildInfoINI(wszBuildInfoFile);
    if (FAILED(hr))
        return hr;
    trace.Print(L"GetUPVolumeLabel: m_wszUPVolumeNameBuf = %s", m_wszUPVolumeNameBuf);
    trace.Print(L"GetRPVolumeLabel: m_wszRPVolumeNameBuf = %s", m_wszRPVolumeNameBuf);
    return S_OK;
}

HRESULT CRecoverySetInfo::ReadNumericValueFromBuildInfoIni(wchar_t wcDrvLet, const wchar_t* pwszSection,
                                                           const wchar_t* pwszKey, ULONGLONG* pullValue)
{
    CAutoTrace trace(L"CSBRMgr", L"ReadNumericValueFromBuildInfoIni", this);
    if (pwszSection == nullptr || pwszSection[0] == L'\0' || pwszKey == nullptr || pwszKey[0] == L'\0'
        || pullValue == nullptr || !IsLetter(wcDrvLet))
        return NV_E_INVALID_ARG;
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\%s", wcDrvLet, kBuildInfo);
    IniFile oIni;
    if (!oIni.SetFile(wszPath)) {
        trace.Print(L"Path %s does not exist.", wszPath);
        return NV_E_FILE_NOT_EXIST;
    }
    ULONGLONG ullReadValue = static_cast<ULONGLONG>(oIni.GetNumber(pwszSection, pwszKey, 0));
    trace.Print(L"ullReadValue = %llu.", ullReadValue);
    *pullValue = ullReadValue;
    return S_OK;
}

HRESULT CRecoverySetInfo::LoadHeadFreeSpace(ULONGLONG* pullBytes)
{
    CAutoTrace trace(L"CSBRMgr", L"LoadHeadFreeSpace", this);
    if (pullBytes == nullptr)
        return NV_E_INVALID_ARG;
    wchar_t wszPath[MAX_PATH];
    FormatPath(wszPath, L"%c:\\%s", GetSSRDDrvLet(), kBuildInfo);
    IniFile oIni;
    if (!oIni.SetFile(wszPath)) {
        trace.Print(L"Path %s does not exist.", wszPath);
        *pullBytes = 0;
        return S_OK;
    }
    int nMB = oIni.GetInt(L"SSRDPartition", L"Partition_1_Offset", 0);
    // A negative offset cannot be laid out; it would wrap to a huge size.
    ULONGLONG ullHeadFreeSpaceMB = nMB > 0 ? static_cast<ULONGLONG>(nMB) : 0;
    trace.Print(L"ullHeadFreeSpaceMB = %llu.", ullHeadFreeSpaceMB);
    // 64-bit shift: 4096 MiB and more must not wrap.
    *pullBytes = ullHeadFreeSpaceMB << 20;
    return S_OK;
}

HRESULT CRecoverySetInfo::GetPreloadSize(ULONGLONG* pullBytes)
{
    CAutoTrace trace(L"CSBRMgr", L"GetPreloadSize", this);
    if (pullBytes == nullptr)
        return NV_E_INVALID_ARG;
    wchar_t wcDrvLet = GetUCRDDrvLet();
    ULONGLONG ullLogged = PreloadSizeFromLog(wcDrvLet);
    if (ullLogged != 0) {
        *pullBytes = ullLogged;
        return S_OK;
    }
    wchar_t wszPreload[MAX_PATH];
    FormatPath(wszPreload, L"%c:\\preload", wcDrvLet);
    ULONGLONG ullTotal = 0;
    HRESULT hr = NvGetDirTotalBytes(wszPreload, &ullTotal);
    if (FAILED(hr))
        return hr;
    trace.Print(L"%c:\\preload TotalBytes = %llu", wcDrvLet, ullTotal);
    *pullBytes = ullTotal;
    return S_OK;
}

HRESULT CRecoverySetInfo::ZQGetSSRDToCopySize(ULONGLONG* pullBytes)
{
    CAutoTrace trace(L"CSBRMgr", L"ZQGetSSRDToCopySize", this);
    if (pullBytes == nullptr)
        return NV_E_INVALID_ARG;
    wchar_t wcDrvLet = GetSSRDDrvLet();
    ULONGLONG ullLogged = PreloadSizeFromLog(wcDrvLet);
    if (ullLogged != 0) {
        trace.Print(L"return TotalBytes = %llu. From PreloadSize.log.", ullLogged);
        *pullBytes = ullLogged;
        return S_OK;
    }
    wchar_t wszPreload[MAX_PATH];
    FormatPath(wszPreload, L"%c:\\preload", wcDrvLet);
    ULONGLONG ullTotal = 0;
    HRESULT hr = NvGetDirTotalBytes(wszPreload, &ullTotal);
    if (SUCCEEDED(hr)) {
        trace.Print(L"return TotalBytes = %llu", ullTotal);
        *pullBytes = ullTotal;
    }
    return hr;
}

HRESULT CRecoverySetInfo::ZQGetUCRDToCopySize(ULONGLONG* pullBytes, BOOL bCountRPFiles)
{
    if (pullBytes == nullptr)
        return NV_E_INVALID_ARG;
    CAutoTrace trace(L"CSBRMgr", L"ZQGetUCRDToCopySize", this);
    wchar_t wcDrvLet = GetUCRDDrvLet();
    ULONGLONG ullTotal = 0;
    if (bCountRPFiles) {
        struct Entry {
            const wchar_t* pwszName;
            bool bFolder;
            bool bOptional;
        };
        static const Entry kEntries[] = {
            {L"zq", true, true},
            {L"Recovery\\WindowsRE\\winre.wim", false, false},
            {L"boot\\bcd", false, false},
            {L"boot\\boot.sdi", false, false},
            {L"bootmgr", false, false},
            {L"CSP.dat", false, false},
            {L"RPCONFIG.txt", false, true},
        };
        for (const Entry& entry : kEntries) {
            wchar_t wszPath[MAX_PATH];
            FormatPath(wszPath, L"%c:\\%s", wcDrvLet, entry.pwszName);
            bool bPresent = entry.bFolder ? NvDirectoryExists(wszPath) : NvFileExists(wszPath);
            if (entry.bOptional && !bPresent)
                continue;
            ULONGLONG ullSize = 0;
            HRESULT hr = entry.bFolder ? NvFindFolderSizeInByte(wszPath, &ullSize, FALSE)
                                       : FindFileSizeInByte(wszPath, &ullSize);
            if (FAILED(hr)) {
                trace.Print(L"Size of %s fail. hr = %lx", wszPath, hr);
                return NV_E_FILE_SIZE;
            }
            ullTotal += ullSize;
        }
    }
    ULONGLONG ullPreload = 0;
    HRESULT hr = GetPreloadSize(&ullPreload);
    if (FAILED(hr))
        return hr;
    trace.Print(L"GetPreloadSize return  = %llu", ullPreload);
    *pullBytes = ullTotal + ullPreload;
    return S_OK;
}

HRESULT CRecoverySetInfo::GetZQAssistantPath(std::wstring& wstrPath)
{
    CAutoTrace trace(L"CSBRMgr", L"GetZQAssistantPath", this);
    StringReg oFolder(HKEY_LOCAL_MACHINE, kAssistantKey, L"Path", FALSE);
    if (!oFolder.Read())
        return NV_E_REGISTRY;
    std::wstring wstrFolder = oFolder.GetValue();
    if (!NvDirectoryExists(wstrFolder.c_str()))
        return NV_E_CREATE_DIR;
    StringReg oTool(HKEY_LOCAL_MACHINE, kAssistantKey, L"ZQTCA", FALSE);
    if (!oTool.Read())
        return NV_E_REGISTRY;
    std::wstring wstrTool = oTool.GetValue();
    size_t nSlash = wstrTool.find_last_of(L"\\/");
    if (nSlash != std::wstring::npos)
        wstrTool.erase(0, nSlash + 1);
    if (wstrFolder.back() != L'\\')
        wstrFolder += L'\\';
    std::wstring wstrFull = wstrFolder + wstrTool;
    if (wstrTool.empty() || !NvFileExists(wstrFull.c_str()))
        return NV_E_FILE_IO;
    wstrPath = wstrFull;
    return S_OK;
}

DWORD CRecoverySetInfo::ReadBackupCount(const wchar_t* pwszKey)
{
    wchar_t wszIndex[MAX_PATH];
    if (FormatPath(wszIndex, L"%s%s", m_wszRestoreSourcePath, L"Mendora.ini") < 0)
        return 0;
    IniFile oIni;
    if (!oIni.SetFile(wszIndex))
        return 0;
    std::wstring wstrCount = oIni.GetString(L"Count", pwszKey, L"");
    long lCount = wcstol(wstrCount.c_str(), nullptr, 10);
    return lCount > 0 ? static_cast<DWORD>(lCount) : 0;
}

DWORD CRecoverySetInfo::GetBackupWIMCount()
{
    CAutoTrace trace(L"CSBRMgr", L"GetBackupWIMCount", this);
    return ReadBackupCount(L"WIMCount");
}

DWORD CRecoverySetInfo::GetBackupDiscCount()
{
    CAutoTrace trace(L"CSBRMgr", L"GetBackupDiscCount", this);
    return ReadBackupCount(L"DiscCount");
}
