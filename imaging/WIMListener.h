// Follows an apply for the restore: the overall percent, and which files are
// written, by the extension verdicts of the restore's type selection.
#pragma once

#include "IListener.h"

class CFileBackupMgr;

class WIMListener : public IListener {
public:
    explicit WIMListener(CFileBackupMgr& owner) : m_owner(owner) {}
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    CFileBackupMgr& m_owner;
};
