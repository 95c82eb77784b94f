// Helpers of the image-split tests: a real image captured from a tree, the
// split set joined and applied again, and a listener that records events.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "WIMHelper.h"

namespace SplitTestKit {

// A tree of incompressible files, one of them larger than bigMiB MiB.
bool MakeTree(const std::wstring& root, ULONGLONG ullBigBytes);
// Captures the tree into a new single-part image (no compression).
DWORD Capture(const std::wstring& tree, const std::wstring& wim);
// Rebuilds every part that the split library cut into pieces (base<n>.dat).
HRESULT JoinPieces(const std::wstring& firstPart);
// Applies the split set whose first part is given into an empty folder.
DWORD ApplySet(const std::wstring& firstPart, const std::wstring& target);
// Parts of the set: base.wim, base2.wim, ... and pieced parts, by number.
std::vector<std::wstring> PartNames(const std::wstring& firstPart);

struct Event {
    int message;
    int value;
    float progress;
};

class Recorder : public IWIMSplitEventListener {
public:
    BOOL OnSplitEvent(const WIMSplitEvent* pEvent) override;
    std::vector<Event> Events();

private:
    std::mutex m_lock;
    std::vector<Event> m_events;
};

} // namespace SplitTestKit
