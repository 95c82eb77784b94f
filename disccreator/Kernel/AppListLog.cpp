#include "AppListLog.h"

#include <shlwapi.h>

#include "DiscErrorCode.h"
#include "FileCollector.h"
#include "IEntry.h"
#include "ISet.h"

namespace {

const size_t kListLineChars = MAX_PATH;

} // namespace

// Appends "name=index" for each selected folder directly below
// <its drive>:\<pwszParent>.
HRESULT AppListLog::ListFolders(ISet* pSet, ICollector& selection, const wchar_t* pwszParent, std::wstring& list)
{
    IEntry* pEntry = nullptr;
    for (selection.Reset(); selection.Next(&pEntry, FALSE) == S_OK;) {
        if (!pEntry->IsFolder())
            continue;
        wchar_t wszPath[kPathChars];
        if (FAILED(pEntry->GetFullPath(wszPath, _countof(wszPath))))
            continue;
        PathRemoveBackslashW(wszPath);
        PathRemoveFileSpecW(wszPath);
        std::wstring parent = std::wstring(1, wszPath[0]) + pwszParent;
        if (_wcsicmp(wszPath, parent.c_str()) != 0)
            continue;
        wchar_t wszName[kPathChars];
        HRESULT hr = pEntry->GetFileName(wszName, _countof(wszName));
        if (FAILED(hr))
            return hr;
        wchar_t wszLine[kListLineChars];
        if (_snwprintf(wszLine, kListLineChars - 1, L"%s=%d\n", wszName, pSet->GetIndex()) < 0)
            continue; // a name too long for a line of the list
        wszLine[kListLineChars - 1] = L'\0';
        list += wszLine;
    }
    return S_OK;
}

HRESULT AppListLog::Log(ISet* pSet)
{
    if (!pSet)
        return RD_E_NULL_ARG;
    if (pSet->GetNumber() == 1) {
        m_apps.clear();
        m_drivers.clear();
    }
    FileCollector selection(FALSE);
    Select(pSet, m_applyFolder.c_str(), &selection);
    HRESULT hr = ListFolders(pSet, selection, L":\\zq\\Apps", m_apps);
    if (FAILED(hr))
        return hr;
    Select(pSet, L":\\zq\\Drv", &selection);
    if (FAILED(hr = ListFolders(pSet, selection, L":\\zq\\Drv", m_drivers)))
        return hr;
    if (pSet->IsLast()) {
        if (FAILED(hr = OpenLog()) || FAILED(hr = WriteLog(L"[App]\r\n")) || FAILED(hr = WriteLog(m_apps.c_str()))
            || FAILED(hr = WriteLog(L"[Drv]\r\n")) || FAILED(hr = WriteLog(m_drivers.c_str())))
            return hr;
        CloseLog();
    }
    AddToSet(pSet);
    return S_OK;
}
