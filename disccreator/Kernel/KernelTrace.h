// Scope tracer of the image logs: messages go to the standard output as
// "[CC] Output <message>".
#pragma once

#include <windows.h>

class KernelTrace {
public:
    KernelTrace(const wchar_t* pwszFile, int iLine, const wchar_t* pwszFunction, BOOL bEnterLeave = FALSE);
    ~KernelTrace();
    KernelTrace(const KernelTrace&) = delete;
    KernelTrace& operator=(const KernelTrace&) = delete;

    void Output(const wchar_t* pwszFormat, ...);
    static void WriteLine(const wchar_t* pwszFormat, ...);

private:
    BYTE m_bEnabled = TRUE;
    BYTE m_bSecond = TRUE;
    BYTE m_bEnterLeave;
    int m_iLine;
    wchar_t m_wszFile[MAX_PATH];
    wchar_t m_wszFunction[MAX_PATH];
};
