// System services, theme wrappers, resources and the accessibility base.
#include "CUIXSystemVersion.h"
#include "CUIXModuleHandle.h"
#include "CUIXMultiMonitor.h"
#include "CUIXCriticalSection.h"
#include "CUIXLockGuard.h"
#include "CUIXWinThemeWrapper.h"
#include "CUIXResourceManager.h"
#include "CUIXAccessible.h"
#include "UixResourceIds.h"
#include <gtest/gtest.h>

namespace {

TEST(SystemVersion, VersionTests) {
    struct Case {
        DWORD platform, major, minor;
        BOOL win95, win9x, nt4, w2k, xp;
    } cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, TRUE, TRUE, FALSE, FALSE, FALSE},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, FALSE, TRUE, FALSE, FALSE, FALSE},
        {VER_PLATFORM_WIN32_NT, 4, 0, FALSE, FALSE, TRUE, FALSE, FALSE},
        {VER_PLATFORM_WIN32_NT, 5, 0, FALSE, FALSE, TRUE, TRUE, FALSE},
        {VER_PLATFORM_WIN32_NT, 5, 1, FALSE, FALSE, TRUE, TRUE, TRUE},
        {VER_PLATFORM_WIN32_NT, 6, 0, FALSE, FALSE, TRUE, TRUE, TRUE},
    };
    for (const Case& c : cases) {
        CUIXSystemVersion v(c.platform, c.major, c.minor);
        EXPECT_EQ(c.win95, v.IsWin95()) << c.major << "." << c.minor;
        EXPECT_EQ(c.win9x, v.IsWin9x()) << c.major << "." << c.minor;
        EXPECT_EQ(c.nt4, v.IsWinNT4OrGreater()) << c.major << "." << c.minor;
        EXPECT_EQ(c.w2k, v.IsWin2KOrGreater()) << c.major << "." << c.minor;
        EXPECT_EQ(c.xp, v.IsWinXPOrGreater()) << c.major << "." << c.minor;
        EXPECT_EQ(c.xp ? 1 : 0, v.IsClearTypeTextQualitySupported());
    }
    EXPECT_EQ(sizeof(OSVERSIONINFOW), UIXSystemVersion()->dwOSVersionInfoSize);
    EXPECT_EQ(VER_PLATFORM_WIN32_NT, UIXSystemVersion()->dwPlatformId);
}

TEST(SystemVersion, CommonControlsVersionFallsBackToFour) {
    EXPECT_EQ(0x40000u, CUIXSystemVersion::ComCtlVersionOf(L"kernel32.dll")) << "no DllGetVersion";
    EXPECT_EQ(0x40000u, CUIXSystemVersion::ComCtlVersionOf(L"no_such_library.dll"));
    EXPECT_GE(CUIXSystemVersion::GetComCtlVersion(), 0x50000u);
    EXPECT_EQ(CUIXSystemVersion::GetComCtlVersion(), CUIXSystemVersion::GetComCtlVersion());
}

TEST(ModuleHandle, FreesOnlyWhatItLoaded) {
    CUIXModuleHandle found;
    ASSERT_TRUE(found.Init(L"kernel32.dll"));
    EXPECT_EQ(CUIXModuleHandle::stateFound, found.GetState());
    EXPECT_TRUE(found.FreeLibrary());
    EXPECT_EQ(CUIXModuleHandle::stateNone, found.GetState());
    EXPECT_NE(nullptr, GetModuleHandleW(L"kernel32.dll")) << "a found module is never freed";

    ASSERT_EQ(nullptr, GetModuleHandleW(L"UixLangFixture.dll"));
    {
        CUIXModuleHandle loaded(L"UixLangFixture.dll");
        EXPECT_EQ(CUIXModuleHandle::stateLoaded, loaded.GetState());
        EXPECT_NE(nullptr, GetModuleHandleW(L"UixLangFixture.dll"));
        FARPROC p = nullptr;
        EXPECT_FALSE(loaded.GetProcAddress(&p, "NoSuchExport"));
        EXPECT_EQ(0u, loaded.GetVersion()) << "no DllGetVersion";
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(L"UixLangFixture.dll")) << "a loaded module is freed once";

    CUIXModuleHandle empty;
    FARPROC sentinel = reinterpret_cast<FARPROC>(1);
    EXPECT_FALSE(empty.GetProcAddress(&sentinel, "Anything"));
    EXPECT_EQ(reinterpret_cast<FARPROC>(1), sentinel) << "untouched without a module";
    EXPECT_EQ(0u, empty.GetVersion());
}

TEST(MultiMonitor, MissingFunctionsGiveTheSingleScreen) {
    CUIXMultiMonitor none(L"kernel32.dll");
    EXPECT_FALSE(none.HasMonitorFunctions());
    CRect work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work, none.GetWorkAreaAtCursor());
    EXPECT_EQ(work, none.GetWorkAreaOfWindow(GetDesktopWindow()));
    EXPECT_EQ(CRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)), none.GetScreenAreaOfPoint(CPoint(5, 5)));

    CUIXMultiMonitor real;
    EXPECT_TRUE(real.HasMonitorFunctions());
    EXPECT_FALSE(real.GetScreenAreaOfPoint(CPoint(1, 1)).IsRectEmpty());
    EXPECT_EQ(work, real.GetWorkAreaOfPoint(CPoint(-100000, -100000))) << "no monitor there";
}

DWORD WINAPI TryTake(LPVOID p) { return TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(p)) ? 1 : 0; }

DWORD TryFromOtherThread(CRITICAL_SECTION* cs) {
    HANDLE h = CreateThread(nullptr, 0, TryTake, cs, 0, nullptr);
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    CloseHandle(h);
    if (code) LeaveCriticalSection(cs); // a thread that ended holding it cannot leave; nobody waits here
    return code;
}

TEST(Locks, GuardHoldsAndDropsTheSection) {
    CUIXCriticalSection cs;
    {
        CUIXLockGuard guard(cs);
        EXPECT_EQ(0u, TryFromOtherThread(cs)) << "held";
        guard.Unlock();
        EXPECT_EQ(1u, TryFromOtherThread(cs)) << "dropped inside the scope";
        guard.Lock();
        EXPECT_EQ(0u, TryFromOtherThread(cs));
    }
    EXPECT_EQ(1u, TryFromOtherThread(cs)) << "left at the end of the scope";
}

TEST(ThemeWrapper, NoThemeMeansFailureValues) {
    CUIXWinThemeWrapper theme;
    EXPECT_FALSE(theme.IsAppThemed()) << "no theme open";
    theme.CloseThemeData();
    EXPECT_EQ(nullptr, theme.GetTheme());
    HTHEME opened = theme.OpenThemeData(nullptr, L"NOSUCHCLASS");
    EXPECT_EQ(nullptr, opened);
    EXPECT_FALSE(theme.IsAppThemed());
    RECT rc = {0, 0, 10, 10};
    EXPECT_TRUE(FAILED(theme.DrawThemeBackground(nullptr, 1, 1, &rc, nullptr)));
    COLORREF clr = 0x123456;
    EXPECT_TRUE(FAILED(theme.GetThemeColor(0, 0, 3801, &clr)));
}

TEST(ResourceManager, StringsComeFromTheModuleThatHoldsThem) {
    CUIXResourceManager rm;
    BOOL error = FALSE;
    EXPECT_EQ(CString(L"Hello"), rm.LoadStringWithError(IDS_UIX_HELLO, &error));
    EXPECT_FALSE(error);
    CString s = L"sentinel";
    error = FALSE;
    s = rm.LoadStringWithError(4777, &error);
    EXPECT_TRUE(error);
    EXPECT_TRUE(s.IsEmpty());
    CString html;
    ASSERT_TRUE(rm.LoadHTML(html, IDR_UIX_HTML));
    EXPECT_EQ(CString(L"<b>hi</b>"), html);
    EXPECT_FALSE(rm.LoadHTML(html, 999));
    EXPECT_EQ(CUIXResourceManager::kDefaultLangId, rm.GetResourcesLangID());
}

TEST(ResourceManager, DialogTemplatesPreferTheExecutable) {
    HMODULE dll = LoadLibraryW(L"UixLangFixture.dll");
    ASSERT_NE(nullptr, dll);
    HINSTANCE saved = AfxGetResourceHandle();
    AfxSetResourceHandle(dll);
    CUIXResourceManager rm;
    struct Case {
        UINT id;
        short cx; // 0: absent
    } cases[] = {{IDD_UIX_BOTH, 111}, {IDD_UIX_DLL_ONLY, 333}, {999, 0}};
    for (const Case& c : cases) {
        LPCDLGTEMPLATE t = rm.LoadDialogTemplate(MAKEINTRESOURCEW(c.id));
        if (!c.cx) {
            EXPECT_EQ(nullptr, t) << c.id;
            continue;
        }
        ASSERT_NE(nullptr, t) << c.id;
        // DIALOGEX: dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx.
        const short* words = reinterpret_cast<const short*>(t);
        EXPECT_EQ(c.cx, words[11]) << c.id;
    }
    CString fromDll;
    EXPECT_TRUE(rm.LoadString(fromDll, IDS_UIX_ONLY_IN_DLL));
    EXPECT_EQ(CString(L"From the library"), fromDll);
    AfxSetResourceHandle(saved);
    FreeLibrary(dll);
}

TEST(ResourceManager, LanguageDetection) {
    EXPECT_EQ(1031, CUIXResourceManager::DetectLanguage(GetModuleHandleW(nullptr))) << "0, 1033 and 1031";
    HMODULE dll = LoadLibraryExW(L"UixLangFixture.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, dll);
    EXPECT_EQ(1033, CUIXResourceManager::DetectLanguage(dll)) << "0 and 1033 only";
    FreeLibrary(dll);
    CUIXResourceManager rm;
    rm.UpdateResourcesLangID();
    EXPECT_EQ(1031, rm.GetResourcesLangID());
    EXPECT_EQ(UIXResourceManager(), UIXResourceManager()) << "one per process";
}

// ---- accessibility ----

VARIANT Var(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

TEST(Accessible, ChildIndexOfVariants) {
    LONG four = 3;
    SHORT two = 7;
    VARIANT i4 = Var(VT_I4);
    i4.lVal = 3;
    VARIANT byRefVariant = Var(VT_BYREF | VT_VARIANT);
    byRefVariant.pvarVal = &i4;
    VARIANT chain = Var(VT_BYREF | VT_VARIANT);
    chain.pvarVal = &byRefVariant;
    VARIANT bstr = Var(VT_BSTR);
    VARIANT refBstr = Var(VT_BYREF | VT_VARIANT);
    refBstr.pvarVal = &bstr;
    VARIANT self = Var(VT_BYREF | VT_VARIANT);
    self.pvarVal = &self;
    VARIANT refI4 = Var(VT_BYREF | VT_I4);
    refI4.plVal = &four;
    VARIANT refI2 = Var(VT_BYREF | VT_I2);
    refI2.piVal = &two;
    VARIANT nullRef = Var(VT_BYREF | VT_I4);
    nullRef.plVal = nullptr;
    VARIANT nullVariant = Var(VT_BYREF | VT_VARIANT);
    nullVariant.pvarVal = nullptr;
    VARIANT i2 = Var(VT_I2);
    i2.iVal = -2;
    struct Case {
        const char* name;
        VARIANT* v;
        int index;
    } cases[] = {
        {"empty is the object itself", new VARIANT(Var(VT_EMPTY)), 0},
        {"I4", &i4, 3},
        {"I2", &i2, -2},
        {"by reference to an I4 variant", &byRefVariant, 3},
        {"a chain of references", &chain, 3},
        {"a string", &bstr, -1},
        {"by reference to a string", &refBstr, -1},
        {"I4 by reference", &refI4, 3},
        {"I2 by reference", &refI2, 7},
        {"null I4 reference", &nullRef, -1},
        {"null variant reference", &nullVariant, -1},
        {"a variant that refers to itself", &self, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.index, CUIXAccessible::GetChildIndex(c.v)) << c.name;
    delete cases[0].v;
}

class CNamedOnly : public CCmdTarget, public CUIXAccessible {
public:
    HRESULT GetAccessibleName(VARIANT, BSTR* pszName) override {
        *pszName = SysAllocString(L"Bar");
        return S_OK;
    }
    CCmdTarget* GetAccessibleCmdTarget() override { return this; }
    DECLARE_INTERFACE_MAP()
};

BEGIN_INTERFACE_MAP(CNamedOnly, CCmdTarget)
{&IID_IAccessible, offsetof(CNamedOnly, m_xAccessible)},
{&IID_IDispatch, offsetof(CNamedOnly, m_xAccessible)},
END_INTERFACE_MAP()

TEST(Accessible, DerivedClassAnswersThroughTheNestedInterface) {
    CNamedOnly* target = new CNamedOnly;
    IAccessible* acc = target->GetAccessibleInterface();
    VARIANT self = Var(VT_EMPTY);
    BSTR name = nullptr;
    EXPECT_EQ(S_OK, acc->get_accName(self, &name));
    EXPECT_STREQ(L"Bar", name);
    SysFreeString(name);
    VARIANT out = Var(VT_EMPTY);
    EXPECT_EQ(S_FALSE, acc->get_accFocus(&out));
    EXPECT_EQ(S_FALSE, acc->get_accSelection(&out));
    EXPECT_EQ(E_NOTIMPL, acc->get_accRole(self, &out));
    EXPECT_EQ(E_NOTIMPL, acc->accDoDefaultAction(self));
    UINT n = 0;
    EXPECT_EQ(E_NOTIMPL, acc->GetTypeInfoCount(&n));

    IAccessible* queried = nullptr;
    ASSERT_EQ(S_OK, acc->QueryInterface(IID_IAccessible, (void**)&queried));
    EXPECT_EQ(acc, queried);
    EXPECT_EQ(2, target->m_dwRef) << "the query counted on the command target";
    IUnknown* none = nullptr;
    EXPECT_EQ(E_NOINTERFACE, acc->QueryInterface(IID_IPersist, (void**)&none));
    EXPECT_EQ(2u, acc->AddRef() - 1);
    acc->Release();
    queried->Release();
    EXPECT_EQ(static_cast<IDispatch*>(acc), target->GetIDispatch(TRUE)) << "a bar hands out a control's IDispatch";
    EXPECT_EQ(2, target->m_dwRef);
    target->InternalRelease();
    EXPECT_EQ(1, target->m_dwRef);
    target->InternalRelease();
}

TEST(Accessible, OleaccFunctionsAreFoundAtRunTime) {
    CUIXAccessible acc;
    IAccessible* p = nullptr;
    HWND desktop = GetDesktopWindow();
    HRESULT hr = acc.AccessibleObjectFromWindow(desktop, (DWORD)OBJID_WINDOW, IID_IAccessible, (void**)&p);
    if (SUCCEEDED(hr) && p) p->Release();
    EXPECT_NE(E_FAIL, hr) << "oleacc and its function were found";
    acc.NotifyWinEvent(EVENT_OBJECT_FOCUS, desktop, OBJID_CLIENT, CHILDID_SELF);
}

} // namespace
