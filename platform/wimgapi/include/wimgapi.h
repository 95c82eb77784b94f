// Windows Imaging API as our programs call it: WIM files, images, split
// parts, reference files, mounts and the message callback.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef WIMGAPI_BUILDING
#define WIMGAPI_API WINAPI
#else
#define WIMGAPI_API __declspec(dllimport) WINAPI
#endif

// Access.
#define WIM_GENERIC_READ  GENERIC_READ
#define WIM_GENERIC_WRITE GENERIC_WRITE
#define WIM_GENERIC_MOUNT GENERIC_EXECUTE

// Creation disposition.
#define WIM_CREATE_NEW    CREATE_NEW
#define WIM_CREATE_ALWAYS CREATE_ALWAYS
#define WIM_OPEN_EXISTING OPEN_EXISTING
#define WIM_OPEN_ALWAYS   OPEN_ALWAYS

// Creation result.
#define WIM_CREATED_NEW     0
#define WIM_OPENED_EXISTING 1

// Flags of create, capture and apply.
#define WIM_FLAG_RESERVED       0x00000001
#define WIM_FLAG_VERIFY         0x00000002
#define WIM_FLAG_INDEX          0x00000004
#define WIM_FLAG_NO_APPLY       0x00000008
#define WIM_FLAG_NO_DIRACL      0x00000010
#define WIM_FLAG_NO_FILEACL     0x00000020
#define WIM_FLAG_SHARE_WRITE    0x00000040
#define WIM_FLAG_FILEINFO       0x00000080
#define WIM_FLAG_NO_RP_FIX      0x00000100
#define WIM_FLAG_MOUNT_READONLY 0x00000200

// Reference files.
#define WIM_REFERENCE_APPEND  0x00010000
#define WIM_REFERENCE_REPLACE 0x00020000

// Compression.
#define WIM_COMPRESS_NONE   0
#define WIM_COMPRESS_XPRESS 1
#define WIM_COMPRESS_LZX    2
#define WIM_COMPRESS_LZMS   3

// WIM attributes (WIM_INFO.WimAttributes).
#define WIM_ATTRIBUTE_NORMAL        0x00000000
#define WIM_ATTRIBUTE_RESOURCE_ONLY 0x00000001
#define WIM_ATTRIBUTE_METADATA_ONLY 0x00000002
#define WIM_ATTRIBUTE_VERIFY_DATA   0x00000004
#define WIM_ATTRIBUTE_RP_FIX        0x00000008
#define WIM_ATTRIBUTE_SPANNED       0x00000010
#define WIM_ATTRIBUTE_READONLY      0x00000020

#define INVALID_CALLBACK_VALUE 0xFFFFFFFF

// Messages sent to the callback.
#define WIM_MSG            (WM_APP + 0x1476)
#define WIM_MSG_TEXT       (WIM_MSG + 1)
#define WIM_MSG_PROGRESS   (WIM_MSG + 2)
#define WIM_MSG_PROCESS    (WIM_MSG + 3)
#define WIM_MSG_SCANNING   (WIM_MSG + 4)
#define WIM_MSG_SETRANGE   (WIM_MSG + 5)
#define WIM_MSG_SETPOS     (WIM_MSG + 6)
#define WIM_MSG_STEPIT     (WIM_MSG + 7)
#define WIM_MSG_COMPRESS   (WIM_MSG + 8)
#define WIM_MSG_ERROR      (WIM_MSG + 9)
#define WIM_MSG_ALIGNMENT  (WIM_MSG + 10)
#define WIM_MSG_RETRY      (WIM_MSG + 11)
#define WIM_MSG_SPLIT      (WIM_MSG + 12)
#define WIM_MSG_FILEINFO   (WIM_MSG + 13)
#define WIM_MSG_INFO       (WIM_MSG + 14)
#define WIM_MSG_WARNING    (WIM_MSG + 15)
#define WIM_MSG_CHK_PROCESS (WIM_MSG + 16)

// Callback answers.
#define WIM_MSG_SUCCESS     ERROR_SUCCESS
#define WIM_MSG_DONE        0xFFFFFFF0
#define WIM_MSG_SKIP_ERROR  0xFFFFFFFE
#define WIM_MSG_ABORT_IMAGE 0xFFFFFFFF

typedef struct _WIM_INFO {
    WCHAR  WimPath[MAX_PATH];
    GUID   Guid;
    DWORD  ImageCount;
    DWORD  CompressionType;
    USHORT PartNumber;
    USHORT TotalParts;
    DWORD  BootIndex;
    DWORD  WimAttributes;
    DWORD  WimFlagsAndAttr;
} WIM_INFO, *PWIM_INFO, *LPWIM_INFO;

// The callback: message, wParam, lParam, the registrant's data.
typedef DWORD (CALLBACK* WIMMessageCallback)(DWORD dwMessageId, WPARAM wParam, LPARAM lParam, PVOID pvUserData);

HANDLE WIMGAPI_API WIMCreateFile(PCWSTR pszWimPath, DWORD dwDesiredAccess, DWORD dwCreationDisposition,
                                 DWORD dwFlagsAndAttributes, DWORD dwCompressionType, PDWORD pdwCreationResult);
BOOL WIMGAPI_API WIMCloseHandle(HANDLE hObject);
BOOL WIMGAPI_API WIMSetTemporaryPath(HANDLE hWim, PCWSTR pszPath);
BOOL WIMGAPI_API WIMSetReferenceFile(HANDLE hWim, PCWSTR pszPath, DWORD dwFlags);
BOOL WIMGAPI_API WIMSplitFile(HANDLE hWim, PCWSTR pszPartPath, PLARGE_INTEGER pliPartSize, DWORD dwFlags);
BOOL WIMGAPI_API WIMGetAttributes(HANDLE hWim, PWIM_INFO pWimInfo, DWORD cbWimInfo);
DWORD WIMGAPI_API WIMGetImageCount(HANDLE hWim);
HANDLE WIMGAPI_API WIMLoadImage(HANDLE hWim, DWORD dwImageIndex);
HANDLE WIMGAPI_API WIMCaptureImage(HANDLE hWim, PCWSTR pszPath, DWORD dwCaptureFlags);
BOOL WIMGAPI_API WIMApplyImage(HANDLE hImage, PCWSTR pszPath, DWORD dwApplyFlags);
DWORD WIMGAPI_API WIMRegisterMessageCallback(HANDLE hWim, FARPROC fpMessageProc, PVOID pvUserData);
BOOL WIMGAPI_API WIMUnregisterMessageCallback(HANDLE hWim, FARPROC fpMessageProc);
BOOL WIMGAPI_API WIMMountImage(PCWSTR pszMountPath, PCWSTR pszWimFileName, DWORD dwImageIndex, PCWSTR pszTempPath);
BOOL WIMGAPI_API WIMUnmountImage(PCWSTR pszMountPath, PCWSTR pszWimFileName, DWORD dwImageIndex, BOOL bCommitChanges);

#ifdef __cplusplus
}
#endif
