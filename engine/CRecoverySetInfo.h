// The recovery controller's reading of a recovery set's description files
// (build information, preload size log, backup index) and the byte counts
// of a factory reset. The controller derives from it and supplies the
// drive letters of the discs and the recovery partition.
#pragma once

#include <windows.h>

#include <string>

class CRecoverySetInfo {
public:
    CRecoverySetInfo();
    virtual ~CRecoverySetInfo() = default;

    HRESULT LoadBuildInfoINI(const wchar_t* pwszPath);
    HRESULT GetUPVolumeLabel();
    HRESULT ReadNumericValueFromBuildInfoIni(wchar_t wcDrvLet, const wchar_t* pwszSection, const wchar_t* pwszKey,
                                             ULONGLONG* pullValue);
    HRESULT LoadHeadFreeSpace(ULONGLONG* pullBytes);
    HRESULT GetPreloadSize(ULONGLONG* pullBytes);
    HRESULT ZQGetSSRDToCopySize(ULONGLONG* pullBytes);
    HRESULT ZQGetUCRDToCopySize(ULONGLONG* pullBytes, BOOL bCountRPFiles);
    HRESULT GetZQAssistantPath(std::wstring& wstrPath);
    DWORD GetBackupWIMCount();
    DWORD GetBackupDiscCount();

    // The factory disc in the boot optical drive, the user-created disc and
    // the recovery partition; 0 when there is none.
    virtual wchar_t GetSSRDDrvLet() = 0;
    virtual wchar_t GetUCRDDrvLet() = 0;
    virtual wchar_t GetRPTOOLDrvLet() = 0;

    wchar_t m_wszUPVolumeNameBuf[MAX_PATH];
    wchar_t m_wszRPVolumeNameBuf[MAX_PATH];
    // Folder of a file backup to restore, with a trailing backslash.
    wchar_t m_wszRestoreSourcePath[MAX_PATH];

private:
    DWORD ReadBackupCount(const wchar_t* pwszKey);
};
