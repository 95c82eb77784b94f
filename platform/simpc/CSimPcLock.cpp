#include "CSimPcLock.h"

CSimPcLock::CSimPcLock(const std::wstring& root) : m_path(root + L"\\lock")
{
    ULONGLONG start = GetTickCount64();
    for (;;) {
        // Delete-on-close frees the lock even when the holder crashes.
        m_hFile = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (m_hFile != INVALID_HANDLE_VALUE) {
            char owner[64];
            int n = wsprintfA(owner, "pid %lu\n", GetCurrentProcessId());
            DWORD written = 0;
            WriteFile(m_hFile, owner, (DWORD)n, &written, nullptr);
            return;
        }
        DWORD err = GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS && err != ERROR_ACCESS_DENIED &&
            err != ERROR_SHARING_VIOLATION)
            return;
        if (GetTickCount64() - start > kGiveUpMs)
            return;
        if (!BreakIfStale())
            Sleep(2);
    }
}

CSimPcLock::~CSimPcLock()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
}

bool CSimPcLock::BreakIfStale() const
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(m_path.c_str(), GetFileExInfoStandard, &data))
        return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER a, b;
    a.LowPart = data.ftLastWriteTime.dwLowDateTime;
    a.HighPart = data.ftLastWriteTime.dwHighDateTime;
    b.LowPart = now.dwLowDateTime;
    b.HighPart = now.dwHighDateTime;
    if (b.QuadPart < a.QuadPart || (b.QuadPart - a.QuadPart) / 10000 < kStaleMs)
        return false;
    return DeleteFileW(m_path.c_str()) != FALSE;
}
