#include "CException.h"
#include "CUserException.h"
#include "CMemoryException.h"
#include "CResourceException.h"
#include "CInvalidArgException.h"
#include "CFileException.h"
#include "AfxFunctions.h"
#include <cerrno>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CResourceException, CException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    if (lpszError && nMaxError) *lpszError = 0;
    return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
    wchar_t text[512];
    if (GetErrorMessage(text, 512)) return AfxMessageBox(text, nType);
    if (nMessageID) return AfxMessageBox(nMessageID, nType);
    return AfxMessageBox(L"An unsupported operation was attempted.", nType);
}

void AFXAPI AfxThrowUserException() { throw new CUserException; }
void AFXAPI AfxThrowMemoryException() { throw new CMemoryException; }
void AFXAPI AfxThrowResourceException() { throw new CResourceException; }
void AFXAPI AfxThrowInvalidArgException() { throw new CInvalidArgException; }

void AFXAPI AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName) {
    throw new CFileException(cause, lOsError, lpszFileName);
}

int PASCAL CFileException::OsErrorToException(LONG lOsError) {
    switch (lOsError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_CANNOT_MAKE: return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK: return badSeek;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE: return hardIO;
    default: return genericException;
    }
}

void PASCAL CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName) {
    AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void PASCAL CFileException::ThrowErrno(int nErrno, LPCTSTR lpszFileName) {
    int cause = genericException;
    switch (nErrno) {
    case ENOENT: cause = fileNotFound; break;
    case EACCES: cause = accessDenied; break;
    case EMFILE: cause = tooManyOpenFiles; break;
    case EBADF: cause = invalidFile; break;
    case ENOSPC: cause = diskFull; break;
    default: break;
    }
    AfxThrowFileException(cause, nErrno, lpszFileName);
}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    if (!lpszError || !nMaxError) return FALSE;
    wchar_t sys[256] = L"";
    if (m_lOsError > 0)
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, (DWORD)m_lOsError, 0, sys, 256, nullptr);
    _snwprintf(lpszError, nMaxError, L"%s: error %ld. %s", m_strFileName.IsEmpty() ? L"file" : (LPCWSTR)m_strFileName,
               m_lOsError, sys);
    lpszError[nMaxError - 1] = 0;
    return TRUE;
}
