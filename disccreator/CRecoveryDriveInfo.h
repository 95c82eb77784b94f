// The two drives a recovery disc set is made from: the Windows drive (split
// image parts, one finished-set marker) and the recovery partition (boot
// files, layout, the other marker). Each letter is looked up once per object.
#pragma once

#include <windows.h>

#include <string>

class IFreeSpace;

class CRecoveryDriveInfo {
public:
    static constexpr wchar_t kNotFound = L'#';

    CRecoveryDriveInfo() = default;

    // First character of the Windows folder; '#' when it cannot be read.
    WCHAR GetWindowsDrive();
    // Lower-case letter of the first non-optical drive c..z holding boot\,
    // bootmgr, CSP.dat and RPCONFIG.LOG; '#' when none.
    WCHAR GetRecoveryDrive();
    BOOL CreatedMarkerExists();
    // Room on the Windows drive for the folder's files plus 500 MiB.
    BOOL HasRoomFor(LPCWSTR pwszFolder);
    // Adds the size of the folder's file tree; S_FALSE when it does not exist.
    HRESULT AddFolderSize(ULONGLONG* pullTotal, LPCWSTR pwszFolder);

    // Both finished-set markers, empty, hidden and system. TRUE when at
    // least one could be made; FALSE (none written) when the Windows
    // marker's folder cannot be made.
    BOOL WriteCreatedMarkers();
    // zq\Apps\INI\ and zq\Drv\INI\ of the recovery partition into the same
    // folders under the program folder. Always TRUE.
    BOOL CopyIniFolders();

    // Seams: the free-space query (default: the system's) and the program
    // folder the INI folders go to (default: the running program's).
    void SetFreeSpace(IFreeSpace* pFreeSpace) { m_pFreeSpace = pFreeSpace; }
    void SetProgramFolder(const wchar_t* pwszFolder) { m_programFolder = pwszFolder ? pwszFolder : L""; }

    static const wchar_t kWindowsMarker[];
    static const wchar_t kRecoveryMarker[];

private:
    static BOOL IsRecoveryDrive(wchar_t wcLetter);
    std::wstring ProgramFolder() const;

    WCHAR m_wcRecoveryDrive = kNotFound;
    WCHAR m_wcWindowsDrive = kNotFound;
    BOOL m_bRecoveryLookedUp = FALSE;
    BOOL m_bWindowsLookedUp = FALSE;
    IFreeSpace* m_pFreeSpace = nullptr;
    std::wstring m_programFolder;
};
