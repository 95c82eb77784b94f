// Application object: choosing and loading the language library, the
// language-switching component, flag files and the Windows PE language.
#include "CRevantApp.h"

#include <shlwapi.h>

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "CSBRMgr.h"
#include "DwordReg.h"
#include "IniFile.h"
#include "LanguageTables.h"
#include "Lingwell.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "ProcessFunctions.h"
#include "RunShellExe.h"
#include "StringReg.h"
#include "Win32Error.h"
#include "ZQPlatformVendor.h"

namespace {

const wchar_t kRegKey[] = L"Software\\Norvale\\Revant";
const wchar_t kBareLibrary[] = L"RVRC.dll";
const wchar_t kEnglish[] = L"ENU";
const DWORD kLingwellReserved = 1;

BOOL IsWinPE()
{
    BOOL bWinPE = FALSE;
    return SUCCEEDED(NvIsWinPE(&bWinPE)) && bWinPE;
}

// The folder name a text names, when it is one a library may have.
CString CheckedCode(const wchar_t* pwszCode, CAutoTrace& trace)
{
    if (LanguageTables::IsLanguageCode(pwszCode))
        return pwszCode;
    if (pwszCode && *pwszCode)
        trace.Print(L"language code [%s] refused: not three letters", pwszCode);
    return CString();
}

CString MapUILanguage(const CString& strAbbrev)
{
    if (strAbbrev == L"ESN")
        return L"ESP";
    if (strAbbrev == L"ARE")
        return L"ARA";
    if (strAbbrev == L"ZHH")
        return L"CHT";
    return strAbbrev;
}

} // namespace

CString CRevantApp::LanguagePath(const CString& strCode) const
{
    // Built on the program folder: another current folder must not change it.
    return m_strAppDir + L"Language\\" + strCode + L"\\RVRC.dll";
}

void CRevantApp::UpdateRTL(const CString& strPath)
{
    CString strUpper = strPath;
    strUpper.MakeUpper();
    // Recomputed on every switch, so a left-to-right language after a
    // right-to-left one is drawn left to right again.
    m_bRTL = strUpper.Find(L"\\HEB\\") >= 0 || strUpper.Find(L"\\ARA\\") >= 0;
}

BOOL CRevantApp::LoadLibraryPath(const CString& strPath)
{
    m_hResDll = strPath.IsEmpty() ? nullptr : LoadLibraryW(strPath);
    return m_hResDll != nullptr;
}

// First attempt, installed Windows only: the component's path, else the
// folder the registry names.
CString CRevantApp::InstalledLibraryPath(CAutoTrace& trace)
{
    HRESULT hrMUI = CreateLingwell();
    wchar_t wszPath[MAX_PATH] = L"";
    HRESULT hr = m_pLingwell ? m_pLingwell->GetCurRCPath(wszPath) : E_FAIL;
    wszPath[MAX_PATH - 1] = L'\0';
    if (SUCCEEDED(hrMUI) && SUCCEEDED(hr)) {
        // A relative path names a library under the program folder, whatever the current folder.
        return wszPath[0] && PathIsRelativeW(wszPath) ? m_strAppDir + wszPath : CString(wszPath);
    }
    trace.Print(L"CreateLingwell() or GetCurRCPath() failed. hrMUI = %lx, hr = %lx", hrMUI, hr);
    StringReg language(HKEY_LOCAL_MACHINE, kRegKey, L"Language", FALSE);
    CString strCode = language.Read() ? CheckedCode(language.GetValue(), trace) : CString();
    return strCode.IsEmpty() ? CString() : LanguagePath(strCode);
}

// Second attempt: under Windows PE the language language.ini or the user
// interface names, when its library exists; else English.
CString CRevantApp::FallbackLibraryPath(BOOL bWinPE, CAutoTrace& trace)
{
    m_strRCLang = kEnglish;
    if (!bWinPE) {
        trace.Print(L"Is NOT WinPE ...");
        return LanguagePath(kEnglish);
    }
    trace.Print(L"Is WinPE ...");
    wchar_t wszCode[MAX_PATH] = L"";
    if (FAILED(FindZQRC(wszCode, MAX_PATH)))
        return LanguagePath(kEnglish);
    CString strCode = CheckedCode(wszCode, trace);
    CString strTry = strCode.IsEmpty() ? CString() : LanguagePath(strCode);
    trace.Print(L"wszTempRCPath == %s", strTry.GetString());
    if (strTry.IsEmpty() || !PathFileExistsW(strTry))
        return LanguagePath(kEnglish);
    m_strRCLang = strCode;
    return strTry;
}

BOOL CRevantApp::LoadRC()
{
    CAutoTrace trace(L"CRevantApp", L"LoadRC", this);
    BOOL bWinPE = IsWinPE();
    CString strPath = bWinPE ? CString() : InstalledLibraryPath(trace);
    trace.Print(L"wszCurRCPath == %s", strPath.GetString());
    if (!LoadLibraryPath(strPath)) {
        trace.Print(L"Cannot LoadLibrary %s", strPath.GetString());
        strPath = FallbackLibraryPath(bWinPE, trace);
        trace.Print(L"LoadLibrary - %s", strPath.GetString());
        // The path of the second attempt stays for the right-to-left test.
        if (!LoadLibraryPath(strPath) && !LoadBareLibrary(strPath, trace))
            return FALSE;
    }
    trace.Print(L"call AfxSetResourceHandle...");
    AfxSetResourceHandle(m_hResDll);
    UpdateRTL(strPath);
    return TRUE;
}

// Last resort: the bare name through the system's search; the user is told
// when even that fails.
BOOL CRevantApp::LoadBareLibrary(const CString& strFailed, CAutoTrace& trace)
{
    trace.Print(L"Cannot LoadLibrary %s", strFailed.GetString());
    trace.Print(L"LoadLibrary - %s", kBareLibrary);
    if (LoadLibraryPath(kBareLibrary))
        return TRUE;
    DWORD dwError = GetLastError();
    trace.Print(L"Cannot LoadLibrary %s", kBareLibrary);
    CString text;
    text.Format(L"The file [%s] is missing.\r\nPlease reinstall application.\r\nError: %d", kBareLibrary,
                static_cast<int>(dwError));
    MessageBoxW(nullptr, text, nullptr, MB_ICONERROR | MB_OK);
    return FALSE;
}

HRESULT CRevantApp::CreateLingwell()
{
    CAutoTrace trace(L"CRevantApp", L"CreateLingwell", this);
    trace.Print(L"Default to enable MUI....");
    DwordReg enableMUI(HKEY_LOCAL_MACHINE, kRegKey, L"EnableMUI", FALSE);
    if (enableMUI.Read() && enableMUI.GetValue() == 0)
        return E_FAIL;
    CString strDll = m_strAppDir + L"Lingwell\\Lingwell.dll";
    m_hLingwellDll = LoadLibraryW(strDll);
    if (!m_hLingwellDll) {
        DWORD dwError = GetLastError();
        trace.Print(L"LoadLibrary %s failed. GetLastError() == %lx", strDll.GetString(), dwError);
        PrintWin32Error(dwError);
        return E_FAIL;
    }
    trace.Print(L"GetProcAddress...");
    auto pfn = reinterpret_cast<PFN_GetLingwell>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hLingwellDll, "GetLingwell")));
    if (!pfn) {
        DWORD dwError = GetLastError();
        trace.Print(L"GetProcAddress failed. GetLastError() == %lx", dwError);
        PrintWin32Error(dwError);
        FreeLibrary(m_hLingwellDll);
        m_hLingwellDll = nullptr;
        return E_FAIL;
    }
    trace.Print(L"egDefaultLang.Load()...");
    StringReg defaultLang(HKEY_CURRENT_USER, kRegKey, L"DefaultLang", TRUE);
    BOOL bHaveDefault = defaultLang.Read();
    BOOL bInitLanguage = !bHaveDefault || defaultLang.GetValue()[0] == L'\0';
    CString strFolder = m_strAppDir + L"Lingwell\\";
    trace.Print(L"Calling Lingwell...");
    m_pLingwell = pfn(strFolder + L"MUIResource.xml", strFolder + L"MUIReference.xml", strFolder + L"MUIStartMenu.xml",
                      bInitLanguage, kLingwellReserved);
    if (!m_pLingwell) {
        trace.Print(L"m_pLingwell == NULL");
        FreeLibrary(m_hLingwellDll);
        m_hLingwellDll = nullptr;
        return E_FAIL;
    }
    if (bInitLanguage)
        InitLingwellLanguage(defaultLang, bHaveDefault);
    else
        m_pLingwell->SetCurLangCode(defaultLang.GetValue());
    return S_OK;
}

// The user's first language: the machine's default seeds "DefaultLang" once;
// otherwise the component's own language stands.
void CRevantApp::InitLingwellLanguage(StringReg& defaultLang, BOOL bHaveDefault)
{
    StringReg muiDefLang(HKEY_LOCAL_MACHINE, kRegKey, L"MUIDefLang", FALSE);
    wchar_t wszLang[MAX_PATH] = L"";
    if (muiDefLang.Read() && muiDefLang.GetValue()[0] && !bHaveDefault) {
        lstrcpynW(wszLang, muiDefLang.GetValue(), MAX_PATH);
        defaultLang.Write(wszLang);
    } else {
        m_pLingwell->GetCurLangCode(wszLang);
        wszLang[MAX_PATH - 1] = L'\0';
        defaultLang.Write(L"");
    }
    m_pLingwell->SetCurLangCode(wszLang);
    m_pLingwell->ApplyLanguage();
}

HRESULT CRevantApp::FindZQRC(wchar_t* pwszCode, DWORD cchCode)
{
    CAutoTrace trace(L"CRevantApp", L"FindZQRC", this);
    if (!pwszCode || cchCode == 0 || !IsWinPE())
        return NV_E_INVALID_ARG;
    DWORD dwBootIndex = 0;
    UINT uWanted = NvIsPEBootFromODD(&dwBootIndex) ? DRIVE_CDROM : DRIVE_FIXED;
    for (wchar_t c = L'A'; c <= L'Z'; ++c) {
        wchar_t wszRoot[] = {c, L':', L'\\', L'\0'};
        wchar_t wszIni[MAX_PATH] = L"";
        _snwprintf(wszIni, MAX_PATH - 1, L"%c:\\%s", c, L"language.ini");
        if (GetDriveTypeW(wszRoot) != uWanted || !PathFileExistsW(wszIni))
            continue;
        wchar_t wszValue[MAX_PATH] = L"";
        GetPrivateProfileStringW(L"lang", L"language", L"", wszValue, MAX_PATH, wszIni);
        lstrcpynW(pwszCode, wszValue, static_cast<int>(cchCode));
        return S_OK;
    }
    CString strAbbrev = MapUILanguage(GetUILangAbbrev());
    lstrcpynW(pwszCode, strAbbrev, static_cast<int>(cchCode));
    return S_OK;
}

CString CRevantApp::GetUILangAbbrev()
{
    wchar_t wszAbbrev[MAX_PATH] = L"";
    if (!GetLocaleInfoW(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), LOCALE_SABBREVLANGNAME, wszAbbrev, MAX_PATH))
        return CString();
    return wszAbbrev;
}

HRESULT CRevantApp::LoadRCbyLang(LPCWSTR pwszFlagPath)
{
    CAutoTrace trace(L"CRevantApp", L"LoadRCbyLang", this);
    std::wstring code = LanguageTables::CodeByFlag(pwszFlagPath ? PathFindFileNameW(pwszFlagPath) : L"");
    CString strPath = LanguagePath(code.c_str());
    trace.Print(L"CRevantApp::LoadRCbyLang(), going to load - %s\n", strPath.GetString());
    HMODULE hLib = code.empty() || !PathFileExistsW(strPath) ? nullptr : LoadLibraryW(strPath);
    if (!hLib)
        return E_FAIL;
    trace.Print(L"call AfxSetResourceHandle...");
    m_hResDll = hLib;
    AfxSetResourceHandle(hLib);
    UpdateRTL(strPath);
    return S_OK;
}

// A table lookup with its default, logged as the two lookups always were.
CString CRevantApp::LookupWithDefault(const std::wstring& found, LPCWSTR pwszCode, const wchar_t* pwszDefault,
                                      const wchar_t* pwszMethod, const wchar_t* pwszLogName, const wchar_t* pwszKind)
{
    CAutoTrace trace(L"CRevantApp", pwszMethod, this);
    CString strValue = found.c_str();
    if (strValue.IsEmpty()) {
        trace.Print(L"CRevantApp::%s(), get wszRCLang - %s, get no %s\n", pwszLogName, pwszCode ? pwszCode : L"",
                    pwszKind);
        strValue = pwszDefault;
    }
    trace.Print(L"CRevantApp::%s(), get %s - %s\n", pwszLogName, pwszKind, strValue.GetString());
    return strValue;
}

CString CRevantApp::GetSSRDFlgLangByRCLang(LPCWSTR pwszCode)
{
    return LookupWithDefault(LanguageTables::FlagByCode(pwszCode), pwszCode, L"SSRD_US.flg", L"GetSSRDFlgLangByRCLang",
                             L"GetSSRDFlgLangByRCLang", L"SSRDFlgLang");
}

CString CRevantApp::LoadPCDoctorByRCLang(LPCWSTR pwszCode)
{
    return LookupWithDefault(LanguageTables::PCDoctorByCode(pwszCode), pwszCode, L"en", L"LoadPCDoctorByRCLang",
                             L"GetPCDoctorLangByRCLang", L"PCDoctorLang");
}

CString CRevantApp::GetMuiLangByRCLang(LPCWSTR pwszCode) { return LanguageTables::CultureByCode(pwszCode).c_str(); }

HRESULT CRevantApp::DetectLangAndWriteFlagFile()
{
    CAutoTrace trace(L"CRevantApp", L"DetectLangAndWriteFlagFile", this);
    if (IsWinPE())
        return S_OK;
    trace.Print(L"calling CRevantApp::CreateLingwell()...");
    CreateLingwell();
    if (!m_pLingwell)
        return S_OK;
    trace.Print(L"m_pLingwell has value...");
    wchar_t wszCode[MAX_PATH] = L"";
    m_pLingwell->GetCurLangCode(wszCode);
    wszCode[MAX_PATH - 1] = L'\0';
    trace.Print(L"GetCurLangCode() done. wszCurLangCode = %s", wszCode);
    if (!wszCode[0])
        return S_OK;
    trace.Print(L"GetModuleFileName = %s", m_strAppDir.GetString());
    CString strFile = m_strAppDir + L"Language.txt";
    CAutoHandle file(CreateFileW(strFile, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        DWORD dwError = GetLastError();
        trace.Print(L"Create File Failed.\n");
        PrintWin32Error(dwError);
        return NV_E_FILE_IO;
    }
    char szCode[MAX_PATH] = "";
    int cb = WideCharToMultiByte(CP_ACP, 0, wszCode, -1, szCode, MAX_PATH, nullptr, nullptr);
    DWORD dwWritten = 0;
    DWORD cbText = cb > 0 ? static_cast<DWORD>(cb - 1) : 0;
    if (WriteFile(file.Get(), szCode, cbText, &dwWritten, nullptr))
        trace.Print(L"DetectLangAndWriteFlagFile - WriteFile - successful.\n");
    else
        trace.Print(L"DetectLangAndWriteFlagFile - WriteFile - fail. GetLastError = %lu\n", GetLastError());
    trace.Print(L"dwBytesReturned = %lu.\n", dwWritten);
    return S_OK;
}

BOOL CRevantApp::CreateSSRDFlgForCNB()
{
    CAutoTrace trace(L"CRevantApp", L"CreateSSRDFlgForCNB", this);
    if (!m_pSBRMgr || m_pSBRMgr->GetZQVendor() != ZQ_VENDOR_CNB)
        return TRUE;
    CString strFlag = GetSSRDFlgLangByRCLang(GetRCLang());
    wchar_t wcLetter = m_pSBRMgr->GetUPDrvLet();
    wchar_t wszFolder[MAX_PATH] = L"";
    wchar_t wszPath[MAX_PATH] = L"";
    _snwprintf(wszFolder, MAX_PATH - 1, L"%c:\\system.sav\\Flags", wcLetter);
    _snwprintf(wszPath, MAX_PATH - 1, L"%s\\%s", wszFolder, strFlag.GetString());
    if (!wcLetter || FAILED(NvCreateDirectoryW(wszFolder))) {
        PrintWin32Error(GetLastError());
        trace.Print(L"NvCreateDirectoryW fail. hr = %lx", static_cast<unsigned long>(NV_E_CREATE_DIR));
        return FALSE;
    }
    if (PathFileExistsW(wszPath)) {
        if (!SetFileAttributesW(wszPath, FILE_ATTRIBUTE_NORMAL))
            PrintWin32Error(GetLastError());
        if (!DeleteFileW(wszPath))
            PrintWin32Error(GetLastError());
    }
    trace.Print(L"Ready to create flag file %s ...", wszPath);
    CAutoHandle file(CreateFileW(wszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        PrintWin32Error(GetLastError());
        trace.Print(L"Create SSRD_XX.flag fail.");
        return FALSE;
    }
    trace.Print(L"Create flag file %c:\\system.sav\\Flags\\%s successfully.", wcLetter, strFlag.GetString());
    return TRUE;
}

int CRevantApp::LoadLangFromSSRDFlag()
{
    wchar_t wszProgram[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, wszProgram, MAX_PATH);
    size_t cRows = 0;
    const LanguageTables::FlagLang* pRows = LanguageTables::FlagLangRows(&cRows);
    for (size_t i = 0; i < cRows; ++i) {
        wchar_t wszPath[MAX_PATH] = L"";
        _snwprintf(wszPath, MAX_PATH - 1, L"%c:%s%s", wszProgram[0], L"\\System.sav\\Flags\\", pRows[i].flag);
        if (!PathFileExistsW(wszPath))
            continue;
        if (m_bFinishDlg) {
            if (!SetFileAttributesW(wszPath, FILE_ATTRIBUTE_NORMAL))
                PrintWin32Error(GetLastError());
            if (!DeleteFileW(wszPath))
                PrintWin32Error(GetLastError());
        }
        LoadRCbyLang(wszPath);
        return 0;
    }
    return 0;
}

HRESULT CRevantApp::SetMuiLanguage(LPCWSTR pwszCode)
{
    CString strCulture = GetMuiLangByRCLang(pwszCode);
    if (strCulture.IsEmpty())
        return NV_E_FAIL;
    CString strParameters;
    strParameters.Format(L"SetMuiLanguage %s", strCulture.GetString());
    DebugPrint(L"Going to call wpeutil SetMuiLanguage %s\n", strCulture.GetString());
    return RunShellExe(L"X:\\Windows\\system32\\wpeutil.exe", strParameters, L"", nullptr, RSE_WAIT, FALSE, nullptr);
}
