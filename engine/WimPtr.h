// An owner of a WIM manager that an operation created: released on every exit.
#pragma once

#include <memory>

#include "CWimMgr.h"

struct WimReleaser {
    void operator()(CWimMgr* p) const
    {
        if (p)
            p->Release();
    }
};
using WimPtr = std::unique_ptr<CWimMgr, WimReleaser>;
