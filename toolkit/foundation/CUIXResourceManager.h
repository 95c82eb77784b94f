// Loads the toolkit's strings, menus, bitmaps, cursors, icons, dialog
// templates and HTML from the framework's resource module (templates and
// HTML from the executable first) and reports the resources' language.
#pragma once
#include <afxwin.h>

class CUIXResourceManager : public CNoTrackObject {
public:
    static constexpr WORD kDefaultLangId = 1033;

    CUIXResourceManager() = default;
    ~CUIXResourceManager() override { FreeResourceLibrary(); }
    CUIXResourceManager(const CUIXResourceManager&) = delete;
    CUIXResourceManager& operator=(const CUIXResourceManager&) = delete;

    virtual CString LoadStringWithError(UINT nID, BOOL* pbError = nullptr);
    virtual BOOL LoadString(CString& str, UINT nID);
    virtual BOOL LoadMenu(CMenu* pMenu, UINT nID);
    virtual BOOL LoadBitmap(CBitmap* pBitmap, UINT nID);
    virtual HCURSOR LoadCursor(UINT nID);
    virtual LPCDLGTEMPLATE LoadDialogTemplate(LPCTSTR lpszName);
    virtual HGLOBAL FindDialogTemplate(LPCTSTR lpszName);
    virtual BOOL LoadHTML(CString& str, UINT nID);
    virtual HICON LoadIconById(UINT nID, CSize size);
    virtual HICON LoadIcon(LPCTSTR lpszName, CSize size);
    virtual HICON CreateIconFromResource(HMODULE hModule, LPCTSTR lpszName, CSize size);
    virtual void FreeResourceLibrary();
    virtual WORD GetResourcesLangID() const { return m_wResourcesLangId; }
    // Detects the language from the executable's resources.
    virtual void UpdateResourcesLangID();
    // The same detection over any module (the executable when null).
    static WORD DetectLanguage(HMODULE hModule);

private:
    static BOOL CALLBACK EnumResTypeProc(HMODULE hModule, LPWSTR lpszType, LONG_PTR lParam);
    static BOOL CALLBACK EnumResNameProc(HMODULE hModule, LPCWSTR lpszType, LPWSTR lpszName, LONG_PTR lParam);
    static BOOL CALLBACK EnumResLangProc(HMODULE hModule, LPCWSTR lpszType, LPCWSTR lpszName, WORD wLang, LONG_PTR lParam);

    HMODULE m_hResourceFile = nullptr;
    WORD m_wResourcesLangId = kDefaultLangId;
};

// The process's resource manager, made on first use; destroyed at process exit.
CUIXResourceManager* UIXResourceManager();
