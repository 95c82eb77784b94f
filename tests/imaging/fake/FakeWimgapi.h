// Control of the scripted wimgapi.dll that the fault tests load in place of
// ours: which call fails, and what the calls left behind.
#pragma once

#include <windows.h>

enum FakeWimFault : DWORD {
    FAKE_NONE = 0,
    FAKE_CREATE_NULL = 0x01,     // WIMCreateFile: null, last error 0
    FAKE_ATTRIBUTES = 0x02,      // WIMGetAttributes: FALSE
    FAKE_REFERENCE = 0x04,       // WIMSetReferenceFile: FALSE every time
    FAKE_LOAD_NULL = 0x08,       // WIMLoadImage: null, last error 0
    FAKE_APPLY = 0x10,           // WIMApplyImage: FALSE, last error 0
    FAKE_CAPTURE_NULL = 0x20,    // WIMCaptureImage: null, last error 0
    FAKE_CLOSE_WRITTEN = 0x40,   // WIMCloseHandle of a WIM opened for writing: FALSE
};

struct FakeWimState {
    LONG openHandles;
    LONG registeredCallbacks;
    LONG referenceCalls;
    LONG applyCalls;
};

typedef void(WINAPI* PFN_FakeWimScript)(DWORD dwFaults);
typedef void(WINAPI* PFN_FakeWimGetState)(FakeWimState* pState);
