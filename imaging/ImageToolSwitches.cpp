// The image tool switches: they drive a WIM manager through its Windows PE
// operations.
#include "ImageToolSwitches.h"

#include <new>

#include "CAutoTrace.h"
#include "CSBRMgr.h"
#include "CWimMgr.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"

namespace {

const DWORD kLanguageEnUs = 2;
const wchar_t kWinREFolder[] = L"Recovery\\WindowsRE";
const wchar_t kWinREName[] = L"winre.wim";
const wchar_t kProgramName[] = L"Mendora.exe";
const wchar_t kProgramNameWow64[] = L"Mendora_x64.exe";

} // namespace

HRESULT UpdateWIM()
{
    BOOL bOutdated = FALSE;
    HRESULT hr = CSBRMgr::IsWinPEISOOutdated(&bOutdated);
    if (FAILED(hr) || !bOutdated)
        return hr;
    CWimMgr* pMgr = new (std::nothrow) CWimMgr(nullptr);
    if (!pMgr)
        return NV_E_ALLOC;
    hr = pMgr->MakeWinPEISO(kLanguageEnUs);
    static_cast<IWimMgr*>(pMgr)->Reset();
    delete pMgr;
    return hr;
}

HRESULT CSBRMgr::RELiveUpdate()
{
    CAutoTrace trace(L"CSBRMgr", L"RELiveUpdate", this);
    {
        CAutoTrace check(L"CSBRMgr", L"RecoveryPartitionIsExist", this);
        m_bRecheckRPDrvLet = TRUE;
        wchar_t wcFound = GetRPTOOLDrvLet();
        m_bRecheckRPDrvLet = FALSE;
        if (!wcFound) {
            check.Print(L"Cannot find RP");
            return NV_E_CREATE_DIR;
        }
    }
    wchar_t wcRP = GetRPTOOLDrvLet();
    if (!wcRP) {
        trace.Print(L"Cannot identify RP drive letter");
        return NV_E_CREATE_DIR;
    }
    wchar_t wszWim[MAX_PATH];
    FormatPath(wszWim, L"%c:\\%s\\%s", wcRP, kWinREFolder, kWinREName);
    DWORD dwAttrs = GetFileAttributesW(wszWim);
    if (dwAttrs == INVALID_FILE_ATTRIBUTES || (dwAttrs & FILE_ATTRIBUTE_DIRECTORY)) {
        trace.Print(L"Cannot find WinRE WIM in RP, %s", wszWim);
        return NV_E_NOT_FOUND;
    }
    if (dwAttrs & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(wszWim, dwAttrs & ~FILE_ATTRIBUTE_READONLY);

    std::wstring wstrFolder;
    if (!NvGetProgramFolder(wstrFolder))
        return NV_E_NOT_FOUND;
    wchar_t wszProgram[MAX_PATH];
    if (FormatPath(wszProgram, L"%s%s", wstrFolder.c_str(), NvIsWow64() ? kProgramNameWow64 : kProgramName) < 0 ||
        GetFileAttributesW(wszProgram) == INVALID_FILE_ATTRIBUTES) {
        trace.Print(L"Failed to find path build, path: %s", wszProgram);
        return NV_E_NOT_FOUND;
    }
    CWimMgr mgr(nullptr);
    HRESULT hr = mgr.UpdateREImage(wszWim, wszProgram);
    trace.Print(L"UpdateREImage returned 0x%08lX", static_cast<unsigned long>(hr));
    return hr;
}
