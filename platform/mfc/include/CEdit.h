// An edit control.
#pragma once
#include "CWnd.h"

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    CEdit() = default;
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE) {
        ::SendMessageW(m_hWnd, EM_SETSEL, (WPARAM)nStartChar, nEndChar);
        if (!bNoScroll) ::SendMessageW(m_hWnd, EM_SCROLLCARET, 0, 0);
    }
    void GetSel(int& nStartChar, int& nEndChar) const {
        DWORD s = 0, e = 0;
        ::SendMessageW(m_hWnd, EM_GETSEL, (WPARAM)&s, (LPARAM)&e);
        nStartChar = (int)s;
        nEndChar = (int)e;
    }
    void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE) { ::SendMessageW(m_hWnd, EM_REPLACESEL, bCanUndo, (LPARAM)lpszNewText); }
    void SetLimitText(UINT nMax) { ::SendMessageW(m_hWnd, EM_SETLIMITTEXT, nMax, 0); }
    void LimitText(int nChars = 0) { ::SendMessageW(m_hWnd, EM_LIMITTEXT, (WPARAM)nChars, 0); }
    BOOL SetReadOnly(BOOL bReadOnly = TRUE) { return (BOOL)::SendMessageW(m_hWnd, EM_SETREADONLY, bReadOnly, 0); }
    int GetLineCount() const { return (int)::SendMessageW(m_hWnd, EM_GETLINECOUNT, 0, 0); }
    BOOL GetModify() const { return (BOOL)::SendMessageW(m_hWnd, EM_GETMODIFY, 0, 0); }
    void SetModify(BOOL bModified = TRUE) { ::SendMessageW(m_hWnd, EM_SETMODIFY, bModified, 0); }
    void SetPasswordChar(TCHAR ch) { ::SendMessageW(m_hWnd, EM_SETPASSWORDCHAR, ch, 0); }
    void Clear() { ::SendMessageW(m_hWnd, WM_CLEAR, 0, 0); }
    void Copy() { ::SendMessageW(m_hWnd, WM_COPY, 0, 0); }
    void Cut() { ::SendMessageW(m_hWnd, WM_CUT, 0, 0); }
    void Paste() { ::SendMessageW(m_hWnd, WM_PASTE, 0, 0); }
};
