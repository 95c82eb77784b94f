// The file-backup manager: backs the user's files up into numbered WIM files
// and restores them. So far only its life as the application's member:
// made at start-up, deleted at exit.
#pragma once

#include <windows.h>

class CFileBackupMgr {
public:
    CFileBackupMgr();
    virtual ~CFileBackupMgr();
    CFileBackupMgr(const CFileBackupMgr&) = delete;
    CFileBackupMgr& operator=(const CFileBackupMgr&) = delete;
};
