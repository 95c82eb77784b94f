// File entries: paths, derived path pieces and a lazily measured size.
#include "FileEntry.h"

#include <shlwapi.h>

#include <cwchar>

#include "DiscErrorCode.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

std::wstring WithBackslash(std::wstring path)
{
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring ReadText(IEntry& e, HRESULT (IEntry::*get)(wchar_t*, size_t))
{
    wchar_t wszBuf[kPathChars * 4] = {};
    (e.*get)(wszBuf, _countof(wszBuf));
    return wszBuf;
}

} // namespace

FileEntry::FileEntry(const wchar_t* pwszFrom, const wchar_t* pwszTo, const wchar_t* pwszExtension,
                     UINT uPriorityLevel, BOOL bMustProcess, BOOL bFolder, BOOL bOneLevel, BOOL bAtomic, UINT uId,
                     BOOL bDeclaredAtomic, UINT_PTR uPlaced)
{
    m_v.from = pwszFrom ? pwszFrom : L"";
    m_v.to = pwszTo ? pwszTo : L"";
    m_v.extension = pwszExtension ? pwszExtension : L"";
    m_v.priorityLevel = uPriorityLevel;
    m_v.mustProcess = bMustProcess;
    m_v.folder = bFolder;
    m_v.oneLevel = bOneLevel;
    m_v.atomic = bAtomic;
    m_v.id = uId;
    m_v.declaredAtomic = bDeclaredAtomic;
    m_v.placed = uPlaced;
}

FileEntry::FileEntry(const FileEntryValues& values) : m_v(values) {}

FileEntry::FileEntry(IEntry& source)
{
    m_v.from = ReadText(source, &IEntry::GetFrom);
    m_v.to = ReadText(source, &IEntry::GetTo);
    m_v.extension = ReadText(source, &IEntry::GetExtension);
    m_v.priorityLevel = source.GetPriorityLevel();
    m_v.mustProcess = source.IsMustProcess();
    m_v.folder = source.IsFolder();
    m_v.oneLevel = source.IsOneLevel();
    m_ullSize = source.GetSize(FALSE);
    m_v.atomic = source.GetAtomic();
    m_v.id = source.GetId();
    m_v.declaredAtomic = source.IsDeclaredAtomic();
    m_v.placed = source.IsPlaced();
}

HRESULT FileEntry::CopyOut(const std::wstring& text, wchar_t* pwszBuf, size_t cch)
{
    if (!pwszBuf || !cch)
        return RD_E_NULL_ARG;
    size_t cchCopy = text.size() < cch ? text.size() : cch - 1;
    wmemcpy(pwszBuf, text.c_str(), cchCopy);
    pwszBuf[cchCopy] = L'\0';
    return cchCopy == text.size() ? S_OK : NV_E_BUFFER_TOO_SMALL;
}

HRESULT FileEntry::GetFrom(wchar_t* pwszBuf, size_t cch) { return CopyOut(m_v.from, pwszBuf, cch); }
HRESULT FileEntry::GetTo(wchar_t* pwszBuf, size_t cch) { return CopyOut(m_v.to, pwszBuf, cch); }
HRESULT FileEntry::GetExtension(wchar_t* pwszBuf, size_t cch) { return CopyOut(m_v.extension, pwszBuf, cch); }

HRESULT FileEntry::GetToFolder(wchar_t* pwszBuf, size_t cch)
{
    size_t slash = m_v.to.rfind(L'\\');
    return CopyOut(slash == std::wstring::npos ? std::wstring() : m_v.to.substr(0, slash), pwszBuf, cch);
}

HRESULT FileEntry::GetFileName(wchar_t* pwszBuf, size_t cch)
{
    if (!pwszBuf || !cch)
        return RD_E_NULL_ARG;
    const wchar_t* pwszName = PathFindFileNameW(m_v.from.c_str());
    if (!pwszName || !*pwszName)
        return RD_E_MISSING;
    return CopyOut(pwszName, pwszBuf, cch);
}

HRESULT FileEntry::GetFolderPath(wchar_t* pwszBuf, size_t cch)
{
    if (!pwszBuf || !cch)
        return RD_E_NULL_ARG;
    if (m_v.folder) {
        std::wstring path = m_v.from;
        while (!path.empty() && path.back() == L'\\')
            path.pop_back();
        return CopyOut(WithBackslash(path), pwszBuf, cch);
    }
    const wchar_t* pwszName = PathFindFileNameW(m_v.from.c_str());
    std::wstring folder = m_v.from.substr(0, static_cast<size_t>(pwszName - m_v.from.c_str()));
    return CopyOut(WithBackslash(folder), pwszBuf, cch);
}

HRESULT FileEntry::GetFullPath(wchar_t* pwszBuf, size_t cch)
{
    return CopyOut(m_v.folder ? WithBackslash(m_v.from) : m_v.from, pwszBuf, cch);
}

ULONGLONG FileEntry::GetSize(BOOL bFolderTotal)
{
    if (m_ullSize)
        return m_ullSize;
    if (m_v.folder) {
        if (bFolderTotal)
            NvFindFolderSizeInByte(m_v.from.c_str(), &m_ullSize, FALSE);
        return m_ullSize;
    }
    FindFileSizeInByte(m_v.from.c_str(), &m_ullSize);
    return m_ullSize;
}

void FileEntry::SetDriveLetter(wchar_t wcLetter)
{
    if (!m_v.from.empty())
        m_v.from[0] = wcLetter;
}
