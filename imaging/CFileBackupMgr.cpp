#include "CFileBackupMgr.h"

CFileBackupMgr::CFileBackupMgr() = default;
CFileBackupMgr::~CFileBackupMgr() = default;
