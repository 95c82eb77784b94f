// A buffered file with text lines: ANSI text by default, UTF-16 with typeUnicode.
#pragma once
#include "CFile.h"
#include <cstdio>

class CStdioFile : public CFile {
    DECLARE_DYNAMIC(CStdioFile)
public:
    CStdioFile() = default;
    explicit CStdioFile(FILE* pOpenStream) : m_pStream(pOpenStream) {}
    CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);
    ~CStdioFile() override;

    BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;
    void Close() override;
    void Abort() override;
    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetLength() const override;
    ULONGLONG GetPosition() const override;
    void Flush() override;

    // A line without its end; FALSE at the end of the file.
    virtual BOOL ReadString(CString& rString);
    // At most nMax-1 characters, the newline kept; null at the end of the file.
    virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
    virtual void WriteString(LPCTSTR lpsz);

    FILE* m_pStream = nullptr;

protected:
    bool m_bUnicode = false;
};
