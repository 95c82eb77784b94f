// Walk of the rule-file entries.
#include "Walker.h"

#include <cwctype>
#include <new>

#include "CAutoFindHandle.h"
#include "CAutoTrace.h"
#include "DiscErrorCode.h"
#include "FileEntry.h"
#include "ICollector.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"

namespace {

std::wstring Text(IEntry& entry, HRESULT (IEntry::*get)(wchar_t*, size_t))
{
    wchar_t wszBuf[kPathChars] = {};
    (entry.*get)(wszBuf, _countof(wszBuf));
    return wszBuf;
}

std::wstring WithoutBackslash(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

bool IsDots(const wchar_t* pwszName)
{
    return !wcscmp(pwszName, L".") || !wcscmp(pwszName, L"..");
}

} // namespace

HRESULT Walker::SetCollectors(ICollectors* pSource)
{
    if (!pSource)
        return RD_E_NULL_ARG;
    pSource->Reset();
    ICollector* pLevel = nullptr;
    while (pSource->Next(&pLevel) == S_OK) {
        pLevel->Reset();
        IEntry* pEntry = nullptr;
        while (pLevel->Next(&pEntry, TRUE) == S_OK) {
            if (m_members.insert(pEntry).second)
                m_entries.push_back(pEntry);
        }
    }
    return S_OK;
}

HRESULT Walker::CollectFile(IEntry& entry, ICollectors& target)
{
    std::wstring from = Text(entry, &IEntry::GetFrom);
    if (entry.IsMustProcess() && !NvFileExists(from.c_str()))
        return NV_E_NOT_FOUND;
    FileEntry* pCopy = new (std::nothrow) FileEntry(entry);
    if (!pCopy)
        return NV_E_ALLOC;
    if (target.Add(pCopy) != S_OK)
        delete pCopy;
    return S_OK;
}

HRESULT Walker::Walk(ICollectors* pTarget)
{
    CAutoTrace trace(L"Walker", L"Walk", this);
    if (!pTarget) {
        trace.Print(L"NULL ICollectors pointer");
        return RD_E_NULL_ARG;
    }
    pTarget->Clear();
    for (IEntry* pEntry : m_entries) {
        HRESULT hr = pEntry->IsFolder()
                         ? WalkFolder(*pEntry, WithoutBackslash(Text(*pEntry, &IEntry::GetFrom)),
                                      WithoutBackslash(Text(*pEntry, &IEntry::GetTo)), *pTarget)
                         : CollectFile(*pEntry, *pTarget);
        if (FAILED(hr) && pEntry->IsMustProcess()) {
            trace.Print(L"Required entry not collected, hr = %x, path = %s", hr, Text(*pEntry, &IEntry::GetFrom).c_str());
            return NV_E_NOT_FOUND;
        }
    }
    return S_OK;
}

// Depth first, in the order the file system lists the names. A folder that
// cannot be listed adds nothing and is reported, so that a required one
// fails the walk.
HRESULT Walker::WalkFolder(IEntry& folder, const std::wstring& source, const std::wstring& disc, ICollectors& target)
{
    std::wstring pattern = source + L"\\*.*";
    if (pattern.size() >= kPathChars)
        return NV_E_BUFFER_TOO_SMALL;
    WIN32_FIND_DATAW data;
    CAutoFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.IsValid())
        return NvDirectoryExists(source.c_str()) ? S_OK : NV_E_NOT_FOUND;
    std::wstring extension = Text(folder, &IEntry::GetExtension);
    do {
        if (IsDots(data.cFileName))
            continue;
        std::wstring from = source + L"\\" + data.cFileName;
        std::wstring to = disc + L"\\" + data.cFileName;
        bool bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bFolder && folder.IsOneLevel())
            continue;
        if (!bFolder && !extension.empty() && Lower(data.cFileName).find(extension) == std::wstring::npos)
            continue;
        // A path no later step could hold: a required one fails the walk.
        if (from.size() >= kPathChars || to.size() >= kPathChars) {
            if (folder.IsMustProcess())
                return NV_E_BUFFER_TOO_SMALL;
            DebugPrint(L"Walker: path too long, left out: %s\n", from.c_str());
            continue;
        }
        FileEntry* pEntry = new (std::nothrow)
            FileEntry(from.c_str(), to.c_str(), extension.c_str(), folder.GetPriorityLevel(), folder.IsMustProcess(),
                      bFolder, folder.IsOneLevel(), folder.GetAtomic(), folder.GetId(), FALSE, 0);
        if (!pEntry)
            return NV_E_ALLOC;
        if (target.Add(pEntry) != S_OK) {
            delete pEntry;
            continue;
        }
        if (bFolder) {
            HRESULT hrInner = WalkFolder(*pEntry, from, to, target);
            if (FAILED(hrInner))
                return hrInner;
        }
    } while (FindNextFileW(find.Get(), &data));
    return S_OK;
}
