// The lock every party of the simulated PC respects: the 32- and 64-bit
// stand-ins and the scripts on the Linux side. It is a file created
// exclusively, because that is the one primitive all of them share.
#pragma once

#include <windows.h>

#include <string>

class CSimPcLock {
public:
    // Waits for the lock on the PC's folder; a lock left behind by a party
    // that died is broken after a while.
    explicit CSimPcLock(const std::wstring& root);
    ~CSimPcLock();
    CSimPcLock(const CSimPcLock&) = delete;
    CSimPcLock& operator=(const CSimPcLock&) = delete;

    bool IsHeld() const { return m_hFile != INVALID_HANDLE_VALUE; }

    static constexpr DWORD kStaleMs = 10000;
    static constexpr DWORD kGiveUpMs = 30000;

private:
    bool BreakIfStale() const;

    std::wstring m_path;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
