// The small modal dialog that asks for a disc and waits for it: ends with 1
// once the medium is there, with 2 at the tick after the user cancels.
#pragma once

#include <afxwin.h>

#include "IMediaReadyProbe.h"

class CSBRMgr;

const INT_PTR WAITDISC_READY = 1;
const INT_PTR WAITDISC_CANCELLED = 2;

class CWaitingDiscDlg : public CDialog {
public:
    CWaitingDiscDlg(CWnd* pParent, CString strMessage, int nWaitValue);
    ~CWaitingDiscDlg() override = default;

    CString m_strMessage;
    HWND m_hAnimate = nullptr;
    BOOL m_bAnimPlaying = FALSE;
    int m_nWaitValue;
    BOOL m_bCancelled = FALSE;
    UINT_PTR m_nTimerId = 0;
    BOOL m_bBurnMode = FALSE;
    // Asked in burn mode; set by the owner with the mode.
    IMediaReadyProbe* m_pMediaProbe = nullptr;
    // Asked without burn mode; the application's controller unless set.
    CSBRMgr* m_pSBRMgr = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    bool MediumReady();
    void StopTimer();
};
