// Base of the image logs: the log file in the program folder, opened for
// appending in text mode, and its entry in the sets.
#pragma once

#include <cstdio>
#include <string>

#include "ILog.h"

class ICollector;

class InstanceLog : public ILog {
public:
    InstanceLog(int iType, const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo,
                int iToDisc);
    ~InstanceLog() override { Clear(); }
    InstanceLog(const InstanceLog&) = delete;
    InstanceLog& operator=(const InstanceLog&) = delete;

    // Deletes the file of an earlier split: 0, 1 when there was none (or it
    // is open), RD_E_OLD_LOG when it could not be deleted.
    HRESULT Init() override;
    HRESULT Log(ISet*) override { return S_OK; }
    HRESULT GetLogFile(wchar_t* pwszBuf, size_t cch) override;
    HRESULT GetTo(wchar_t* pwszBuf, size_t cch) override;
    int GetToDisc() override { return m_iToDisc; }
    BOOL IsForAllDiscs() override { return m_iToDisc == kAllDiscs; }
    FileEntry* ConvertToEntry() override;
    int GetType() override { return m_iType; }

    HRESULT OpenLog();
    HRESULT CloseLog();
    HRESULT Clear();
    // Writes the text as it is.
    HRESULT WriteLog(const wchar_t* pwszText);
    HRESULT AddToSet(ISet* pSet);

    // The folder of the log file; empty (the default) is the program folder.
    void SetFolder(const wchar_t* pwszFolder) { m_folder = pwszFolder ? pwszFolder : L""; }
    std::wstring GetFilePath() const;

protected:
    // Formats a line of at most 259 characters. A line that does not fit
    // gives NV_E_FORMAT_OVERFLOW; with bAllowCut it is written cut instead.
    HRESULT WriteFormatted(bool bAllowCut, const wchar_t* pwszFormat, ...);
    // The set's entries whose folder or name holds the text.
    HRESULT Select(ISet* pSet, const wchar_t* pwszText, ICollector* pTarget);
    // Opens the file and selects the set's entries under ApplyFolder.
    HRESULT OpenAndSelect(ISet* pSet, ICollector* pTarget);

    int m_iType;
    std::wstring m_logFile;
    std::wstring m_applyFolder;
    std::wstring m_to;
    int m_iToDisc;
    FILE* m_pFile = nullptr;
    FileEntry* m_pEntry = nullptr;
    std::wstring m_folder;
};

// The program's folder without a trailing backslash.
std::wstring GetModuleFolderPath();
// A new GUID in registry form, with braces.
HRESULT GenUniqueSetID(wchar_t* pwszBuf, size_t cch);
