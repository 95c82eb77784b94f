// The application and driver folders of every set with their disc index.
#pragma once

#include <string>

#include "InstanceLog.h"

class AppListLog : public InstanceLog {
public:
    AppListLog(const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo, int iToDisc)
        : InstanceLog(ILT_APPLIST, pwszLogFile, pwszApplyFolder, pwszTo, iToDisc) {}
    HRESULT Log(ISet* pSet) override;

private:
    HRESULT ListFolders(ISet* pSet, ICollector& selection, const wchar_t* pwszParent, std::wstring& list);
    std::wstring m_apps;
    std::wstring m_drivers;
};
