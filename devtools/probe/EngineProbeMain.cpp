// EngineProbe: prints what the engine's utilities and settings readers see
// on this machine (or simulated PC).
//   EngineProbe [--folder <program folder>] [--rp L] [--ucrd L] [--ssrd L]
//               [--restore <backup folder>] [--smbios <raw table file>]
// Without --smbios the SMBIOS strings come from the simulated PC when one
// is found (SIMPC_ROOT), else from WMI.
#include <windows.h>

#include <objbase.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "CRecoverySetInfo.h"
#include "CSMBIOSData.h"
#include "CSimPcSMBiosSource.h"
#include "MDConfig.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "ZQSSRDWimInfo.h"
#include "ZQSimKey.h"
#include "ZQUCRDWimInfo.h"

namespace {

struct Options {
    std::wstring wstrFolder;
    wchar_t wcRP = 0;
    wchar_t wcUCRD = 0;
    wchar_t wcSSRD = 0;
    std::wstring wstrRestore;
    std::wstring wstrSMBiosFile;
};

class CProbeSetInfo : public CRecoverySetInfo {
public:
    explicit CProbeSetInfo(const Options& options) : m_options(options) {}
    wchar_t GetSSRDDrvLet() override { return m_options.wcSSRD; }
    wchar_t GetUCRDDrvLet() override { return m_options.wcUCRD; }
    wchar_t GetRPTOOLDrvLet() override { return m_options.wcRP; }

private:
    const Options& m_options;
};

// A raw table from a file, taken as SMBIOS 2.6.
class CFileSMBiosSource : public ISMBiosSource {
public:
    explicit CFileSMBiosSource(const std::wstring& wstrPath) : m_wstrPath(wstrPath) {}
    BOOL GetRawTable(BYTE* pbMajor, BYTE* pbMinor, std::vector<BYTE>& vecTable) override
    {
        FILE* pFile = _wfopen(m_wstrPath.c_str(), L"rb");
        if (pFile == nullptr)
            return FALSE;
        std::vector<BYTE> vec;
        BYTE buf[4096];
        size_t cb;
        while ((cb = fread(buf, 1, sizeof(buf), pFile)) > 0)
            vec.insert(vec.end(), buf, buf + cb);
        fclose(pFile);
        *pbMajor = 2;
        *pbMinor = 6;
        vecTable.swap(vec);
        return TRUE;
    }

private:
    std::wstring m_wstrPath;
};

const wchar_t* YesNo(BOOL b)
{
    return b ? L"yes" : L"no";
}

void PrintResult(const wchar_t* pwszWhat, HRESULT hr)
{
    if (FAILED(hr))
        wprintf(L"  %ls: failed, hr = 0x%08lX\n", pwszWhat, static_cast<unsigned long>(hr));
}

void ProbeSystem()
{
    wprintf(L"[system]\n");
    BOOL bWinPE = FALSE;
    HRESULT hr = NvIsWinPE(&bWinPE);
    wprintf(L"  Windows PE: %ls%ls\n", YesNo(bWinPE), FAILED(hr) ? L" (product name unreadable)" : L"");
    DWORD dwIndex = 0;
    BOOL bODD = NvIsPEBootFromODD(&dwIndex);
    if (bODD)
        wprintf(L"  boot medium: optical drive %lu\n", dwIndex);
    else
        wprintf(L"  boot medium: not an optical drive\n");
    DWORD dwCode = 0;
    hr = NvGetOSVersion(&dwCode);
    wprintf(L"  OS code: %lu\n", dwCode);
    PrintResult(L"NvGetOSVersion", hr);
    wprintf(L"  WOW64: %ls\n", YesNo(NvIsWow64()));
}

void ProbeSettings(const Options& options)
{
    wprintf(L"[settings in %ls]\n", options.wstrFolder.c_str());
    ZQPlatform enPlatform = ZQ_PLATFORM_VISTA;
    ZQVendor enVendor = ZQ_VENDOR_DOZ;
    LoadZQSimSettings(options.wstrFolder.c_str(), &enPlatform, &enVendor);
    std::wstring wstrSim = options.wstrFolder + L"ZQ.sim";
    wprintf(L"  ZQ.sim: %ls\n", NvFileExists(wstrSim.c_str()) ? L"present" : L"missing (fall-back)");
    wprintf(L"  platform: %ls (%lu)\n", enPlatform == ZQ_PLATFORM_WIN7 ? L"Windows 7" : L"Windows Vista",
            static_cast<DWORD>(enPlatform));
    wprintf(L"  vendor: %ls (%lu)\n", enVendor == ZQ_VENDOR_DOZ ? L"dOZ" : L"cNB", static_cast<DWORD>(enVendor));

    MDConfig config;
    std::wstring wstrMD = options.wstrFolder + L"MD.ini";
    HRESULT hr = config.LoadConfig(wstrMD.c_str());
    if (FAILED(hr)) {
        PrintResult(L"MD.ini", hr);
        return;
    }
    wprintf(L"  MD.ini LargeSSDThreshold: %llu GiB\n", config.m_ullLargeSSDThreshold);
    wprintf(L"  MD.ini WaitTimeBySecond: %d s\n", config.m_nWaitTimeBySecond);
}

void PrintPartition(int n, const ZQWimInfoPar& par, bool bRole)
{
    static const wchar_t* const kRoles[] = {L"-", L"UP", L"BP", L"RP"};
    wprintf(L"    %d: offset %llu size %llu type %lu primary %ls mounted %ls version %lu fixed %ls used %llu",
            n, par.ullStartingOffset, par.ullPartitionSize, par.dwPartitionType, YesNo(par.bPrimary),
            YesNo(par.bMountedVolume), par.dwWindowsVersion, YesNo(par.bFixedSize), par.ullUsedSpace);
    if (bRole)
        wprintf(L" role %ls", par.enPartRole <= PR_RP ? kRoles[par.enPartRole] : L"?");
    wprintf(L"\n");
}

void ProbeUserLayout(const wchar_t* pwszWhat, const std::wstring& wstrPath)
{
    ZQUCRDWimInfo info;
    HRESULT hr = info.LoadFile(wstrPath.c_str());
    wprintf(L"  %ls %ls:%ls\n", pwszWhat, wstrPath.c_str(), FAILED(hr) ? L" not read" : L"");
    if (FAILED(hr))
        return;
    for (int n = 1; n <= 4; ++n)
        PrintPartition(n, info.m_WimInfoPar[n], true);
    wprintf(L"    disk size %llu\n", info.m_ullDiskSize);
}

void ProbeLayouts(const Options& options)
{
    wprintf(L"[csp.dat]\n");
    if (options.wcRP)
        ProbeUserLayout(L"recovery partition", std::wstring(1, options.wcRP) + L":\\CSP.dat");
    if (options.wcUCRD)
        ProbeUserLayout(L"user-created disc", std::wstring(1, options.wcUCRD) + L":\\csp.dat");
    if (options.wcSSRD) {
        std::wstring wstrPath = std::wstring(1, options.wcSSRD) + L":\\preload\\csp.dat";
        ZQSSRDWimInfo info;
        HRESULT hr = info.LoadFile(wstrPath.c_str());
        wprintf(L"  factory disc %ls:%ls\n", wstrPath.c_str(), FAILED(hr) ? L" not read" : L"");
        if (SUCCEEDED(hr)) {
            PrintPartition(1, info.m_WimInfoPar[0], false);
            PrintPartition(2, info.m_WimInfoPar[1], false);
        }
    }
}

void ProbeSMBios(const Options& options)
{
    wprintf(L"[SMBIOS]\n");
    CFileSMBiosSource fileSource(options.wstrSMBiosFile);
    CSimPcSMBiosSource simSource;
    wchar_t wszRoot[8];
    bool bSimPc = GetEnvironmentVariableW(L"SIMPC_ROOT", wszRoot, 8) > 0;
    ISMBiosSource& source = !options.wstrSMBiosFile.empty() ? static_cast<ISMBiosSource&>(fileSource)
                            : bSimPc                          ? static_cast<ISMBiosSource&>(simSource)
                                                              : SystemSMBiosSource();
    wprintf(L"  source: %ls\n", !options.wstrSMBiosFile.empty() ? L"file" : bSimPc ? L"simulated PC" : L"WMI");
    CSMBIOSData data(source);
    if (!data.FetchSMBiosData()) {
        wprintf(L"  no table\n");
        return;
    }
    SMBiosType1 t1;
    if (data.GetData(&t1)) {
        auto s = [](const char* psz) { return psz ? psz : "(none)"; };
        wprintf(L"  manufacturer: %hs\n  product: %hs\n  version: %hs\n  serial: %hs\n  SKU: %hs\n  family: %hs\n",
                s(t1.szManufacturer), s(t1.szProductName), s(t1.szVersion), s(t1.szSerialNumber),
                s(t1.szSKUNumber), s(t1.szFamily));
    } else {
        wprintf(L"  no System Information structure\n");
    }
    SMBiosType11 t11;
    if (data.GetData(&t11)) {
        for (BYTE i = 0; i < t11.bCount; ++i)
            wprintf(L"  OEM string %d: %hs\n", i + 1, t11.szStrings[i]);
    }
}

void ProbeBuildInfo(const Options& options)
{
    wprintf(L"[recovery set]\n");
    CProbeSetInfo info(options);
    if (options.wcRP || options.wcUCRD) {
        HRESULT hr = info.GetUPVolumeLabel();
        if (SUCCEEDED(hr))
            wprintf(L"  labels: UP \"%ls\", RP \"%ls\"\n", info.m_wszUPVolumeNameBuf, info.m_wszRPVolumeNameBuf);
        PrintResult(L"GetUPVolumeLabel", hr);
    }
    if (options.wcSSRD) {
        ULONGLONG ull = 0;
        HRESULT hr = info.LoadHeadFreeSpace(&ull);
        wprintf(L"  head free space: %llu bytes\n", ull);
        PrintResult(L"LoadHeadFreeSpace", hr);
        hr = info.ZQGetSSRDToCopySize(&ull);
        if (SUCCEEDED(hr))
            wprintf(L"  factory disc set to copy: %llu bytes\n", ull);
        PrintResult(L"ZQGetSSRDToCopySize", hr);
    }
    if (options.wcUCRD) {
        ULONGLONG ull = 0;
        HRESULT hr = info.GetPreloadSize(&ull);
        if (SUCCEEDED(hr))
            wprintf(L"  preload size: %llu bytes\n", ull);
        PrintResult(L"GetPreloadSize", hr);
        hr = info.ZQGetUCRDToCopySize(&ull, TRUE);
        if (SUCCEEDED(hr))
            wprintf(L"  user-created disc set to copy: %llu bytes\n", ull);
        PrintResult(L"ZQGetUCRDToCopySize", hr);
    }
    std::wstring wstrAssistant;
    HRESULT hr = info.GetZQAssistantPath(wstrAssistant);
    wprintf(L"  assistant: %ls\n", SUCCEEDED(hr) ? wstrAssistant.c_str() : L"(none)");
    if (!options.wstrRestore.empty()) {
        FormatPath(info.m_wszRestoreSourcePath, L"%s", options.wstrRestore.c_str());
        wprintf(L"  backup: %lu WIM files, %lu discs\n", info.GetBackupWIMCount(), info.GetBackupDiscCount());
    }
}

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::wstring wstrArg = argv[i];
        if (i + 1 >= argc)
            return false;
        const wchar_t* pwszValue = argv[++i];
        if (wstrArg == L"--folder")
            options.wstrFolder = pwszValue;
        else if (wstrArg == L"--rp")
            options.wcRP = static_cast<wchar_t>(towupper(pwszValue[0]));
        else if (wstrArg == L"--ucrd")
            options.wcUCRD = static_cast<wchar_t>(towupper(pwszValue[0]));
        else if (wstrArg == L"--ssrd")
            options.wcSSRD = static_cast<wchar_t>(towupper(pwszValue[0]));
        else if (wstrArg == L"--restore")
            options.wstrRestore = pwszValue;
        else if (wstrArg == L"--smbios")
            options.wstrSMBiosFile = pwszValue;
        else
            return false;
    }
    if (options.wstrFolder.empty()) {
        wchar_t wszModule[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, wszModule, MAX_PATH);
        options.wstrFolder = wszModule;
        options.wstrFolder.erase(options.wstrFolder.rfind(L'\\') + 1);
    }
    if (options.wstrFolder.back() != L'\\')
        options.wstrFolder += L'\\';
    if (!options.wstrRestore.empty() && options.wstrRestore.back() != L'\\')
        options.wstrRestore += L'\\';
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        fwprintf(stderr, L"usage: EngineProbe [--folder F] [--rp L] [--ucrd L] [--ssrd L] [--restore F] "
                         L"[--smbios FILE]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ProbeSystem();
    ProbeSettings(options);
    ProbeLayouts(options);
    ProbeSMBios(options);
    ProbeBuildInfo(options);
    CoUninitialize();
    return 0;
}
