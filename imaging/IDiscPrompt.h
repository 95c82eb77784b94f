// What the burning-engine client asks of the user while it waits for a disc:
// the program shows its waiting-disc dialog and message boxes, a headless
// driver or a test answers by itself.
#pragma once

#include <windows.h>

class IDiscPrompt {
public:
    virtual ~IDiscPrompt() = default;
    // Shows the waiting dialog with the text of the string id until a medium
    // is ready (TRUE) or the user cancels (FALSE).
    virtual BOOL WaitForMedium(UINT uTextId) = 0;
    // Tells the user by string id that the inserted disc cannot be used.
    virtual void TellDiscRefused(UINT uTextId) = 0;
};
