// The WIM manager's Windows PE builder: refreshes the boot image of a build
// folder with the image tools, and puts the program into a WinRE image.
//
// A build never leaves a half-made boot.wim behind: the image is built in a
// work copy beside the ISO tree and replaces boot.wim only once committed;
// every failure after the mount discards the mount.
#include "CWimMgr.h"

#include <cstdarg>
#include <string>

#include "CAutoHandle.h"
#include "CAutoTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "NvSysUtil.h"
#include "RunShellExe.h"
#include "Win32Error.h"

namespace {

const wchar_t kBuildFolderName[] = L"MakeWinPEISO";
const wchar_t kPeimgTail[] = L"Tools\\PETools\\peimg.exe";
const wchar_t kOscdimgTail[] = L"Tools\\PETools\\oscdimg.exe";
const wchar_t kBaseImageTail[] = L"Tools\\PETools\\x86\\winpe.wim";
const wchar_t kBootImageTail[] = L"winpe_x86\\ISO\\sources\\boot.wim";
const wchar_t kMountTail[] = L"winpe_x86\\mount\\";
// Outside the ISO tree, so that a crashed build never ends up on a disc.
const wchar_t kWorkImageTail[] = L"winpe_x86\\boot.wim.building";
const wchar_t kTempTail[] = L"Temp";
const wchar_t kBootSectorTail[] = L"winpe_x86\\etfsboot.com";
const wchar_t kIsoTreeTail[] = L"winpe_x86\\iso";
const wchar_t kWinpeshlName[] = L"Winpeshl.ini";
const wchar_t kImageWinpeshl[] = L"Windows\\System32\\Winpeshl.ini";
const wchar_t kImageWindowsRoot[] = L"X:\\Windows\\";
const wchar_t kREMountName[] = L"_MountForREUpdate";
const wchar_t kRETempName[] = L"_TempForREUpdate";
const wchar_t kREProgramTail[] = L"Windows\\MD\\Mendora.exe";

const size_t kToolParamsChars = 1024;
const size_t kIsoParamsChars = 2048;
const size_t kWinpeshlChars = 512;
const DWORD kBootImageIndex = 1;

struct KindName {
    DWORD dwKind;
    const wchar_t* pwszName;
};

const KindName kLanguages[] = {
    {2, L"EN-US"}, {4, L"ZH-TW"}, {6, L"ZH-CN"}, {8, L"JA-JP"}, {10, L"FR-FR"}, {12, L"DE-DE"},
    {14, L"KO-KR"}, {16, L"RU-RU"}, {18, L"ES-ES"}, {20, L"IT-IT"}, {22, L"NL-NL"}, {24, L"PT-BR"},
};

const KindName kPackages[] = {
    {2, L"*HTA*"}, {4, L"*MDAC*"}, {6, L"*Scripting*"}, {8, L"*SRT*"}, {10, L"*XML*"},
};

// Kind 0 is no choice at all; any other unknown kind names nothing we have.
template <size_t N>
HRESULT LookUpKind(const KindName (&table)[N], DWORD dwKind, const wchar_t** ppwszName)
{
    if (dwKind == 0)
        return NV_E_INVALID_ARG;
    for (const KindName& entry : table) {
        if (entry.dwKind == dwKind) {
            *ppwszName = entry.pwszName;
            return S_OK;
        }
    }
    return NV_E_NO_LANGUAGE_PACK;
}

HRESULT FailWithLastError(HRESULT hr)
{
    PrintWin32Error(GetLastError());
    return hr;
}

// Counted formatting into a fixed buffer; false (and a cut, terminated
// text) when the result does not fit.
template <size_t N>
bool FormatInto(wchar_t (&wszBuf)[N], const wchar_t* pwszFormat, ...)
{
    va_list args;
    va_start(args, pwszFormat);
    int n = _vsnwprintf(wszBuf, N, pwszFormat, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= N) {
        wszBuf[N - 1] = L'\0';
        return false;
    }
    return true;
}

// One command-line argument by the C runtime's rules, quoted when it holds
// a blank or a quote (or always). Backslashes before a quote are doubled, so
// a folder that ends in a backslash keeps its closing quote.
std::wstring QuoteArgument(const wchar_t* pwszArg, bool bAlways)
{
    std::wstring wstrArg = pwszArg ? pwszArg : L"";
    if (!bAlways && !wstrArg.empty() && wstrArg.find_first_of(L" \t\"") == std::wstring::npos)
        return wstrArg;
    std::wstring wstrOut = L"\"";
    size_t nSlashes = 0;
    for (wchar_t c : wstrArg) {
        if (c == L'\\') {
            ++nSlashes;
            continue;
        }
        wstrOut.append(c == L'"' ? nSlashes * 2 + 1 : nSlashes, L'\\');
        wstrOut += c;
        nSlashes = 0;
    }
    wstrOut.append(nSlashes * 2, L'\\');
    return wstrOut + L"\"";
}

std::wstring WithoutTrailingBackslash(const wchar_t* pwszPath)
{
    std::wstring wstr = pwszPath;
    if (!wstr.empty() && wstr.back() == L'\\')
        wstr.pop_back();
    return wstr;
}

// The builder's file copies: both paths given, the source a file, the
// target replaced.
HRESULT CopyOverTarget(const wchar_t* pwszSource, const wchar_t* pwszTarget)
{
    if (!*pwszSource || !*pwszTarget)
        return NV_E_PATH_ARG;
    if (!NvFileExists(pwszSource))
        return NV_E_FILE_NOT_EXIST;
    if (!CopyFileW(pwszSource, pwszTarget, FALSE))
        return FailWithLastError(NV_E_COPY_FILE);
    return S_OK;
}

bool IsSamePath(const wchar_t* pwszA, const wchar_t* pwszB)
{
    return CompareStringOrdinal(pwszA, -1, pwszB, -1, TRUE) == CSTR_EQUAL;
}

bool IsFolderEmpty(const wchar_t* pwszFolder)
{
    std::wstring wstrPattern = WithoutTrailingBackslash(pwszFolder) + L"\\*";
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW(wstrPattern.c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return true;
    bool bEmpty = true;
    do {
        bEmpty = wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0;
    } while (bEmpty && FindNextFileW(hFind, &fd));
    FindClose(hFind);
    return bEmpty;
}

// Creates the last level of a folder when it is missing.
bool EnsureFolder(const wchar_t* pwszFolder)
{
    return NvDirectoryExists(pwszFolder) || CreateDirectoryW(pwszFolder, nullptr) ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

// "Revant\Mendora.exe" of "C:\Program Files\Revant\Mendora.exe".
bool ProgramFolderAndName(std::wstring& wstrTail)
{
    wchar_t wszModule[MAX_PATH] = {};
    DWORD cch = GetModuleFileNameW(nullptr, wszModule, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return false;
    std::wstring wstrModule = wszModule;
    size_t nLast = wstrModule.rfind(L'\\');
    size_t nBefore = nLast == std::wstring::npos || nLast == 0 ? std::wstring::npos : wstrModule.rfind(L'\\', nLast - 1);
    wstrTail = wstrModule.substr(nBefore == std::wstring::npos ? (nLast == std::wstring::npos ? 0 : nLast + 1)
                                                               : nBefore + 1);
    return true;
}

// The start-up file that launches the program from the image's Windows
// folder: UTF-16LE without a byte-order mark, lines ended by LF alone.
HRESULT WriteWinpeshlFile(const wchar_t* pwszFile)
{
    CAutoHandle file(CreateFileW(pwszFile, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        DebugPrint(L"Create File Failed.\n");
        return FailWithLastError(NV_E_FILE_IO);
    }
    std::wstring wstrApp;
    if (!ProgramFolderAndName(wstrApp))
        return FailWithLastError(NV_E_NOT_FOUND);
    wchar_t wszContent[kWinpeshlChars];
    HRESULT hr = S_OK;
    DWORD cbWritten = 0;
    if (!FormatInto(wszContent, L"[LaunchApp]\nAppPath = %s%s\n", kImageWindowsRoot, wstrApp.c_str()))
        hr = NV_E_FORMAT_OVERFLOW;
    DWORD cbContent = static_cast<DWORD>(wcslen(wszContent) * sizeof(wchar_t));
    if (SUCCEEDED(hr) && (!WriteFile(file.Get(), wszContent, cbContent, &cbWritten, nullptr) || cbWritten != cbContent))
        hr = NV_E_FORMAT_OVERFLOW;
    if (!file.Close())
        PrintWin32Error(GetLastError());
    return hr;
}

} // namespace

HRESULT STDMETHODCALLTYPE CWimMgr::MakeWinPEISO(DWORD dwLanguageKind)
{
    CAutoTrace trace(L"CWimMgr", L"MakeWinPEISO", this);
    IWimMgr* pPE = this;
    std::wstring wstrFolder;
    if (!NvGetProgramFolder(wstrFolder))
        return FailWithLastError(NV_E_NOT_FOUND);
    HRESULT hr = pPE->SetWinPESourcePath((wstrFolder + kBuildFolderName).c_str());
    if (FAILED(hr))
        return hr;

    wchar_t wszBootImage[MAX_PATH];
    wcscpy(wszBootImage, m_szWimFileName);
    if (FormatPath(m_szWimFileName, L"%s%s", m_szPESourcePath, kWorkImageTail) < 0) {
        wcscpy(m_szWimFileName, wszBootImage);
        return NV_E_FORMAT_OVERFLOW;
    }
    hr = BuildWorkImage(pPE, dwLanguageKind);
    if (SUCCEEDED(hr) && !MoveFileExW(m_szWimFileName, wszBootImage, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = FailWithLastError(NV_E_COPY_FILE);
    if (FAILED(hr))
        DeleteFileW(m_szWimFileName);
    trace.Print(L"boot image %s: 0x%08lX", wszBootImage, static_cast<unsigned long>(hr));
    wcscpy(m_szWimFileName, wszBootImage);
    return hr;
}

// Copies the base image to the work copy, mounts it, changes it and commits
// it; a failure discards the mount.
HRESULT CWimMgr::BuildWorkImage(IWimMgr* pPE, DWORD dwLanguageKind)
{
    HRESULT hr = pPE->CopyBaseWinPEImage();
    if (FAILED(hr))
        return hr;
    wchar_t wszTemp[MAX_PATH];
    if (FormatPath(wszTemp, L"%s%s", m_szPESourcePath, kTempTail) < 0)
        return NV_E_FORMAT_OVERFLOW;
    hr = pPE->MountImage(wszTemp, 0);
    if (FAILED(hr))
        return hr;
    hr = ChangeMountedImage(pPE, dwLanguageKind);
    if (FAILED(hr)) {
        pPE->UnmountImage(FALSE);
        return hr;
    }
    hr = pPE->UnmountImage(TRUE);
    // One more try, then the mount goes without its changes.
    if (FAILED(hr) && FAILED(pPE->UnmountImage(TRUE)))
        pPE->UnmountImage(FALSE);
    return hr;
}

HRESULT CWimMgr::ChangeMountedImage(IWimMgr* pPE, DWORD dwLanguageKind)
{
    HRESULT hr = pPE->SetWinPELanguage(dwLanguageKind);
    for (const KindName& package : kPackages) {
        if (FAILED(hr))
            return hr;
        hr = pPE->SetOptionalPackage(package.dwKind, TRUE);
    }
    if (SUCCEEDED(hr))
        hr = pPE->CopyAppToImage();
    if (SUCCEEDED(hr))
        hr = pPE->WriteWinpeshlIni();
    return hr;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetWinPESourcePath(LPCWSTR pwszFolder)
{
    CAutoTrace trace(L"CWimMgr", L"SetWinPESourcePath", this);
    if (m_lPEInit > 0)
        return S_OK;
    if (!pwszFolder || !*pwszFolder)
        return NV_E_PATH_ARG;
    const wchar_t* pwszSep = pwszFolder[wcslen(pwszFolder) - 1] == L'\\' ? L"" : L"\\";
    if (FormatPath(m_szPESourcePath, L"%s%s", pwszFolder, pwszSep) < 0) {
        m_szPESourcePath[0] = L'\0';
        return NV_E_FORMAT_OVERFLOW;
    }
    DebugPrint(L"Windows PE Source Path = %s\n", m_szPESourcePath);
    if (FormatPath(m_szPeimgPath, L"%s%s", m_szPESourcePath, kPeimgTail) < 0 || !NvFileExists(m_szPeimgPath)) {
        DebugPrint(L"Windows PE Utility peimg.exe Was Not Found!\n");
        return NV_E_FILE_NOT_EXIST;
    }
    if (FormatPath(m_szOscdimgPath, L"%s%s", m_szPESourcePath, kOscdimgTail) < 0 ||
        !NvFileExists(m_szOscdimgPath)) {
        DebugPrint(L"Windows PE Utility oscdimg.exe Was Not Found!\n");
        return NV_E_FILE_NOT_EXIST;
    }
    if (FormatPath(m_szWimFileName, L"%s%s", m_szPESourcePath, kBootImageTail) < 0 ||
        FormatPath(m_szMountPath, L"%s%s", m_szPESourcePath, kMountTail) < 0)
        return NV_E_FORMAT_OVERFLOW;
    if (!EnsureFolder(m_szMountPath))
        return FailWithLastError(NV_E_CREATE_DIR);
    DebugPrint(L"Wim File Mounting Path = %s\n", m_szMountPath);
    InterlockedIncrement(&m_lPEInit);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::CopyBaseWinPEImage()
{
    CAutoTrace trace(L"CWimMgr", L"CopyBaseWinPEImage", this);
    wchar_t wszSource[MAX_PATH];
    if (!m_szPESourcePath[0])
        return NV_E_PATH_ARG;
    if (FormatPath(wszSource, L"%s%s", m_szPESourcePath, kBaseImageTail) < 0)
        return NV_E_FORMAT_OVERFLOW;
    return CopyOverTarget(wszSource, m_szWimFileName);
}

HRESULT STDMETHODCALLTYPE CWimMgr::OpenWimImage(DWORD* pdwImageCount)
{
    CAutoTrace trace(L"CWimMgr", L"OpenWimImage", this);
    if (pdwImageCount)
        *pdwImageCount = 0;
    if (m_hWimImage) {
        trace.Print(L"CHECK_HANDLE found non-NULL handle!");
        // Overwriting it would leave the old file open for good.
        WIMCloseHandle(m_hWimImage);
        m_hWimImage = nullptr;
    }
    HANDLE hWim = WIMCreateFile(m_szWimFileName, WIM_GENERIC_READ | WIM_GENERIC_WRITE, WIM_OPEN_EXISTING,
                                WIM_FLAG_SHARE_WRITE, WIM_COMPRESS_NONE, nullptr);
    if (!hWim || hWim == INVALID_HANDLE_VALUE)
        return FailWithLastError(NV_E_FILE_IO);
    m_hWimImage = hWim;
    trace.Print(L"!!!!! update m_hWimImage = %lx", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hWim)));
    if (!WIMGetAttributes(m_hWimImage, &m_oWimInfo, sizeof(m_oWimInfo)))
        return FailWithLastError(NV_E_SET_ATTRIBUTES);
    m_dwImageCount = m_oWimInfo.ImageCount;
    if (pdwImageCount)
        *pdwImageCount = m_dwImageCount;
    return S_OK;
}

// A mount folder that still holds files was left by a run that never
// unmounted: its mount goes without commit, and what an emulated mount
// left there goes too, before anything is mounted on top of it.
void CWimMgr::DiscardLeftoverMount()
{
    if (!m_szMountPath[0] || IsFolderEmpty(m_szMountPath))
        return;
    CAutoTrace trace(L"CWimMgr", L"DiscardLeftoverMount", this);
    trace.Print(L"leftover mount in %s discarded", m_szMountPath);
    if (!WIMUnmountImage(m_szMountPath, m_szWimFileName, kBootImageIndex, FALSE))
        PrintWin32Error(GetLastError());
    if (IsFolderEmpty(m_szMountPath))
        return;
    std::wstring wstrMount = WithoutTrailingBackslash(m_szMountPath);
    NvDeleteDirectory(wstrMount.c_str());
    CreateDirectoryW(wstrMount.c_str(), nullptr);
}

HRESULT STDMETHODCALLTYPE CWimMgr::MountImage(LPCWSTR pwszTempFolder, DWORD)
{
    CAutoTrace trace(L"CWimMgr", L"MountImage", this);
    if (!pwszTempFolder || !*pwszTempFolder)
        return NV_E_PATH_ARG;
    const wchar_t* pwszSep = pwszTempFolder[wcslen(pwszTempFolder) - 1] == L'\\' ? L"" : L"\\";
    if (FormatPath(m_szTempPath, L"%s%s", pwszTempFolder, pwszSep) < 0)
        return NV_E_FORMAT_OVERFLOW;
    m_dwImageIndex = kBootImageIndex;
    DebugPrint(L"Temp Working Path = %s\n", m_szTempPath);
    if (!EnsureFolder(m_szTempPath))
        return FailWithLastError(NV_E_CREATE_DIR);
    DiscardLeftoverMount();
    if (!WIMMountImage(m_szMountPath, m_szWimFileName, m_dwImageIndex, m_szTempPath))
        return FailWithLastError(NV_E_MOUNT);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::UnmountImage(BOOL bCommit)
{
    CAutoTrace trace(L"CWimMgr", L"UnmountImage", this);
    trace.Print(L"commit = %d", bCommit);
    if (!WIMUnmountImage(m_szMountPath, m_szWimFileName, m_dwImageIndex, bCommit))
        return FailWithLastError(NV_E_MOUNT);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::CloseWimImage()
{
    if (m_hWimImage)
        WIMCloseHandle(m_hWimImage);
    m_hWimImage = nullptr;
    return S_OK;
}

// Runs a tool of the build folder hidden and waits for it. A tool that
// started but failed fails the step: its exit code is read.
HRESULT CWimMgr::RunBuildTool(LPCWSTR pwszTool, LPCWSTR pwszParams, LPCWSTR pwszVerb)
{
    CAutoTrace trace(L"CWimMgr", L"RunBuildTool", this);
    trace.Print(L"%s %s", pwszTool, pwszParams);
    HANDLE hProcess = nullptr;
    HRESULT hr = RunShellExe(pwszTool, pwszParams, m_szPESourcePath, pwszVerb, RSE_WAIT, FALSE, &hProcess);
    if (FAILED(hr))
        return hr;
    CAutoHandle process(hProcess);
    DWORD dwExitCode = 0;
    if (!process.IsValid() || !GetExitCodeProcess(process.Get(), &dwExitCode))
        return FailWithLastError(NV_E_WAIT);
    if (dwExitCode != 0) {
        trace.Print(L"the tool failed with exit code %lu", dwExitCode);
        return NV_E_FAIL;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetWinPELanguage(DWORD dwLanguageKind)
{
    CAutoTrace trace(L"CWimMgr", L"SetWinPELanguage", this);
    DebugPrint(L"CWimMgr::SetWinPELanguage - Enter\n");
    const wchar_t* pwszCulture = nullptr;
    HRESULT hr = LookUpKind(kLanguages, dwLanguageKind, &pwszCulture);
    if (FAILED(hr))
        return hr;
    wchar_t wszPack[MAX_PATH];
    if (FormatPath(wszPack, L"%sWINPE_LANGPACKS\\X86\\%s\\LP.CAB", m_szPESourcePath, pwszCulture) < 0)
        return NV_E_FORMAT_OVERFLOW;
    std::wstring wstrMount = QuoteArgument(WithoutTrailingBackslash(m_szMountPath).c_str(), false);
    std::wstring wstrPack = QuoteArgument(wszPack, false);
    wchar_t wszParams[kToolParamsChars];
    if (!FormatInto(wszParams, L"/import=%s %s", wstrPack.c_str(), wstrMount.c_str()))
        return NV_E_FORMAT_OVERFLOW;
    hr = RunBuildTool(m_szPeimgPath, wszParams, L"open");
    if (FAILED(hr))
        return hr;
    if (!FormatInto(wszParams, L"/install=*%s* %s", pwszCulture, wstrMount.c_str()))
        return NV_E_FORMAT_OVERFLOW;
    hr = RunBuildTool(m_szPeimgPath, wszParams, L"open");
    if (FAILED(hr))
        return hr;
    if (!FormatInto(wszParams, L"/lang=%s %s", pwszCulture, wstrMount.c_str()))
        return NV_E_FORMAT_OVERFLOW;
    return RunBuildTool(m_szPeimgPath, wszParams, L"open");
}

HRESULT STDMETHODCALLTYPE CWimMgr::SetOptionalPackage(DWORD dwPackageKind, BOOL bInstall)
{
    CAutoTrace trace(L"CWimMgr", L"SetOptionalPackage", this);
    const wchar_t* pwszPattern = nullptr;
    HRESULT hr = LookUpKind(kPackages, dwPackageKind, &pwszPattern);
    if (FAILED(hr))
        return hr;
    wchar_t wszWindows[MAX_PATH];
    if (FormatPath(wszWindows, L"%sWindows\\", m_szMountPath) < 0)
        return NV_E_FORMAT_OVERFLOW;
    wchar_t wszParams[kToolParamsChars];
    if (!FormatInto(wszParams, L"/%s=%s %s", bInstall ? L"install" : L"uninstall", pwszPattern,
                    QuoteArgument(wszWindows, false).c_str()))
        return NV_E_FORMAT_OVERFLOW;
    return RunBuildTool(m_szPeimgPath, wszParams, nullptr);
}

HRESULT STDMETHODCALLTYPE CWimMgr::AddDrivers(LPCWSTR pwszInfPath)
{
    CAutoTrace trace(L"CWimMgr", L"AddDrivers", this);
    if (!pwszInfPath || !*pwszInfPath)
        return NV_E_PATH_ARG;
    wchar_t wszDrivers[MAX_PATH];
    if (FormatPath(wszDrivers, L"%sWindows\\System32\\drivers", m_szMountPath) < 0)
        return NV_E_FORMAT_OVERFLOW;
    wchar_t wszParams[kToolParamsChars];
    if (!FormatInto(wszParams, L"/inf=%s %s", QuoteArgument(pwszInfPath, false).c_str(),
                    QuoteArgument(wszDrivers, false).c_str()))
        return NV_E_FORMAT_OVERFLOW;
    // Started, not waited for.
    return RunShellExe(m_szPeimgPath, wszParams, m_szPESourcePath, nullptr, RSE_NO_WAIT, FALSE, nullptr);
}

HRESULT STDMETHODCALLTYPE CWimMgr::CopyAppToImage()
{
    CAutoTrace trace(L"CWimMgr", L"CopyAppToImage", this);
    std::wstring wstrProgram;
    if (!NvGetProgramFolder(wstrProgram))
        return FailWithLastError(NV_E_NOT_FOUND);
    std::wstring wstrBare = WithoutTrailingBackslash(wstrProgram.c_str());
    std::wstring wstrName = wstrBare.substr(wstrBare.rfind(L'\\') + 1);
    std::vector<std::wstring> vecExclusions = {m_szPESourcePath};
    wchar_t wszInImage[MAX_PATH];
    wchar_t wszInTree[MAX_PATH];
    if (FormatPath(wszInImage, L"%swindows\\%s\\", m_szMountPath, wstrName.c_str()) < 0 ||
        FormatPath(wszInTree, L"%swinpe_x86\\ISO\\%s\\", m_szPESourcePath, wstrName.c_str()) < 0)
        return NV_E_FORMAT_OVERFLOW;
    HRESULT hr = NvCopyDirWithExclusion(wstrBare.c_str(), wszInImage, vecExclusions, TRUE);
    if (FAILED(hr))
        return hr;
    return NvCopyDirWithExclusion(wstrBare.c_str(), wszInTree, vecExclusions, TRUE);
}

HRESULT STDMETHODCALLTYPE CWimMgr::WriteWinpeshlIni()
{
    CAutoTrace trace(L"CWimMgr", L"WriteWinpeshlIni", this);
    wchar_t wszFile[MAX_PATH];
    wchar_t wszTarget[MAX_PATH];
    if (!m_szPESourcePath[0] || !m_szMountPath[0])
        return NV_E_PATH_ARG;
    if (FormatPath(wszFile, L"%s%s", m_szPESourcePath, kWinpeshlName) < 0 ||
        FormatPath(wszTarget, L"%s%s", m_szMountPath, kImageWinpeshl) < 0)
        return NV_E_FORMAT_OVERFLOW;
    HRESULT hr = WriteWinpeshlFile(wszFile);
    return FAILED(hr) ? hr : CopyOverTarget(wszFile, wszTarget);
}

HRESULT STDMETHODCALLTYPE CWimMgr::CopyBootWimToISO()
{
    CAutoTrace trace(L"CWimMgr", L"CopyBootWimToISO", this);
    wchar_t wszTarget[MAX_PATH];
    if (!m_szPESourcePath[0])
        return NV_E_PATH_ARG;
    if (FormatPath(wszTarget, L"%s%s", m_szPESourcePath, kBootImageTail) < 0)
        return NV_E_FORMAT_OVERFLOW;
    // Already where it belongs: copying a file onto itself would only fail.
    if (IsSamePath(m_szWimFileName, wszTarget) && NvFileExists(wszTarget))
        return S_OK;
    return CopyOverTarget(m_szWimFileName, wszTarget);
}

HRESULT STDMETHODCALLTYPE CWimMgr::MakeISO(LPCWSTR pwszIsoPath, LPCWSTR pwszLabel, DWORD dwBoot)
{
    CAutoTrace trace(L"CWimMgr", L"MakeISO", this);
    if (!pwszIsoPath || !*pwszIsoPath)
        return NV_E_PATH_ARG;
    wchar_t wszBootSector[MAX_PATH];
    wchar_t wszTree[MAX_PATH];
    if (FormatPath(wszBootSector, L"%s%s", m_szPESourcePath, kBootSectorTail) < 0 ||
        FormatPath(wszTree, L"%s%s", m_szPESourcePath, kIsoTreeTail) < 0)
        return NV_E_FORMAT_OVERFLOW;
    std::wstring wstrLabel;
    if (pwszLabel && *pwszLabel)
        wstrLabel = L"-l" + QuoteArgument(pwszLabel, true) + L" ";
    std::wstring wstrBoot;
    if (dwBoot == 1)
        wstrBoot = L"-b" + QuoteArgument(wszBootSector, true) + L" ";
    wchar_t wszParams[kIsoParamsChars];
    if (!FormatInto(wszParams, L"-n %s%s%s %s", wstrLabel.c_str(), wstrBoot.c_str(),
                    QuoteArgument(wszTree, true).c_str(), QuoteArgument(pwszIsoPath, true).c_str()))
        return NV_E_FORMAT_OVERFLOW;
    return RunBuildTool(m_szOscdimgPath, wszParams, nullptr);
}

HRESULT STDMETHODCALLTYPE CWimMgr::Reset()
{
    InterlockedDecrement(&m_lPEInit);
    ResetDataMembers();
    return S_OK;
}

HRESULT CWimMgr::CopyProgramIntoImage(LPCWSTR pwszProgramPath)
{
    wchar_t wszTarget[MAX_PATH];
    if (FormatPath(wszTarget, L"%s%s", m_szMountPath, kREProgramTail) < 0)
        return NV_E_FORMAT_OVERFLOW;
    return CopyOverTarget(pwszProgramPath, wszTarget);
}

HRESULT CWimMgr::UpdateREImage(LPCWSTR pwszWimPath, LPCWSTR pwszProgramPath)
{
    CAutoTrace trace(L"CWimMgr", L"UpdateREImage", this);
    for (LPCWSTR pwszPath : {pwszWimPath, pwszProgramPath}) {
        if (!pwszPath || !*pwszPath)
            return NV_E_PATH_ARG;
        if (GetFileAttributesW(pwszPath) == INVALID_FILE_ATTRIBUTES)
            return NV_E_NOT_FOUND;
    }
    HRESULT hr = SetWimImagePath(pwszWimPath);
    if (FAILED(hr))
        return hr;
    wchar_t wszTempRoot[MAX_PATH] = {};
    DWORD cch = GetTempPathW(MAX_PATH, wszTempRoot);
    if (cch == 0 || cch >= MAX_PATH)
        return FailWithLastError(NV_E_CREATE_DIR);
    wchar_t wszTemp[MAX_PATH];
    if (FormatPath(m_szMountPath, L"%s%s\\", wszTempRoot, kREMountName) < 0 ||
        FormatPath(wszTemp, L"%s%s", wszTempRoot, kRETempName) < 0)
        return NV_E_FORMAT_OVERFLOW;
    if (!EnsureFolder(m_szMountPath))
        return FailWithLastError(NV_E_CREATE_DIR);

    hr = MountImage(wszTemp, 0);
    if (SUCCEEDED(hr)) {
        hr = CopyProgramIntoImage(pwszProgramPath);
        if (SUCCEEDED(hr))
            hr = UnmountImage(TRUE);
        // A failed commit keeps the mount: it goes without its changes.
        if (FAILED(hr))
            UnmountImage(FALSE);
    }
    RemoveDirectoryW(m_szMountPath);
    RemoveDirectoryW(wszTemp);
    trace.Print(L"result 0x%08lX", static_cast<unsigned long>(hr));
    return hr;
}
