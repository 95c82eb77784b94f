// SETINFO.LOG: the identity of the set and the size of each disc.
#pragma once

#include "InstanceLog.h"

class SetInfoLog : public InstanceLog {
public:
    SetInfoLog(const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo, int iToDisc)
        : InstanceLog(ILT_SETINFO, pwszLogFile, pwszApplyFolder, pwszTo, iToDisc) {}
    HRESULT Log(ISet* pSet) override;
};
