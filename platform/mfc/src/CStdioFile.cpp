#include "CStdioFile.h"
#include "CFileException.h"
#include <cerrno>
#include <io.h>
#include <string>

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) {
    CFileException e;
    if (!Open(lpszFileName, nOpenFlags, &e)) AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CStdioFile::~CStdioFile() {
    if (m_pStream && m_bCloseOnDelete) fclose(m_pStream);
    m_pStream = nullptr;
    m_hFile = INVALID_HANDLE_VALUE;
}

BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    m_strFileName = lpszFileName;
    m_bUnicode = (nOpenFlags & typeUnicode) != 0;
    std::wstring mode;
    if (nOpenFlags & modeCreate) mode = (nOpenFlags & modeNoTruncate) ? ((nOpenFlags & 3) == modeRead ? L"r" : L"a") : L"w";
    else mode = (nOpenFlags & 3) == modeRead ? L"r" : L"r+";
    if ((nOpenFlags & 3) == modeReadWrite && mode != L"r+") mode += L"+";
    bool binary = (nOpenFlags & typeBinary) != 0;
    mode += binary ? L"b" : L"t";
    if (m_bUnicode && !binary) mode += L",ccs=UTF-16LE";
    // modeCreate|modeNoTruncate opens for append; the file position is moved back below.
    FILE* f = _wfopen(lpszFileName, mode.c_str());
    if (!f) {
        if (pError) {
            pError->m_lOsError = (LONG)::GetLastError();
            pError->m_cause = CFileException::OsErrorToException(pError->m_lOsError);
            if (pError->m_cause == CFileException::none) pError->m_cause = CFileException::genericException;
            pError->m_strFileName = lpszFileName;
        }
        return FALSE;
    }
    m_pStream = f;
    m_hFile = (HANDLE)_get_osfhandle(_fileno(f));
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

void CStdioFile::Close() {
    int rc = m_pStream ? fclose(m_pStream) : 0;
    m_pStream = nullptr;
    m_hFile = INVALID_HANDLE_VALUE;
    m_bCloseOnDelete = FALSE;
    if (rc != 0) CFileException::ThrowErrno(errno, m_strFileName);
}

void CStdioFile::Abort() {
    if (m_pStream) fclose(m_pStream);
    m_pStream = nullptr;
    m_hFile = INVALID_HANDLE_VALUE;
    m_bCloseOnDelete = FALSE;
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
    size_t n = fread(lpBuf, 1, nCount, m_pStream);
    if (n == 0 && ferror(m_pStream)) CFileException::ThrowErrno(errno, m_strFileName);
    return (UINT)n;
}

void CStdioFile::Write(const void* lpBuf, UINT nCount) {
    if (fwrite(lpBuf, 1, nCount, m_pStream) != nCount) CFileException::ThrowErrno(errno, m_strFileName);
}

ULONGLONG CStdioFile::Seek(LONGLONG lOff, UINT nFrom) {
    int origin = nFrom == begin ? SEEK_SET : nFrom == current ? SEEK_CUR : SEEK_END;
    if (_fseeki64(m_pStream, lOff, origin) != 0) AfxThrowFileException(CFileException::badSeek, errno, m_strFileName);
    return (ULONGLONG)_ftelli64(m_pStream);
}

ULONGLONG CStdioFile::GetLength() const {
    long long pos = _ftelli64(m_pStream);
    _fseeki64(m_pStream, 0, SEEK_END);
    long long len = _ftelli64(m_pStream);
    _fseeki64(m_pStream, pos, SEEK_SET);
    return (ULONGLONG)len;
}

ULONGLONG CStdioFile::GetPosition() const { return (ULONGLONG)_ftelli64(m_pStream); }

void CStdioFile::Flush() {
    if (m_pStream && fflush(m_pStream) != 0) CFileException::ThrowErrno(errno, m_strFileName);
}

LPTSTR CStdioFile::ReadString(LPTSTR lpsz, UINT nMax) {
    if (!lpsz || nMax == 0) return nullptr;
    if (m_bUnicode) return fgetws(lpsz, (int)nMax, m_pStream);
    std::string line;
    int c;
    while (line.size() + 1 < nMax && (c = fgetc(m_pStream)) != EOF) {
        line += (char)c;
        if (c == '\n') break;
    }
    if (line.empty()) return nullptr;
    CString w(line.c_str());
    wcsncpy(lpsz, w, nMax - 1);
    lpsz[nMax - 1] = 0;
    return lpsz;
}

BOOL CStdioFile::ReadString(CString& rString) {
    rString.Empty();
    if (m_bUnicode) {
        wchar_t buf[256];
        bool any = false;
        while (fgetws(buf, 256, m_pStream)) {
            any = true;
            rString += buf;
            if (!rString.IsEmpty() && rString[rString.GetLength() - 1] == L'\n') break;
        }
        rString.TrimRight(L"\r\n");
        return any;
    }
    std::string line;
    int c;
    bool any = false;
    while ((c = fgetc(m_pStream)) != EOF) {
        any = true;
        if (c == '\n') break;
        line += (char)c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rString = line.c_str();
    return any;
}

void CStdioFile::WriteString(LPCTSTR lpsz) {
    if (!lpsz) return;
    if (m_bUnicode) {
        if (fputws(lpsz, m_pStream) == WEOF) CFileException::ThrowErrno(errno, m_strFileName);
        return;
    }
    CStringA a(lpsz);
    if (fputs(a, m_pStream) == EOF) CFileException::ThrowErrno(errno, m_strFileName);
}
