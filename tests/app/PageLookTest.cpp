// The pages on their base, in a test host in this process: screenshots of
// the welcome pages and a plain page in English and right-to-left, the
// navigation row, button states and radio groups, keys, the transparent
// static, auto width, GDI and window objects over many visits, and the
// waiting-disc dialog as discs go into the simulated PC's drive.
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <CUiDriver.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CAlphaStatic.h"
#include "CRevantDlg.h"
#include "CSimPc.h"
#include "CWaitingDiscDlg.h"
#include "CWizardHost.h"
#include "PageFlow.h"
#include "PageSizing.h"
#include "WizardPages.h"

namespace {

const UINT IDD_HOST = 129;
const int kPageWidth = 800;
const int kPageHeight = 580;
const int kNavRight = 765;

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

// Messages of this thread, through the windows' own pre-translation.
void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            bool handled = false;
            for (HWND h = msg.hwnd; h && !handled; h = GetParent(h)) {
                CWnd* pWnd = CWnd::FromHandlePermanent(h);
                handled = pWnd && pWnd->PreTranslateMessage(&msg);
            }
            if (!handled) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

class CTestHost : public CDialog, public CWizardHost {
public:
    explicit CTestHost(BOOL bRTL) : CDialog(IDD_HOST), m_bRTL(bRTL) {}
    ~CTestHost() override
    {
        for (auto& p : m_pages) {
            p.second->DestroyWindow();
            delete p.second;
        }
        DestroyWindow();
        for (auto& i : m_images)
            delete i.second;
    }

    bool Open()
    {
        if (!CDialog::Create(IDD_HOST, nullptr))
            return false;
        CRect rc(0, 0, kPageWidth, kPageHeight);
        AdjustWindowRectEx(&rc, GetStyle(), FALSE, GetExStyle());
        SetWindowPos(nullptr, 10, 10, rc.Width(), rc.Height(), SWP_NOZORDER);
        ShowWindow(SW_SHOW);
        Pump(50);
        return true;
    }

    int GetFlowPageId(int nPageId, int nColumn) const override { return FlowPageId(nPageId, nColumn); }
    int GetLastFromPageId() const override { return m_history.LastFrom(); }
    HRESULT GoToPage(UINT nPageId, BOOL bAddHistory) override
    {
        CWizardPage*& pPage = m_pages[nPageId];
        if (!pPage) {
            pPage = m_factory ? m_factory(nPageId) : CRevantDlg::NewPage(nPageId);
            if (!pPage) {
                m_pages.erase(nPageId);
                return E_FAIL;
            }
            pPage->m_pHost = this;
            pPage->Create(this);
            CRect rc;
            GetClientRect(&rc);
            pPage->MoveWindow(&rc);
        }
        if (m_pCurrent && m_pCurrent != pPage)
            m_pCurrent->ShowWindow(SW_HIDE);
        pPage->ShowWindow(SW_SHOW);
        pPage->SendMessage(WM_SETFOCUS);
        if (bAddHistory)
            m_history.Record(static_cast<int>(nPageId));
        m_pCurrent = pPage;
        Pump(30);
        return S_OK;
    }
    void OnPageCancel() override { ++m_nCancels; }
    Gdiplus::Image* GetPageImage(const CString& strRelPath) override
    {
        Gdiplus::Image*& p = m_images[std::wstring(strRelPath.GetString())];
        if (!p)
            p = new Gdiplus::Image((BinFolder() + strRelPath.GetString()).c_str(), TRUE);
        return p;
    }
    BOOL IsPageRTL() const override { return m_bRTL; }
    DWORD GetPageVendor() const override { return 2; }

    CWizardPage* Current() const { return m_pCurrent; }
    int m_nCancels = 0;
    std::function<CWizardPage*(UINT)> m_factory;

private:
    BOOL m_bRTL;
    std::map<UINT, CWizardPage*> m_pages;
    std::map<std::wstring, Gdiplus::Image*> m_images;
    CWizardPage* m_pCurrent = nullptr;
    CPageHistory m_history;
};

// GDI+ and one language library for the test's windows.
class PageLook : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
        UseLanguage(L"ENU");
    }
    void TearDown() override
    {
        m_host.reset();
        Gdiplus::GdiplusShutdown(m_token);
        if (m_hLang)
            FreeLibrary(m_hLang);
    }
    void UseLanguage(const wchar_t* code)
    {
        m_host.reset();
        if (m_hLang)
            FreeLibrary(m_hLang);
        m_hLang = LoadLibraryW((BinFolder() + L"Language\\" + code + L"\\RVRC.dll").c_str());
        ASSERT_NE(nullptr, m_hLang) << code;
        AfxSetResourceHandle(m_hLang);
    }
    CTestHost& OpenHost(BOOL bRTL)
    {
        m_host.reset(new CTestHost(bRTL));
        EXPECT_TRUE(m_host->Open());
        return *m_host;
    }

    ULONG_PTR m_token = 0;
    HMODULE m_hLang = nullptr;
    std::unique_ptr<CTestHost> m_host;
};

CRect ScreenRect(CWnd* pWnd)
{
    CRect rc;
    pWnd->GetWindowRect(&rc);
    return rc;
}

// The page's pixels as the screen shows them, top row first.
struct Capture {
    int width = 0, height = 0;
    std::vector<DWORD> px;
    COLORREF At(int x, int y) const
    {
        DWORD v = px[static_cast<size_t>(y) * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
};

Capture CaptureWindow(HWND hWnd)
{
    Capture cap;
    RECT rc;
    GetWindowRect(hWnd, &rc);
    cap.width = rc.right - rc.left;
    cap.height = rc.bottom - rc.top;
    cap.px.resize(static_cast<size_t>(cap.width) * cap.height);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cap.width, -cap.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, cap.width, cap.height, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    memcpy(cap.px.data(), bits, cap.px.size() * 4);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return cap;
}

bool IsWhite(COLORREF c) { return GetRValue(c) > 230 && GetGValue(c) > 230 && GetBValue(c) > 230; }

int WhitePixelsIn(const Capture& cap, int left, int top, int right, int bottom)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += IsWhite(cap.At(x, y)) ? 1 : 0;
    return n;
}

std::wstring Artefacts()
{
    std::wstring dir = BinFolder() + L"..\\artefacts\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

// ---------------------------------------------------------------- looks

TEST_F(PageLook, ScreenshotsOfWelcomeAndPlainPages)
{
    struct Lang {
        const wchar_t* code;
        BOOL rtl;
    } langs[] = {{L"ENU", FALSE}, {L"HEB", TRUE}};
    struct Page {
        UINT id;
        const wchar_t* name;
    } pages[] = {{5350, L"pe-welcome"}, {6000, L"os-welcome"}, {5351, L"plain"}};
    for (const Lang& lang : langs) {
        UseLanguage(lang.code);
        CTestHost& host = OpenHost(lang.rtl);
        for (const Page& page : pages) {
            SCOPED_TRACE(std::wstring(lang.code) + L" " + page.name);
            ASSERT_EQ(S_OK, host.GoToPage(page.id, TRUE));
            Pump(200);
            CWizardPage* p = host.Current();
            std::wstring file = Artefacts() + page.name + L"-" + lang.code + L".png";
            EXPECT_TRUE(CUiDriver::Screenshot(p->GetSafeHwnd(), file.c_str()));
            Capture cap = CaptureWindow(p->GetSafeHwnd());
            ASSERT_EQ(kPageWidth, cap.width);
            // The title is white over the background, at the leading side.
            int titleLeft = lang.rtl ? kPageWidth - 400 : 115;
            EXPECT_GT(WhitePixelsIn(cap, titleLeft, 19, titleLeft + 285, 60), 20);
            EXPECT_FALSE(IsWhite(cap.At(kPageWidth / 2, 300)));
            EXPECT_NE(RGB(0, 0, 0), cap.At(kPageWidth / 2, 300)) << "background drawn";
            if (page.id != 5351) {
                // Tile headings start at 91, 331 and 571 (mirrored in right-to-left).
                for (int tile = 0; tile < 3; ++tile) {
                    int x = 240 * tile + 91;
                    int left = lang.rtl ? kPageWidth - x - 60 : x;
                    EXPECT_GT(WhitePixelsIn(cap, left, 118, left + 60, 140), 5) << "tile " << tile;
                }
            }
        }
    }
}

// Each page decides its logo when it is made: the branding file first.
TEST_F(PageLook, PageLogoFollowsTheBrandingFile)
{
    wchar_t data[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, data);
    std::wstring folder = std::wstring(data) + L"\\Recovery";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring file = folder + L"\\_Branding";
    struct Case {
        const wchar_t* brand;  // null: no branding file
        COLORREF logo;         // the logo's fill at its centre's left
    } cases[] = {{L"Velora", RGB(120, 40, 160)}, {nullptr, RGB(200, 40, 40)}};
    for (const Case& c : cases) {
        DeleteFileW(file.c_str());
        if (c.brand)
            WritePrivateProfileStringW(L"ZQ_Branding", L"Brand", c.brand, file.c_str());
        CTestHost& host = OpenHost(FALSE);
        ASSERT_EQ(S_OK, host.GoToPage(5351, TRUE));
        Pump(100);
        Capture cap = CaptureWindow(host.Current()->GetSafeHwnd());
        COLORREF px = cap.At(42 + 4, 25 + 24);
        EXPECT_NEAR(GetRValue(c.logo), GetRValue(px), 8) << (c.brand ? "Velora" : "none");
        EXPECT_NEAR(GetGValue(c.logo), GetGValue(px), 8);
        EXPECT_NEAR(GetBValue(c.logo), GetBValue(px), 8);
    }
    DeleteFileW(file.c_str());
}

TEST_F(PageLook, NavigationRowEndsAt765MirroredInRightToLeft)
{
    struct Lang {
        const wchar_t* code;
        BOOL rtl;
    } langs[] = {{L"ENU", FALSE}, {L"XID", FALSE}, {L"HEB", TRUE}};
    for (const Lang& lang : langs) {
        SCOPED_TRACE(lang.code);
        UseLanguage(lang.code);
        CTestHost& host = OpenHost(lang.rtl);
        ASSERT_EQ(S_OK, host.GoToPage(5351, TRUE));
        CWizardPage* p = host.Current();
        CRect page = ScreenRect(p);
        CRect back = ScreenRect(&p->m_btnBack), next = ScreenRect(&p->m_btnNext), cancel = ScreenRect(&p->m_btnCancel);
        EXPECT_EQ(back.Width(), next.Width());
        EXPECT_EQ(back.Width(), cancel.Width());
        EXPECT_EQ(526, cancel.top - page.top);
        if (!lang.rtl) {
            EXPECT_EQ(kNavRight, cancel.right - page.left);
            EXPECT_EQ(6, next.left - back.right);
            EXPECT_EQ(6, cancel.left - next.right);
        } else {
            EXPECT_EQ(kNavRight, page.right - cancel.left);
            EXPECT_EQ(6, back.left - next.right);
            EXPECT_EQ(6, next.left - cancel.right);
        }
        // The faces follow the direction: the mirrored strip draws frame 3 - state.
        EXPECT_EQ(lang.rtl ? 3 : 0, p->m_btnNext.GetFrameIndex());
    }
}

TEST_F(PageLook, NextAndBackFollowTheTableAndTheHistory)
{
    CTestHost& host = OpenHost(FALSE);
    // 5351's Next comes from the table; 5352 goes back by the table or,
    // without a target there, to where the history says it came from.
    int next = FlowPageId(5351, PFC_NEXT);
    ASSERT_NE(PAGE_NONE, next);
    ASSERT_EQ(S_OK, host.GoToPage(5351, TRUE));
    host.Current()->OnBnClickedNext();
    ASSERT_EQ(next, host.Current()->m_nPageId);
    int back = FlowPageId(next, PFC_BACK);
    host.Current()->OnBnClickedBack();
    EXPECT_EQ(back != PAGE_NONE ? back : 5351, host.Current()->m_nPageId);
    // A page with no row: Next does nothing, Back with an empty history does nothing.
    CTestHost& bare = OpenHost(FALSE);
    bare.m_factory = [](UINT id) -> CWizardPage* { return id == 4242 ? new CPlaceholderPage<5351> : nullptr; };
    ASSERT_EQ(S_OK, bare.GoToPage(4242, FALSE));
    CWizardPage* p = bare.Current();
    p->m_nPageId = 4242;
    p->OnBnClickedNext();
    p->OnBnClickedBack();
    EXPECT_EQ(p, bare.Current());
    p->OnBnClickedCancel();
    EXPECT_EQ(1, bare.m_nCancels) << "Cancel is the host's decision";
}

// ---------------------------------------------------------------- buttons

// A plain page that records the commands its children send.
class CClickPage : public CPlaceholderPage<5351> {
public:
    std::vector<int> m_clicks;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        m_clicks.push_back(LOWORD(wParam));
        return CPlaceholderPage<5351>::OnCommand(wParam, lParam);
    }
};

class PageButtons : public PageLook {
protected:
    void SetUp() override
    {
        PageLook::SetUp();
        CTestHost& host = OpenHost(FALSE);
        host.m_factory = [](UINT) -> CWizardPage* { return new CClickPage; };
        ASSERT_EQ(S_OK, host.GoToPage(5351, TRUE));
        m_page = static_cast<CClickPage*>(host.Current());
    }
    CAlphaButton& Make(CAlphaButton& b, DWORD style, int id, int y, DWORD extra = 0)
    {
        b.Create(L"Option", WS_CHILD | WS_VISIBLE | style | extra, CRect(200, y, 200, y), m_page, id);
        return b;
    }
    void Click(CAlphaButton& b)
    {
        b.SendMessage(BM_CLICK);
        Pump(30);
    }
    CClickPage* m_page = nullptr;
};

TEST_F(PageButtons, AutoRadioGroupChecksOneAndClicksEachTime)
{
    CAlphaButton radios[3];
    for (int i = 0; i < 3; ++i)
        Make(radios[i], BS_AUTORADIOBUTTON, 3001 + i, 300 + 20 * i, i == 0 ? WS_GROUP : 0);
    CAlphaButton after;
    Make(after, BS_AUTORADIOBUTTON, 3010, 380, WS_GROUP);
    after.SendMessage(BM_SETCHECK, 1);
    struct Step {
        int click;
        int checks[3];
    } steps[] = {{1, {0, 1, 0}}, {1, {0, 1, 0}}, {0, {1, 0, 0}}, {2, {0, 0, 1}}};
    for (const Step& s : steps) {
        m_page->m_clicks.clear();
        Click(radios[s.click]);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(s.checks[i], radios[i].SendMessage(BM_GETCHECK)) << "after " << s.click << " radio " << i;
        EXPECT_EQ(std::vector<int>{3001 + s.click}, m_page->m_clicks);
    }
    EXPECT_EQ(1, after.SendMessage(BM_GETCHECK)) << "another group is left alone";
    EXPECT_EQ(16, radios[0].GetFrameWidth()) << "radio strips have 8 frames";
}

TEST_F(PageButtons, CheckBoxTogglesPushIgnoresCheckDefPushIsPush)
{
    CAlphaButton check, push, defpush;
    Make(check, BS_CHECKBOX, 3020, 300);
    Make(push, BS_PUSHBUTTON, 3021, 330);
    Make(defpush, BS_DEFPUSHBUTTON, 3022, 360);
    for (int expected : {1, 0, 1}) {
        Click(check);
        EXPECT_EQ(expected, check.SendMessage(BM_GETCHECK));
    }
    push.SendMessage(BM_SETCHECK, 1);
    EXPECT_EQ(0, push.SendMessage(BM_GETCHECK));
    EXPECT_FALSE(push.IsToggle());
    EXPECT_FALSE(defpush.IsToggle());
    m_page->m_clicks.clear();
    Click(push);
    Click(defpush);
    EXPECT_EQ((std::vector<int>{3021, 3022}), m_page->m_clicks);
}

TEST_F(PageButtons, PressMoveOffReleaseSendsNothing)
{
    CAlphaButton push;
    Make(push, BS_PUSHBUTTON, 3030, 300);
    m_page->m_clicks.clear();
    push.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(ABS_PRESSED, push.GetState());
    push.SendMessage(WM_MOUSELEAVE);
    push.SendMessage(WM_LBUTTONUP, 0, 0);
    Pump(30);
    EXPECT_TRUE(m_page->m_clicks.empty());
    EXPECT_EQ(ABS_NORMAL, push.GetState());
    push.EnableButton(FALSE);
    EXPECT_EQ(ABS_DISABLED, push.GetState());
    EXPECT_FALSE(push.IsWindowEnabled());
    push.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(ABS_DISABLED, push.GetState()) << "leaving keeps a disabled button disabled";
    push.EnableButton(TRUE);
    EXPECT_EQ(ABS_NORMAL, push.GetState());
}

TEST_F(PageButtons, FaceLoadedAfterRightToLeftStaysMirrored)
{
    CAlphaButton push;
    Make(push, BS_PUSHBUTTON, 3040, 300);
    push.LoadFaceImage(L"Image\\btn.png", TRUE);
    push.SetRTL(TRUE);
    push.SetRTL(TRUE);
    EXPECT_EQ(3, push.GetFrameIndex());
    push.LoadFaceImage(L"Image\\btn_contact.png", TRUE);
    EXPECT_EQ(3, push.GetFrameIndex()) << "new face mirrored like the old one";
    Pump(50);
    // The face's mark sits at its leading edge: at the right when mirrored.
    push.SetWindowPos(nullptr, 0, 0, 100, 26, SWP_NOMOVE | SWP_NOZORDER);
    push.SetWindowText(L"");
    push.Invalidate();
    Pump(50);
    Capture cap = CaptureWindow(push.GetSafeHwnd());
    EXPECT_GT(GetRValue(cap.At(100 - 5, 13)), GetRValue(cap.At(4, 13))) << "mark on the right";
    push.SetRTL(FALSE);
    EXPECT_EQ(0, push.GetFrameIndex());
    push.Invalidate();
    Pump(50);
    cap = CaptureWindow(push.GetSafeHwnd());
    EXPECT_GT(GetRValue(cap.At(4, 13)), GetRValue(cap.At(100 - 5, 13))) << "mark on the left";
    // Check boxes never mirror their face; the bases still follow the direction.
    CAlphaButton check;
    Make(check, BS_CHECKBOX, 3041, 340);
    check.SetRTL(TRUE);
    check.SendMessage(BM_SETCHECK, 1);
    EXPECT_EQ(4, check.GetFrameIndex());
}

TEST_F(PageButtons, EnterAndEscapeDoNothingSpaceClicksTheFocusedButton)
{
    CTestHost& host = *m_host;
    CWizardPage* p = host.Current();
    for (UINT vk : {VK_RETURN, VK_ESCAPE}) {
        p->m_btnNext.SetFocus();
        p->m_btnNext.PostMessage(WM_KEYDOWN, vk, 0);
        p->m_btnNext.PostMessage(WM_KEYUP, vk, 0xC0000000);
        Pump(100);
        EXPECT_EQ(p, host.Current()) << vk;
        EXPECT_TRUE(p->IsWindowVisible());
        EXPECT_TRUE(host.IsWindowVisible());
    }
    EXPECT_EQ(0, host.m_nCancels);
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == p->GetSafeHwnd() || ::IsChild(p->GetSafeHwnd(), focus)) << "focus stays in the page";
    m_page->m_clicks.clear();
    p->m_btnCancel.SetFocus();
    p->m_btnCancel.PostMessage(WM_KEYDOWN, VK_SPACE, 0);
    p->m_btnCancel.PostMessage(WM_KEYUP, VK_SPACE, 0xC0000000);
    Pump(100);
    EXPECT_EQ(1, host.m_nCancels) << "space on the focused Cancel";
}

// ---------------------------------------------------------------- statics and layout

TEST_F(PageButtons, AlphaStaticIsTransparentOverTheBackground)
{
    CAlphaStatic label;
    label.Create(L"Ab", WS_CHILD | WS_VISIBLE, CRect(300, 300, 600, 330), m_page, 3050);
    m_page->SendMessage(WM_SETFOCUS);
    m_page->Invalidate();
    Pump(100);
    CUiDriver::Screenshot(m_page->GetSafeHwnd(), (Artefacts() + L"alpha-static.png").c_str());
    Capture cap = CaptureWindow(m_page->GetSafeHwnd());
    // The generic layout put it at 168, 500 wide. Beyond the text the
    // static shows what the page shows beside it.
    ASSERT_EQ(168, RectInParent(&label).left);
    EXPECT_EQ(cap.At(700, 320), cap.At(600, 320));
    EXPECT_NE(RGB(0, 0, 0), cap.At(600, 320));
    EXPECT_GT(WhitePixelsIn(cap, 168, 300, 200, 330), 3) << "the text is white";
}

TEST_F(PageButtons, AutoWidthMeasuresWithTheControlsFont)
{
    CAlphaStatic label;
    label.Create(L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), m_page, 3060);
    CFont big;
    big.CreatePointFont(240, L"Tahoma");
    label.SetFont(&big);
    m_page->AddControlLayout(3060, 0, 250, 0, 280, 5056, 1);
    m_page->LayoutControls();
    CString text;
    label.GetWindowText(text);
    CClientDC dc(&label);
    CFont* old = dc.SelectObject(&big);
    CSize size = dc.GetTextExtent(text);
    dc.SelectObject(old);
    CRect rc = RectInParent(&label);
    EXPECT_EQ(115, rc.left);
    EXPECT_EQ(250, rc.top);
    EXPECT_EQ(size.cx + 10, rc.Width());
    EXPECT_EQ(30, rc.Height());
    m_page->m_vecLayout.clear();
}

TEST_F(PageButtons, AutoSizeFitsTheTextInTheControlsOwnFontAndKeepsTheText)
{
    CAlphaStatic label;
    EXPECT_EQ(0, label.SetStaticText(L"early")) << "no window yet";
    label.Create(L"Word", WS_CHILD | WS_VISIBLE, CRect(10, 300, 400, 340), m_page, 3080);
    CFont big;
    big.CreatePointFont(200, L"Tahoma");
    label.SetFont(&big);
    struct Case {
        const char* name;
        LPCWSTR arg;
        const wchar_t* measured;
    } cases[] = {
        {"empty text: the window's own", L"", L"Word"},
        {"null: the window's own", nullptr, L"Word"},
        {"a sample text", L"000 %", L"000 %"},
        {"a string id", MAKEINTRESOURCEW(5056), nullptr},
    };
    for (const Case& c : cases) {
        SetWindowTextAutoSize(&label, c.arg);
        CString measured = c.measured ? CString(c.measured) : LoadFrameString(5056);
        CClientDC dc(&label);
        CFont* old = dc.SelectObject(&big);
        CSize size = dc.GetTextExtent(measured);
        dc.SelectObject(old);
        CRect rc = RectInParent(&label);
        EXPECT_EQ(size.cx, rc.Width()) << c.name;
        EXPECT_EQ(size.cy, rc.Height()) << c.name;
        EXPECT_EQ(10, rc.left) << c.name;
        CString text;
        label.GetWindowText(text);
        EXPECT_STREQ(L"Word", text.GetString()) << c.name;
    }
    EXPECT_EQ(1, label.SetStaticText(L"Later"));
}

TEST_F(PageButtons, HoverUnderlinesLinksAndLeavingEndsIt)
{
    CAlphaButton link;
    Make(link, BS_PUSHBUTTON, 3090, 300);
    link.LoadFaceImage(L"Image\\btn_focusbar.png", TRUE);
    link.SetLinkStyle(TRUE);
    Pump(30);
    CRect rc;
    link.GetWindowRect(&rc);
    SetCursorPos(rc.left + 3, rc.top + 3);
    link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(ABS_HOVER, link.GetState());
    link.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(ABS_NORMAL, link.GetState());
    SetCursorPos(0, 0);
    link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(ABS_NORMAL, link.GetState()) << "the cursor is elsewhere";
}

TEST_F(PageButtons, GenericLayoutKeepsNavigationAndTheFixedChild)
{
    CAlphaButton other, fixed;
    Make(other, BS_PUSHBUTTON, 3070, 300);
    Make(fixed, BS_PUSHBUTTON, 1330 + 0, 330);
    CRect nextBefore = RectInParent(&m_page->m_btnNext);
    m_page->LayoutControls();
    CRect rcOther = RectInParent(&other);
    EXPECT_EQ(168, rcOther.left);
    EXPECT_EQ(500, rcOther.Width());
    EXPECT_EQ(300, rcOther.top);
    EXPECT_EQ(nextBefore, RectInParent(&m_page->m_btnNext));
}

// ---------------------------------------------------------------- main page

// A welcome page with one tile of four rows whose arrows fold out the panel.
class CLinkPage : public CPlaceholderMainPage<6000> {
public:
    static const int kRows = 4;
    LinkRow m_rows[kRows] = {{4001, 7005, 7016}, {4002, 7006, 7008}, {4003, 7007, 7010}, {4004, 7009, 0}};
    CAlphaButton m_arrows[kRows];
    CAlphaButton m_links[kRows];
    CStartPanel m_panel;
    std::vector<int> m_commands;

protected:
    BOOL OnInitDialog() override
    {
        BOOL result = CPlaceholderMainPage<6000>::OnInitDialog();
        CreateLinkList(0, kRows, m_arrows, m_links, &m_panel, m_rows);
        return result;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        int id = LOWORD(wParam);
        m_commands.push_back(id);
        for (int r = 0; r < kRows; ++r)
            if (m_rows[r].arrowId == id)
                UpdateLinkList(0, r, kRows, m_arrows, m_links, &m_panel, m_rows);
        return CPlaceholderMainPage<6000>::OnCommand(wParam, lParam);
    }
};

class MainPageLinks : public PageLook {
protected:
    void SetUp() override
    {
        PageLook::SetUp();
        CTestHost& host = OpenHost(FALSE);
        host.m_factory = [](UINT) -> CWizardPage* { return new CLinkPage; };
        ASSERT_EQ(S_OK, host.GoToPage(6000, TRUE));
        m_page = static_cast<CLinkPage*>(host.Current());
        for (int r = 0; r < CLinkPage::kRows; ++r)
            m_plainTops[r] = RectInParent(&m_page->m_links[r]).top;
    }
    void ClickArrow(int row)
    {
        m_page->m_arrows[row].SendMessage(BM_CLICK);
        Pump(50);
    }
    int Top(CWnd& w) { return RectInParent(&w).top; }
    CLinkPage* m_page = nullptr;
    int m_plainTops[CLinkPage::kRows] = {};
};

TEST_F(MainPageLinks, RowsStackUnderTheTallestHeadingAndTheContactEndsAt749)
{
    EXPECT_EQ(m_page->m_nHeadingHeight + 132, m_page->m_nLinkListTop);
    EXPECT_EQ(m_page->m_nLinkListTop, m_plainTops[0]);
    for (int r = 1; r < CLinkPage::kRows; ++r)
        EXPECT_EQ(RectInParent(&m_page->m_links[r - 1]).bottom + 12, m_plainTops[r]) << r;
    CRect link = RectInParent(&m_page->m_links[0]);
    EXPECT_EQ(86, link.left);
    EXPECT_EQ(174, link.Width());
    CRect arrow = RectInParent(&m_page->m_arrows[0]);
    EXPECT_EQ(64, arrow.left);
    EXPECT_EQ(link.top + 2, arrow.top);
    EXPECT_EQ(749, RectInParent(&m_page->m_btnContact).right);
    EXPECT_EQ(526, RectInParent(&m_page->m_btnContact).top);
    EXPECT_FALSE(m_page->m_btnNext.IsWindowVisible());
    EXPECT_FALSE(m_page->m_panel.IsWindowVisible());
}

TEST_F(MainPageLinks, UnfoldMoveAndFoldThePanel)
{
    ClickArrow(1);
    ASSERT_EQ(1, m_page->m_arrows[1].SendMessage(BM_GETCHECK));
    CRect panel = RectInParent(&m_page->m_panel);
    CRect link1 = RectInParent(&m_page->m_links[1]);
    EXPECT_TRUE(m_page->m_panel.IsWindowVisible());
    EXPECT_EQ(link1.left, panel.left);
    EXPECT_EQ(link1.bottom + 5, panel.top);
    EXPECT_EQ(m_plainTops[0], Top(m_page->m_links[0]));
    for (int r = 2; r < CLinkPage::kRows; ++r) {
        EXPECT_EQ(m_plainTops[r] + panel.Height() + 5, Top(m_page->m_links[r])) << r;
        EXPECT_EQ(m_plainTops[r] + panel.Height() + 7, Top(m_page->m_arrows[r])) << r;
    }
    EXPECT_EQ(7006, m_page->m_panel.m_nCommandId);

    ClickArrow(2);
    EXPECT_EQ(0, m_page->m_arrows[1].SendMessage(BM_GETCHECK)) << "one row of a tile is unfolded";
    EXPECT_EQ(1, m_page->m_arrows[2].SendMessage(BM_GETCHECK));
    panel = RectInParent(&m_page->m_panel);
    EXPECT_EQ(RectInParent(&m_page->m_links[2]).bottom + 5, panel.top);
    EXPECT_EQ(m_plainTops[1], Top(m_page->m_links[1]));
    EXPECT_EQ(m_plainTops[3] + panel.Height() + 5, Top(m_page->m_links[3]));

    ClickArrow(2);
    EXPECT_EQ(0, m_page->m_arrows[2].SendMessage(BM_GETCHECK));
    EXPECT_FALSE(m_page->m_panel.IsWindowVisible());
    for (int r = 0; r < CLinkPage::kRows; ++r)
        EXPECT_EQ(m_plainTops[r], Top(m_page->m_links[r])) << r;
}

TEST_F(MainPageLinks, PanelSizesToItsTextAndStartActsAsTheLink)
{
    ClickArrow(0);
    CFont font;
    CreateFrameFont(font, 9004);
    CString text = LoadFrameString(7016);
    CClientDC dc(&m_page->m_panel);
    CFont* old = dc.SelectObject(&font);
    CRect calc(0, 0, 173 - 10, 79 - 10);
    dc.DrawText(text, &calc, DT_CALCRECT | DT_WORDBREAK);
    dc.SelectObject(old);
    CRect panel = RectInParent(&m_page->m_panel);
    EXPECT_EQ(173, panel.Width());
    EXPECT_EQ(calc.Height() + 35, panel.Height());
    CRect start = RectInParent(&m_page->m_panel.m_btnStart);
    EXPECT_EQ(107, start.left);
    EXPECT_EQ(calc.Height() + 10, start.top);
    CUiDriver::Screenshot(m_page->GetSafeHwnd(), (Artefacts() + L"os-welcome-unfolded-ENU.png").c_str());
    m_page->m_commands.clear();
    m_page->m_panel.m_btnStart.SendMessage(BM_CLICK);
    Pump(50);
    EXPECT_EQ(std::vector<int>{7005}, m_page->m_commands);
}

TEST_F(MainPageLinks, ArrowKeysAreSwallowed)
{
    for (UINT vk : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN}) {
        MSG msg = {m_page->m_links[0].GetSafeHwnd(), WM_KEYDOWN, vk, 0, 0, {0, 0}};
        EXPECT_TRUE(m_page->PreTranslateMessage(&msg)) << vk;
    }
    // Moving between rows with the arrow keys would otherwise move the focus.
    HWND focus = m_page->m_links[0].GetSafeHwnd();
    ::SetFocus(focus);
    m_page->m_links[0].PostMessage(WM_KEYDOWN, VK_DOWN, 0);
    Pump(50);
    EXPECT_EQ(focus, ::GetFocus());
}

// ---------------------------------------------------------------- objects

// Wine does not count objects for GetGuiResources; its handle table answers
// by index, so the live objects can be counted there.
DWORD LiveGdiObjects()
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n)
        return n;
    for (ULONG_PTR i = 1; i < 0x10000; ++i)
        n += GetObjectType(reinterpret_cast<HGDIOBJ>(i)) ? 1 : 0;
    return n;
}

BOOL CALLBACK CountWindow(HWND h, LPARAM counter)
{
    ++*reinterpret_cast<DWORD*>(counter);
    EnumChildWindows(h, CountWindow, counter);
    return TRUE;
}

DWORD LiveUserObjects()
{
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (n)
        return n;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

TEST_F(PageLook, HundredVisitsLeaveTheObjectCounts)
{
    CTestHost& host = OpenHost(FALSE);
    // Every page is created on its first visit; the counting starts after.
    for (UINT id : {6000u, 5351u, 6000u}) {
        ASSERT_EQ(S_OK, host.GoToPage(id, TRUE));
        host.Current()->UpdateWindow();
    }
    Pump(100);
    DWORD gdi = LiveGdiObjects(), user = LiveUserObjects();
    ASSERT_GT(gdi, 0u);
    for (int i = 0; i < 100; ++i) {
        host.GoToPage(5351, TRUE);
        host.Current()->UpdateWindow();
        host.GoToPage(6000, TRUE);
        host.Current()->UpdateWindow();
    }
    Pump(100);
    EXPECT_EQ(gdi, LiveGdiObjects());
    EXPECT_EQ(user, LiveUserObjects());
    // Pages made and destroyed free their fonts, DCs and bitmaps too.
    for (int i = 0; i < 20; ++i) {
        std::unique_ptr<CWizardPage> page(CRevantDlg::NewPage(6000));
        page->m_pHost = &host;
        page->Create(&host);
        page->DestroyWindow();
    }
    Pump(50);
    EXPECT_EQ(gdi, LiveGdiObjects());
}

// ---------------------------------------------------------------- waiting-disc dialog

// Stands in for the burning-engine client: a blank disc in the simulated
// PC's first drive is the awaited medium.
class CSimPcBlankDisc : public IMediaReadyProbe {
public:
    HRESULT IsMediaReady() override
    {
        ++m_nPolls;
        CSimPc pc(L"PageLookTest");
        SimPcState state;
        if (!pc.Open() || FAILED(pc.Read(state)) || state.opticals.empty() || !state.opticals[0].IsReady())
            return E_FAIL;
        SimDisc* disc = state.FindDisc(state.opticals[0].disc);
        return disc && disc->blank ? S_OK : E_FAIL;
    }
    int m_nPolls = 0;
};

// Puts a new disc into the first drive, pushing out what is there.
void InsertDisc(bool blank)
{
    CSimPc pc(L"PageLookTest");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& state) -> HRESULT {
        SimOptical& drive = state.opticals[0];
        if (!drive.disc.empty()) {
            HRESULT hr = pc.EjectDisc(state, drive);
            if (FAILED(hr))
                return hr;
        }
        SimDisc disc;
        disc.id = state.NewId(L"disc");
        disc.blank = blank;
        disc.capacity = disc.freeSectors = 2298496;
        CreateDirectoryW((pc.Root() + L"\\discs").c_str(), nullptr);
        CreateDirectoryW(pc.DiscFolder(disc.id).c_str(), nullptr);
        state.discs.push_back(disc);
        return pc.InsertDisc(state, drive, disc.id);
    }));
}

void EjectDisc()
{
    CSimPc pc(L"PageLookTest");
    ASSERT_TRUE(pc.Open());
    ASSERT_EQ(S_OK, pc.Update([&](SimPcState& state) -> HRESULT {
        SimOptical& drive = state.opticals[0];
        drive.queue.clear();
        return drive.disc.empty() ? S_OK : pc.EjectDisc(state, drive);
    }));
}

TEST_F(PageLook, WaitingDiscDialogEndsWithEachResult)
{
    if (!CSimPc(L"PageLookTest").Open())
        GTEST_SKIP() << "needs a simulated PC";
    struct Action {
        DWORD atMs;
        enum { BLANK, WRITTEN, CANCEL, OK_COMMAND } what;
    };
    struct Case {
        const char* name;
        bool blankAtStart;
        std::vector<Action> actions;
        INT_PTR result;
        DWORD minMs;
    } cases[] = {
        {"blank disc already in: first tick", true, {}, WAITDISC_READY, 900},
        {"written disc, then a blank one", false, {{300, Action::WRITTEN}, {2300, Action::BLANK}}, WAITDISC_READY, 2300},
        {"cancel ends at the next tick even with a disc in", false, {{200, Action::CANCEL}, {300, Action::BLANK}},
         WAITDISC_CANCELLED, 900},
        {"the OK command", false, {{300, Action::OK_COMMAND}}, WAITDISC_READY, 250},
    };
    for (const Case& c : cases) {
        EjectDisc();
        if (c.blankAtStart)
            InsertDisc(true);
        CSimPcBlankDisc probe;
        CWaitingDiscDlg dlg(nullptr, L"Please insert a blank disc.", 4);
        dlg.m_bBurnMode = TRUE;
        dlg.m_pMediaProbe = &probe;
        DWORD threadId = GetCurrentThreadId();
        std::thread actor([&] {
            HWND box = nullptr;
            CUiDriver::WaitFor([&] {
                box = CUiDriver::WaitForWindow(GetCurrentProcessId(), L"#32770", nullptr, 50);
                return box != nullptr && GetWindowThreadProcessId(box, nullptr) == threadId;
            }, 10000);
            DWORD start = GetTickCount();
            for (const Action& a : c.actions) {
                while (GetTickCount() - start < a.atMs)
                    Sleep(10);
                if (a.what == Action::BLANK || a.what == Action::WRITTEN)
                    InsertDisc(a.what == Action::BLANK);
                else
                    PostMessageW(box, WM_COMMAND, a.what == Action::CANCEL ? IDCANCEL : IDOK, 0);
            }
        });
        DWORD start = GetTickCount();
        INT_PTR result = dlg.DoModal();
        DWORD took = GetTickCount() - start;
        actor.join();
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_GE(took, c.minMs) << c.name;
        if (c.actions.empty() || c.actions.back().what != Action::OK_COMMAND)
            EXPECT_EQ(0u, dlg.m_nTimerId) << c.name << ": the timer ended it";
    }
    EjectDisc();
}

// The backup thread shows the dialog for a blank disc of a backup set.
TEST_F(PageLook, WaitingDiscDialogOnAWorkerThread)
{
    if (!CSimPc(L"PageLookTest").Open())
        GTEST_SKIP() << "needs a simulated PC";
    EjectDisc();
    std::atomic<INT_PTR> result{0};
    CSimPcBlankDisc probe;
    std::thread worker([&] {
        CWaitingDiscDlg dlg(nullptr, L"Please insert a blank disc.", 4);
        dlg.m_bBurnMode = TRUE;
        dlg.m_pMediaProbe = &probe;
        result = dlg.DoModal();
    });
    Sleep(1500);
    EXPECT_EQ(0, result.load()) << "still waiting without a disc";
    InsertDisc(true);
    worker.join();
    EXPECT_EQ(WAITDISC_READY, result.load());
    EXPECT_GE(probe.m_nPolls, 2);
    EjectDisc();
}

TEST_F(PageLook, WaitingDiscDialogShowsItsMessageAndAnimation)
{
    CWaitingDiscDlg dlg(nullptr, L"Insert the disc", 4);
    dlg.m_bBurnMode = FALSE;
    std::wstring text;
    BOOL playing = FALSE;
    std::thread actor([&] {
        HWND box = CUiDriver::WaitForWindow(GetCurrentProcessId(), L"#32770", nullptr, 10000);
        text = CUiDriver::Text(box, 1359);
        Sleep(300);
        playing = dlg.m_bAnimPlaying;
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(WAITDISC_CANCELLED, dlg.DoModal()) << "without burn mode only Cancel ends it";
    actor.join();
    EXPECT_EQ(L"Insert the disc", text);
    EXPECT_TRUE(playing) << "the animation resource opened and plays";
    EXPECT_FALSE(dlg.m_bAnimPlaying) << "closed with the dialog";
}

} // namespace
