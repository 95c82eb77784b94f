// A progress bar.
#pragma once
#include "CWnd.h"

class CProgressCtrl : public CWnd {
    DECLARE_DYNAMIC(CProgressCtrl)
public:
    CProgressCtrl() = default;
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void SetRange(short nLower, short nUpper) { ::SendMessageW(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    void SetRange32(int nLower, int nUpper) { ::SendMessageW(m_hWnd, PBM_SETRANGE32, (WPARAM)nLower, (LPARAM)nUpper); }
    void GetRange(int& nLower, int& nUpper) const {
        PBRANGE r = {0, 0};
        ::SendMessageW(m_hWnd, PBM_GETRANGE, FALSE, (LPARAM)&r);
        nLower = r.iLow;
        nUpper = r.iHigh;
    }
    int GetPos() const { return (int)::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0); }
    int SetPos(int nPos) { return (int)::SendMessageW(m_hWnd, PBM_SETPOS, (WPARAM)nPos, 0); }
    int OffsetPos(int nPos) { return (int)::SendMessageW(m_hWnd, PBM_DELTAPOS, (WPARAM)nPos, 0); }
    int SetStep(int nStep) { return (int)::SendMessageW(m_hWnd, PBM_SETSTEP, (WPARAM)nStep, 0); }
    int StepIt() { return (int)::SendMessageW(m_hWnd, PBM_STEPIT, 0, 0); }
    COLORREF SetBarColor(COLORREF clr) { return (COLORREF)::SendMessageW(m_hWnd, PBM_SETBARCOLOR, 0, (LPARAM)clr); }
    COLORREF SetBkColor(COLORREF clr) { return (COLORREF)::SendMessageW(m_hWnd, PBM_SETBKCOLOR, 0, (LPARAM)clr); }
};
