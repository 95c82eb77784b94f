#include "SimPcTypes.h"

#include <memory>

int SimDisk::SlotOfPartition(DWORD partition) const
{
    DWORD n = 0;
    for (int k = 0; k < 4; ++k) {
        if (!slots[k].IsUsed())
            continue;
        if (++n == partition)
            return k;
    }
    return -1;
}

DWORD SimDisk::PartitionCount() const
{
    DWORD n = 0;
    for (const SimPartition& p : slots)
        n += p.IsUsed() ? 1 : 0;
    return n;
}

std::wstring SimPcState::Value(const std::wstring& key, const std::wstring& def) const
{
    auto it = pc.find(key);
    return it == pc.end() ? def : it->second;
}

SimDisc* SimPcState::FindDisc(const std::wstring& id)
{
    for (SimDisc& d : discs)
        if (d.id == id)
            return &d;
    return nullptr;
}

SimPartition* SimPcState::FindVolume(wchar_t letter, DWORD* disk)
{
    letter = (wchar_t)towupper(letter);
    for (size_t d = 0; d < disks.size(); ++d) {
        for (SimPartition& p : disks[d].slots) {
            if (p.IsUsed() && p.letter == letter) {
                if (disk)
                    *disk = (DWORD)d;
                return &p;
            }
        }
    }
    return nullptr;
}

SimOptical* SimPcState::FindOptical(wchar_t letter)
{
    letter = (wchar_t)towupper(letter);
    for (SimOptical& o : opticals)
        if (o.letter == letter)
            return &o;
    return nullptr;
}

bool SimPcState::LetterInUse(wchar_t letter) const
{
    letter = (wchar_t)towupper(letter);
    for (const SimDisk& d : disks)
        for (const SimPartition& p : d.slots)
            if (p.IsUsed() && p.letter == letter)
                return true;
    for (const SimOptical& o : opticals)
        if (o.letter == letter)
            return true;
    return false;
}

wchar_t SimPcState::FreeLetter() const
{
    for (wchar_t c : Value(L"letters")) {
        c = (wchar_t)towupper(c);
        if (c >= L'A' && c <= L'Z' && c != L'C' && !LetterInUse(c))
            return c;
    }
    return 0;
}

std::wstring SimPcState::NewId(const wchar_t* prefix)
{
    unsigned long next = wcstoul(Value(L"next_id", L"1").c_str(), nullptr, 10);
    if (next == 0)
        next = 1;
    pc[L"next_id"] = std::to_wstring(next + 1);
    return prefix + std::to_wstring(next);
}

bool SimOptical::IsBurning() const
{
    static const wchar_t kPidTag[] = L" pid ";
    auto startsWith = [this](const wchar_t* word) { return !burn.compare(0, wcslen(word), word); };
    if (!startsWith(L"writing") && !startsWith(L"finishing"))
        return false;
    // A burner that died mid-burn leaves its state behind; only a live one counts.
    size_t at = burn.find(kPidTag);
    DWORD pid = at == std::wstring::npos ? 0 : (DWORD)wcstoul(burn.c_str() + at + wcslen(kPidTag), nullptr, 10);
    if (!pid || pid == GetCurrentProcessId())
        return true;
    std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> process(OpenProcess(SYNCHRONIZE, FALSE, pid), CloseHandle);
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}
