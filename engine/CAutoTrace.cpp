#include "CAutoTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "CDumpMgr.h"

namespace {

const size_t kTextChars = 1024;
const size_t kLineChars = 2048;

void CopyName(wchar_t (&wszDst)[260], const wchar_t* pwszSrc)
{
    _snwprintf(wszDst, 259, L"%s", pwszSrc ? pwszSrc : L"");
    wszDst[259] = L'\0';
}

void Emit(const wchar_t* pwszLine)
{
    OutputDebugStringW(pwszLine);
    g_DumpMgr.Write(pwszLine);
}

// wsprintfW stops at 1024 characters: the line feed is added afterwards so a
// long text never runs into the next line.
void EmitWithLineFeed(wchar_t (&wszLine)[kLineChars])
{
    size_t cch = wcslen(wszLine);
    wszLine[cch] = L'\n';
    wszLine[cch + 1] = L'\0';
    Emit(wszLine);
}

} // namespace

CAutoTrace::CAutoTrace(const wchar_t* className, const wchar_t* methodName, const void* object)
{
    CopyName(m_wszClassName, className);
    CopyName(m_wszMethodName, methodName);
    Print(L" (0x%.8X) entering ... ", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(object)));
}

CAutoTrace::~CAutoTrace()
{
    Print(L"leaving!");
}

void CAutoTrace::PrintV(const wchar_t* format, va_list args)
{
    wchar_t wszText[kTextChars];
    FormatBoundedV(wszText, format, args);
    wchar_t wszLine[kLineChars];
    wsprintfW(wszLine, L"%s::%s %s", m_wszClassName, m_wszMethodName, wszText);
    EmitWithLineFeed(wszLine);
}

void CAutoTrace::Print(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    PrintV(format, args);
    va_end(args);
}

#ifndef RV_DISCORA
void CAutoTrace::PrintTagged(const wchar_t* format, ...)
{
    wchar_t wszText[kTextChars];
    va_list args;
    va_start(args, format);
    FormatBoundedV(wszText, format, args);
    va_end(args);
    wchar_t wszLine[kLineChars];
    wsprintfW(wszLine, L"[SBR] %s", wszText);
    EmitWithLineFeed(wszLine);
}
#endif

void DebugPrint(const wchar_t* format, ...)
{
    wchar_t wszLine[kLineChars];
    va_list args;
    va_start(args, format);
    FormatBoundedV(wszLine, format, args);
    va_end(args);
    Emit(wszLine);
}
