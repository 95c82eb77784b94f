// A receiver of the imaging library's messages during a capture or apply.
#pragma once

#include <windows.h>

class IListener {
public:
    virtual ~IListener() = default;
    // false asks to abort the running operation.
    virtual bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
};
