// SPLIT.LOG: one "name=disc index" line per entry under ApplyFolder, set by set.
#pragma once

#include "InstanceLog.h"

class SplitLog : public InstanceLog {
public:
    SplitLog(const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo, int iToDisc)
        : InstanceLog(ILT_SPLIT, pwszLogFile, pwszApplyFolder, pwszTo, iToDisc) {}
    HRESULT Log(ISet* pSet) override;
};
