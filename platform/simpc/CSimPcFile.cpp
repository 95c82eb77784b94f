#include "CSimPcFile.h"

#include "SimPcText.h"

#include <sstream>

namespace {

using SimPcText::Narrow;
using SimPcText::Widen;

std::wstring Trim(const std::wstring& s)
{
    size_t b = s.find_first_not_of(L" \t\r\n");
    if (b == std::wstring::npos)
        return std::wstring();
    size_t e = s.find_last_not_of(L" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool ToNumber(const std::wstring& s, ULONGLONG& out)
{
    if (s.empty())
        return false;
    wchar_t* end = nullptr;
    out = wcstoull(s.c_str(), &end, 0);
    return end && *end == 0;
}

bool ToLetter(const std::wstring& s, wchar_t& out)
{
    if (s.empty()) {
        out = 0;
        return true;
    }
    wchar_t c = (wchar_t)towupper(s[0]);
    if (c < L'A' || c > L'Z' || (s.size() > 1 && s.substr(1) != L":"))
        return false;
    out = c;
    return true;
}

std::vector<std::wstring> Words(const std::wstring& s)
{
    std::vector<std::wstring> out;
    std::wistringstream in(s);
    std::wstring w;
    while (in >> w)
        out.push_back(w);
    return out;
}

// One section's keys as they are read; applied once the section is complete.
struct Section {
    std::vector<std::wstring> name;   // "[disk 0]" -> {"disk", "0"}
    std::vector<std::pair<std::wstring, std::wstring>> keys;
};

class Reader {
public:
    explicit Reader(SimPcState& state) : m_state(state) {}

    bool Apply(const Section& s, std::wstring& error)
    {
        const std::wstring& kind = s.name[0];
        if (kind == L"pc" && s.name.size() == 1)
            return ApplyPc(s);
        if (kind == L"disk" && s.name.size() == 2)
            return ApplyDisk(s, error);
        if (kind == L"partition" && s.name.size() == 3)
            return ApplyPartition(s, error);
        if (kind == L"optical" && s.name.size() == 2)
            return ApplyOptical(s, error);
        if (kind == L"disc" && s.name.size() == 2)
            return ApplyDisc(s, error);
        error = L"unknown section " + kind;
        return false;
    }

private:
    bool ApplyPc(const Section& s)
    {
        for (const auto& kv : s.keys)
            m_state.pc[kv.first] = kv.second;
        return true;
    }

    bool Index(const std::wstring& text, size_t limit, size_t& out, std::wstring& error)
    {
        ULONGLONG v = 0;
        if (!ToNumber(text, v) || v >= limit) {
            error = L"bad index " + text;
            return false;
        }
        out = (size_t)v;
        return true;
    }

    bool ApplyDisk(const Section& s, std::wstring& error)
    {
        size_t d = 0;
        if (!Index(s.name[1], 16, d, error))
            return false;
        if (m_state.disks.size() <= d)
            m_state.disks.resize(d + 1);
        SimDisk& disk = m_state.disks[d];
        for (const auto& kv : s.keys) {
            ULONGLONG v = 0;
            if (!ToNumber(kv.second, v)) {
                error = L"disk " + s.name[1] + L": bad value of " + kv.first;
                return false;
            }
            if (kv.first == L"main") disk.main = v != 0;
            else if (kv.first == L"ssd") disk.ssd = v != 0;
            else if (kv.first == L"removable") disk.removable = v != 0;
            else if (kv.first == L"bytes_per_sector") disk.bytesPerSector = (DWORD)v;
            else if (kv.first == L"sectors_per_track") disk.sectorsPerTrack = (DWORD)v;
            else if (kv.first == L"tracks_per_cylinder") disk.tracksPerCylinder = (DWORD)v;
            else if (kv.first == L"size") disk.size = v;
            else if (kv.first == L"pending_mounts") disk.pendingMounts = (DWORD)v;
        }
        return true;
    }

    bool ApplyPartition(const Section& s, std::wstring& error)
    {
        size_t d = 0, slot = 0;
        if (!Index(s.name[1], m_state.disks.size(), d, error) || !Index(s.name[2], 5, slot, error))
            return false;
        if (slot == 0) {
            error = L"partition slots count from 1";
            return false;
        }
        SimPartition& p = m_state.disks[d].slots[slot - 1];
        for (const auto& kv : s.keys) {
            const std::wstring& k = kv.first;
            const std::wstring& v = kv.second;
            ULONGLONG n = 0;
            bool numeric = k == L"type" || k == L"start" || k == L"size" || k == L"active" || k == L"hidden";
            if (numeric && !ToNumber(v, n)) {
                error = L"partition: bad value of " + k;
                return false;
            }
            if (k == L"id") p.id = v;
            else if (k == L"type") p.type = (BYTE)n;
            else if (k == L"start") p.start = n;
            else if (k == L"size") p.size = n;
            else if (k == L"fs") p.fs = v;
            else if (k == L"label") p.label = v;
            else if (k == L"active") p.active = n != 0;
            else if (k == L"hidden") p.hidden = n != 0;
            else if (k == L"letter" && !ToLetter(v, p.letter)) {
                error = L"partition: bad letter " + v;
                return false;
            }
        }
        if (p.IsUsed() && !CSimPcFile::IsValidId(p.id)) {
            error = L"partition: bad id " + p.id;
            return false;
        }
        return true;
    }

    bool ApplyOptical(const Section& s, std::wstring& error)
    {
        size_t i = 0;
        if (!Index(s.name[1], 26, i, error))
            return false;
        if (m_state.opticals.size() <= i)
            m_state.opticals.resize(i + 1);
        SimOptical& o = m_state.opticals[i];
        for (const auto& kv : s.keys) {
            const std::wstring& k = kv.first;
            const std::wstring& v = kv.second;
            ULONGLONG n = 0;
            if (k == L"letter") {
                if (!ToLetter(v, o.letter) || !o.letter) {
                    error = L"optical: bad letter " + v;
                    return false;
                }
            } else if (k == L"disc") {
                o.disc = v;
            } else if (k == L"queue") {
                o.queue = Words(v);
            } else if (k == L"tray") {
                o.trayOpen = v == L"open";
            } else if (ApplyBurner(o, k, v)) {
                continue;
            } else if (ToNumber(v, n)) {
                if (k == L"caps") o.caps = (DWORD)n;
                else if (k == L"present") o.present = n != 0;
                else if (k == L"locked") o.locked = n != 0;
                else if (k == L"burn_ms") o.burnMs = (DWORD)n;
            }
        }
        return true;
    }

    // The burning engine's keys of a drive; false for any other key.
    static bool ApplyBurner(SimOptical& o, const std::wstring& k, const std::wstring& v)
    {
        std::wstring* text = k == L"vendor" ? &o.vendor : k == L"product" ? &o.product
                           : k == L"revision" ? &o.revision : k == L"speeds" ? &o.speeds
                           : k == L"fault" ? &o.fault : k == L"burn" ? &o.burn : nullptr;
        if (text)
            *text = v;
        return text != nullptr;
    }

    bool ApplyDisc(const Section& s, std::wstring& error)
    {
        SimDisc disc;
        disc.id = s.name[1];
        if (!CSimPcFile::IsValidId(disc.id)) {
            error = L"disc: bad id " + disc.id;
            return false;
        }
        for (const auto& kv : s.keys) {
            ULONGLONG n = 0;
            if (kv.first == L"label") disc.label = kv.second;
            else if (kv.first == L"boot") disc.boot = kv.second;
            else if (!ToNumber(kv.second, n)) continue;
            else if (kv.first == L"media") disc.media = (DWORD)n;
            else if (kv.first == L"blank") disc.blank = n != 0;
            else if (kv.first == L"capacity") disc.capacity = (DWORD)n;
            else if (kv.first == L"free") disc.freeSectors = (DWORD)n;
        }
        m_state.discs.push_back(disc);
        return true;
    }

    SimPcState& m_state;
};

bool CheckReferences(SimPcState& state, std::wstring& error)
{
    for (SimOptical& o : state.opticals) {
        if (!o.letter) {
            error = L"optical drive without a letter";
            return false;
        }
        std::vector<std::wstring> ids = o.queue;
        if (!o.disc.empty())
            ids.push_back(o.disc);
        for (const std::wstring& id : ids) {
            if (!state.FindDisc(id)) {
                error = L"unknown disc " + id;
                return false;
            }
        }
    }
    return true;
}

void Put(std::ostringstream& out, const char* key, const std::wstring& value)
{
    out << key << " = " << Narrow(value) << "\n";
}

void Put(std::ostringstream& out, const char* key, ULONGLONG value)
{
    out << key << " = " << value << "\n";
}

std::wstring LetterText(wchar_t c)
{
    return c ? std::wstring(1, c) : std::wstring();
}

std::wstring Hex(BYTE b)
{
    wchar_t buf[8];
    swprintf(buf, 8, L"0x%02X", b);
    return buf;
}

} // namespace

bool CSimPcFile::IsValidId(const std::wstring& id)
{
    if (id.empty() || id.size() > 32)
        return false;
    for (wchar_t c : id)
        if (!iswalnum(c) && c != L'-' && c != L'_')
            return false;
    return true;
}

bool CSimPcFile::Parse(const std::string& text, SimPcState& state, std::wstring& error)
{
    state = SimPcState();
    Reader reader(state);
    std::wistringstream in(Widen(text));
    std::wstring line;
    Section current;
    int number = 0;
    auto flush = [&]() {
        if (current.name.empty())
            return true;
        return reader.Apply(current, error);
    };
    while (std::getline(in, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == L'#' || line[0] == L';')
            continue;
        if (line[0] == L'[') {
            if (line.back() != L']' || !flush())
                return error.empty() ? (error = L"bad section at line " + std::to_wstring(number), false) : false;
            current = Section();
            current.name = Words(line.substr(1, line.size() - 2));
            if (current.name.empty()) {
                error = L"empty section name at line " + std::to_wstring(number);
                return false;
            }
            continue;
        }
        size_t eq = line.find(L'=');
        if (eq == std::wstring::npos || current.name.empty()) {
            error = L"bad line " + std::to_wstring(number);
            return false;
        }
        current.keys.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    return flush() && CheckReferences(state, error);
}

std::string CSimPcFile::Format(const SimPcState& state)
{
    std::ostringstream out;
    out << "# Simulated PC. Written by the stand-ins and by sim/simpc; keep the format.\n";
    out << "[pc]\n";
    for (const auto& kv : state.pc)
        Put(out, Narrow(kv.first).c_str(), kv.second);
    for (size_t d = 0; d < state.disks.size(); ++d) {
        const SimDisk& disk = state.disks[d];
        out << "\n[disk " << d << "]\n";
        Put(out, "main", disk.main);
        Put(out, "ssd", disk.ssd);
        Put(out, "removable", disk.removable);
        Put(out, "size", disk.size);
        Put(out, "bytes_per_sector", disk.bytesPerSector);
        Put(out, "sectors_per_track", disk.sectorsPerTrack);
        Put(out, "tracks_per_cylinder", disk.tracksPerCylinder);
        Put(out, "pending_mounts", disk.pendingMounts);
        for (int k = 0; k < 4; ++k) {
            const SimPartition& p = disk.slots[k];
            if (!p.IsUsed())
                continue;
            out << "\n[partition " << d << " " << (k + 1) << "]\n";
            Put(out, "id", p.id);
            Put(out, "type", Hex(p.type));
            Put(out, "start", p.start);
            Put(out, "size", p.size);
            Put(out, "fs", p.fs);
            Put(out, "label", p.label);
            Put(out, "active", p.active);
            Put(out, "hidden", p.hidden);
            Put(out, "letter", LetterText(p.letter));
        }
    }
    for (size_t i = 0; i < state.opticals.size(); ++i) {
        const SimOptical& o = state.opticals[i];
        out << "\n[optical " << i << "]\n";
        Put(out, "letter", LetterText(o.letter));
        wchar_t caps[16];
        swprintf(caps, 16, L"0x%X", o.caps);
        Put(out, "caps", caps);
        Put(out, "present", o.present);
        Put(out, "tray", o.trayOpen ? L"open" : L"closed");
        Put(out, "locked", o.locked);
        Put(out, "disc", o.disc);
        std::wstring queue;
        for (const std::wstring& id : o.queue)
            queue += (queue.empty() ? L"" : L" ") + id;
        Put(out, "queue", queue);
        Put(out, "vendor", o.vendor);
        Put(out, "product", o.product);
        Put(out, "revision", o.revision);
        Put(out, "speeds", o.speeds);
        Put(out, "burn_ms", o.burnMs);
        Put(out, "fault", o.fault);
        Put(out, "burn", o.burn);
    }
    for (const SimDisc& disc : state.discs) {
        out << "\n[disc " << Narrow(disc.id) << "]\n";
        Put(out, "media", disc.media);
        Put(out, "blank", disc.blank);
        Put(out, "capacity", disc.capacity);
        Put(out, "free", disc.freeSectors);
        Put(out, "label", disc.label);
        Put(out, "boot", disc.boot);
    }
    return out.str();
}
