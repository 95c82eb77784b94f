#include "Win32Error.h"

#include "CAutoTrace.h"
#include "NvErrorCode.h"

void PrintWin32Error(DWORD dwErrorCode)
{
#ifdef RV_DISCORA
    (void)dwErrorCode;
#else
    wchar_t wszMessage[MAX_PATH] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwErrorCode,
                   0x0400, wszMessage, MAX_PATH - 1, nullptr);
    DebugPrint(L"Win32 System Info Code = %lu, Info Message = %s\n", dwErrorCode, wszMessage);
#endif
}

HRESULT SafeCloseHandle(HANDLE* phHandle)
{
    if (phHandle == nullptr || *phHandle == nullptr || *phHandle == INVALID_HANDLE_VALUE)
        return S_OK;
    if (!CloseHandle(*phHandle)) {
        PrintWin32Error(GetLastError());
        return NV_E_CLOSE_HANDLE;
    }
    *phHandle = nullptr;
    return S_OK;
}
