// A stand-in's handle on the simulated PC: the description read and written
// under the shared lock, the journal, and the folders behind drive letters.
//
// Layout of a PC's folder:
//   pc.ini            the description (CSimPcFile)
//   journal.log       one entry per call of a stand-in or tool
//   lock              present while a party holds the lock
//   drives\<L>        what drive letter L shows; absent = no volume there
//                     (drives\C is Wine's own system drive and never moves)
//   parts\<id>        files of a partition that has no letter
//   discs\<id>        files of a disc that is not in a drive
//   session           written when the simulated session ends (shutdown)
#pragma once

#include "SimPcTypes.h"

#include <functional>
#include <mutex>
#include <string>

class CSimPcLock;

class CSimPc {
public:
    // who names the caller in the journal, e.g. L"ZoruViva.dll".
    explicit CSimPc(const wchar_t* who);
    CSimPc(const CSimPc&) = delete;
    CSimPc& operator=(const CSimPc&) = delete;

    // Finds the PC: the environment variable SIMPC_ROOT (a Unix or Windows
    // path), else the value "Root" under HKLM\Software\SimPC.
    bool Open();
    bool IsOpen() const { return !m_root.empty(); }
    const std::wstring& Root() const { return m_root; }

    // The description as it is now.
    HRESULT Read(SimPcState& state);
    // Runs change on the description under the lock and writes the result
    // back at once when change succeeds.
    HRESULT Update(const std::function<HRESULT(SimPcState&)>& change);

    // One journal entry: "[who] text", then the script's lines as "    | line".
    void Journal(const std::wstring& text, const std::string& script = std::string());
    // A refused request: journalled as "REFUSED: ..." and answered with
    // ERROR_ACCESS_DENIED.
    HRESULT Refuse(const std::wstring& what);

    std::wstring DriveFolder(wchar_t letter) const;
    std::wstring PartitionFolder(const SimPartition& p) const;
    std::wstring DiscFolder(const std::wstring& id) const;

    // Folder moves for letters and discs; both ends must lie in the PC's
    // folder and neither may be Wine's C: drive.
    HRESULT MoveFolder(const std::wstring& from, const std::wstring& to);
    // Deletes everything below the folder, keeping the folder itself.
    HRESULT EmptyFolder(const std::wstring& folder);
    // Deletes the folder with everything below it.
    HRESULT DeleteFolder(const std::wstring& folder);
    // The volume label Wine shows for a drive folder.
    HRESULT WriteLabel(const std::wstring& folder, const std::wstring& label);
    // Gives a partition a letter (moving its files behind it) or takes it away.
    HRESULT AssignLetter(SimPartition& p, wchar_t letter);
    HRESULT RemoveLetter(SimPartition& p);

    // The disc in the drive goes back to its own folder and the tray opens;
    // the next disc of the drive's queue, if any, goes in and the tray closes.
    HRESULT EjectDisc(SimPcState& state, SimOptical& drive);
    // Puts a disc into the drive and closes the tray.
    HRESULT InsertDisc(SimPcState& state, SimOptical& drive, const std::wstring& id);

    // Letters the PC never lets an operation format, delete or overwrite.
    static bool IsProtectedLetter(wchar_t letter);
    // True when path lies below the PC's folder and outside the protected drive.
    bool IsSafePath(const std::wstring& path) const;

    static std::wstring UnixToWindows(const std::wstring& unixPath);

private:
    HRESULT Load(SimPcState& state);
    HRESULT Store(const SimPcState& state);
    void AppendJournal(const std::string& entry);

    class CHold;

    std::wstring m_who;
    std::wstring m_root;
    std::recursive_mutex m_mutex;
    int m_lockDepth = 0;             // the file lock is taken once per thread nest
    CSimPcLock* m_pLock = nullptr;
};
