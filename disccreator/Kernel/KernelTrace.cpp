#include "KernelTrace.h"

#include <cstdarg>
#include <cstdio>

#include "CAutoTrace.h"

namespace {

const size_t kMessageChars = 4096;

template <size_t cch>
void CopyName(wchar_t (&wszDst)[cch], const wchar_t* pwszSrc)
{
    _snwprintf(wszDst, cch - 1, L"%s", pwszSrc ? pwszSrc : L"");
    wszDst[cch - 1] = L'\0';
}

} // namespace

KernelTrace::KernelTrace(const wchar_t* pwszFile, int iLine, const wchar_t* pwszFunction, BOOL bEnterLeave)
    : m_bEnterLeave(bEnterLeave ? 1 : 0), m_iLine(iLine)
{
    CopyName(m_wszFile, pwszFile);
    CopyName(m_wszFunction, pwszFunction);
    if (m_bEnabled && m_bEnterLeave)
        WriteLine(L"Enter %s", m_wszFunction);
}

KernelTrace::~KernelTrace()
{
    if (m_bEnabled && m_bEnterLeave)
        WriteLine(L"Leave %s", m_wszFunction);
}

void KernelTrace::Output(const wchar_t* pwszFormat, ...)
{
    if (!m_bEnabled)
        return;
    wchar_t wszMessage[kMessageChars];
    va_list args;
    va_start(args, pwszFormat);
    FormatBoundedV(wszMessage, pwszFormat, args);
    va_end(args);
    WriteLine(L"Output %s", wszMessage);
}

void KernelTrace::WriteLine(const wchar_t* pwszFormat, ...)
{
    wchar_t wszText[kMessageChars];
    va_list args;
    va_start(args, pwszFormat);
    FormatBoundedV(wszText, pwszFormat, args);
    va_end(args);
    wprintf(L"[CC] %s\n", wszText);
}
