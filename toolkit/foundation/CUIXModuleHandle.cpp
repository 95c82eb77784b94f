#include "CUIXModuleHandle.h"

namespace {
const DWORD kVersionShift = 65536;
}

BOOL CUIXModuleHandle::Hold(HMODULE h, int state, LPCWSTR name) {
    if (!h) return FALSE;
    m_hModule = h;
    m_state = state;
    m_name = name;
    return TRUE;
}

BOOL CUIXModuleHandle::GetModuleHandle(LPCWSTR name) {
    FreeLibrary();
    return Hold(name ? ::GetModuleHandleW(name) : nullptr, stateFound, name);
}

BOOL CUIXModuleHandle::LoadLibrary(LPCWSTR name) {
    FreeLibrary();
    return Hold(name ? ::LoadLibraryW(name) : nullptr, stateLoaded, name);
}

BOOL CUIXModuleHandle::Init(LPCWSTR name) { return GetModuleHandle(name) || LoadLibrary(name); }

BOOL CUIXModuleHandle::FreeLibrary() {
    BOOL result = TRUE;
    if (m_state == stateLoaded && m_hModule) result = ::FreeLibrary(m_hModule);
    m_hModule = nullptr;
    m_state = stateNone;
    m_name.Empty();
    m_version = DLLVERSIONINFO();
    return result;
}

void CUIXModuleHandle::GetVersionInfo() {
    if (!m_hModule) return;
    m_version.cbSize = sizeof(DLLVERSIONINFO);
    DLLGETVERSIONPROC pfn = nullptr;
    if (GetProcAddress(&pfn, "DllGetVersion")) pfn(&m_version);
}

DWORD CUIXModuleHandle::GetVersion() {
    if (m_version.cbSize == 0) GetVersionInfo();
    return m_version.dwMajorVersion * kVersionShift + (m_version.dwMinorVersion & 0xFFFF);
}
