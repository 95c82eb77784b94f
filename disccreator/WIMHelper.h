// Splits the factory image into disc-sized parts on a thread of its own and
// reports progress to listeners. Every split ends with exactly one terminal
// event: kSplitFinished, or kSplitFailed with the failure code as value.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "CAutoHandle.h"

// Messages of the events besides the imaging API's own (WIM_MSG_SPLIT for
// a part made, copied or examined; WIM_MSG_ERROR passed on from the split).
constexpr int kSplitFinished = -256;
constexpr int kSplitFailed = -257;

struct WIMSplitEvent {
    int message;
    wchar_t firstPath[MAX_PATH];
    wchar_t secondPath[MAX_PATH];
    int value;
    ULONGLONG partSize;
    float progress;
};

class IWIMSplitEventListener {
public:
    virtual ~IWIMSplitEventListener() = default;
    // Called on the split thread; must return at once.
    virtual BOOL OnSplitEvent(const WIMSplitEvent* pEvent) = 0;
};

class WIMHelper {
public:
    WIMHelper();
    // Stops a running split at its next step and waits for its thread.
    ~WIMHelper();
    WIMHelper(const WIMHelper&) = delete;
    WIMHelper& operator=(const WIMHelper&) = delete;

    // Starts the split thread: S_OK, S_FALSE while a split runs,
    // RD_E_SPLIT_THREAD when no thread could be made.
    HRESULT Start(const wchar_t* pwszSource, const wchar_t* pwszDestination, const ULONGLONG* pullSplitSize);
    HRESULT AddListener(IWIMSplitEventListener* pListener);
    HRESULT RemoveListener(IWIMSplitEventListener* pListener);
    // Asks a running split to stop; it then ends with kSplitFailed.
    void Abort() { m_bAbort = true; }
    // WAIT_OBJECT_0 when no split runs (any more).
    DWORD Wait(DWORD dwMilliseconds);
    // The result of the last split (S_FALSE before the first has ended).
    HRESULT GetResult() const { return m_hrResult; }
    // Full path of the split library; default: Wimsplice.dll in the program folder.
    void SetSpliceLibrary(const wchar_t* pwszPath) { m_spliceLibrary = pwszPath ? pwszPath : L""; }

private:
    static unsigned __stdcall ThreadProc(void* pvHelper);
    static DWORD CALLBACK OnWimMessage(DWORD dwMessage, WPARAM wParam, LPARAM lParam, PVOID pvUserData);
    static FARPROC Callback();
    HRESULT split();
    HRESULT CheckPaths();
    HRESULT OpenImage(HANDLE* phWim, USHORT* pusTotalParts);
    HRESULT MakeParts(HANDLE hWim, USHORT usTotalParts);
    HRESULT CopySplitParts(const std::wstring& source, const std::wstring& destinationFolder);
    HRESULT SplitBigParts(const std::wstring& firstPart);
    void CloseImage(HANDLE hWim, FARPROC pfnCallback);
    void Notify(int iMessage, const wchar_t* pwszFirst, const wchar_t* pwszSecond, int iValue,
                const ULONGLONG* pullSize, float fProgress);
    float PartProgress(float fStart, float fSpan) const;

    std::vector<IWIMSplitEventListener*> m_listeners;
    std::wstring m_source;
    std::wstring m_destination;
    ULONGLONG m_ullSplitSize = 0;
    std::mutex m_listenerLock;
    CAutoHandle m_thread;
    WIMSplitEvent m_event;
    HRESULT m_hrStart = S_OK;
    ULONGLONG m_ullImageSize = 0;
    ULONGLONG m_ullProcessed = 0;
    std::atomic<bool> m_bAbort{false};
    std::atomic<HRESULT> m_hrResult{S_FALSE};
    std::wstring m_spliceLibrary;
};
