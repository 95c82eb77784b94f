// Holds the optical tray locked for a recovery's whole run, when a disc is
// in the drive.
#pragma once

#include <windows.h>

class CSBRMgr;

class CAutoLockDrv {
public:
    explicit CAutoLockDrv(CSBRMgr* pMgr);
    ~CAutoLockDrv();
    CAutoLockDrv(const CAutoLockDrv&) = delete;
    CAutoLockDrv& operator=(const CAutoLockDrv&) = delete;

    BOOL IsLocked() const { return m_bLocked; }

private:
    CSBRMgr* m_pMgr;
    BOOL m_bLocked;
};
