// A program with an application object, started by the tests: its exit code
// tells how the entry point ran it. Command line: "refuse <code>" makes
// InitInstance return FALSE with ExitInstance returning <code>; "run <code>"
// runs a main window that quits with <code>.
#include <afxwin.h>
#include <cwchar>

class CProbeWnd : public CWnd {
public:
    int m_nQuitCode = 0;
    afx_msg void OnDestroy() { PostQuitMessage(m_nQuitCode); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeWnd, CWnd)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

class CProbeApp : public CWinApp {
public:
    bool m_bRefuse = false;
    int m_nCode = 0;
    CProbeWnd m_wnd;
    BOOL InitInstance() override {
        wchar_t mode[16] = L"";
        swscanf(m_lpCmdLine, L"%15ls %d", mode, &m_nCode);
        m_bRefuse = wcscmp(mode, L"refuse") == 0;
        if (m_bRefuse) return FALSE;
        m_wnd.m_nQuitCode = m_nCode;
        if (!m_wnd.CreateEx(0, AfxRegisterWndClass(0), L"probe", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0)) return FALSE;
        m_pMainWnd = &m_wnd;
        m_wnd.PostMessage(WM_CLOSE);
        return TRUE;
    }
    int ExitInstance() override {
        if (m_bRefuse) return m_nCode;
        // The main window's end must have cleared the pointer.
        if (m_pMainWnd) return 200;
        return CWinApp::ExitInstance();
    }
};

CProbeApp theApp;
