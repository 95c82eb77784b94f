#include "CFile.h"
#include "CFileException.h"

IMPLEMENT_DYNAMIC(CFile, CObject)

const HANDLE CFile::hFileNull = INVALID_HANDLE_VALUE;

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) {
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e)) AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CFile::~CFile() {
    if (m_hFile != INVALID_HANDLE_VALUE && m_bCloseOnDelete) Abort();
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    m_strFileName = lpszFileName;
    DWORD access = 0;
    switch (nOpenFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: break;
    }
    DWORD share = 0;
    switch (nOpenFlags & 0x70) {
    case shareCompat:
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: break;
    }
    DWORD create = OPEN_EXISTING;
    if (nOpenFlags & modeCreate) create = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    DWORD attrs = FILE_ATTRIBUTE_NORMAL;
    if (nOpenFlags & osNoBuffer) attrs |= FILE_FLAG_NO_BUFFERING;
    if (nOpenFlags & osWriteThrough) attrs |= FILE_FLAG_WRITE_THROUGH;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, (nOpenFlags & modeNoInherit) ? FALSE : TRUE};
    HANDLE h = ::CreateFileW(lpszFileName, access, share, &sa, create, attrs, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        LONG err = (LONG)::GetLastError();
        if (pError) {
            pError->m_lOsError = err;
            pError->m_cause = CFileException::OsErrorToException(err);
            pError->m_strFileName = lpszFileName;
        }
        return FALSE;
    }
    m_hFile = h;
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

void CFile::Close() {
    BOOL ok = TRUE;
    if (m_hFile != INVALID_HANDLE_VALUE) ok = ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_bCloseOnDelete = FALSE;
    if (!ok) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

void CFile::Abort() {
    if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_bCloseOnDelete = FALSE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0) return 0;
    DWORD read = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &read, nullptr)) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    return read;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0) return;
    DWORD written = 0;
    if (!::WriteFile(m_hFile, lpBuf, nCount, &written, nullptr)) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    // A short write means the disk is full.
    if (written != nCount) AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    LARGE_INTEGER li, out;
    li.QuadPart = lOff;
    if (!::SetFilePointerEx(m_hFile, li, &out, nFrom)) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    return (ULONGLONG)out.QuadPart;
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(m_hFile, &li)) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    return (ULONGLONG)li.QuadPart;
}

void CFile::SetLength(ULONGLONG dwNewLen) {
    Seek((LONGLONG)dwNewLen, begin);
    if (!::SetEndOfFile(m_hFile)) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

ULONGLONG CFile::GetPosition() const {
    LARGE_INTEGER zero, out;
    zero.QuadPart = 0;
    if (!::SetFilePointerEx(m_hFile, zero, &out, FILE_CURRENT)) CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
    return (ULONGLONG)out.QuadPart;
}

void CFile::Flush() {
    if (m_hFile != INVALID_HANDLE_VALUE && !::FlushFileBuffers(m_hFile))
        CFileException::ThrowOsError((LONG)::GetLastError(), m_strFileName);
}

CString CFile::GetFileName() const {
    int slash = std::max(m_strFileName.ReverseFind(L'\\'), m_strFileName.ReverseFind(L'/'));
    return m_strFileName.Mid(slash + 1);
}

CString CFile::GetFileTitle() const {
    CString name = GetFileName();
    int dot = name.ReverseFind(L'.');
    return dot < 0 ? name : name.Left(dot);
}

void PASCAL CFile::Remove(LPCTSTR lpszFileName) {
    if (!::DeleteFileW(lpszFileName)) CFileException::ThrowOsError((LONG)::GetLastError(), lpszFileName);
}

void PASCAL CFile::Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName) {
    if (!::MoveFileW(lpszOldName, lpszNewName)) CFileException::ThrowOsError((LONG)::GetLastError(), lpszOldName);
}
