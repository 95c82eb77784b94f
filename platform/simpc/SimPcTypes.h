// The simulated PC's description: disks with their partition tables, optical
// drives with discs, power and the firmware strings.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// One entry of a disk's four-entry partition table. An entry of size 0 is empty.
struct SimPartition {
    std::wstring id;            // names the partition's folder while it has no letter
    BYTE type = 0;              // MBR type byte
    ULONGLONG start = 0;        // bytes from the start of the disk
    ULONGLONG size = 0;         // bytes; 0 = empty entry
    std::wstring fs;            // "NTFS", "FAT32", "FAT16", "RAW" or empty
    std::wstring label;
    bool active = false;
    bool hidden = false;
    wchar_t letter = 0;         // 0 = no drive letter

    bool IsUsed() const { return size != 0; }
};

struct SimDisk {
    bool main = false;          // the boot disk, as found by location
    bool ssd = false;
    bool removable = false;
    DWORD bytesPerSector = 512;
    DWORD sectorsPerTrack = 63;
    DWORD tracksPerCylinder = 255;
    ULONGLONG size = 0;         // bytes
    // Mounting new volumes takes a while on a real PC; these many letter
    // queries fail after a table is written.
    DWORD pendingMounts = 0;
    SimPartition slots[4];

    ULONGLONG CylinderBytes() const {
        return (ULONGLONG)bytesPerSector * sectorsPerTrack * tracksPerCylinder;
    }
    ULONGLONG Cylinders() const {
        ULONGLONG c = CylinderBytes();
        return c ? size / c : 0;
    }
    // Partition numbers count the used entries from 1 in table order; 0 when none.
    int SlotOfPartition(DWORD partition) const;
    DWORD PartitionCount() const;
};

struct SimDisc {
    std::wstring id;
    DWORD media = 128;          // disc type mode of the burning engine (128 = DVD-R)
    bool blank = false;
    DWORD capacity = 0;         // 2048-byte sectors
    DWORD freeSectors = 0;
    std::wstring label;
    std::wstring boot;          // boot image recorded by the burn; empty = none
};

struct SimOptical {
    wchar_t letter = 0;
    DWORD caps = 0;             // capability bits
    bool present = true;        // false: unplugged
    bool trayOpen = false;
    bool locked = false;
    std::wstring disc;          // id of the disc in the tray; empty = none
    std::vector<std::wstring> queue; // discs fed in turn after each eject
    // What the burning engine reports and does with the drive.
    std::wstring vendor = L"ZENTARA";   // inquiry texts
    std::wstring product = L"DVDRW SIM-16X";
    std::wstring revision = L"1.00";
    std::wstring speeds = L"4 8 16";    // write speeds, lowest first
    DWORD burnMs = 1500;                // simulated time of one burn
    std::wstring fault;                 // next burn: fail-at:N, fail-finish, unplug-at:N
    std::wstring burn = L"idle";        // idle, writing N, finishing N, done, failed 0x..., cancelled

    bool IsReady() const { return present && !trayOpen && !disc.empty(); }
    // A live process writes to or closes the disc: the tray stays shut.
    bool IsBurning() const;
};

struct SimPcState {
    std::map<std::wstring, std::wstring> pc;  // [pc] keys: windows, mode, boot, power, letters, smbios_...
    std::vector<SimDisk> disks;
    std::vector<SimOptical> opticals;
    std::vector<SimDisc> discs;

    std::wstring Value(const std::wstring& key, const std::wstring& def = L"") const;
    SimDisc* FindDisc(const std::wstring& id);
    // The partition or optical drive holding the letter; null when none.
    SimPartition* FindVolume(wchar_t letter, DWORD* disk = nullptr);
    SimOptical* FindOptical(wchar_t letter);
    bool LetterInUse(wchar_t letter) const;
    // The first letter of the PC's pool that no volume holds; 0 when none.
    wchar_t FreeLetter() const;
    std::wstring NewId(const wchar_t* prefix);
};
