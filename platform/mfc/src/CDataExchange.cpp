#include "CDataExchange.h"
#include "CUserException.h"
#include "AfxFunctions.h"
#include <cwchar>

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), nIDC);
    if (!hWndCtrl) {
        AfxTrace(L"CDataExchange: dialog has no control %d\n", nIDC);
        AfxThrowUserException();
    }
    m_hWndLastControl = hWndCtrl;
    m_bEditLastControl = FALSE;
    return hWndCtrl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND h = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return h;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    AfxThrowUserException();
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND h = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        int n = ::GetWindowTextLengthW(h);
        ::GetWindowTextW(h, value.GetBuffer(n), n + 1);
        value.ReleaseBuffer();
    } else {
        ::SetWindowTextW(h, value);
    }
}

// Whole numbers: anything else in the field is refused with a message.
static bool ReadNumber(CDataExchange* pDX, HWND h, long long* out) {
    wchar_t text[64] = L"";
    ::GetWindowTextW(h, text, 64);
    wchar_t* end = nullptr;
    long long v = wcstoll(text, &end, 10);
    while (end && (*end == L' ' || *end == L'\t')) ++end;
    if (!end || end == text || *end) {
        AfxMessageBox(L"Please enter an integer.", MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    *out = v;
    return true;
}

template <typename T>
static void ExchangeNumber(CDataExchange* pDX, int nIDC, T& value, const wchar_t* format) {
    HWND h = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        long long v = 0;
        ReadNumber(pDX, h, &v);
        value = (T)v;
    } else {
        wchar_t text[32];
        _snwprintf(text, 32, format, value);
        text[31] = 0;
        ::SetWindowTextW(h, text);
    }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value) { ExchangeNumber(pDX, nIDC, value, L"%d"); }
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) { ExchangeNumber(pDX, nIDC, value, L"%u"); }
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, long& value) { ExchangeNumber(pDX, nIDC, value, L"%ld"); }
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, DWORD& value) { ExchangeNumber(pDX, nIDC, value, L"%lu"); }

void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND h = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) value = (int)::SendMessageW(h, BM_GETCHECK, 0, 0);
    else ::SendMessageW(h, BM_SETCHECK, (WPARAM)value, 0);
}

void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    HWND h = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) value = -1;
    // The group runs from this button to the next one with WS_GROUP.
    for (int i = 0; h; ++i) {
        if (pDX->m_bSaveAndValidate) {
            if (::SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = i;
        } else {
            ::SendMessageW(h, BM_SETCHECK, i == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        h = ::GetWindow(h, GW_HWNDNEXT);
        if (!h || (::GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP)) break;
    }
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;
    HWND h = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(h)) {
        AfxTrace(L"DDX_Control: control %d could not be subclassed\n", nIDC);
        AfxThrowUserException();
    }
}

void AFXAPI DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
    if (!pDX->m_bSaveAndValidate) {
        if (pDX->m_hWndLastControl) ::SendMessageW(pDX->m_hWndLastControl, EM_LIMITTEXT, (WPARAM)nChars, 0);
        return;
    }
    if (value.GetLength() <= nChars) return;
    CString msg;
    msg.Format(L"Enter no more than %d characters.", nChars);
    AfxMessageBox(msg, MB_ICONEXCLAMATION);
    pDX->Fail();
}

void AFXAPI DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    CString msg;
    msg.Format(L"Enter an integer between %d and %d.", minVal, maxVal);
    AfxMessageBox(msg, MB_ICONEXCLAMATION);
    pDX->Fail();
}
