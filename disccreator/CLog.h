// The burn log writer: ANSI lines appended to a file somebody else opened.
// The handle is published in a small named block so that writers built
// later without a handle write to the same file.
#pragma once

#include <windows.h>

#include <list>
#include <string>

#include "CAutoHandle.h"

class CLog {
public:
    // With a handle: publishes it. With null: adopts the published one.
    explicit CLog(HANDLE hFile);
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // bQueue TRUE keeps a copy for later; FALSE writes the queue, then text.
    // Callers put "\r\n" into their texts.
    virtual void Write(const char* pszText, BOOL bQueue);

    HANDLE GetFile() const { return m_hFile; }

private:
    void WriteBytes(const std::string& text);

    HANDLE m_hFile;          // not owned
    CAutoHandle m_mapping;
    std::list<std::string> m_queue;
};
