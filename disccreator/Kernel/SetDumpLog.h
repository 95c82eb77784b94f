// A dump of every set: its number and every entry's source path.
#pragma once

#include "InstanceLog.h"

class SetDumpLog : public InstanceLog {
public:
    SetDumpLog(const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo, int iToDisc)
        : InstanceLog(ILT_SETDUMP, pwszLogFile, pwszApplyFolder, pwszTo, iToDisc) {}
    HRESULT Log(ISet* pSet) override;
};
