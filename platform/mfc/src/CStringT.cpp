#include "CStringT.h"

namespace afx_detail {

std::wstring Widen(const char* s, int n) {
    if (!s) return std::wstring();
    if (n < 0) n = (int)strlen(s);
    if (n == 0) return std::wstring();
    int w = MultiByteToWideChar(CP_ACP, 0, s, n, nullptr, 0);
    std::wstring out((size_t)w, L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, n, &out[0], w);
    return out;
}

std::string Narrow(const wchar_t* s, int n) {
    if (!s) return std::string();
    if (n < 0) n = (int)wcslen(s);
    if (n == 0) return std::string();
    int c = WideCharToMultiByte(CP_ACP, 0, s, n, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)c, '\0');
    WideCharToMultiByte(CP_ACP, 0, s, n, &out[0], c, nullptr, nullptr);
    return out;
}

// String tables hold 16 counted strings per block; the block of id n is n/16+1.
const wchar_t* FindStringResource(HINSTANCE hInst, UINT id, int* length) {
    HRSRC r = FindResourceW(hInst, MAKEINTRESOURCEW(id / 16 + 1), (LPCWSTR)RT_STRING);
    if (!r) return nullptr;
    HGLOBAL g = LoadResource(hInst, r);
    const WORD* p = g ? static_cast<const WORD*>(LockResource(g)) : nullptr;
    if (!p) return nullptr;
    DWORD size = SizeofResource(hInst, r) / sizeof(WORD);
    const WORD* end = p + size;
    for (UINT i = 0; i < (id & 15); ++i) {
        if (p >= end) return nullptr;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end) return nullptr;
    *length = *p;
    return reinterpret_cast<const wchar_t*>(p + 1);
}

} // namespace afx_detail
