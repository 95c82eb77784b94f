#include "DiscRig.h"

#include "CSimPc.h"

namespace DiscRig {

namespace {

const DWORD kMediumWaitMs = 5000;
const DWORD kPollMs = 100;

bool Update(const std::function<HRESULT(CSimPc&, SimPcState&)>& change)
{
    CSimPc pc(L"test");
    return pc.Open() && SUCCEEDED(pc.Update([&](SimPcState& s) { return change(pc, s); }));
}

} // namespace

SimPcState Read()
{
    CSimPc pc(L"test");
    SimPcState state;
    if (pc.Open())
        pc.Read(state);
    return state;
}

bool ChangeWriter(const std::function<void(SimOptical&)>& change, wchar_t wcDrive)
{
    return Update([&](CSimPc&, SimPcState& s) {
        SimOptical* drive = s.FindOptical(wcDrive);
        if (!drive)
            return E_FAIL;
        change(*drive);
        return S_OK;
    });
}

std::vector<std::wstring> Load(const std::vector<DiscSpec>& discs, wchar_t wcDrive)
{
    std::vector<std::wstring> ids;
    bool ok = Update([&](CSimPc& pc, SimPcState& s) {
        for (const DiscSpec& spec : discs) {
            SimDisc disc;
            disc.id = s.NewId(L"testdisc");
            disc.media = spec.dwMedia;
            disc.blank = spec.bBlank;
            disc.capacity = spec.dwSectors;
            disc.freeSectors = spec.bBlank ? spec.dwSectors : spec.dwSectors / 2;
            disc.label = spec.bBlank ? L"" : L"USED_DISC";
            s.discs.push_back(disc);
            CreateDirectoryW(pc.DiscFolder(disc.id).c_str(), nullptr);
            ids.push_back(disc.id);
        }
        return S_OK;
    });
    return ok && LoadKnown(ids, wcDrive) ? ids : std::vector<std::wstring>();
}

bool LoadKnown(const std::vector<std::wstring>& ids, wchar_t wcDrive)
{
    return Update([&](CSimPc& pc, SimPcState& s) {
        SimOptical* drive = s.FindOptical(wcDrive);
        if (!drive)
            return E_FAIL;
        drive->queue.clear();
        HRESULT hr = pc.EjectDisc(s, *drive);
        if (FAILED(hr) || ids.empty())
            return hr;
        drive->queue.assign(ids.begin() + 1, ids.end());
        return pc.InsertDisc(s, *drive, ids.front());
    });
}

std::wstring NewRecordedDisc(const std::wstring& label)
{
    std::wstring id;
    bool ok = Update([&](CSimPc& pc, SimPcState& s) {
        SimDisc disc;
        disc.id = id = s.NewId(L"testdisc");
        disc.capacity = kDvdSectors;
        disc.freeSectors = kDvdSectors / 2;
        disc.label = label;
        s.discs.push_back(disc);
        CreateDirectoryW(pc.DiscFolder(disc.id).c_str(), nullptr);
        return pc.WriteLabel(pc.DiscFolder(disc.id), label);
    });
    return ok ? id : L"";
}

std::wstring DiscFolder(const std::wstring& id)
{
    CSimPc pc(L"test");
    return pc.Open() ? pc.DiscFolder(id) : L"";
}

std::wstring DiscLabelled(const std::wstring& label)
{
    for (const SimDisc& disc : Read().discs)
        if (disc.label == label && !disc.blank)
            return disc.id;
    return L"";
}

BOOL CUser::WaitForMedium(UINT uTextId)
{
    m_waits.push_back(uTextId);
    if (m_bCancelWaits)
        return FALSE;
    if (m_onWait)
        m_onWait();
    for (DWORD waited = 0; waited < kMediumWaitMs; waited += kPollMs) {
        if (m_burner.IsMediaReady() == S_OK)
            return TRUE;
        Sleep(kPollMs);
    }
    return FALSE;
}

} // namespace DiscRig
