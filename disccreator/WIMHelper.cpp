// Image split on a worker thread: WIMGAPI makes the parts, Wimsplice.dll
// splits a part that came out too big.
#include "WIMHelper.h"

#include <process.h>
#include <winioctl.h>
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

#include "CAutoTrace.h"
#include "DiscErrorCode.h"
#include "InstanceLog.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "Win32Error.h"
#include "Wimsplice.h"
#include "wimgapi.h"

namespace {

const ULONGLONG kMiB = 1024 * 1024;
const float kMakePartsShare = 0.75f;
const float kCheckSizesShare = 0.25f;
const DWORD kCompressionXpress = 1;
const wchar_t kSpliceLibraryName[] = L"Wimsplice.dll";
const wchar_t kSpliceFunction[] = L"SplitBigWIM";

std::wstring PartPath(const std::wstring& base, unsigned uNumber, const std::wstring& extension)
{
    return base + std::to_wstring(uNumber) + extension;
}

void SplitName(const std::wstring& path, std::wstring& base, std::wstring& extension)
{
    const wchar_t* pwszExt = PathFindExtensionW(path.c_str());
    extension = pwszExt;
    base = path.substr(0, path.size() - extension.size());
}

template <size_t cch>
void CopyPath(wchar_t (&wszDst)[cch], const wchar_t* pwszSrc)
{
    wcsncpy(wszDst, pwszSrc, cch - 1);
    wszDst[cch - 1] = L'\0';
}

// Copies a part leaving runs of zeros unwritten, so that a sparse source
// stays sparse where the file system allows; the content is the same.
BOOL CopyPart(const wchar_t* pwszSource, const wchar_t* pwszTarget)
{
    const DWORD kChunk = 1024 * 1024;
    CAutoHandle in(CreateFileW(pwszSource, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CAutoHandle out(CreateFileW(pwszTarget, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.IsValid() || !out.IsValid())
        return FALSE;
    DWORD dwIgnored = 0;
    DeviceIoControl(out.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &dwIgnored, nullptr);
    std::vector<char> buffer(kChunk);
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(in.Get(), buffer.data(), kChunk, &dwRead, nullptr))
            return FALSE;
        if (!dwRead)
            break;
        bool bZero = std::all_of(buffer.begin(), buffer.begin() + dwRead, [](char c) { return c == 0; });
        LARGE_INTEGER liSkip;
        liSkip.QuadPart = dwRead;
        DWORD dwWritten = 0;
        if (bZero ? !SetFilePointerEx(out.Get(), liSkip, nullptr, FILE_CURRENT)
                  : !WriteFile(out.Get(), buffer.data(), dwRead, &dwWritten, nullptr) || dwWritten != dwRead)
            return FALSE;
    }
    return SetEndOfFile(out.Get());
}

class LibraryHandle {
public:
    explicit LibraryHandle(HMODULE h) : m_h(h) {}
    ~LibraryHandle()
    {
        if (m_h)
            FreeLibrary(m_h);
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    HMODULE Get() const { return m_h; }

private:
    HMODULE m_h;
};

} // namespace

FARPROC WIMHelper::Callback()
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(OnWimMessage));
}

WIMHelper::WIMHelper()
{
    ZeroMemory(&m_event, sizeof m_event);
}

WIMHelper::~WIMHelper()
{
    Abort();
    Wait(INFINITE);
}

DWORD WIMHelper::Wait(DWORD dwMilliseconds)
{
    if (!m_thread.IsValid())
        return WAIT_OBJECT_0;
    return WaitForSingleObject(m_thread.Get(), dwMilliseconds);
}

HRESULT WIMHelper::Start(const wchar_t* pwszSource, const wchar_t* pwszDestination, const ULONGLONG* pullSplitSize)
{
    if (Wait(0) == WAIT_TIMEOUT)
        return S_FALSE; // one split at a time: a second one would write the same parts
    m_source = pwszSource ? pwszSource : L"";
    m_destination = pwszDestination ? pwszDestination : L"";
    m_ullSplitSize = pullSplitSize ? *pullSplitSize : 0;
    m_bAbort = false;
    m_hrResult = S_FALSE;
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr)));
    m_hrStart = m_thread.IsValid() ? S_OK : RD_E_SPLIT_THREAD;
    return m_hrStart;
}

HRESULT WIMHelper::AddListener(IWIMSplitEventListener* pListener)
{
    if (pListener) {
        std::lock_guard<std::mutex> lock(m_listenerLock);
        m_listeners.push_back(pListener);
    }
    return S_OK;
}

HRESULT WIMHelper::RemoveListener(IWIMSplitEventListener* pListener)
{
    std::lock_guard<std::mutex> lock(m_listenerLock);
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), pListener), m_listeners.end());
    return S_OK;
}

unsigned __stdcall WIMHelper::ThreadProc(void* pvHelper)
{
    WIMHelper* pHelper = static_cast<WIMHelper*>(pvHelper);
    if (!pHelper)
        return static_cast<unsigned>(NV_E_INVALID_ARG);
    HRESULT hr = pHelper->split();
    pHelper->m_hrResult = hr;
    if (FAILED(hr))
        pHelper->Notify(kSplitFailed, L"", L"", hr, nullptr, pHelper->m_event.progress);
    return static_cast<unsigned>(hr);
}

void WIMHelper::Notify(int iMessage, const wchar_t* pwszFirst, const wchar_t* pwszSecond, int iValue,
                       const ULONGLONG* pullSize, float fProgress)
{
    std::lock_guard<std::mutex> lock(m_listenerLock);
    m_event.message = iMessage;
    m_event.value = iValue;
    m_event.progress = fProgress;
    if (pullSize)
        m_event.partSize = *pullSize;
    if (pwszFirst)
        CopyPath(m_event.firstPath, pwszFirst);
    if (pwszSecond)
        CopyPath(m_event.secondPath, pwszSecond);
    for (IWIMSplitEventListener* pListener : m_listeners)
        pListener->OnSplitEvent(&m_event);
}

float WIMHelper::PartProgress(float fStart, float fSpan) const
{
    double dShare = static_cast<double>(m_ullProcessed) / static_cast<double>(m_ullImageSize);
    return fStart + fSpan * static_cast<float>(std::min(dShare, 1.0));
}

DWORD CALLBACK WIMHelper::OnWimMessage(DWORD dwMessage, WPARAM wParam, LPARAM lParam, PVOID pvUserData)
{
    WIMHelper* pHelper = static_cast<WIMHelper*>(pvUserData);
    if (!pHelper)
        return WIM_MSG_SUCCESS;
    if (dwMessage == WIM_MSG_SPLIT && wParam && lParam) {
        const ULONGLONG* pullSize = reinterpret_cast<const ULONGLONG*>(lParam);
        pHelper->m_ullProcessed += *pullSize;
        const wchar_t* pwszPart = reinterpret_cast<const wchar_t*>(wParam);
        pHelper->Notify(WIM_MSG_SPLIT, pwszPart, pwszPart, static_cast<int>(lParam), pullSize,
                        pHelper->PartProgress(0.0f, kMakePartsShare));
    } else if (dwMessage == WIM_MSG_ERROR) {
        // Carries an error code, not a path and a size.
        pHelper->Notify(WIM_MSG_ERROR, nullptr, nullptr, static_cast<int>(lParam), nullptr, pHelper->m_event.progress);
    }
    return pHelper->m_bAbort ? WIM_MSG_ABORT_IMAGE : WIM_MSG_SUCCESS;
}

void WIMHelper::CloseImage(HANDLE hWim, FARPROC pfnCallback)
{
    if (!hWim)
        return;
    if (pfnCallback)
        WIMUnregisterMessageCallback(hWim, pfnCallback);
    WIMCloseHandle(hWim);
}

// Both paths present, within MAX_PATH, and on different drives: a split
// onto its own drive would write over its source, and the parts' folder is
// deleted at the program's end.
HRESULT WIMHelper::CheckPaths()
{
    CAutoTrace trace(L"WIMHelper", L"split", this);
    if (m_source.empty() || m_destination.empty() || m_source.size() >= MAX_PATH || m_destination.size() >= MAX_PATH)
        return NV_E_PATH_ARG;
    if (!m_ullSplitSize) {
        trace.Print(L"Split size is 0");
        return NV_E_INVALID_ARG;
    }
    int iSourceDrive = PathGetDriveNumberW(m_source.c_str());
    int iDestinationDrive = PathGetDriveNumberW(m_destination.c_str());
    if ((iSourceDrive >= 0 && iSourceDrive == iDestinationDrive) || !_wcsicmp(m_source.c_str(), m_destination.c_str())) {
        trace.Print(L"Source and destination on the same drive, source = %s, destination = %s", m_source.c_str(),
                    m_destination.c_str());
        return NV_E_INVALID_ARG;
    }
    if (!NvFileExists(m_source.c_str())) {
        trace.Print(L"Source image not found, path = %s", m_source.c_str());
        return NV_E_FILE_NOT_EXIST;
    }
    return S_OK;
}

HRESULT WIMHelper::OpenImage(HANDLE* phWim, USHORT* pusTotalParts)
{
    CAutoTrace trace(L"WIMHelper", L"split", this);
    DWORD dwCreated = 0;
    HANDLE hWim = WIMCreateFile(m_source.c_str(), WIM_GENERIC_READ, WIM_OPEN_EXISTING, WIM_FLAG_VERIFY,
                                kCompressionXpress, &dwCreated);
    if (!hWim) {
        trace.Print(L"Call WIMCreageFile failed");
        return RD_E_WIM_CALL;
    }
    if (WIMRegisterMessageCallback(hWim, Callback(), this) == INVALID_CALLBACK_VALUE) {
        trace.Print(L"Call WIMRegisterMessageCallback failed");
        WIMCloseHandle(hWim);
        return RD_E_WIM_CALLBACK;
    }
    WIM_INFO info = {};
    if (!WIMGetAttributes(hWim, &info, sizeof info)) {
        trace.Print(L"Call WIMGetAttributes failed");
        CloseImage(hWim, Callback());
        return RD_E_WIM_CALL;
    }
    *phWim = hWim;
    *pusTotalParts = info.TotalParts;
    return S_OK;
}

HRESULT WIMHelper::MakeParts(HANDLE hWim, USHORT usTotalParts)
{
    CAutoTrace trace(L"WIMHelper", L"split", this);
    wchar_t wszFolder[MAX_PATH];
    CopyPath(wszFolder, m_destination.c_str());
    PathRemoveFileSpecW(wszFolder);
    PathAddBackslashW(wszFolder);
    HRESULT hr = NvCreateDirectoryW(wszFolder);
    if (FAILED(hr))
        return hr;
    SetFileAttributesW(wszFolder, FILE_ATTRIBUTE_HIDDEN);
    if (usTotalParts == 1) {
        LARGE_INTEGER liPartSize;
        liPartSize.QuadPart = static_cast<LONGLONG>(m_ullSplitSize);
        if (!WIMSplitFile(hWim, m_destination.c_str(), &liPartSize, 0)) {
            PrintWin32Error(GetLastError());
            trace.Print(L"Call WIMSplitFile failed");
            return RD_E_WIM_CALL;
        }
        return S_OK;
    }
    trace.Print(L"Source image has been splitted");
    std::wstring sourceFolder = m_source.substr(0, m_source.size() - wcslen(PathFindFileNameW(m_source.c_str())));
    if (FAILED(NvFindFolderSizeInByte(sourceFolder.c_str(), &m_ullImageSize, FALSE)) || !m_ullImageSize) {
        trace.Print(L"Get image size failed");
        m_ullImageSize = 1;
    }
    hr = CopySplitParts(m_source, wszFolder);
    if (FAILED(hr))
        trace.Print(L"Call CopyFileWithProgress failed");
    return hr;
}

HRESULT WIMHelper::split()
{
    CAutoTrace trace(L"WIMHelper", L"split", this);
    m_ullProcessed = 0;
    HRESULT hr = CheckPaths();
    if (FAILED(hr))
        return hr;
    if (FAILED(FindFileSizeInByte(m_source.c_str(), &m_ullImageSize)) || !m_ullImageSize) {
        trace.Print(L"Get image size failed");
        m_ullImageSize = 1;
    }
    HANDLE hWim = nullptr;
    USHORT usTotalParts = 0;
    if (FAILED(hr = OpenImage(&hWim, &usTotalParts)))
        return hr;
    if (FAILED(hr = MakeParts(hWim, usTotalParts))) {
        CloseImage(hWim, Callback());
        return hr;
    }
    HRESULT hrCom = CoInitialize(nullptr);
    hr = SplitBigParts(m_destination);
    if (SUCCEEDED(hrCom))
        CoUninitialize();
    CloseImage(hWim, Callback());
    if (FAILED(hr)) {
        trace.Print(L"Call SplitBigWIMImage failed");
        return hr;
    }
    Notify(kSplitFinished, L"", L"", 0, nullptr, 1.0f);
    return S_OK;
}

HRESULT WIMHelper::CopySplitParts(const std::wstring& source, const std::wstring& destinationFolder)
{
    m_ullProcessed = 0;
    std::wstring base, extension;
    SplitName(source, base, extension);
    std::wstring part = source;
    for (unsigned n = 2; NvFileExists(part.c_str()); ++n) {
        if (m_bAbort)
            return RD_E_CANCELLED;
        std::wstring target = destinationFolder + PathFindFileNameW(part.c_str());
        // A part that did not arrive would only show when its disc is burned.
        if (!CopyPart(part.c_str(), target.c_str()))
            return HRESULT_FROM_WIN32(GetLastError());
        ULONGLONG ullSize = 0;
        FindFileSizeInByte(part.c_str(), &ullSize);
        m_ullProcessed += ullSize;
        Notify(WIM_MSG_SPLIT, L"", L"", 0, nullptr, PartProgress(0.0f, kMakePartsShare));
        part = PartPath(base, n, extension);
    }
    return S_OK;
}

HRESULT WIMHelper::SplitBigParts(const std::wstring& firstPart)
{
    CAutoTrace trace(L"WIMHelper", L"SplitBigParts", this);
    m_ullProcessed = 0;
    std::wstring base, extension;
    SplitName(firstPart, base, extension);
    std::wstring library = m_spliceLibrary;
    if (library.empty())
        library = GetModuleFolderPath() + L"\\" + kSpliceLibraryName;
    LibraryHandle splice(LoadLibraryW(library.c_str()));
    if (!splice.Get()) {
        PrintWin32Error(GetLastError());
        trace.Print(L"Cannot load %s", library.c_str());
        return NV_E_LOAD_LIBRARY;
    }
    PFN_SplitBigWIM pfnSplit = reinterpret_cast<PFN_SplitBigWIM>(
        reinterpret_cast<void (*)()>(GetProcAddress(splice.Get(), "SplitBigWIM")));
    if (!pfnSplit) {
        PrintWin32Error(GetLastError());
        trace.Print(L"%s lacks %s", library.c_str(), kSpliceFunction);
        return RD_E_SPLIT_FUNCTION;
    }
    ULONGLONG ullMiB = m_ullSplitSize / kMiB;
    int iMiB = ullMiB > INT_MAX ? INT_MAX : static_cast<int>(ullMiB ? ullMiB : 1);
    std::wstring part = firstPart;
    for (unsigned n = 2; NvFileExists(part.c_str()); ++n) {
        if (m_bAbort)
            return RD_E_CANCELLED;
        CAutoHandle check(CreateFileW(part.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!check.IsValid()) {
            PrintWin32Error(GetLastError());
            return NV_E_FILE_IO;
        }
        check.Close();
        ULONGLONG ullSize = 0;
        FindFileSizeInByte(part.c_str(), &ullSize);
        if (ullSize > m_ullSplitSize) {
            int iResult = pfnSplit(part.c_str(), iMiB);
            if (iResult != 0)
                return iResult < 0 ? static_cast<HRESULT>(iResult) : E_FAIL;
        }
        m_ullProcessed += ullSize;
        Notify(WIM_MSG_SPLIT, L"", L"", 0, nullptr, PartProgress(kMakePartsShare, kCheckSizesShare));
        part = PartPath(base, n, extension);
    }
    return S_OK;
}
