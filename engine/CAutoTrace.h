// Trace scope: an entry line when built, the method's own lines, an exit line
// when destroyed. Every line goes to the debugger and then to the dump file.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>

class CAutoTrace {
public:
    CAutoTrace(const wchar_t* className, const wchar_t* methodName, const void* object);
    ~CAutoTrace();
    CAutoTrace(const CAutoTrace&) = delete;
    CAutoTrace& operator=(const CAutoTrace&) = delete;

    void Print(const wchar_t* format, ...);
#ifndef RV_DISCORA
    // A line tagged "[SBR]" instead of class and method.
    void PrintTagged(const wchar_t* format, ...);
#endif

private:
    void PrintV(const wchar_t* format, va_list args);

    wchar_t m_wszClassName[260];
    wchar_t m_wszMethodName[260];
};

// A line without a scope; callers end their formats with "\n" where wanted.
void DebugPrint(const wchar_t* format, ...);

// printf into a fixed buffer of cch characters: longer text is cut, the
// result is always terminated.
template <size_t cch>
void FormatBoundedV(wchar_t (&wszOut)[cch], const wchar_t* format, va_list args)
{
    _vsnwprintf(wszOut, cch - 1, format, args);
    wszOut[cch - 1] = L'\0';
}
