// An empty marker file of a created disc set.
#pragma once

#include "InstanceLog.h"

class UCRDCreatedLog : public InstanceLog {
public:
    UCRDCreatedLog(const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo, int iToDisc)
        : InstanceLog(ILT_ZQCD, pwszLogFile, pwszApplyFolder, pwszTo, iToDisc) {}
    HRESULT Log(ISet* pSet) override;
};
