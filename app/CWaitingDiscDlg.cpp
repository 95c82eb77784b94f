#include "CWaitingDiscDlg.h"

#include <commctrl.h>

#include "CRevantApp.h"
#include "CSBRMgr.h"

namespace {
const UINT IDD_WAITING_DISC = 5399;
const int IDC_WAIT_MESSAGE = 1359;
const int IDC_WAIT_ANIMATION = 1360;
const UINT IDR_WAIT_AVI = 243;
const UINT_PTR kPollTimerId = 1;
const UINT kPollMs = 1000;
const WORD kLastFrame = 0xFFFF;
const UINT kRepeatForever = static_cast<UINT>(-1);
}

BEGIN_MESSAGE_MAP(CWaitingDiscDlg, CDialog)
    ON_WM_TIMER()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CWaitingDiscDlg::CWaitingDiscDlg(CWnd* pParent, CString strMessage, int nWaitValue)
    : CDialog(IDD_WAITING_DISC, pParent), m_strMessage(strMessage), m_nWaitValue(nWaitValue)
{
    CRevantApp* pApp = RevantApp();
    m_pSBRMgr = pApp ? pApp->m_pSBRMgr : nullptr;
}

void CWaitingDiscDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_WAIT_MESSAGE, m_strMessage);
}

BOOL CWaitingDiscDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_hAnimate = ::GetDlgItem(m_hWnd, IDC_WAIT_ANIMATION);
    m_bAnimPlaying = static_cast<BOOL>(::SendMessageW(m_hAnimate, ACM_OPENW, 0, static_cast<LPARAM>(IDR_WAIT_AVI)));
    if (m_bAnimPlaying == 1)
        m_bAnimPlaying = static_cast<BOOL>(::SendMessageW(m_hAnimate, ACM_PLAY, kRepeatForever, MAKELONG(0, kLastFrame)));
    m_bCancelled = FALSE;
    m_nTimerId = SetTimer(kPollTimerId, kPollMs, nullptr);
    return TRUE;
}

void CWaitingDiscDlg::OnCancel() { m_bCancelled = TRUE; }

void CWaitingDiscDlg::StopTimer()
{
    KillTimer(m_nTimerId);
    m_nTimerId = 0;
}

// A failing poll counts as not ready.
bool CWaitingDiscDlg::MediumReady()
{
    if (m_bBurnMode)
        return m_pMediaProbe && SUCCEEDED(m_pMediaProbe->IsMediaReady());
    DWORD dwPercent = 0;
    DWORD dwSource = 0;
    return m_pSBRMgr && SUCCEEDED(m_pSBRMgr->QueryCopyProgress(&dwPercent, &dwSource)) &&
           dwSource != static_cast<DWORD>(m_nWaitValue);
}

void CWaitingDiscDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (m_bCancelled) {
        StopTimer();
        EndDialog(WAITDISC_CANCELLED);
    } else if (MediumReady()) {
        StopTimer();
        EndDialog(WAITDISC_READY);
    }
    CDialog::OnTimer(nIDEvent);
}

void CWaitingDiscDlg::OnDestroy()
{
    if (m_bAnimPlaying == 1) {
        ::SendMessageW(m_hAnimate, ACM_STOP, 0, 0);
        ::SendMessageW(m_hAnimate, ACM_OPENW, 0, 0);
        m_bAnimPlaying = FALSE;
    }
    CDialog::OnDestroy();
}
