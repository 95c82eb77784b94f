// Result codes of the suite. Every operation returns an HRESULT-form value:
// negative is failure, 0 (or another non-negative value) success.
#pragma once

#include <windows.h>

// General failures, family 0xE0EF.
enum NvErrorCode : HRESULT {
    NV_E_FILE_IO            = (HRESULT)0xE0EF0001, // create, open or read a file; required program file missing
    NV_E_FILE_SIZE          = (HRESULT)0xE0EF0002, // file size query or size computation failed
    NV_E_FAIL               = (HRESULT)0xE0EF0003, // start or operation failed
    NV_E_ALLOC              = (HRESULT)0xE0EF0004, // allocation failed, or a needed object was never created
    NV_E_VALUE              = (HRESULT)0xE0EF0005, // expected value missing or wrong
    NV_E_FORMAT_OVERFLOW    = (HRESULT)0xE0EF0006, // formatted command line or path did not fit
    NV_E_OS_VERSION         = (HRESULT)0xE0EF0007, // reading the Windows version failed
    NV_E_REGISTRY           = (HRESULT)0xE0EF0008, // registry read failed (not a missing key)
    NV_E_PATH_ARG           = (HRESULT)0xE0EF0009, // required path argument null or empty
    NV_E_CLOSE_HANDLE       = (HRESULT)0xE0EF000A, // closing a handle failed, or invalid thread handle
    NV_E_BUFFER_TOO_SMALL   = (HRESULT)0xE0EF000B, // caller's buffer too small, or path beyond 32,000 characters
    NV_E_NOT_FOUND          = (HRESULT)0xE0EF000C, // file, folder or key not found; enumeration failed
    NV_E_CREATE_DIR         = (HRESULT)0xE0EF000D, // folder creation failed, or GetWindowsDirectoryW failed
    NV_E_COPY_FILE          = (HRESULT)0xE0EF000E,
    NV_E_SET_ATTRIBUTES     = (HRESULT)0xE0EF000F,
    NV_E_DELETE_FILE        = (HRESULT)0xE0EF0010,
    NV_E_LOAD_LIBRARY       = (HRESULT)0xE0EF0011, // library missing or lacks the wanted function
    NV_E_BURNER_FUNCTION    = (HRESULT)0xE0EF0014, // disc creator: burning engine lacks a function
    NV_E_WAIT               = (HRESULT)0xE0EF0016, // waiting for a started tool failed
    NV_E_LAYOUT_MISMATCH    = (HRESULT)0xE0EF0018, // layout cannot be laid out on the disk
    NV_E_DRIVER_SETUP       = (HRESULT)0xE0EF001C,
    NV_E_INVALID_ARG        = (HRESULT)0xE0EF001E, // null, empty or out-of-range argument, or wrong state
    NV_E_BURNER_FACTORY     = (HRESULT)0xE0EF0029, // disc creator: class factory made no object
    NV_E_NO_LANGUAGE_PACK   = (HRESULT)0xE0EF002E,
    NV_E_FILE_NOT_EXIST     = (HRESULT)0xE0EF002F, // required file, folder or settings file missing
    NV_E_MOUNT              = (HRESULT)0xE0EF0031,
    NV_E_PARTITION_INFO     = (HRESULT)0xE0EF0038,
    NV_E_FILE_TIME          = (HRESULT)0xE0EF0044,
    NV_E_AC_LINE_STATUS     = (HRESULT)0xE0EF0049,
    NV_E_THREAD_EXIT_CODE   = (HRESULT)0xE0EF004C,
    NV_E_SHRINK_INDEX       = (HRESULT)0xE0EF004E,
};

// WIM file-backup and image-capture failures, family 0xE0EE.
enum NvWimErrorCode : HRESULT {
    NV_E_WIM_CREATE_FILE    = (HRESULT)0xE0EE0001,
    NV_E_WIM_CAPTURE        = (HRESULT)0xE0EE0002,
    NV_E_WIM_REGISTER_CB    = (HRESULT)0xE0EE0003,
    NV_E_CREATE_DIR_LEVEL   = (HRESULT)0xE0EE0004, // NvCreateDirectoryW
    NV_E_WIM_ATTRIBUTES     = (HRESULT)0xE0EE0009,
    NV_E_WIM_MOUNT          = (HRESULT)0xE0EE0010,
    NV_E_WIM_LOAD_IMAGE     = (HRESULT)0xE0EE0011,
    NV_E_WIM_APPLY          = (HRESULT)0xE0EE0012,
    NV_E_WIM_IMAGE_INDEX    = (HRESULT)0xE0EE0013,
    NV_E_WIM_TEMP_PATH      = (HRESULT)0xE0EE0014,
};

// The user cancelled: a stopped backup or an abandoned wait for a disc.
constexpr HRESULT NV_E_USER_CANCELLED = (HRESULT)0x80EF0816;

// Outside codes handled by name.
constexpr HRESULT NV_E_BURNER_OBJECTS  = (HRESULT)0xE0DD0029;
constexpr HRESULT NV_E_BURNER_WAITING  = (HRESULT)0xEB020A06;
