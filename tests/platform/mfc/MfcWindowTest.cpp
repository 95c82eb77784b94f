// Windows, message tables, dialogs and loops of the class library.
#include <afxcmn.h>
#include "PumpMessages.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "MfcTestIds.h"

namespace {

// What the handlers saw, in order.
std::vector<std::wstring> g_log;
void Log(const std::wstring& s) { g_log.push_back(s); }

void FlushQueue() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// ---- three levels of message tables ----

const UINT WM_APP_BASEONLY = WM_APP + 1;
const UINT WM_APP_OVERRIDDEN = WM_APP + 2;
const UINT WM_APP_MIDDLE = WM_APP + 3;
const UINT WM_APP_NOBODY = WM_APP + 4;
const UINT ID_CMD_LOW = 500, ID_CMD_HIGH = 510;

class CLevel1 : public CWnd {
public:
    afx_msg LRESULT OnBaseOnly(WPARAM, LPARAM) { Log(L"1:baseonly"); return 11; }
    afx_msg LRESULT OnOverridden1(WPARAM, LPARAM) { Log(L"1:overridden"); return 12; }
    afx_msg void OnCmd() { Log(L"1:cmd"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CLevel1, CWnd)
    ON_MESSAGE(WM_APP_BASEONLY, OnBaseOnly)
    ON_MESSAGE(WM_APP_OVERRIDDEN, OnOverridden1)
    ON_COMMAND(ID_CMD_LOW, OnCmd)
END_MESSAGE_MAP()

class CLevel2 : public CLevel1 {
public:
    afx_msg LRESULT OnMiddle(WPARAM, LPARAM) { Log(L"2:middle"); return 23; }
    afx_msg LRESULT OnOverridden2(WPARAM, LPARAM) { Log(L"2:overridden"); return 22; }
    afx_msg void OnRange(UINT id) { Log(L"2:range " + std::to_wstring(id)); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CLevel2, CLevel1)
    ON_MESSAGE(WM_APP_MIDDLE, OnMiddle)
    ON_MESSAGE(WM_APP_OVERRIDDEN, OnOverridden2)
    ON_COMMAND_RANGE(ID_CMD_LOW, ID_CMD_HIGH, OnRange)
END_MESSAGE_MAP()

class CLevel3 : public CLevel2 {
public:
    afx_msg LRESULT OnOverridden3(WPARAM, LPARAM) { Log(L"3:overridden"); return 33; }
    afx_msg void OnCmd3() { Log(L"3:cmd"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CLevel3, CLevel2)
    ON_MESSAGE(WM_APP_OVERRIDDEN, OnOverridden3)
    ON_BN_CLICKED(ID_CMD_HIGH, OnCmd3)
END_MESSAGE_MAP()

CRect SmallRect() { return CRect(0, 0, 100, 60); }

TEST(MessageTable, LookupWalksFromTheClassToItsBases) {
    CLevel3 wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0), L"levels", WS_POPUP, SmallRect(), nullptr, 0));
    struct Case {
        UINT message;
        WPARAM wParam;
        LRESULT result;
        const wchar_t* handler;
    } cases[] = {
        {WM_APP_BASEONLY, 0, 11, L"1:baseonly"},
        {WM_APP_MIDDLE, 0, 23, L"2:middle"},
        {WM_APP_OVERRIDDEN, 0, 33, L"3:overridden"},
        {WM_APP_NOBODY, 0, 0, nullptr},
        {WM_COMMAND, ID_CMD_LOW, 1, L"2:range 500"},
        {WM_COMMAND, ID_CMD_LOW + 5, 1, L"2:range 505"},
        {WM_COMMAND, ID_CMD_HIGH, 1, L"3:cmd"},
    };
    for (const Case& c : cases) {
        g_log.clear();
        LRESULT r = wnd.SendMessage(c.message, c.wParam, 0);
        EXPECT_EQ(c.result, r) << "message 0x" << std::hex << c.message << " id " << std::dec << c.wParam;
        if (c.handler) {
            ASSERT_EQ(1u, g_log.size()) << "message 0x" << std::hex << c.message << " id " << std::dec << c.wParam;
            EXPECT_EQ(std::wstring(c.handler), g_log[0]);
        } else {
            EXPECT_TRUE(g_log.empty()) << "unhandled message reached a handler";
        }
    }
    wnd.DestroyWindow();
}

// ---- reflection ----

class CReflectButton : public CButton {
public:
    HBRUSH m_hReturn = nullptr;
    BOOL m_bPassOn = FALSE;
    afx_msg HBRUSH CtlColor(CDC*, UINT nCtlColor) {
        Log(L"child:ctlcolor " + std::to_wstring(nCtlColor));
        return m_hReturn;
    }
    afx_msg BOOL OnClickedEx() {
        Log(L"child:clicked");
        return !m_bPassOn;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CReflectButton, CButton)
    ON_WM_CTLCOLOR_REFLECT()
    ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClickedEx)
END_MESSAGE_MAP()

class CPlainParent : public CWnd {
public:
    afx_msg void OnClicked() { Log(L"parent:clicked"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CPlainParent, CWnd)
    ON_BN_CLICKED(IDC_GO, OnClicked)
END_MESSAGE_MAP()

class CColourParent : public CPlainParent {
public:
    afx_msg HBRUSH OnCtlColor(CDC*, CWnd*, UINT) {
        Log(L"parent:ctlcolor");
        return (HBRUSH)GetStockObject(WHITE_BRUSH);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CColourParent, CPlainParent)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

TEST(Reflection, ControlsHandleTheirOwnNotifications) {
    HBRUSH black = (HBRUSH)GetStockObject(BLACK_BRUSH);
    HBRUSH white = (HBRUSH)GetStockObject(WHITE_BRUSH);
    struct Case {
        const char* name;
        bool parentHandlesColour;
        HBRUSH childBrush;
        BOOL childPassesClickOn;
        HBRUSH expectedBrush; // null: the system's default brush, not ours
        std::vector<std::wstring> log;
    } cases[] = {
        {"child colours itself", false, black, FALSE, black, {L"child:ctlcolor 6", L"child:clicked"}},
        {"child declines the colour", false, nullptr, FALSE, nullptr, {L"child:ctlcolor 6", L"child:clicked"}},
        {"parent handler wins", true, black, FALSE, white, {L"parent:ctlcolor", L"child:clicked"}},
        {"child passes the click on", false, black, TRUE, black,
         {L"child:ctlcolor 6", L"child:clicked", L"parent:clicked"}},
    };
    for (const Case& c : cases) {
        CPlainParent plain;
        CColourParent colour;
        CWnd& parent = c.parentHandlesColour ? static_cast<CWnd&>(colour) : static_cast<CWnd&>(plain);
        ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), L"parent", WS_POPUP, SmallRect(), nullptr, 0)) << c.name;
        CReflectButton button;
        button.m_hReturn = c.childBrush;
        button.m_bPassOn = c.childPassesClickOn;
        ASSERT_TRUE(button.Create(L"Go", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 20), &parent, IDC_GO)) << c.name;
        g_log.clear();
        HDC hdc = GetDC(button.m_hWnd);
        HBRUSH got = (HBRUSH)parent.SendMessage(WM_CTLCOLORSTATIC, (WPARAM)hdc, (LPARAM)button.m_hWnd);
        ReleaseDC(button.m_hWnd, hdc);
        parent.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_GO, BN_CLICKED), (LPARAM)button.m_hWnd);
        if (c.expectedBrush) {
            EXPECT_EQ(c.expectedBrush, got) << c.name;
        } else {
            EXPECT_TRUE(got != black && got != white) << c.name;
        }
        EXPECT_EQ(c.log, g_log) << c.name;
        parent.DestroyWindow();
        EXPECT_EQ(nullptr, button.m_hWnd) << c.name << ": the child went with its parent";
    }
}

TEST(Reflection, OnlyTheParentsOwnObjectReflects)
{
    CPlainParent parent;
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), L"parent", WS_POPUP, SmallRect(), nullptr, 0));
    CReflectButton button;
    button.m_hReturn = (HBRUSH)GetStockObject(BLACK_BRUSH);
    ASSERT_TRUE(button.Create(L"Go", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 20), &parent, IDC_GO));
    // A second object on the same window, not the one the handle map knows.
    CWnd wrapper;
    wrapper.m_hWnd = parent.m_hWnd;
    g_log.clear();
    HDC hdc = GetDC(button.m_hWnd);
    LRESULT r = 0;
    EXPECT_FALSE(wrapper.OnWndMsg(WM_CTLCOLORSTATIC, (WPARAM)hdc, (LPARAM)button.m_hWnd, &r));
    EXPECT_TRUE(g_log.empty()) << "the child was not asked";
    EXPECT_TRUE(parent.OnWndMsg(WM_CTLCOLORSTATIC, (WPARAM)hdc, (LPARAM)button.m_hWnd, &r));
    EXPECT_EQ(1u, g_log.size()) << "the parent's own object reflects";
    ReleaseDC(button.m_hWnd, hdc);
    wrapper.m_hWnd = nullptr;
    parent.DestroyWindow();
}

// ---- creation, subclassing and handle maps ----

class CSizeRecorder : public CWnd {
public:
    CRect m_rcAtPreSubclass;
    HWND m_hWndAtPreSubclass = nullptr;
    int m_nPreSubclass = 0;
    void PreSubclassWindow() override {
        ++m_nPreSubclass;
        m_hWndAtPreSubclass = m_hWnd;
        GetWindowRect(&m_rcAtPreSubclass);
        // Too early: the creation size is applied after this.
        SetWindowPos(nullptr, 0, 0, 200, 200, SWP_NOMOVE | SWP_NOZORDER);
    }
};

TEST(Subclassing, PreSubclassWindowRunsBeforeTheCreationSize) {
    CSizeRecorder wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"BUTTON", L"b", WS_POPUP, CRect(10, 10, 60, 40), nullptr, 0));
    EXPECT_EQ(1, wnd.m_nPreSubclass);
    EXPECT_EQ(wnd.m_hWnd, wnd.m_hWndAtPreSubclass) << "the handle is attached first";
    CRect rc;
    wnd.GetWindowRect(&rc);
    EXPECT_EQ(50, rc.Width()) << "creation size wins over PreSubclassWindow's";
    EXPECT_EQ(30, rc.Height());
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(wnd.m_hWnd));
    wnd.DestroyWindow();

    HWND plain = CreateWindowExW(0, L"BUTTON", L"p", WS_POPUP, 0, 0, 70, 20, nullptr, nullptr, nullptr, nullptr);
    CSizeRecorder sub;
    ASSERT_TRUE(sub.SubclassWindow(plain));
    EXPECT_EQ(1, sub.m_nPreSubclass) << "also on subclassing";
    EXPECT_EQ(plain, sub.m_hWndAtPreSubclass);
    EXPECT_EQ(70, sub.m_rcAtPreSubclass.Width());
    CSizeRecorder second;
    EXPECT_FALSE(second.SubclassWindow(plain)) << "a window has one object";
    EXPECT_EQ(plain, sub.UnsubclassWindow());
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(plain));
    DestroyWindow(plain);
}

TEST(Subclassing, NegativeCreationSizeBecomesZero) {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0), L"n", WS_POPUP, CRect(492, 526, 0, 0), nullptr, 0));
    CRect rc;
    wnd.GetWindowRect(&rc);
    EXPECT_EQ(CRect(492, 526, 492, 526), rc);
}

// A procedure set over ours after subclassing, as a skin or hook manager does.
WNDPROC g_laterSuper = nullptr;
LRESULT CALLBACK LaterSubclassProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return CallWindowProcW(g_laterSuper, h, m, w, l);
}

TEST(Subclassing, UnsubclassKeepsALaterSubclassInPlace) {
    struct Case {
        const char* name;
        bool laterSubclass;
    };
    for (const Case& c : {Case{"ours is current", false}, Case{"a later one is current", true}}) {
        HWND plain = CreateWindowExW(0, L"BUTTON", L"p", WS_POPUP, 0, 0, 70, 20, nullptr, nullptr, nullptr, nullptr);
        WNDPROC system = (WNDPROC)GetWindowLongPtrW(plain, GWLP_WNDPROC);
        CWnd sub;
        ASSERT_TRUE(sub.SubclassWindow(plain)) << c.name;
        if (c.laterSubclass)
            g_laterSuper = (WNDPROC)SetWindowLongPtrW(plain, GWLP_WNDPROC, (LONG_PTR)LaterSubclassProc);
        EXPECT_EQ(plain, sub.UnsubclassWindow()) << c.name;
        WNDPROC now = (WNDPROC)GetWindowLongPtrW(plain, GWLP_WNDPROC);
        EXPECT_EQ(c.laterSubclass ? LaterSubclassProc : system, now) << c.name;
        DestroyWindow(plain);
    }
}

// Destroys itself while it is being shown, before its creation call returns.
class CSelfDestroying : public CWnd {
public:
    afx_msg LRESULT OnShow(WPARAM, LPARAM) {
        ::DestroyWindow(m_hWnd);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSelfDestroying, CWnd)
    ON_MESSAGE(WM_SHOWWINDOW, OnShow)
END_MESSAGE_MAP()

TEST(Subclassing, CreateExFailsWhenTheWindowWentDuringCreation) {
    CSelfDestroying wnd;
    EXPECT_FALSE(wnd.CreateEx(0, AfxRegisterWndClass(0), L"gone", WS_POPUP | WS_VISIBLE, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(nullptr, wnd.m_hWnd);
}

struct ThreadLookup {
    HWND hWnd;
    CWnd* found;
};

DWORD WINAPI LookupOnOtherThread(LPVOID p) {
    auto* t = static_cast<ThreadLookup*>(p);
    t->found = CWnd::FromHandlePermanent(t->hWnd);
    return 0;
}

TEST(HandleMaps, PermanentTemporaryAndDestroyed) {
    CWnd* wnd = new CWnd;
    ASSERT_TRUE(wnd->CreateEx(0, AfxRegisterWndClass(0), L"m", WS_POPUP, SmallRect(), nullptr, 0));
    HWND h = wnd->m_hWnd;

    ThreadLookup lookup = {h, nullptr};
    HANDLE thread = CreateThread(nullptr, 0, LookupOnOtherThread, &lookup, 0, nullptr);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(wnd, lookup.found) << "another thread finds the same object";

    HWND foreign = CreateWindowExW(0, L"STATIC", L"f", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CWnd* temp = CWnd::FromHandle(foreign);
    ASSERT_NE(nullptr, temp);
    EXPECT_EQ(foreign, temp->m_hWnd);
    EXPECT_EQ(temp, CWnd::FromHandle(foreign)) << "one temporary per handle";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign));
    DestroyWindow(foreign);

    EXPECT_TRUE(wnd->DestroyWindow());
    EXPECT_EQ(nullptr, wnd->m_hWnd) << "WM_NCDESTROY detaches";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(h));
    EXPECT_FALSE(wnd->DestroyWindow()) << "a second destroy is harmless";
    delete wnd;

    HWND alive;
    {
        CWnd scoped;
        ASSERT_TRUE(scoped.CreateEx(0, AfxRegisterWndClass(0), L"s", WS_POPUP, SmallRect(), nullptr, 0));
        alive = scoped.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(alive)) << "the window does not outlive its object";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(alive));
}

TEST(Geometry, ScreenToClientOfAMirroredWindowKeepsTheRectangleUpright) {
    struct Case {
        const char* name;
        DWORD exStyle;
    } cases[] = {{"left to right", 0}, {"mirrored", WS_EX_LAYOUTRTL}};
    for (const Case& c : cases) {
        CWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(c.exStyle, AfxRegisterWndClass(0), L"g", WS_POPUP | WS_VISIBLE, CRect(100, 100, 400, 300), nullptr, 0));
        CRect client;
        wnd.GetClientRect(&client);
        CRect rc;
        wnd.GetWindowRect(&rc);
        wnd.ScreenToClient(&rc);
        EXPECT_LT(rc.left, rc.right) << c.name;
        EXPECT_EQ(client.Width(), rc.Width()) << c.name;
        wnd.ClientToScreen(&rc);
        EXPECT_LT(rc.left, rc.right) << c.name;
        wnd.DestroyWindow();
    }
}

TEST(Gdi, PointFontFollowsTheScreenResolution) {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(90, L"Tahoma"));
    LOGFONT lf;
    ASSERT_TRUE(font.GetLogFont(&lf));
    EXPECT_EQ(-MulDiv(90, dpi, 720), lf.lfHeight);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);
    EXPECT_STREQ(L"Tahoma", lf.lfFaceName);

    CClientDC dc(CWnd::GetDesktopWindow());
    CFont* old = dc.SelectObject(&font);
    ASSERT_NE(nullptr, old);
    EXPECT_EQ(&font, dc.GetCurrentFont()) << "the selected object is found as ours";
    dc.SelectObject(old);
}

// ---- dialogs ----

// What a test dialog does once its loop runs.
enum class Action { EndDialog, Quit, Close, None };

class CTestDialog : public CDialog {
public:
    CTestDialog(UINT id, CWnd* pParent) : CDialog(id, pParent) {}
    Action m_action = Action::EndDialog;
    int m_nValue = 0;
    BOOL m_bOwnerEnabledAtInit = TRUE;
    DWORD m_dwInitThread = 0;
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_dwInitThread = GetCurrentThreadId();
        CWnd* owner = GetOwner();
        m_bOwnerEnabledAtInit = owner ? owner->IsWindowEnabled() : TRUE;
        if (m_action != Action::None) SetTimer(1, 20, nullptr);
        return TRUE;
    }
    void OnCancel() override {
        Log(L"dialog:cancel");
        CDialog::OnCancel();
    }
    afx_msg void OnTimer(UINT_PTR) {
        KillTimer(1);
        switch (m_action) {
        case Action::EndDialog: EndDialog(m_nValue); break;
        case Action::Quit: PostQuitMessage(m_nValue); break;
        case Action::Close: PostMessage(WM_CLOSE); break;
        case Action::None: break;
        }
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CTestDialog, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(ModalDialog, EndsOnEndDialogQuitAndClose) {
    struct Case {
        const char* name;
        Action action;
        int value;
        INT_PTR result;
        bool quitReposted;
    } cases[] = {
        {"EndDialog", Action::EndDialog, 42, 42, false},
        {"WM_QUIT", Action::Quit, 7, -1, true},
        {"WM_CLOSE", Action::Close, 0, IDCANCEL, false},
    };
    for (const Case& c : cases) {
        CWnd owner;
        ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP | WS_VISIBLE, SmallRect(), nullptr, 0));
        CTestDialog dlg(IDD_FORM, &owner);
        dlg.m_action = c.action;
        dlg.m_nValue = c.value;
        g_log.clear();
        EXPECT_EQ(c.result, dlg.DoModal()) << c.name;
        EXPECT_FALSE(dlg.m_bOwnerEnabledAtInit) << c.name << ": the owner is disabled while the dialog runs";
        EXPECT_TRUE(owner.IsWindowEnabled()) << c.name << ": and enabled again afterwards";
        EXPECT_EQ(nullptr, dlg.m_hWnd) << c.name << ": the window is gone";
        MSG msg;
        BOOL quit = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EXPECT_EQ(c.quitReposted, quit != FALSE) << c.name;
        if (quit) {
            EXPECT_EQ((WPARAM)c.value, msg.wParam) << c.name << ": the exit code goes on";
        }
        if (c.action == Action::Close) {
            EXPECT_EQ(std::vector<std::wstring>{L"dialog:cancel"}, g_log) << c.name;
        }
        owner.DestroyWindow();
        FlushQueue();
    }
}

TEST(ModalDialog, MissingTemplateFails) {
    CDialog dlg(4242);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

struct WorkerDialog {
    CWnd* owner;
    INT_PTR result = 0;
    DWORD initThread = 0;
    BOOL ownerEnabledAtInit = TRUE;
};

UINT AFX_CDECL RunDialogOnWorker(LPVOID p) {
    auto* w = static_cast<WorkerDialog*>(p);
    CTestDialog dlg(IDD_FORM, w->owner);
    dlg.m_nValue = 77;
    w->result = dlg.DoModal();
    w->initThread = dlg.m_dwInitThread;
    w->ownerEnabledAtInit = dlg.m_bOwnerEnabledAtInit;
    return 0;
}

TEST(ModalDialog, RunsOnAWorkerThreadWithAnOwnerOnThisThread) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP | WS_VISIBLE, SmallRect(), nullptr, 0));
    WorkerDialog w;
    w.owner = &owner;
    CWinThread* thread = AfxBeginThread(RunDialogOnWorker, &w, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, thread);
    thread->m_bAutoDelete = FALSE;
    DWORD threadId = thread->m_nThreadID;
    thread->ResumeThread();
    // This thread keeps pumping: the worker's dialog sends to its owner here.
    EXPECT_TRUE(PumpMessagesUntil([&] { return WaitForSingleObject(thread->m_hThread, 0) == WAIT_OBJECT_0; }, 10000));
    delete thread;
    EXPECT_EQ(77, w.result);
    EXPECT_EQ(threadId, w.initThread) << "the dialog ran on the worker";
    EXPECT_FALSE(w.ownerEnabledAtInit);
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

// ---- pre-translation along the parent chain ----

class CWalkPage : public CDialog {
public:
    CWalkPage() : CDialog(IDD_PAGE) {}
    enum class Keys { Eat, PassOn, DialogNavigation } m_keys = Keys::DialogNavigation;
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN) {
            Log(L"page");
            if (m_keys == Keys::Eat) return TRUE;
            if (m_keys == Keys::PassOn) return FALSE;
        }
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnOK() override {}
    void OnCancel() override {}
};

class CWalkHost : public CDialog {
public:
    CWalkHost() : CDialog(IDD_HOST) {}
    CWalkPage m_page;
    CWalkPage::Keys m_pageKeys = CWalkPage::Keys::DialogNavigation;
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_page.m_keys = m_pageKeys;
        EXPECT_TRUE(m_page.Create(IDD_PAGE, this));
        m_page.ShowWindow(SW_SHOW);
        // The key arrives through the queue, as typed keys do.
        ::PostMessageW(::GetDlgItem(m_page.m_hWnd, IDC_NAME), WM_KEYDOWN, 'A', 1);
        SetTimer(1, 50, nullptr);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN) Log(L"host");
        return CDialog::PreTranslateMessage(pMsg);
    }
    afx_msg void OnTimer(UINT_PTR) {
        KillTimer(1);
        EndDialog(IDOK);
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CWalkHost, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(PreTranslate, WalksFromTheControlUpToTheTopLevelDialog) {
    struct Case {
        const char* name;
        CWalkPage::Keys pageKeys;
        std::vector<std::wstring> log;
    } cases[] = {
        {"page passes the key on: page, then host", CWalkPage::Keys::PassOn, {L"page", L"host"}},
        {"page eats the key: host never sees it", CWalkPage::Keys::Eat, {L"page"}},
        {"the page's dialog navigation takes a control's key", CWalkPage::Keys::DialogNavigation, {L"page"}},
    };
    for (const Case& c : cases) {
        CWalkHost host;
        host.m_pageKeys = c.pageKeys;
        g_log.clear();
        EXPECT_EQ(IDOK, host.DoModal()) << c.name;
        EXPECT_EQ(c.log, g_log) << c.name;
    }
}

TEST(ChildDialog, TakesItsTemplateIdAndTheResourceInstance) {
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), L"p", WS_POPUP, CRect(0, 0, 400, 300), nullptr, 0));
    CWalkPage page;
    ASSERT_TRUE(page.Create(IDD_PAGE, &parent));
    EXPECT_EQ(IDD_PAGE, page.GetDlgCtrlID());
    EXPECT_EQ((HINSTANCE)AfxGetResourceHandle(), (HINSTANCE)GetWindowLongPtrW(page.m_hWnd, GWLP_HINSTANCE));
    EXPECT_EQ(&page, parent.GetDlgItem(IDD_PAGE));
    parent.DestroyWindow();
    EXPECT_EQ(nullptr, page.m_hWnd) << "the page went with its parent";
    EXPECT_FALSE(page.DestroyWindow()) << "and destroying it again is harmless";
}

// ---- data exchange ----

// Answers the message box that is up when the timer fires.
void CALLBACK AnswerActiveBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND box = GetActiveWindow();
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class CFormDialog : public CDialog {
public:
    CFormDialog() : CDialog(IDD_FORM) {}
    CString m_strName = L"initial";
    int m_nCount = 5;
    CStatic m_label;
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Text(pDX, IDC_COUNT, m_nCount);
        DDX_Control(pDX, IDC_LABEL, m_label);
    }
};

TEST(DataExchange, MovesValuesBothWays) {
    CFormDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_FORM));
    CString text;
    dlg.GetDlgItemText(IDC_NAME, text);
    EXPECT_STREQ(L"initial", text) << "OnInitDialog loads the controls";
    EXPECT_EQ(5u, dlg.GetDlgItemInt(IDC_COUNT));
    EXPECT_EQ(dlg.GetDlgItem(IDC_LABEL), &dlg.m_label) << "DDX_Control subclasses";

    struct Case {
        const wchar_t* name;
        const wchar_t* count;
        BOOL ok;
        int expectedCount;
    } cases[] = {
        {L"Ann", L"12", TRUE, 12},
        {L"Bob", L" 7 ", TRUE, 7},
        {L"Cy", L"seven", FALSE, 7},
    };
    for (const Case& c : cases) {
        dlg.SetDlgItemText(IDC_NAME, c.name);
        dlg.SetDlgItemText(IDC_COUNT, c.count);
        // An invalid number shows a box; answer it from a timer.
        if (!c.ok) SetTimer(nullptr, 0, 300, AnswerActiveBox);
        EXPECT_EQ(c.ok, dlg.UpdateData(TRUE)) << CStringA(c.count).GetString();
        EXPECT_EQ(c.expectedCount, dlg.m_nCount) << CStringA(c.count).GetString();
        if (c.ok) {
            EXPECT_STREQ(c.name, dlg.m_strName);
        }
    }
    dlg.DestroyWindow();
}

} // namespace
