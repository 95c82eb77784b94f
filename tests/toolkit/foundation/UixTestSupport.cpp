#include "UixTestSupport.h"
#include <cstring>

namespace uixtest {

std::wstring Fixture(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.erase(dir.find_last_of(L'\\') + 1);
    return dir + L"uix-fixtures\\" + name;
}

HBITMAP MakeBitmap(int width, int height, const std::vector<DWORD>& bgra, bool topDown) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = topDown ? -height : height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (h && bits) memcpy(bits, bgra.data(), std::min(bgra.size(), (size_t)width * height) * 4);
    return h;
}

std::vector<DWORD> Pixels(HBITMAP hBitmap) {
    GdiFlush();
    DIBSECTION ds = {};
    if (GetObjectW(hBitmap, sizeof(ds), &ds) != sizeof(ds) || ds.dsBm.bmBitsPixel != 32 || !ds.dsBm.bmBits) return {};
    const DWORD* p = static_cast<const DWORD*>(ds.dsBm.bmBits);
    return std::vector<DWORD>(p, p + (size_t)ds.dsBm.bmWidth * ds.dsBm.bmHeight);
}

SIZE DibSize(HBITMAP hBitmap) {
    DIBSECTION ds = {};
    if (GetObjectW(hBitmap, sizeof(ds), &ds) != sizeof(ds)) return SIZE{0, 0};
    return SIZE{ds.dsBmih.biWidth, ds.dsBmih.biHeight};
}

} // namespace uixtest
