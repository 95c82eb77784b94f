// A wimgapi.dll whose calls succeed or fail as the test scripts them, with no
// WIM file behind them. It shows how the manager reads failures that our
// real library never produces, such as a null handle with no last error.
#define WIMGAPI_BUILDING
#include "wimgapi.h"

#include "FakeWimgapi.h"

namespace {

struct FakeObject {
    bool bWim;
    bool bWritten;
};

volatile DWORD g_dwFaults = FAKE_NONE;
volatile LONG g_lOpen = 0;
volatile LONG g_lCallbacks = 0;
volatile LONG g_lReferenceCalls = 0;
volatile LONG g_lApplyCalls = 0;

HANDLE NewObject(bool bWim, bool bWritten)
{
    InterlockedIncrement(&g_lOpen);
    return new FakeObject{bWim, bWritten};
}

bool Fault(DWORD dwFault)
{
    return (g_dwFaults & dwFault) != 0;
}

} // namespace

extern "C" {

void WINAPI FakeWimScript(DWORD dwFaults)
{
    g_dwFaults = dwFaults;
    g_lReferenceCalls = 0;
    g_lApplyCalls = 0;
}

void WINAPI FakeWimGetState(FakeWimState* pState)
{
    pState->openHandles = g_lOpen;
    pState->registeredCallbacks = g_lCallbacks;
    pState->referenceCalls = g_lReferenceCalls;
    pState->applyCalls = g_lApplyCalls;
}

HANDLE WINAPI WIMCreateFile(PCWSTR, DWORD dwAccess, DWORD, DWORD, DWORD, PDWORD pdwResult)
{
    if (pdwResult)
        *pdwResult = WIM_CREATED_NEW;
    if (Fault(FAKE_CREATE_NULL)) {
        SetLastError(ERROR_SUCCESS);
        return nullptr;
    }
    return NewObject(true, (dwAccess & WIM_GENERIC_WRITE) != 0);
}

BOOL WINAPI WIMCloseHandle(HANDLE hObject)
{
    FakeObject* pObject = static_cast<FakeObject*>(hObject);
    if (!pObject) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool bFail = pObject->bWim && pObject->bWritten && Fault(FAKE_CLOSE_WRITTEN);
    delete pObject;
    InterlockedDecrement(&g_lOpen);
    if (bFail) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI WIMSetTemporaryPath(HANDLE, PCWSTR)
{
    return TRUE;
}

BOOL WINAPI WIMSetReferenceFile(HANDLE, PCWSTR, DWORD)
{
    InterlockedIncrement(&g_lReferenceCalls);
    if (Fault(FAKE_REFERENCE)) {
        SetLastError(ERROR_BAD_FORMAT);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI WIMGetAttributes(HANDLE, PWIM_INFO pInfo, DWORD cbInfo)
{
    if (Fault(FAKE_ATTRIBUTES) || cbInfo < sizeof(WIM_INFO)) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    ZeroMemory(pInfo, sizeof(*pInfo));
    pInfo->ImageCount = 1;
    pInfo->PartNumber = 1;
    pInfo->TotalParts = 1;
    return TRUE;
}

HANDLE WINAPI WIMLoadImage(HANDLE, DWORD)
{
    if (Fault(FAKE_LOAD_NULL)) {
        SetLastError(ERROR_SUCCESS);
        return nullptr;
    }
    return NewObject(false, false);
}

HANDLE WINAPI WIMCaptureImage(HANDLE, PCWSTR, DWORD)
{
    if (Fault(FAKE_CAPTURE_NULL)) {
        SetLastError(ERROR_SUCCESS);
        return nullptr;
    }
    return NewObject(false, false);
}

BOOL WINAPI WIMApplyImage(HANDLE, PCWSTR, DWORD)
{
    InterlockedIncrement(&g_lApplyCalls);
    if (Fault(FAKE_APPLY)) {
        SetLastError(ERROR_SUCCESS);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI WIMRegisterMessageCallback(HANDLE, FARPROC fpMessageProc, PVOID)
{
    if (!fpMessageProc)
        return INVALID_CALLBACK_VALUE;
    return static_cast<DWORD>(InterlockedIncrement(&g_lCallbacks) - 1);
}

BOOL WINAPI WIMUnregisterMessageCallback(HANDLE, FARPROC fpMessageProc)
{
    if (fpMessageProc && g_lCallbacks > 0)
        InterlockedDecrement(&g_lCallbacks);
    return TRUE;
}

} // extern "C"
