// The UI driver against windows of the class library, and a dialog from a
// language library driven end to end.
#include <afxwin.h>
#include <CUiDriver.h>
#include "PumpMessages.h"
#include <gtest/gtest.h>
#include <zlib.h>
#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

namespace {

const UINT IDD_SAMPLE = 30000;
const int IDC_SAMPLE_TEXT = 1359;

// The folder of this program: the build tree's bin, where the language libraries are.
CString ProgramFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString folder(path);
    return folder.Left(folder.ReverseFind(L'\\'));
}

CString LanguageLibrary(const wchar_t* code) {
#ifdef RV_DISCORA
    const wchar_t* name = L"DSRC.dll";
#else
    const wchar_t* name = L"RVRC.dll";
#endif
    CString path;
    path.Format(L"%s\\Language\\%s\\%s", (LPCWSTR)ProgramFolder(), code, name);
    return path;
}

// Reads a PNG we wrote back: size and the RGB rows.
bool ReadPng(const wchar_t* path, int* width, int* height, std::vector<unsigned char>* rgb) {
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() < 8 || memcmp(data.data(), sig, 8) != 0) return false;
    std::vector<unsigned char> idat;
    for (size_t p = 8; p + 12 <= data.size();) {
        size_t len = (size_t)data[p] << 24 | (size_t)data[p + 1] << 16 | (size_t)data[p + 2] << 8 | data[p + 3];
        std::string type(reinterpret_cast<const char*>(&data[p + 4]), 4);
        const unsigned char* body = &data[p + 8];
        uLong crc = crc32(crc32(0, &data[p + 4], 4), body, (uInt)len);
        uLong stored = (uLong)body[len] << 24 | (uLong)body[len + 1] << 16 | (uLong)body[len + 2] << 8 | body[len + 3];
        if (crc != stored) return false;
        if (type == "IHDR") {
            *width = body[0] << 24 | body[1] << 16 | body[2] << 8 | body[3];
            *height = body[4] << 24 | body[5] << 16 | body[6] << 8 | body[7];
        } else if (type == "IDAT") {
            idat.insert(idat.end(), body, body + len);
        }
        p += 12 + len;
    }
    uLongf size = (uLongf)((*width * 3 + 1) * *height);
    rgb->resize(size);
    return uncompress(rgb->data(), &size, idat.data(), (uLong)idat.size()) == Z_OK && size == rgb->size();
}

TEST(UiDriver, WritesAPngThatReadsBack) {
    const unsigned char bgra[] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0,   // red, green, blue
                                  255, 255, 255, 0, 0, 0, 0, 0, 10, 20, 30, 0}; // white, black, (30,20,10)
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"png", 0, path);
    ASSERT_TRUE(CUiDriver::WritePng(path, bgra, 3, 2));
    int w = 0, h = 0;
    std::vector<unsigned char> rows;
    ASSERT_TRUE(ReadPng(path, &w, &h, &rows)) << "signature, chunks and CRCs";
    EXPECT_EQ(3, w);
    EXPECT_EQ(2, h);
    const unsigned char expected[] = {0, 255, 0, 0, 0, 255, 0, 0, 0, 255,
                                      0, 255, 255, 255, 0, 0, 0, 30, 20, 10};
    ASSERT_EQ(sizeof expected, rows.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(expected[i], rows[i]) << "byte " << i;
    DeleteFileW(path);
    EXPECT_FALSE(CUiDriver::WritePng(path, bgra, 0, 2)) << "an empty image";
}

// The sample dialog of the test language library; Cancel is disabled so the
// driver must refuse to click it.
class CSampleDialog : public CDialog {
public:
    CSampleDialog() : CDialog(IDD_SAMPLE) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
        return TRUE;
    }
};

TEST(UiDriver, DrivesADialogFromTheLanguageLibrary) {
    HMODULE lib = LoadLibraryW(LanguageLibrary(L"XID"));
    ASSERT_NE(nullptr, lib) << CStringA(LanguageLibrary(L"XID")).GetString();
    HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(lib);

    CString message;
    message.Format(5179, L"Mendora");
    EXPECT_STREQ(L"#5179 Mendora", message) << "the id-echo library shows the id and the arguments";

    CString artefacts = ProgramFolder();
    artefacts = artefacts.Left(artefacts.ReverseFind(L'\\')) + L"\\artefacts";
    CreateDirectoryW(artefacts, nullptr);
    CString png = artefacts + L"\\SampleDialog.png";
    DeleteFileW(png);

    struct Seen {
        std::wstring text;
        bool cancelRefused = false;
        bool shot = false;
        bool clicked = false;
    } seen;
    std::thread driver([&] {
        HWND dlg = CUiDriver::WaitForWindow(GetCurrentProcessId(), L"#32770", L"Sample", 10000);
        if (!dlg) return;
        seen.text = CUiDriver::Text(dlg, IDC_SAMPLE_TEXT);
        seen.cancelRefused = !CUiDriver::Click(dlg, IDCANCEL);
        Sleep(300); // let it paint before the picture
        seen.shot = CUiDriver::Screenshot(dlg, png);
        seen.clicked = CUiDriver::Click(dlg, IDOK);
    });
    CSampleDialog dlg;
    INT_PTR result = dlg.DoModal();
    driver.join();
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(L"Sample text", seen.text);
    EXPECT_TRUE(seen.cancelRefused) << "a disabled button is not clicked";
    EXPECT_TRUE(seen.shot);
    EXPECT_TRUE(seen.clicked);
    int w = 0, h = 0;
    std::vector<unsigned char> rows;
    EXPECT_TRUE(ReadPng(png, &w, &h, &rows)) << CStringA(png).GetString();
    EXPECT_GT(w, 100);
    EXPECT_GT(h, 50);

    AfxSetResourceHandle(previous);
    FreeLibrary(lib);
}

TEST(UiDriver, RightToLeftLibraryAndMissingTexts) {
    HMODULE lib = LoadLibraryW(LanguageLibrary(L"HEB"));
    ASSERT_NE(nullptr, lib);
    CString text;
    ASSERT_TRUE(text.LoadString(lib, 5179));
    EXPECT_EQ(0x05E2, text[0]) << "the text starts with a right-to-left letter";
    EXPECT_NE(-1, text.Find(L"#5179 %s"));
    CString face;
    EXPECT_TRUE(face.LoadString(lib, 9000));
    EXPECT_STREQ(L"Tahoma", face) << "font strings are the same in every library";
    FreeLibrary(lib);
}

TEST(UiDriver, AnswersMessageBoxes) {
    struct Case {
        UINT type;
        int button;
    } cases[] = {{MB_YESNO, IDNO}, {MB_YESNO, IDYES}, {MB_OKCANCEL | MB_ICONERROR, IDCANCEL}};
    for (const Case& c : cases) {
        std::wstring text;
        bool answered = false;
        std::thread driver([&] {
            HWND box = CUiDriver::WaitForMessageBox(GetCurrentProcessId(), 10000);
            if (!box) return;
            text = CUiDriver::MessageBoxText(box);
            answered = CUiDriver::AnswerMessageBox(box, c.button);
        });
        int result = AfxMessageBox(L"Remove the recovery partition?", c.type);
        driver.join();
        EXPECT_EQ(c.button, result) << "button " << c.button;
        EXPECT_EQ(L"Remove the recovery partition?", text);
        EXPECT_TRUE(answered);
    }
}

// A host with two plain child dialogs; a timer swaps them.
class CPageHost : public CWnd {
public:
    HWND m_pages[2] = {};
    std::vector<UINT> m_keys;
    std::vector<WPARAM> m_power;
    afx_msg void OnTimer(UINT_PTR) {
        KillTimer(1);
        ::ShowWindow(m_pages[0], SW_HIDE);
        ::ShowWindow(m_pages[1], SW_SHOW);
    }
    afx_msg UINT OnPowerBroadcast(UINT event, LPARAM) {
        m_power.push_back(event);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) m_keys.push_back((UINT)pMsg->wParam);
        return FALSE;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPageHost, CWnd)
    ON_WM_TIMER()
    ON_WM_POWERBROADCAST()
END_MESSAGE_MAP()

TEST(UiDriver, FollowsPagesAndDeliversEvents) {
    CPageHost host;
    ASSERT_TRUE(host.CreateEx(0, AfxRegisterWndClass(0), L"host", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
    const int ids[2] = {6000, 6003};
    for (int i = 0; i < 2; ++i)
        host.m_pages[i] = CreateWindowExW(0, L"#32770", L"", WS_CHILD | (i == 0 ? WS_VISIBLE : 0), 0, 0, 300, 200,
                                          host.m_hWnd, (HMENU)(INT_PTR)ids[i], nullptr, nullptr);
    EXPECT_EQ(6000, CUiDriver::PageId(CUiDriver::VisiblePage(host.m_hWnd)));
    host.SetTimer(1, 200, nullptr);
    std::atomic<int> newPage{0};
    std::thread driver([&] {
        newPage = CUiDriver::WaitForPageChange(host.m_hWnd, 6000, 10000);
        CUiDriver::PostPowerBroadcast(host.m_hWnd, PBT_APMPOWERSTATUSCHANGE);
        CUiDriver::PostKey(host.m_hWnd, 'D', true);
    });
    EXPECT_TRUE(PumpMessagesUntil([&] { return host.m_keys.size() >= 1 && host.m_power.size() >= 1; }, 10000));
    driver.join();
    EXPECT_EQ(6003, newPage.load());
    EXPECT_EQ(std::vector<WPARAM>{PBT_APMPOWERSTATUSCHANGE}, host.m_power);
    EXPECT_EQ(std::vector<UINT>{'D'}, host.m_keys) << "keys arrive through the queue";
    EXPECT_EQ(-1, CUiDriver::WaitForPageChange(host.m_hWnd, 6003, 200)) << "no change: time-out";
    host.DestroyWindow();
}

} // namespace
