#include "CUiDriver.h"
#include <zlib.h>
#include <cstdio>
#include <memory>

namespace {

struct FindWindowQuery {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

bool Matches(HWND h, const FindWindowQuery& q) {
    if (!IsWindowVisible(h)) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (q.processId && pid != q.processId) return false;
    wchar_t text[256] = L"";
    if (q.className) {
        GetClassNameW(h, text, 256);
        if (wcscmp(text, q.className) != 0) return false;
    }
    if (q.title) {
        GetWindowTextW(h, text, 256);
        if (wcscmp(text, q.title) != 0) return false;
    }
    return true;
}

BOOL CALLBACK FindTopLevel(HWND h, LPARAM lParam) {
    auto* q = reinterpret_cast<FindWindowQuery*>(lParam);
    if (!Matches(h, *q)) return TRUE;
    q->found = h;
    return FALSE;
}

bool IsDialogClass(HWND h) {
    wchar_t cls[16] = L"";
    GetClassNameW(h, cls, 16);
    return wcscmp(cls, L"#32770") == 0;
}

// A message box is a visible top-level dialog whose text sits in the static 0xFFFF.
bool IsMessageBox(HWND h) { return IsDialogClass(h) && GetDlgItem(h, 0xFFFF) != nullptr; }

void Key(INPUT* in, UINT vk, bool up) {
    in->type = INPUT_KEYBOARD;
    in->ki.wVk = (WORD)vk;
    in->ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
}

// One PNG chunk: length, type, data, CRC of type and data.
void WriteChunk(FILE* f, const char* type, const unsigned char* data, size_t size) {
    unsigned char len[4] = {(unsigned char)(size >> 24), (unsigned char)(size >> 16), (unsigned char)(size >> 8),
                            (unsigned char)size};
    fwrite(len, 1, 4, f);
    fwrite(type, 1, 4, f);
    if (size) fwrite(data, 1, size, f);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (size) crc = crc32(crc, data, (uInt)size);
    unsigned char c[4] = {(unsigned char)(crc >> 24), (unsigned char)(crc >> 16), (unsigned char)(crc >> 8),
                          (unsigned char)crc};
    fwrite(c, 1, 4, f);
}

} // namespace

HWND CUiDriver::WaitForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, DWORD timeoutMs) {
    FindWindowQuery q = {processId, className, title, nullptr};
    WaitFor([&] {
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&q));
        return q.found != nullptr;
    }, timeoutMs);
    return q.found;
}

HWND CUiDriver::VisiblePage(HWND host) {
    for (HWND h = GetWindow(host, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (IsWindowVisible(h) && IsDialogClass(h)) return h;
    return nullptr;
}

int CUiDriver::PageId(HWND page) { return page ? GetDlgCtrlID(page) : -1; }

int CUiDriver::WaitForPageChange(HWND host, int fromId, DWORD timeoutMs) {
    int id = -1;
    bool changed = WaitFor([&] {
        id = PageId(VisiblePage(host));
        return id != -1 && id != fromId;
    }, timeoutMs);
    return changed ? id : -1;
}

std::wstring CUiDriver::Text(HWND parent, int id) {
    HWND h = id ? GetDlgItem(parent, id) : parent;
    if (!h) return std::wstring();
    // Through a message with a time-out, so a hung target cannot hang the test.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return text;
}

std::vector<int> CUiDriver::ControlIds(HWND parent) {
    std::vector<int> ids;
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (IsWindowVisible(h)) ids.push_back(GetDlgCtrlID(h));
    return ids;
}

bool CUiDriver::Click(HWND parent, int id) {
    HWND h = GetDlgItem(parent, id);
    if (!h || !IsWindowVisible(h) || !IsWindowEnabled(h)) return false;
    return PostMessageW(h, BM_CLICK, 0, 0) != FALSE;
}

HWND CUiDriver::WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if ((!processId || pid == processId) && IsWindowVisible(h) && IsMessageBox(h)) {
                found = h;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

std::wstring CUiDriver::MessageBoxText(HWND box) { return Text(box, 0xFFFF); }

bool CUiDriver::AnswerMessageBox(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    if (!button) return false;
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool CUiDriver::PostPowerBroadcast(HWND target, WPARAM event, LPARAM data) {
    return PostMessageW(target, WM_POWERBROADCAST, event, data) != FALSE;
}

bool CUiDriver::PostKey(HWND target, UINT vk, bool alt) {
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (LPARAM)(scan << 16) | (alt ? (1 << 29) : 0);
    LPARAM up = down | (1u << 30) | (1u << 31);
    UINT msgDown = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT msgUp = alt ? WM_SYSKEYUP : WM_KEYUP;
    return PostMessageW(target, msgDown, vk, down) && PostMessageW(target, msgUp, vk, up);
}

bool CUiDriver::SendKey(UINT vk, bool ctrl, bool alt, bool shift) {
    INPUT in[8] = {};
    UINT n = 0;
    if (ctrl) Key(&in[n++], VK_CONTROL, false);
    if (alt) Key(&in[n++], VK_MENU, false);
    if (shift) Key(&in[n++], VK_SHIFT, false);
    Key(&in[n++], vk, false);
    Key(&in[n++], vk, true);
    if (shift) Key(&in[n++], VK_SHIFT, true);
    if (alt) Key(&in[n++], VK_MENU, true);
    if (ctrl) Key(&in[n++], VK_CONTROL, true);
    return SendInput(n, in, sizeof(INPUT)) == n;
}

bool CUiDriver::WritePng(const wchar_t* path, const unsigned char* bgra, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    // Each row: filter byte 0, then RGB.
    size_t rowBytes = 1 + (size_t)width * 3;
    std::vector<unsigned char> raw(rowBytes * (size_t)height);
    for (int y = 0; y < height; ++y) {
        unsigned char* out = &raw[rowBytes * (size_t)y];
        const unsigned char* in = bgra + (size_t)y * (size_t)width * 4;
        *out++ = 0;
        for (int x = 0; x < width; ++x, in += 4) {
            *out++ = in[2];
            *out++ = in[1];
            *out++ = in[0];
        }
    }
    uLongf packedSize = compressBound((uLong)raw.size());
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), (uLong)raw.size(), 6) != Z_OK) return false;
    FILE* f = _wfopen(path, L"wb");
    if (!f) return false;
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    fwrite(signature, 1, 8, f);
    unsigned char ihdr[13] = {(unsigned char)(width >> 24), (unsigned char)(width >> 16), (unsigned char)(width >> 8),
                              (unsigned char)width, (unsigned char)(height >> 24), (unsigned char)(height >> 16),
                              (unsigned char)(height >> 8), (unsigned char)height, 8, 2, 0, 0, 0};
    WriteChunk(f, "IHDR", ihdr, sizeof ihdr);
    WriteChunk(f, "IDAT", packed.data(), packedSize);
    WriteChunk(f, "IEND", nullptr, 0);
    bool ok = ferror(f) == 0;
    return fclose(f) == 0 && ok;
}

bool CUiDriver::Screenshot(HWND window, const wchar_t* pngPath) {
    RECT rc;
    if (!GetWindowRect(window, &rc)) return false;
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height; // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (dib && mem) {
        HGDIOBJ old = SelectObject(mem, dib);
        // What the screen shows, controls and frame included; a window that
        // cannot be read there is asked to paint itself (children may be missing).
        ok = BitBlt(mem, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY) != FALSE;
        if (!ok) ok = PrintWindow(window, mem, 0) != FALSE;
        SelectObject(mem, old);
        GdiFlush();
        if (ok) ok = WritePng(pngPath, static_cast<unsigned char*>(bits), width, height);
    }
    if (dib) DeleteObject(dib);
    if (mem) DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}
