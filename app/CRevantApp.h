// The recovery program's application object: start-up in a fixed order, the
// language library, the command line, single instance, the image cache, the
// kiosk cover and the teardown that gives the exit code.
#pragma once

#include <afxwin.h>

#include <map>
#include <string>

#include "CDiscBurner.h"
#include "CWaitingDiscPrompt.h"
#include "CFullWnd.h"
#include "CommandLine.h"

namespace Gdiplus {
class Image;
}
class CAutoTrace;
class StringReg;
class CSBRMgr;
class CFileBackupMgr;
struct ILingwell;

enum SpecialPageMode {
    SPM_NONE = 0,
    SPM_REINSTALL_APP = 1,
    SPM_REINSTALL_DRIVER = 2,
    SPM_DISCORA = 3,
    SPM_DEL_RP = 4,
    SPM_RECOVERY_REPORT = 5,
};

class CRevantApp : public CWinApp {
public:
    CRevantApp();
    ~CRevantApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt) override;

    CString GetAppDir() const { return m_strAppDir; }
    CString GetRCLang() const { return m_strRCLang; }
    void DeleteSBRMgr();
    void CloseMultiInstMutex();
    void ShowTaskbar(BOOL bShow);

    // Command line (the process's own arguments when argv is null).
    BOOL ProcessCommandLine(int argc = 0, const wchar_t* const* argv = nullptr);

    // Single instance and the disc creator.
    BOOL CheckMultiInst();
    BOOL CheckDiscoraInst();

    BOOL CreateFullWindow();
    Gdiplus::Image* GetImage(const CString& strRelPath);

    // Language library.
    BOOL LoadRC();
    HRESULT CreateLingwell();
    HRESULT FindZQRC(wchar_t* pwszCode, DWORD cchCode);
    CString GetUILangAbbrev();
    HRESULT LoadRCbyLang(LPCWSTR pwszFlagPath);
    CString GetSSRDFlgLangByRCLang(LPCWSTR pwszCode);
    CString LoadPCDoctorByRCLang(LPCWSTR pwszCode);
    CString GetMuiLangByRCLang(LPCWSTR pwszCode);
    HRESULT DetectLangAndWriteFlagFile();
    BOOL CreateSSRDFlgForCNB();
    int LoadLangFromSSRDFlag();
    HRESULT SetMuiLanguage(LPCWSTR pwszCode);

    // Display names by vendor.
    CString GetAppName();
    CString GetDSCAppName();

    void LoadZQSimKey();

    HMODULE m_hResDll = nullptr;
    HANDLE m_hMultiInstMutex = nullptr;
    CSBRMgr* m_pSBRMgr = nullptr;
    CFileBackupMgr* m_pFileBackupMgr = nullptr;
    CString m_strAppDir;
    HMODULE m_hLingwellDll = nullptr;
    ILingwell* m_pLingwell = nullptr;
    ULONG_PTR m_ulGdiplusToken = 0;
    std::map<std::wstring, Gdiplus::Image*> m_mapImage;
    CString m_strAppName;
    CString m_strDSCAppName;
    DWORD m_enZQOSVer = 0;
    DWORD m_enZQVendor = 0;
    int m_enSpecialPageMode = SPM_NONE;
    CString m_strRCLang;
    BOOL m_bFinishDlg = FALSE;
    BOOL m_bCTOPanic = FALSE;
    BOOL m_bFileRestore = FALSE;
    wchar_t m_wszRestoreSourcePath[MAX_PATH] = {};
    BOOL m_bRTL = FALSE;
    CFullWnd m_wndFull;
    int m_nExitCode = -1;
    CDiscBurner m_oDiscBurner;
    CWaitingDiscPrompt m_oDiscPrompt {m_oDiscBurner};

private:
    void PrepareWinPE();
    void ConnectFileBackup();
    BOOL CheckAdminRights();
    BOOL CreateController();
    void PrepareDumpFile(CSBRMgr* pMgr, BOOL bWinPE);
    void StartBackgroundServices();
    void PreloadImages();
    void RunHostDialog();
    BOOL RunToolSwitch(AppSwitch enSwitch);
    BOOL InstallDriver();
    void CheckSSDSwitch();
    BOOL UpdateWIMSwitch();
    BOOL RELiveUpdateSwitch();
    void ApplyStartPageSwitch(const CommandLineChoice& choice);
    BOOL LoadLibraryPath(const CString& strPath);
    CString InstalledLibraryPath(CAutoTrace& trace);
    CString FallbackLibraryPath(BOOL bWinPE, CAutoTrace& trace);
    BOOL LoadBareLibrary(const CString& strFailed, CAutoTrace& trace);
    void InitLingwellLanguage(StringReg& defaultLang, BOOL bHaveDefault);
    void UpdateRTL(const CString& strPath);
    CString LanguagePath(const CString& strCode) const;
    CString LookupWithDefault(const std::wstring& found, LPCWSTR pwszCode, const wchar_t* pwszDefault,
                              const wchar_t* pwszMethod, const wchar_t* pwszLogName, const wchar_t* pwszKind);
    CString CachedName(CString& strMember, UINT nStringId, const wchar_t* pwszNotebookName, const wchar_t* pwszMethod);
    void FreeImages();

    BOOL m_bDumpInitialized = FALSE;
};

// The application object, or null outside the program (tests of parts).
CRevantApp* RevantApp();
