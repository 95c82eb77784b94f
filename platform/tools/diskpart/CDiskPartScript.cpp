#include "CDiskPartScript.h"

#include <algorithm>
#include <cwctype>
#include <sstream>

namespace {

constexpr ULONGLONG MiB = 1ULL << 20;

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = (wchar_t)towlower(c);
    return s;
}

std::wstring Widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// "par" for "partition", "vol" for "volume": diskpart takes any prefix of
// at least three letters.
bool Is(const std::wstring& word, const wchar_t* full)
{
    size_t n = word.size();
    return n >= 3 && n <= wcslen(full) && !wcsncmp(word.c_str(), full, n);
}

// The value of "key=value" among the words; empty when absent.
std::wstring Option(const std::vector<std::wstring>& w, const wchar_t* key)
{
    std::wstring prefix = std::wstring(key) + L"=";
    for (const std::wstring& word : w) {
        if (word.size() >= prefix.size() && !_wcsnicmp(word.c_str(), prefix.c_str(), prefix.size())) {
            std::wstring value = word.substr(prefix.size());
            if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
                value = value.substr(1, value.size() - 2);
            return value;
        }
    }
    return std::wstring();
}

bool ToNumber(const std::wstring& s, ULONGLONG& out)
{
    if (s.empty() || !iswdigit(s[0]))
        return false;
    wchar_t* end = nullptr;
    out = wcstoull(s.c_str(), &end, 10);
    return *end == 0;
}

// Words of a line, keeping a quoted label together.
std::vector<std::wstring> Split(const std::wstring& line)
{
    std::vector<std::wstring> words;
    std::wstring cur;
    bool quoted = false;
    for (wchar_t c : line) {
        if (c == L'"')
            quoted = !quoted;
        if (!quoted && iswspace(c)) {
            if (!cur.empty())
                words.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!cur.empty())
        words.push_back(cur);
    return words;
}

bool IsProtected(const SimPartition& p)
{
    return CSimPc::IsProtectedLetter(p.letter);
}

// The free extent a new partition goes into: the first gap (from the first
// megabyte on, megabyte-aligned) that holds the wanted size at the wanted
// offset, or the largest gap when no size is given.
bool FindExtent(const SimDisk& disk, ULONGLONG wanted, ULONGLONG offset, ULONGLONG& start, ULONGLONG& length)
{
    std::vector<std::pair<ULONGLONG, ULONGLONG>> used;
    for (const SimPartition& p : disk.slots)
        if (p.IsUsed())
            used.emplace_back(p.start, p.start + p.size);
    std::sort(used.begin(), used.end());
    used.emplace_back(disk.size, disk.size);
    ULONGLONG cursor = MiB;
    length = 0;
    for (const auto& extent : used) {
        ULONGLONG gapStart = (std::max(cursor, offset) + MiB - 1) / MiB * MiB;
        ULONGLONG gapEnd = extent.first;
        cursor = std::max(cursor, extent.second);
        if (gapEnd <= gapStart)
            continue;
        ULONGLONG gap = gapEnd - gapStart;
        if (wanted ? gap >= wanted : gap > length) {
            start = gapStart;
            length = wanted ? wanted : gap;
            if (wanted)
                return true;
        }
    }
    return length != 0;
}

} // namespace

CDiskPartScript::CDiskPartScript(CSimPc& pc) : m_pc(pc) {}

int CDiskPartScript::Run(const std::string& script, std::wstring& output)
{
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        int code = RunCommand(Widen(line), output);
        if (code != kOk)
            return code;
    }
    return kOk;
}

int CDiskPartScript::RunCommand(const std::wstring& line, std::wstring& output)
{
    std::vector<std::wstring> raw = Split(line);
    std::vector<std::wstring> w;
    for (const std::wstring& word : raw)
        w.push_back(Lower(word));
    m_label = Option(raw, L"label");
    if (w.empty() || w[0] == L"rem" || w[0] == L"exit" || Is(w[0], L"list") || Is(w[0], L"detail") ||
        Is(w[0], L"rescan"))
        return kOk;
    int code = kSyntax;
    if (Is(w[0], L"select"))
        code = Select(w, output);
    else if (w[0] == L"clean")
        code = Clean(output);
    else if (Is(w[0], L"create"))
        code = Create(w, output);
    else if (Is(w[0], L"delete"))
        code = Delete(w, output);
    else if (Is(w[0], L"format"))
        code = Format(w, output);
    else if (Is(w[0], L"assign"))
        code = Assign(w, output);
    else if (Is(w[0], L"remove"))
        code = Remove(w, output);
    else if (Is(w[0], L"active"))
        code = SetActive(true, output);
    else if (Is(w[0], L"inactive"))
        code = SetActive(false, output);
    else if (Is(w[0], L"shrink"))
        code = Shrink(w, output);
    else if (Is(w[0], L"extend"))
        code = Extend(w, output);
    if (code == kSyntax)
        output += L"The arguments specified for this command are not valid: " + line + L"\n";
    m_pc.Journal(L"command \"" + line + L"\" -> " + std::to_wstring(code));
    return code;
}

SimPartition* CDiskPartScript::Focus(SimPcState& state, std::wstring& output, DWORD* disk)
{
    for (size_t d = 0; d < state.disks.size(); ++d) {
        for (SimPartition& p : state.disks[d].slots) {
            if (p.IsUsed() && !m_partition.empty() && p.id == m_partition) {
                if (disk)
                    *disk = (DWORD)d;
                return &p;
            }
        }
    }
    output += L"There is no partition or volume selected.\n";
    return nullptr;
}

int CDiskPartScript::Select(const Words& w, std::wstring& output)
{
    if (w.size() < 2)
        return kSyntax;
    SimPcState state;
    if (FAILED(m_pc.Read(state)))
        return kFailed;
    ULONGLONG n = 0;
    if (Is(w[1], L"disk")) {
        if (w.size() < 3 || !ToNumber(w[2], n))
            return kSyntax;
        if (n >= state.disks.size()) {
            output += L"The disk you specified is not valid.\n";
            return kFailed;
        }
        m_disk = (int)n;
        m_partition.clear();
        output += L"Disk " + w[2] + L" is now the selected disk.\n";
        return kOk;
    }
    if (Is(w[1], L"partition")) {
        if (w.size() < 3 || !ToNumber(w[2], n))
            return kSyntax;
        int slot = m_disk < 0 ? -1 : state.disks[m_disk].SlotOfPartition((DWORD)n);
        if (slot < 0) {
            output += L"The partition you specified is not valid.\n";
            return kFailed;
        }
        m_partition = state.disks[m_disk].slots[slot].id;
        output += L"Partition " + w[2] + L" is now the selected partition.\n";
        return kOk;
    }
    if (Is(w[1], L"volume")) {
        if (w.size() < 3)
            return kSyntax;
        std::wstring letter = w[2];
        if (letter.size() == 2 && letter[1] == L':')
            letter.pop_back();
        DWORD disk = 0;
        SimPartition* p = letter.size() == 1 ? state.FindVolume(letter[0], &disk) : nullptr;
        if (!p) {
            output += L"The volume you selected is not valid or does not exist.\n";
            return kFailed;
        }
        m_disk = (int)disk;
        m_partition = p->id;
        output += L"Volume " + w[2] + L" is the selected volume.\n";
        return kOk;
    }
    return kSyntax;
}

int CDiskPartScript::Clean(std::wstring& output)
{
    if (m_disk < 0) {
        output += L"There is no disk selected.\n";
        return kFailed;
    }
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimDisk& disk = state.disks[m_disk];
        for (const SimPartition& p : disk.slots)
            if (p.IsUsed() && IsProtected(p))
                return m_pc.Refuse(L"clean of the disk that holds C:, Wine's system drive");
        for (SimPartition& p : disk.slots) {
            if (!p.IsUsed())
                continue;
            HRESULT del = m_pc.DeleteFolder(m_pc.PartitionFolder(p));
            if (FAILED(del))
                return del;
            p = SimPartition();
        }
        return S_OK;
    });
    m_partition.clear();
    output += SUCCEEDED(hr) ? L"DiskPart succeeded in cleaning the disk.\n" : L"DiskPart failed to clean the disk.\n";
    return SUCCEEDED(hr) ? kOk : kFailed;
}

int CDiskPartScript::Create(const Words& w, std::wstring& output)
{
    if (w.size() < 3 || !Is(w[1], L"partition") || !Is(w[2], L"primary"))
        return kSyntax;
    if (m_disk < 0) {
        output += L"There is no disk selected.\n";
        return kFailed;
    }
    ULONGLONG sizeMiB = 0, offsetKiB = 0;
    std::wstring size = Option(w, L"size"), offset = Option(w, L"offset");
    if ((!size.empty() && !ToNumber(size, sizeMiB)) || (!offset.empty() && !ToNumber(offset, offsetKiB)))
        return kSyntax;
    std::wstring id;
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimDisk& disk = state.disks[m_disk];
        int free = -1;
        for (int k = 0; k < 4 && free < 0; ++k)
            if (!disk.slots[k].IsUsed())
                free = k;
        ULONGLONG start = 0, length = 0;
        if (free < 0 || !FindExtent(disk, size.empty() ? 0 : sizeMiB * MiB, offsetKiB * 1024, start, length))
            return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        SimPartition p;
        p.id = id = state.NewId(L"p");
        p.type = 0x07;
        p.start = start;
        p.size = length;
        p.fs = L"RAW";
        disk.slots[free] = p;
        // The system mounts the new volume at the first free letter.
        wchar_t letter = state.FreeLetter();
        return letter ? m_pc.AssignLetter(disk.slots[free], letter) : S_OK;
    });
    if (FAILED(hr)) {
        output += L"There is not enough usable space for this operation.\n";
        return kFailed;
    }
    m_partition = id;
    output += L"DiskPart succeeded in creating the specified partition.\n";
    return kOk;
}

int CDiskPartScript::Delete(const Words& w, std::wstring& output)
{
    if (w.size() < 2 || (!Is(w[1], L"partition") && !Is(w[1], L"volume")))
        return kSyntax;
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimPartition* p = Focus(state, output);
        if (!p)
            return E_FAIL;
        if (IsProtected(*p))
            return m_pc.Refuse(L"delete of C:, Wine's system drive");
        HRESULT del = m_pc.DeleteFolder(m_pc.PartitionFolder(*p));
        if (FAILED(del))
            return del;
        *p = SimPartition();
        return S_OK;
    });
    if (FAILED(hr)) {
        output += L"DiskPart failed to delete the selected partition or volume.\n";
        return kFailed;
    }
    m_partition.clear();
    output += L"DiskPart successfully deleted the selected partition or volume.\n";
    return kOk;
}

int CDiskPartScript::Format(const Words& w, std::wstring& output)
{
    std::wstring fs = Option(w, L"fs");
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimPartition* p = Focus(state, output);
        if (!p)
            return E_FAIL;
        if (IsProtected(*p))
            return m_pc.Refuse(L"format of C:, Wine's system drive");
        HRESULT emptied = m_pc.EmptyFolder(m_pc.PartitionFolder(*p));
        if (FAILED(emptied))
            return emptied;
        p->fs = fs.empty() ? L"NTFS" : fs;
        for (wchar_t& c : p->fs)
            c = (wchar_t)towupper(c);
        p->label = m_label;
        return p->letter ? m_pc.WriteLabel(m_pc.PartitionFolder(*p), p->label) : S_OK;
    });
    if (FAILED(hr)) {
        output += L"DiskPart has encountered an error formatting the volume.\n";
        return kFailed;
    }
    output += L"DiskPart successfully formatted the volume.\n";
    return kOk;
}

int CDiskPartScript::Assign(const Words& w, std::wstring& output)
{
    std::wstring wanted = Option(w, L"letter");
    if (wanted.size() > 2 || (wanted.size() == 2 && wanted[1] != L':') ||
        (!wanted.empty() && !iswalpha(wanted[0])))
        return kSyntax;
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimPartition* p = Focus(state, output);
        if (!p)
            return E_FAIL;
        wchar_t letter = wanted.empty() ? state.FreeLetter() : (wchar_t)towupper(wanted[0]);
        if (!letter || (state.LetterInUse(letter) && p->letter != letter))
            return HRESULT_FROM_WIN32(ERROR_ALREADY_ASSIGNED);
        if (CSimPc::IsProtectedLetter(letter))
            return m_pc.Refuse(L"assign of C:, Wine's system drive");
        if (p->letter && p->letter != letter) {
            HRESULT removed = m_pc.RemoveLetter(*p);
            if (FAILED(removed))
                return removed;
        }
        return m_pc.AssignLetter(*p, letter);
    });
    if (FAILED(hr)) {
        output += L"The specified drive letter is not free to be assigned.\n";
        return kFailed;
    }
    output += L"DiskPart successfully assigned the drive letter or mount point.\n";
    return kOk;
}

int CDiskPartScript::Remove(const Words& w, std::wstring& output)
{
    (void)w;
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimPartition* p = Focus(state, output);
        return p ? m_pc.RemoveLetter(*p) : E_FAIL;
    });
    output += SUCCEEDED(hr) ? L"DiskPart successfully removed the drive letter or mount point.\n"
                            : L"DiskPart failed to remove the drive letter.\n";
    return SUCCEEDED(hr) ? kOk : kFailed;
}

int CDiskPartScript::SetActive(bool active, std::wstring& output)
{
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        DWORD disk = 0;
        SimPartition* p = Focus(state, output, &disk);
        if (!p)
            return E_FAIL;
        // One active partition per disk.
        if (active)
            for (SimPartition& other : state.disks[disk].slots)
                other.active = false;
        p->active = active;
        return S_OK;
    });
    if (FAILED(hr))
        return kFailed;
    output += active ? L"DiskPart marked the current partition as active.\n"
                     : L"DiskPart marked the current partition as inactive.\n";
    return kOk;
}

int CDiskPartScript::Shrink(const Words& w, std::wstring& output)
{
    ULONGLONG desired = 0;
    if (!ToNumber(Option(w, L"desired"), desired) || desired == 0)
        return kSyntax;
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        SimPartition* p = Focus(state, output);
        if (!p)
            return E_FAIL;
        if (_wcsicmp(p->fs.c_str(), L"NTFS"))
            return HRESULT_FROM_WIN32(ERROR_UNRECOGNIZED_VOLUME);
        if (desired * MiB >= p->size)
            return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        p->size -= desired * MiB;
        return S_OK;
    });
    if (FAILED(hr)) {
        output += L"The specified shrink size is too big and will cause the volume to be smaller than the minimum volume size.\n";
        return kFailed;
    }
    output += L"DiskPart successfully shrunk the volume by: " + std::to_wstring(desired) + L" MB\n";
    return kOk;
}

int CDiskPartScript::Extend(const Words& w, std::wstring& output)
{
    ULONGLONG sizeMiB = 0;
    std::wstring size = Option(w, L"size");
    if (!size.empty() && !ToNumber(size, sizeMiB))
        return kSyntax;
    HRESULT hr = m_pc.Update([&](SimPcState& state) -> HRESULT {
        DWORD d = 0;
        SimPartition* p = Focus(state, output, &d);
        if (!p)
            return E_FAIL;
        const SimDisk& disk = state.disks[d];
        ULONGLONG limit = disk.size;
        for (const SimPartition& other : disk.slots)
            if (other.IsUsed() && other.start > p->start && other.start < limit)
                limit = other.start;
        ULONGLONG room = limit - (p->start + p->size);
        ULONGLONG grow = size.empty() ? room : sizeMiB * MiB;
        if (grow == 0 || grow > room)
            return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        p->size += grow;
        return S_OK;
    });
    if (FAILED(hr)) {
        output += L"There is not enough usable free space on specified disk(s) to extend the volume.\n";
        return kFailed;
    }
    output += L"DiskPart successfully extended the volume.\n";
    return kOk;
}
