#include "SplitTestKit.h"

#include "CAutoHandle.h"
#include "NvFileUtil.h"
#include "PlanTestFiles.h"
#include "TestFiles.h"
#include "Wimsplice.h"
#include "wimgapi.h"

namespace SplitTestKit {

namespace {

std::wstring Part(const std::wstring& firstPart, unsigned n, const wchar_t* pwszExt)
{
    std::wstring base = firstPart.substr(0, firstPart.rfind(L'.'));
    return (n == 1 ? base : base + std::to_wstring(n)) + pwszExt;
}

bool RandomFile(const std::wstring& path, ULONGLONG ullSize, unsigned seed)
{
    std::string bytes(static_cast<size_t>(ullSize), '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return PlanTestFiles::WriteText(path, bytes);
}

} // namespace

bool MakeTree(const std::wstring& root, ULONGLONG ullBigBytes)
{
    const ULONGLONG kKiB = 1024;
    return RandomFile(root + L"\\Windows\\system32\\kernel.bin", 300 * kKiB, 1)
           && RandomFile(root + L"\\Windows\\system32\\drivers\\disk.sys", 200 * kKiB, 2)
           && RandomFile(root + L"\\Program Files\\App\\app.exe", 400 * kKiB, 3)
           && RandomFile(root + L"\\Users\\Public\\big.dat", ullBigBytes, 4)
           && PlanTestFiles::WriteText(root + L"\\readme.txt", "factory image\r\n");
}

DWORD Capture(const std::wstring& tree, const std::wstring& wim)
{
    HANDLE h = WIMCreateFile(wim.c_str(), WIM_GENERIC_WRITE, WIM_CREATE_ALWAYS, 0, WIM_COMPRESS_NONE, nullptr);
    if (!h)
        return GetLastError();
    HANDLE img = WIMCaptureImage(h, tree.c_str(), 0);
    DWORD err = img ? 0 : GetLastError();
    if (img)
        WIMCloseHandle(img);
    if (!WIMCloseHandle(h) && !err)
        err = GetLastError();
    return img ? err : (err ? err : ERROR_GEN_FAILURE);
}

std::vector<std::wstring> PartNames(const std::wstring& firstPart)
{
    std::vector<std::wstring> names;
    for (unsigned n = 1;; ++n) {
        std::wstring wim = Part(firstPart, n, L".wim");
        std::wstring dat = Part(firstPart, n, L".dat");
        if (TestFiles::Exists(wim))
            names.push_back(wim.substr(wim.rfind(L'\\') + 1));
        else if (TestFiles::Exists(dat))
            names.push_back(dat.substr(dat.rfind(L'\\') + 1));
        else
            return names;
    }
}

HRESULT JoinPieces(const std::wstring& firstPart)
{
    HMODULE hSplice = LoadLibraryW(L"Wimsplice.dll");
    if (!hSplice)
        return HRESULT_FROM_WIN32(GetLastError());
    PFN_MergeIntoWIM pfnMerge =
        reinterpret_cast<PFN_MergeIntoWIM>(reinterpret_cast<void (*)()>(GetProcAddress(hSplice, "MergeIntoWIM")));
    HRESULT hr = pfnMerge ? S_OK : E_NOINTERFACE;
    for (unsigned n = 1; SUCCEEDED(hr); ++n) {
        std::wstring wim = Part(firstPart, n, L".wim");
        if (TestFiles::Exists(wim))
            continue;
        if (!TestFiles::Exists(Part(firstPart, n, L".dat")))
            break;
        hr = pfnMerge(wim.c_str());
    }
    FreeLibrary(hSplice);
    return hr;
}

DWORD ApplySet(const std::wstring& firstPart, const std::wstring& target)
{
    HANDLE h = WIMCreateFile(firstPart.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY, WIM_COMPRESS_NONE,
                             nullptr);
    if (!h)
        return GetLastError();
    DWORD err = 0;
    for (unsigned n = 2; !err && TestFiles::Exists(Part(firstPart, n, L".wim")); ++n) {
        if (!WIMSetReferenceFile(h, Part(firstPart, n, L".wim").c_str(), WIM_REFERENCE_APPEND | WIM_FLAG_VERIFY))
            err = GetLastError();
    }
    HANDLE img = err ? nullptr : WIMLoadImage(h, 1);
    if (!err && !img)
        err = GetLastError();
    if (img && !WIMApplyImage(img, target.c_str(), 0))
        err = GetLastError();
    if (img)
        WIMCloseHandle(img);
    WIMCloseHandle(h);
    return err;
}

BOOL Recorder::OnSplitEvent(const WIMSplitEvent* pEvent)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back({pEvent->message, pEvent->value, pEvent->progress});
    return TRUE;
}

std::vector<Event> Recorder::Events()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_events;
}

} // namespace SplitTestKit
