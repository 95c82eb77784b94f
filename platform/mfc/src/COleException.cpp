#include "COleException.h"
#include "CMemoryException.h"
#include "CInvalidArgException.h"
#include <cwchar>

IMPLEMENT_DYNAMIC(COleException, CException)

SCODE PASCAL COleException::Process(const CException* pAnyException) {
    if (!pAnyException) return E_UNEXPECTED;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(COleException))) return static_cast<const COleException*>(pAnyException)->m_sc;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CMemoryException))) return E_OUTOFMEMORY;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CInvalidArgException))) return E_INVALIDARG;
    return E_UNEXPECTED;
}

BOOL COleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0) return FALSE;
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, (DWORD)m_sc, 0, (LPWSTR)&text, 0, nullptr);
    if (n && text) swprintf(lpszError, nMaxError, L"%s", text);
    else swprintf(lpszError, nMaxError, L"OLE error 0x%08lX.", (unsigned long)m_sc);
    if (text) LocalFree(text);
    return TRUE;
}

void AFXAPI AfxThrowOleException(SCODE sc) { throw new COleException(sc); }
