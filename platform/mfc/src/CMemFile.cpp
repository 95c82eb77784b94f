#include "CMemFile.h"
#include "CFileException.h"
#include "CMemoryException.h"
#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT nGrowBytes) : m_nGrowBytes(nGrowBytes) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : m_nGrowBytes(nGrowBytes) {
    Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile() {
    if (m_lpBuffer && m_bAutoDelete) free(m_lpBuffer);
    m_lpBuffer = nullptr;
}

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) {
    if (m_lpBuffer && m_bAutoDelete) free(m_lpBuffer);
    m_lpBuffer = lpBuffer;
    m_nBufferSize = nBufferSize;
    m_nGrowBytes = nGrowBytes;
    // A fixed buffer is read as a file of its size; a growable one starts empty.
    m_nFileSize = nGrowBytes == 0 ? nBufferSize : 0;
    m_nPosition = 0;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
    BYTE* p = m_lpBuffer;
    m_lpBuffer = nullptr;
    m_nBufferSize = m_nFileSize = m_nPosition = 0;
    return p;
}

void CMemFile::GrowFile(SIZE_T dwNewLen) {
    if (dwNewLen <= m_nBufferSize) return;
    if (m_nGrowBytes == 0 || !m_bAutoDelete) AfxThrowMemoryException();
    SIZE_T size = m_nBufferSize;
    while (size < dwNewLen) size += m_nGrowBytes;
    BYTE* p = static_cast<BYTE*>(realloc(m_lpBuffer, size));
    if (!p) AfxThrowMemoryException();
    m_lpBuffer = p;
    m_nBufferSize = size;
}

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
    if (m_nPosition >= m_nFileSize) return 0;
    SIZE_T n = std::min<SIZE_T>(nCount, m_nFileSize - m_nPosition);
    memcpy(lpBuf, m_lpBuffer + m_nPosition, n);
    m_nPosition += n;
    return (UINT)n;
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0) return;
    GrowFile(m_nPosition + nCount);
    memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition += nCount;
    if (m_nPosition > m_nFileSize) m_nFileSize = m_nPosition;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom) {
    LONGLONG base = nFrom == begin ? 0 : nFrom == current ? (LONGLONG)m_nPosition : (LONGLONG)m_nFileSize;
    LONGLONG pos = base + lOff;
    if (pos < 0) AfxThrowFileException(CFileException::badSeek, -1, m_strFileName);
    m_nPosition = (SIZE_T)pos;
    return (ULONGLONG)pos;
}

void CMemFile::SetLength(ULONGLONG dwNewLen) {
    GrowFile((SIZE_T)dwNewLen);
    if (dwNewLen > m_nFileSize) memset(m_lpBuffer + m_nFileSize, 0, (size_t)(dwNewLen - m_nFileSize));
    m_nFileSize = (SIZE_T)dwNewLen;
    if (m_nPosition > m_nFileSize) m_nPosition = m_nFileSize;
}

void CMemFile::Close() {
    if (m_lpBuffer && m_bAutoDelete) free(m_lpBuffer);
    m_lpBuffer = nullptr;
    m_nBufferSize = m_nFileSize = m_nPosition = 0;
}
