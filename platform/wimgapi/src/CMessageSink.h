// The registered message callbacks. A callback registered with no WIM handle
// hears every operation of the process; one registered with a handle hears
// only that handle's operations. Callbacks run on the calling thread.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

#include "wimgapi.h"

class CMessageSink {
public:
    static CMessageSink& Instance();

    DWORD Register(HANDLE hWim, FARPROC proc, PVOID user);
    // Removes the latest registration of proc with hWim, or with no proc
    // every callback of hWim. FALSE when nothing matched; harmless either way.
    BOOL Unregister(HANDLE hWim, FARPROC proc);
    void ForgetHandle(HANDLE hWim);

    // Sends to every callback that hears hWim, in the order they were
    // registered, until one answers WIM_MSG_DONE; WIM_MSG_ABORT_IMAGE when
    // any of them asked to abort.
    DWORD Send(HANDLE hWim, DWORD message, WPARAM wParam, LPARAM lParam);

private:
    struct Entry {
        HANDLE hWim;
        WIMMessageCallback proc;
        PVOID user;
    };
    std::mutex m_lock;
    std::vector<Entry> m_entries;
};
