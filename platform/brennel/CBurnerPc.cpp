#include "CBurnerPc.h"

#include <cctype>

namespace {

HRESULT ReadState(SimPcState& state)
{
    CSimPc pc(CBurnerPc::Who());
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return pc.Read(state);
}

SimOptical* FindDrive(SimPcState& state, char letter)
{
    return state.FindOptical((wchar_t)toupper((unsigned char)letter));
}

} // namespace

const wchar_t* CBurnerPc::Who()
{
    return sizeof(void*) == 8 ? L"Brennel/64" : L"Brennel/32";
}

HRESULT CBurnerPc::ReadDrive(char letter, SimOptical& drive, SimDisc* disc, bool* hasDisc)
{
    if (hasDisc)
        *hasDisc = false;
    SimPcState state;
    HRESULT hr = ReadState(state);
    if (FAILED(hr))
        return hr;
    SimOptical* found = FindDrive(state, letter);
    if (!found)
        return BRN_E_NO_SUCH_DRIVE;
    drive = *found;
    const SimDisc* inside = drive.IsReady() ? state.FindDisc(drive.disc) : nullptr;
    if (inside && disc)
        *disc = *inside;
    if (hasDisc)
        *hasDisc = inside != nullptr;
    return S_OK;
}

HRESULT CBurnerPc::ReadPresent(char letter, SimOptical& drive, SimDisc* disc, bool* hasDisc)
{
    HRESULT hr = ReadDrive(letter, drive, disc, hasDisc);
    if (SUCCEEDED(hr) && !drive.present)
        return BRN_E_DRIVE_GONE;
    return hr;
}

HRESULT CBurnerPc::ChangeDrive(char letter, const DriveChange& change)
{
    CSimPc pc(Who());
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return pc.Update([&](SimPcState& state) -> HRESULT {
        SimOptical* drive = FindDrive(state, letter);
        return drive ? change(pc, state, *drive) : BRN_E_NO_SUCH_DRIVE;
    });
}

HRESULT CBurnerPc::PresentLetters(std::vector<char>& letters)
{
    letters.clear();
    SimPcState state;
    HRESULT hr = ReadState(state);
    if (FAILED(hr))
        return hr;
    for (const SimOptical& o : state.opticals)
        if (o.present)
            letters.push_back((char)o.letter);
    return S_OK;
}

void CBurnerPc::Journal(const std::wstring& text)
{
    CSimPc pc(Who());
    if (pc.Open())
        pc.Journal(text);
}

std::wstring CBurnerPc::ContentFolder(CSimPc& pc, const SimOptical& drive)
{
    return drive.present && !drive.trayOpen ? pc.DriveFolder(drive.letter) : pc.DiscFolder(drive.disc);
}
