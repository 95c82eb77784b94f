#include "CArchiveException.h"
#include <cwchar>

IMPLEMENT_DYNAMIC(CArchiveException, CException)

namespace {
const wchar_t* const kCauseTexts[] = {
    L"No error occurred.",
    L"An unexpected error occurred while reading or writing an archive.",
    L"An attempt was made to write to an archive opened for loading.",
    L"The end of the archive was reached unexpectedly.",
    L"An attempt was made to read from an archive opened for storing.",
    L"The archive holds an invalid object reference.",
    L"The archive holds an object of an unexpected class.",
    L"The archive holds an object of an unknown version.",
    L"The archive buffer is full.",
};
} // namespace

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0) return FALSE;
    const size_t count = sizeof(kCauseTexts) / sizeof(kCauseTexts[0]);
    const wchar_t* text = (m_cause >= 0 && (size_t)m_cause < count) ? kCauseTexts[m_cause] : kCauseTexts[genericException];
    swprintf(lpszError, nMaxError, L"%s", text);
    return TRUE;
}

void AFXAPI AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName) {
    throw new CArchiveException(cause, lpszArchiveName);
}
