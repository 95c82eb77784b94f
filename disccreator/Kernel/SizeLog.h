// PreloadSize.log: the total size of the entries under ApplyFolder over all sets.
#pragma once

#include "InstanceLog.h"

class SizeLog : public InstanceLog {
public:
    SizeLog(const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo, int iToDisc)
        : InstanceLog(ILT_PRELOADSIZE, pwszLogFile, pwszApplyFolder, pwszTo, iToDisc) {}
    HRESULT Log(ISet* pSet) override;

private:
    ULONGLONG m_ullTotal = 0;
};
