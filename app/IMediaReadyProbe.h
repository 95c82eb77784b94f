// What the waiting-disc dialog asks once a second in burn mode: whether the
// awaited medium is in the drive. The burning-engine client that shows the
// dialog answers it.
#pragma once

#include <windows.h>

class IMediaReadyProbe {
public:
    virtual ~IMediaReadyProbe() = default;
    // A success code when the medium is ready.
    virtual HRESULT IsMediaReady() = 0;
};
