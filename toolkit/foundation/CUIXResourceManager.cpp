#include "CUIXResourceManager.h"
#include <string>

namespace {
const WORD kNeutralLang = 0;
const WCHAR* const kHtmlType = MAKEINTRESOURCEW(23);
const DWORD kIconFormatVersion = 0x30000;

// Locked bytes of a resource; null when any step fails.
const BYTE* LockedResource(HMODULE hModule, LPCWSTR name, LPCWSTR type, DWORD* pSize) {
    HRSRC hRes = ::FindResourceW(hModule, name, type);
    if (!hRes) return nullptr;
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    if (!hData) return nullptr;
    *pSize = ::SizeofResource(hModule, hRes);
    return static_cast<const BYTE*>(::LockResource(hData));
}
} // namespace

CString CUIXResourceManager::LoadStringWithError(UINT nID, BOOL* pbError) {
    CString str;
    BOOL ok = LoadString(str, nID);
    if (pbError) *pbError = !ok;
    return str;
}

BOOL CUIXResourceManager::LoadString(CString& str, UINT nID) {
    HINSTANCE hInst = AfxFindStringResourceHandle(nID);
    if (!hInst) return FALSE;
    return str.LoadString(hInst, nID);
}

BOOL CUIXResourceManager::LoadMenu(CMenu* pMenu, UINT nID) {
    return pMenu && pMenu->Attach(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nID)));
}

BOOL CUIXResourceManager::LoadBitmap(CBitmap* pBitmap, UINT nID) {
    return pBitmap && pBitmap->Attach(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nID)));
}

HCURSOR CUIXResourceManager::LoadCursor(UINT nID) { return ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nID)); }

HGLOBAL CUIXResourceManager::FindDialogTemplate(LPCTSTR lpszName) {
    HMODULE hModule = nullptr;
    HRSRC hRes = ::FindResourceW(nullptr, lpszName, RT_DIALOG);
    if (!hRes) {
        hModule = AfxGetResourceHandle();
        if (!hModule) return nullptr;
        hRes = ::FindResourceW(hModule, lpszName, RT_DIALOG);
        if (!hRes) return nullptr;
    }
    return ::LoadResource(hModule, hRes);
}

LPCDLGTEMPLATE CUIXResourceManager::LoadDialogTemplate(LPCTSTR lpszName) {
    HGLOBAL h = FindDialogTemplate(lpszName);
    return h ? static_cast<LPCDLGTEMPLATE>(::LockResource(h)) : nullptr;
}

BOOL CUIXResourceManager::LoadHTML(CString& str, UINT nID) {
    DWORD size = 0;
    const BYTE* data = LockedResource(nullptr, MAKEINTRESOURCEW(nID), kHtmlType, &size);
    if (!data && AfxGetResourceHandle()) data = LockedResource(AfxGetResourceHandle(), MAKEINTRESOURCEW(nID), kHtmlType, &size);
    if (!data) return FALSE;
    std::wstring wide((size_t)size * 2 + 2, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(data), (int)size, &wide[0], (int)wide.size());
    str = wide.c_str();
    return str.GetLength() > 0;
}

HICON CUIXResourceManager::LoadIconById(UINT nID, CSize size) { return LoadIcon(MAKEINTRESOURCEW(nID), size); }

HICON CUIXResourceManager::LoadIcon(LPCTSTR lpszName, CSize size) {
    HINSTANCE hInst = AfxGetResourceHandle();
    if (!hInst) return nullptr;
    return static_cast<HICON>(::LoadImageW(hInst, lpszName, IMAGE_ICON, size.cx, size.cy, LR_DEFAULTCOLOR));
}

HICON CUIXResourceManager::CreateIconFromResource(HMODULE hModule, LPCTSTR lpszName, CSize size) {
    DWORD dirSize = 0;
    const BYTE* dir = LockedResource(hModule, lpszName, RT_GROUP_ICON, &dirSize);
    if (!dir) return nullptr;
    int id = ::LookupIconIdFromDirectoryEx(const_cast<PBYTE>(dir), TRUE, size.cx, size.cy, LR_DEFAULTCOLOR);
    if (id == 0) return nullptr;
    DWORD bitsSize = 0;
    const BYTE* bits = LockedResource(hModule, MAKEINTRESOURCEW(id), RT_ICON, &bitsSize);
    if (!bits) return nullptr;
    return ::CreateIconFromResourceEx(const_cast<PBYTE>(bits), bitsSize, TRUE, kIconFormatVersion, size.cx, size.cy,
                                      LR_DEFAULTCOLOR);
}

void CUIXResourceManager::FreeResourceLibrary() {
    if (m_hResourceFile) ::FreeLibrary(m_hResourceFile);
    m_hResourceFile = nullptr;
}

BOOL CALLBACK CUIXResourceManager::EnumResLangProc(HMODULE, LPCWSTR, LPCWSTR, WORD wLang, LONG_PTR lParam) {
    if (wLang == kNeutralLang) return TRUE;
    WORD& found = *reinterpret_cast<WORD*>(lParam);
    found = wLang;
    return found == kDefaultLangId;
}

BOOL CALLBACK CUIXResourceManager::EnumResNameProc(HMODULE hModule, LPCWSTR lpszType, LPWSTR lpszName, LONG_PTR lParam) {
    ::EnumResourceLanguagesW(hModule, lpszType, lpszName, EnumResLangProc, lParam);
    WORD found = *reinterpret_cast<WORD*>(lParam);
    return found == kNeutralLang || found == kDefaultLangId;
}

BOOL CALLBACK CUIXResourceManager::EnumResTypeProc(HMODULE hModule, LPWSTR lpszType, LONG_PTR lParam) {
    ::EnumResourceNamesW(hModule, lpszType, EnumResNameProc, lParam);
    WORD found = *reinterpret_cast<WORD*>(lParam);
    return found == kNeutralLang || found == kDefaultLangId;
}

WORD CUIXResourceManager::DetectLanguage(HMODULE hModule) {
    WORD found = kNeutralLang;
    ::EnumResourceTypesW(hModule ? hModule : ::GetModuleHandleW(nullptr), EnumResTypeProc, reinterpret_cast<LONG_PTR>(&found));
    return found == kNeutralLang ? kDefaultLangId : found;
}

void CUIXResourceManager::UpdateResourcesLangID() { m_wResourcesLangId = DetectLanguage(nullptr); }

namespace {
CProcessLocal<CUIXResourceManager> g_resourceManager;
} // namespace

CUIXResourceManager* UIXResourceManager() { return g_resourceManager.GetData(); }
