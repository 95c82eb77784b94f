// Image log base: file, entry and the shared helpers.
#include "InstanceLog.h"

#include <shlwapi.h>

#include <cerrno>
#include <cstdarg>
#include <cwchar>
#include <new>

#include "CAutoTrace.h"
#include "DiscErrorCode.h"
#include "FileEntry.h"
#include "ISet.h"
#include "KernelTrace.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

const wchar_t kSource[] = L".\\Kernel\\ImageLog";
const size_t kLineChars = MAX_PATH;
const size_t kGuidChars = 39;

} // namespace

std::wstring GetModuleFolderPath()
{
    KernelTrace trace(kSource, __LINE__, L"GetModuleFolderPath");
    wchar_t wszPath[MAX_PATH] = {};
    DWORD dwLength = GetModuleFileNameW(nullptr, wszPath, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH) {
        trace.Output(L"Failed to call GetModuleFileNameW(), Error = %lu\n", GetLastError());
        return L"";
    }
    if (!PathRemoveFileSpecW(wszPath))
        trace.Output(L"Failed to call PathRemoveFileSpecW(), Error = %lu\n", GetLastError());
    return wszPath;
}

HRESULT GenUniqueSetID(wchar_t* pwszBuf, size_t cch)
{
    KernelTrace trace(kSource, __LINE__, L"GenUniqueSetID");
    if (!pwszBuf || cch < kGuidChars)
        return RD_E_NULL_ARG;
    HRESULT hrInit = CoInitialize(nullptr);
    GUID guid;
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr)) {
        trace.Output(L"Failed to call CoCreateGuid, hr= %lu. \n", static_cast<unsigned long>(hr));
    } else {
        StringFromGUID2(guid, pwszBuf, static_cast<int>(cch));
        trace.Output(L"Succeeds to call StringFromGUID2, GUID= %s. \n", pwszBuf);
    }
    if (SUCCEEDED(hrInit))
        CoUninitialize();
    return hr;
}

InstanceLog::InstanceLog(int iType, const wchar_t* pwszLogFile, const wchar_t* pwszApplyFolder, const wchar_t* pwszTo,
                         int iToDisc)
    : m_iType(iType), m_logFile(pwszLogFile ? pwszLogFile : L""), m_applyFolder(pwszApplyFolder ? pwszApplyFolder : L""),
      m_to(pwszTo ? pwszTo : L""), m_iToDisc(iToDisc)
{
}

std::wstring InstanceLog::GetFilePath() const
{
    return (m_folder.empty() ? GetModuleFolderPath() : m_folder) + L"\\" + m_logFile;
}

HRESULT InstanceLog::Init()
{
    if (m_pFile)
        return S_FALSE;
    std::wstring path = GetFilePath();
    if (!NvFileExists(path.c_str()))
        return S_FALSE;
    return DeleteFileW(path.c_str()) ? S_OK : RD_E_OLD_LOG;
}

HRESULT InstanceLog::GetLogFile(wchar_t* pwszBuf, size_t cch)
{
    if (!pwszBuf)
        return RD_E_NULL_ARG;
    return FAILED(FileEntry::CopyOut(m_logFile, pwszBuf, cch)) ? RD_E_MISSING : S_OK;
}

HRESULT InstanceLog::GetTo(wchar_t* pwszBuf, size_t cch)
{
    if (!pwszBuf)
        return RD_E_NULL_ARG;
    return FAILED(FileEntry::CopyOut(m_to, pwszBuf, cch)) ? RD_E_MISSING : S_OK;
}

FileEntry* InstanceLog::ConvertToEntry()
{
    if (m_pEntry)
        return m_pEntry;
    m_pEntry = new (std::nothrow)
        FileEntry(GetFilePath().c_str(), m_to.c_str(), L"", 1, TRUE, FALSE, TRUE, TRUE, 0, FALSE, 0);
    if (!m_pEntry) {
        KernelTrace trace(kSource, __LINE__, L"InstanceLog::ConvertToEntry");
        trace.Output(L"Failed to new FileEntry, Error = %lu\n", GetLastError());
    }
    return m_pEntry;
}

HRESULT InstanceLog::OpenLog()
{
    KernelTrace trace(kSource, __LINE__, L"InstanceLog::OpenLog");
    if (m_pFile)
        return S_FALSE;
    std::wstring path = GetFilePath();
    errno_t err = _wfopen_s(&m_pFile, path.c_str(), L"a+");
    if (err || !m_pFile) {
        m_pFile = nullptr;
        trace.Output(L"Failed to call _wfopen_s(), FileName = %s, Error = %d\n", path.c_str(), err);
        return NV_E_FILE_IO;
    }
    trace.Output(L"Succeed to call _wfopen_s(), FileName = %s, Error = %d\n", path.c_str(), 0);
    return S_OK;
}

HRESULT InstanceLog::CloseLog()
{
    if (m_pFile) {
        fclose(m_pFile);
        m_pFile = nullptr;
    }
    return S_FALSE;
}

HRESULT InstanceLog::Clear()
{
    delete m_pEntry;
    m_pEntry = nullptr;
    CloseLog();
    return S_OK;
}

HRESULT InstanceLog::WriteLog(const wchar_t* pwszText)
{
    KernelTrace trace(kSource, __LINE__, L"InstanceLog::WriteLog");
    if (!m_pFile) {
        trace.Output(L"Failed to WriteLog. The File doesn't be opened yet.\n");
        return RD_E_MISSING;
    }
    if (fputws(pwszText ? pwszText : L"", m_pFile) == WEOF || fflush(m_pFile) != 0) {
        trace.Output(L"Failed to WriteLog. String = %s. Error = %lu\n", pwszText, GetLastError());
        return NV_E_FORMAT_OVERFLOW;
    }
    return S_OK;
}

HRESULT InstanceLog::WriteFormatted(bool bAllowCut, const wchar_t* pwszFormat, ...)
{
    wchar_t wszLine[kLineChars];
    va_list args;
    va_start(args, pwszFormat);
    int cch = _vsnwprintf(wszLine, kLineChars - 1, pwszFormat, args);
    va_end(args);
    wszLine[kLineChars - 1] = L'\0';
    if (cch < 0 && !bAllowCut) {
        KernelTrace trace(kSource, __LINE__, L"InstanceLog::WriteFormatted");
        trace.Output(L"Line too long for the log, not written: %s\n", wszLine);
        return NV_E_FORMAT_OVERFLOW;
    }
    return WriteLog(wszLine);
}

HRESULT InstanceLog::AddToSet(ISet* pSet)
{
    KernelTrace trace(kSource, __LINE__, L"InstanceLog::AddToSet");
    if (!pSet) {
        trace.Output(L"Failed to AddToSet(). Invalid pointer");
        return RD_E_NULL_ARG;
    }
    if (!IsForAllDiscs() && m_iToDisc != pSet->GetNumber()) {
        trace.Output(L"No need to AddToSet().");
        return S_FALSE;
    }
    return pSet->Add(ConvertToEntry());
}

HRESULT InstanceLog::Select(ISet* pSet, const wchar_t* pwszText, ICollector* pTarget)
{
    return pSet->FindEntries(pwszText, pTarget);
}

HRESULT InstanceLog::OpenAndSelect(ISet* pSet, ICollector* pTarget)
{
    if (!pSet)
        return RD_E_NULL_ARG;
    HRESULT hr = OpenLog();
    if (SUCCEEDED(hr))
        Select(pSet, m_applyFolder.c_str(), pTarget);
    return hr;
}
