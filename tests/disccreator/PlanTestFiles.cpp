#include "PlanTestFiles.h"

#include <shlwapi.h>

#include "CAutoHandle.h"
#include "IEntry.h"
#include "ISet.h"
#include "NvFileUtil.h"
#include "Splitter.h"

namespace PlanTestFiles {

bool MakeFolder(const std::wstring& path)
{
    return SUCCEEDED(NvCreateDirectoryW(path.c_str()));
}

bool MakeFile(const std::wstring& path, ULONGLONG ullSize)
{
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    if (!MakeFolder(folder))
        return false;
    CAutoHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(ullSize);
    return SetFilePointerEx(file.Get(), li, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get());
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    std::wstring folder = path.substr(0, path.rfind(L'\\'));
    if (!MakeFolder(folder))
        return false;
    CAutoHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD dwWritten = 0;
    return file.IsValid() && WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr)
           && dwWritten == text.size();
}

std::vector<std::wstring> Names(ISet& set)
{
    std::vector<std::wstring> names;
    set.Reset();
    for (IEntry* pEntry = set.Next(); pEntry; pEntry = set.Next()) {
        wchar_t wszName[MAX_PATH] = {};
        pEntry->GetFileName(wszName, MAX_PATH);
        names.push_back(wszName);
    }
    return names;
}

std::vector<std::vector<std::wstring>> Plan(Splitter& splitter)
{
    std::vector<std::vector<std::wstring>> plan;
    for (int n = 1; n <= splitter.GetSetCount(); ++n) {
        ISet* pSet = nullptr;
        if (splitter.GetSet(n, &pSet) != S_OK)
            break;
        plan.push_back(Names(*pSet));
    }
    return plan;
}

} // namespace PlanTestFiles
