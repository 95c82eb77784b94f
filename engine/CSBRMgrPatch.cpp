// The maker's patch scripts before and after a recovery, and the factory
// update folder copied into the restored Windows partition.
#include "CSBRMgr.h"

#include <cstdio>
#include <string>

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "RunShellExe.h"
#include "Win32Error.h"

namespace {

const wchar_t kPatchTail[] = L":\\zq\\recovery\\patch\\";
const wchar_t kRamPatchFolder[] = L"X:\\zq\\recovery\\patch";
const wchar_t kFactoryUpdate[] = L"\\system.sav\\FactoryUpdate";
const DWORD kPollMs = 100;

std::string Narrow(const wchar_t* pwsz)
{
    char sz[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, pwsz, -1, sz, MAX_PATH - 1, nullptr, nullptr);
    return sz;
}

// The batch file never stays behind; a failure is logged under the step's name.
HRESULT EndPatchStep(CAutoTrace& trace, const wchar_t* pwszStep, const wchar_t* pwszBatch, HRESULT hr)
{
    DeleteFileW(pwszBatch);
    if (FAILED(hr))
        trace.Print(L"%s fail. hr = %lx", pwszStep, hr);
    return FAILED(hr) ? hr : S_OK;
}

// A script the maker shipped that cannot be run is a failure, not a skip:
// the recovery would go on to format without it.
HRESULT CheckBatchFor(const wchar_t* pwszScript, BOOL bBatch)
{
    return !bBatch && NvFileExists(pwszScript) ? NV_E_FILE_IO : S_OK;
}

} // namespace

wchar_t CSBRMgr::PatchSourceDrive()
{
    return NvIsPEBootFromODD(nullptr) ? GetUCRDDrvLet() : GetRPTOOLDrvLet();
}

BOOL CSBRMgr::CreatePatchBatchFile(const wchar_t* pwszName, wchar_t (&wszPath)[MAX_PATH])
{
    std::wstring wstrFolder = m_wszProgramFolder;
    while (!wstrFolder.empty() && wstrFolder.back() == L'\\')
        wstrFolder.pop_back();
    FormatPath(wszPath, L"%s\\%s.bat", wstrFolder.c_str(), pwszName);
    const wchar_t wcSource = PatchSourceDrive();
    std::string strName = Narrow(pwszName);
    char szCall[MAX_PATH];
    std::string strBatch = "@ECHO OFF\r\nSET USERPART=D:\r\nSET RECOVERPART=C:\r\n";
    FormatPathA(szCall, "%c:\\zq\\recovery\\patch\\%s.cmd\r\n", static_cast<char>(wcSource ? wcSource : L'?'),
                strName.c_str());
    strBatch += szCall;
    if (NvIsPEBootFromODD(nullptr)) {
        FormatPathA(szCall, "X:\\zq\\recovery\\patch\\%s.cmd\r\n", strName.c_str());
        strBatch += szCall;
    }
    strBatch += "@ECHO ON\r\n";
    CAutoHandle file(CreateFileW(wszPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD dwWritten = 0;
    if (!file.IsValid() || !WriteFile(file.Get(), strBatch.data(), static_cast<DWORD>(strBatch.size()), &dwWritten,
                                      nullptr) || dwWritten != strBatch.size()) {
        file.Reset(nullptr);
        DeleteFileW(wszPath);
        return FALSE;
    }
    return TRUE;
}

// Runs "cmd.exe /c NAME.bat" hidden in the program's folder, where the batch
// file lies, and waits for it; the script's own exit code is not read.
HRESULT CSBRMgr::RunPatchBatch(const wchar_t* pwszName)
{
    CAutoTrace trace(L"CSBRMgr", L"RunPatchBatch", this);
    wchar_t wszParams[MAX_PATH];
    FormatPath(wszParams, L"/c %s.bat", pwszName);
    HANDLE hProcess = nullptr;
    if (FAILED(RunShellExe(L"cmd.exe", wszParams, m_wszProgramFolder, nullptr, RSE_NO_WAIT, FALSE, &hProcess)))
        return NV_E_FAIL;
    CAutoHandle process(hProcess);
    while (process.IsValid() && WaitForSingleObject(process.Get(), kPollMs) == WAIT_TIMEOUT) {
    }
    return S_OK;
}

HRESULT CSBRMgr::ZQPreWelcome()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQPreWelcome", this);
    wchar_t wszBatch[MAX_PATH], wszScript[MAX_PATH];
    const BOOL bBatch = CreatePatchBatchFile(L"PreWelcome", wszBatch);
    FormatPath(wszScript, L"%c%sprewelcome.cmd", PatchSourceDrive(), kPatchTail);
    HRESULT hr = CheckBatchFor(wszScript, bBatch);
    if (SUCCEEDED(hr) && bBatch && NvFileExists(wszScript))
        hr = RunPatchBatch(L"PreWelcome");
    return EndPatchStep(trace, L"ZQPreWelcome", wszBatch, hr);
}

HRESULT CSBRMgr::ZQPreProcessing()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQPreProcessing", this);
    wchar_t wszBatch[MAX_PATH], wszScript[MAX_PATH], wszDiscFolder[MAX_PATH];
    const BOOL bBatch = CreatePatchBatchFile(L"PreRecovery", wszBatch);
    const wchar_t wcSource = PatchSourceDrive();
    FormatPath(wszScript, L"%c%sprerecovery.cmd", wcSource, kPatchTail);
    HRESULT hr = CheckBatchFor(wszScript, bBatch);
    FormatPath(wszDiscFolder, L"%c:\\zq\\recovery\\patch", wcSource);
    if (SUCCEEDED(hr) && NvIsPEBootFromODD(nullptr) && NvDirectoryExists(wszDiscFolder)) {
        if (!NvDirectoryExists(kRamPatchFolder) && FAILED(NvCreateDirectoryPath(L"X:\\zq\\recovery\\patch\\", 0))) {
            trace.Print(L"create folder %s failed.", kRamPatchFolder);
            hr = NV_E_CREATE_DIR;
        } else if (FAILED(hr = NvCopyDir(wszDiscFolder, kRamPatchFolder, TRUE))) {
            trace.Print(L"NvCopyDir fail.Src = %s, Dest = %s, hr = %lx", wszDiscFolder, kRamPatchFolder, hr);
        }
    }
    if (SUCCEEDED(hr) && bBatch && NvFileExists(wszScript))
        hr = RunPatchBatch(L"PreRecovery");
    return EndPatchStep(trace, L"ZQPreProcessing", wszBatch, hr);
}

HRESULT CSBRMgr::ZQPostProcessing()
{
    CAutoTrace trace(L"CSBRMgr", L"ZQPostProcessing", this);
    wchar_t wszBatch[MAX_PATH], wszScript[MAX_PATH], wszRamScript[MAX_PATH];
    const BOOL bBatch = CreatePatchBatchFile(L"PostRecovery", wszBatch);
    FormatPath(wszScript, L"%c%spostrecovery.cmd", PatchSourceDrive(), kPatchTail);
    FormatPath(wszRamScript, L"X%spostrecovery.cmd", kPatchTail);
    HRESULT hr = CheckBatchFor(wszScript, bBatch);
    if (SUCCEEDED(hr) && bBatch && NvFileExists(wszScript))
        hr = RunPatchBatch(L"PostRecovery");
    else if (SUCCEEDED(hr) && bBatch && NvIsPEBootFromODD(nullptr) && NvFileExists(wszRamScript))
        hr = RunShellExe(L"cmd.exe", L"/c PostRecovery.bat", m_wszProgramFolder, nullptr, RSE_WAIT, FALSE, nullptr);
    return EndPatchStep(trace, L"ZQPostProcessing", wszBatch, hr);
}

HRESULT CSBRMgr::PatchFolderProcessing(BOOL bBootFromDisc)
{
    CAutoTrace trace(L"CSBRMgr", L"PatchFolderProcessing", this);
    wchar_t wszDst[MAX_PATH], wszSrc[MAX_PATH];
    FormatPath(wszDst, L"%c:%s", GetUPDrvLet(), kFactoryUpdate);
    trace.Print(L"wszUPFolder = %s", wszDst);
    FormatPath(wszSrc, L"%c:%s", bBootFromDisc ? GetUCRDDrvLet() : GetRPTOOLDrvLet(), kFactoryUpdate);
    trace.Print(bBootFromDisc ? L"wszUCRDFolder = %s" : L"wszRPFolder = %s", wszSrc);
    if (!NvDirectoryExists(wszSrc))
        return S_OK;
    // The restored image need not hold the folder's parents.
    wchar_t wszDstLevels[MAX_PATH];
    FormatPath(wszDstLevels, L"%s\\", wszDst);
    HRESULT hr = NvCreateDirectoryPath(wszDstLevels, 0);
    if (SUCCEEDED(hr))
        hr = NvCopyDir(wszSrc, wszDst, TRUE);
    if (FAILED(hr))
        trace.Print(L"NvCopyDir fail.Src = %s, Dest = %s, hr = %lx", wszSrc, wszDst, hr);
    return hr;
}
