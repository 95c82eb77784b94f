// The program's answers to the disc waits of the burning-engine client and
// the questions of a file restore: the waiting-disc dialog and message boxes
// owned by the main window, shown on the thread that waits.
#pragma once

#include <string>

#include "CDiscBurner.h"
#include "IDiscPrompt.h"
#include "IMediaReadyProbe.h"

class CWaitingDiscPrompt : public IDiscPrompt, public IMediaReadyProbe {
public:
    explicit CWaitingDiscPrompt(CDiscBurner& burner) : m_burner(burner) {}
    BOOL WaitForMedium(UINT uTextId) override;
    void TellDiscRefused(UINT uTextId) override;
    HRESULT IsMediaReady() override { return m_burner.IsMediaReady(); }
    // A restore's question by string id with its argument; the button pressed.
    static int AskRestore(UINT uId, const std::wstring& strArg);

private:
    CDiscBurner& m_burner;
};
