// What the burning-engine client asks the recovery controller while it waits
// for a recovery disc. A seam, so that the client's tests can answer without
// a controller; the program answers from its controller.
#pragma once

#include <windows.h>

#include <functional>

class CSBRMgr;

struct RecoveryDiscQueries {
    std::function<wchar_t()> bootDriveLetter;   // the boot optical drive's letter; 0 when unknown
    std::function<BOOL()> firstUserDiscPresent; // first disc of a user-created set in the boot drive
    std::function<wchar_t()> factoryDiscLetter; // letter of the factory disc; 0 when unknown

    // The answers of the controller, which must outlive the queries.
    static RecoveryDiscQueries FromController(CSBRMgr* pMgr);
};
