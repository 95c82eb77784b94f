// The simulated PC's writer E: as the burning-client tests use it: new discs,
// what is in the tray and queued, and a user who answers the disc waits.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CDiscBurner.h"
#include "SimPcTypes.h"

namespace DiscRig {

const wchar_t kWriter = L'E';
const DWORD kDvdSectors = 2298496;
const DWORD kCdSectors = 359847;

struct DiscSpec {
    DWORD dwMedia;
    DWORD dwSectors;
    bool bBlank;
};

SimPcState Read();
bool ChangeWriter(const std::function<void(SimOptical&)>& change, wchar_t wcDrive = kWriter);
// New discs of the specs: the first goes into the drive (none: the tray
// stays empty), the rest are queued. The new ids, in order.
std::vector<std::wstring> Load(const std::vector<DiscSpec>& discs, wchar_t wcDrive = kWriter);
// Puts known discs in: the first into the tray, the rest queued.
bool LoadKnown(const std::vector<std::wstring>& ids, wchar_t wcDrive = kWriter);
// A new recorded disc with the label, not in any drive; its id.
std::wstring NewRecordedDisc(const std::wstring& label);
// The folder holding a disc's files while it is out of the drive.
std::wstring DiscFolder(const std::wstring& id);
// The id of the recorded disc with this label, or "".
std::wstring DiscLabelled(const std::wstring& label);

// A user at the writer: each wait ends as soon as a medium is ready (the
// tray opening fed the next queued disc, or the user's action put one in),
// or is cancelled when told to.
class CUser : public IDiscPrompt {
public:
    explicit CUser(CDiscBurner& burner) : m_burner(burner) {}
    BOOL WaitForMedium(UINT uTextId) override;
    void TellDiscRefused(UINT uTextId) override { m_refused.push_back(uTextId); }
    void Forget()
    {
        m_waits.clear();
        m_refused.clear();
    }

    std::vector<UINT> m_waits;
    std::vector<UINT> m_refused;
    bool m_bCancelWaits = false;
    // Done when a wait begins, as a user who then inserts a disc.
    std::function<void()> m_onWait;

private:
    CDiscBurner& m_burner;
};

} // namespace DiscRig
