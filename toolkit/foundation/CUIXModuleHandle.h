// A module found already loaded (not owned) or loaded on demand (owned).
#pragma once
#include <afxwin.h>
#include <shlwapi.h>

class CUIXModuleHandle {
public:
    enum State { stateNone = 0, stateFound = 1, stateLoaded = 2 };

    CUIXModuleHandle() = default;
    explicit CUIXModuleHandle(LPCWSTR name) { Init(name); }
    virtual ~CUIXModuleHandle() { FreeLibrary(); }
    CUIXModuleHandle(const CUIXModuleHandle&) = delete;
    CUIXModuleHandle& operator=(const CUIXModuleHandle&) = delete;

    BOOL GetModuleHandle(LPCWSTR name);
    BOOL LoadLibrary(LPCWSTR name);
    // Found if loaded already, else loaded.
    BOOL Init(LPCWSTR name);
    // Frees only a module this object loaded.
    BOOL FreeLibrary();
    template <class FN>
    BOOL GetProcAddress(FN* ppfn, LPCSTR name) const {
        if (!m_hModule) return FALSE;
        *ppfn = reinterpret_cast<FN>(reinterpret_cast<void (*)()>(::GetProcAddress(m_hModule, name)));
        return *ppfn != nullptr;
    }
    void GetVersionInfo();
    // major * 65536 + minor from DllGetVersion; 0 without it.
    DWORD GetVersion();

    HMODULE GetHandle() const { return m_hModule; }
    int GetState() const { return m_state; }
    const CString& GetName() const { return m_name; }
    operator HMODULE() const { return m_hModule; }

private:
    BOOL Hold(HMODULE h, int state, LPCWSTR name);

    CString m_name;
    HMODULE m_hModule = nullptr;
    int m_state = stateNone;
    DLLVERSIONINFO m_version = {};
};
