// An animation control playing an AVI clip. A clip opened by id comes from
// the instance the control was created with (a dialog's: the resource library).
#pragma once
#include "CWnd.h"

class CAnimateCtrl : public CWnd {
    DECLARE_DYNAMIC(CAnimateCtrl)
public:
    CAnimateCtrl() = default;
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    BOOL Open(LPCTSTR lpszFileName) { return (BOOL)::SendMessageW(m_hWnd, ACM_OPENW, 0, (LPARAM)lpszFileName); }
    BOOL Open(UINT nID) { return (BOOL)::SendMessageW(m_hWnd, ACM_OPENW, 0, (LPARAM)MAKEINTRESOURCEW(nID)); }
    BOOL Play(UINT nFrom, UINT nTo, UINT nRep) { return (BOOL)::SendMessageW(m_hWnd, ACM_PLAY, (WPARAM)nRep, MAKELPARAM(nFrom, nTo)); }
    BOOL Stop() { return (BOOL)::SendMessageW(m_hWnd, ACM_STOP, 0, 0); }
    BOOL Close() { return (BOOL)::SendMessageW(m_hWnd, ACM_OPENW, 0, 0); }
    BOOL Seek(UINT nTo) { return (BOOL)::SendMessageW(m_hWnd, ACM_PLAY, 1, MAKELPARAM(nTo, nTo)); }
};
