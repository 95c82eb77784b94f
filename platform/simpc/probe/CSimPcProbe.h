// Lists the simulated PC through the three interfaces the programs use (the
// disk library, IDiskMgmt, IBurnMgmt) and through Wine's drives, and checks
// each against the description.
#pragma once

#include "Brennel.h"
#include "DiskMgmt.h"
#include "SimPcTypes.h"

#include <string>

class CSimPcProbe {
public:
    // The listing, one line per item; mismatches start with "MISMATCH".
    const std::wstring& Report() const { return m_report; }
    int Mismatches() const { return m_mismatches; }

    // Runs every check against the description as it is now. The COM objects
    // must be creatable (COM initialised on the calling thread).
    HRESULT Run();
    // Reads the description the checks compare with.
    HRESULT Load();
    // Runs the IDiskMgmt and IBurnMgmt checks through given objects.
    void CheckDiskMgmt(IDiskMgmt* pDisk);
    void CheckBurnMgmt(IBurnMgmt* pBurn);
    // The burning engine Brennel.dll against IBurnMgmt: the same drives in
    // the same order, and the same disc in each.
    void CheckBrennel(IBurnMgmt* pBurn);

private:
    void CheckDiskLibrary();
    void CheckWineDrives();
    void CheckBrennelDrive(IBurnEngine* pEngine, IBurnMgmt* pBurn, DWORD index);
    void CheckBrennelDisc(IBurnEngine* pEngine, IBurnDrive* pDrive, const BurnDiscInfo& info,
                          const std::wstring& label, DWORD index);
    void Line(const std::wstring& text);
    void Expect(bool ok, const std::wstring& what);

    SimPcState m_state;
    std::wstring m_report;
    int m_mismatches = 0;
};
