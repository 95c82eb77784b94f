// The description file's text form: INI-like sections that a script on the
// Linux side reads and writes as easily as the stand-ins do.
#pragma once

#include "SimPcTypes.h"

#include <string>

class CSimPcFile {
public:
    // Fills state from the UTF-8 text; false (with a reason) on a malformed
    // file, so that no stand-in acts on a half-understood PC.
    static bool Parse(const std::string& text, SimPcState& state, std::wstring& error);
    static std::string Format(const SimPcState& state);

    // Ids name folders below the PC's own: letters, digits, '-' and '_' only.
    static bool IsValidId(const std::wstring& id);
};
