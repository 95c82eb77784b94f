// The engine's view of the simulated PC: its optical drives and their discs,
// read and changed under the PC's lock, so that both bitnesses of the engine,
// IBurnMgmt and the harness see one state.
#pragma once

#include "Brennel.h"
#include "CSimPc.h"

#include <functional>
#include <string>
#include <vector>

class CBurnerPc {
public:
    using DriveChange = std::function<HRESULT(CSimPc&, SimPcState&, SimOptical&)>;

    // The drive of the letter, plugged in or not, and its disc when one is
    // in the closed tray (hasDisc).
    static HRESULT ReadDrive(char letter, SimOptical& drive, SimDisc* disc = nullptr, bool* hasDisc = nullptr);
    // As ReadDrive, and fails when the drive is unplugged.
    static HRESULT ReadPresent(char letter, SimOptical& drive, SimDisc* disc = nullptr, bool* hasDisc = nullptr);
    // Runs change on the drive of the letter under the lock and stores the result.
    static HRESULT ChangeDrive(char letter, const DriveChange& change);
    // Letters of the drives that are plugged in, in the description's order.
    static HRESULT PresentLetters(std::vector<char>& letters);
    static void Journal(const std::wstring& text);

    // The folder of the disc in the drive (its letter's folder) or, when the
    // drive is unplugged, the disc's own folder.
    static std::wstring ContentFolder(CSimPc& pc, const SimOptical& drive);
    static const wchar_t* Who();
};
