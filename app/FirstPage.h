// Which page the host shows first, from the start flags, the boot medium and
// what the optical drives hold.
#pragma once

#include <windows.h>

// What the choice asks of the machine; the host answers from the controller.
class IFirstPageFacts {
public:
    virtual ~IFirstPageFacts() = default;
    virtual BOOL FinishDlg() = 0;
    virtual BOOL CTOPanic() = 0;
    virtual BOOL FileRestore() = 0;
    virtual BOOL IsWinPE() = 0;
    // Marks the system partition active (Windows PE start).
    virtual void SetSPActive() = 0;
    // TRUE when Windows PE booted from an optical drive; its index in *pdwIndex.
    virtual BOOL BootFromOpticalDrive(DWORD* pdwIndex) = 0;
    virtual DWORD Vendor() = 0;
    // The OEM's pre-welcome script; a failure code stops the start.
    virtual HRESULT PreWelcome() = 0;
    virtual DWORD OpticalDriveCount() = 0;
    // Makes the drive the boot drive and tells its disc type (1 UCRD, 2 SSRD).
    virtual DWORD DiscTypeOf(DWORD dwIndex) = 0;
    virtual void SetBootOpticalDrive(DWORD dwIndex) = 0;
    virtual BOOL RecoveryPartitionExists() = 0;
    virtual void Trace(const wchar_t* pwszLine) = 0;
};

enum FirstPageKind {
    FIRST_PAGE_SHOW,         // show nPageId
    FIRST_PAGE_NONE,         // a failed pre-welcome script: no page
    FIRST_PAGE_SPECIAL,      // installed Windows: the special mode decides, else 6000
};

struct FirstPageChoice {
    FirstPageKind enKind;
    int nPageId;
    // FinishDlg: the recovery-type markers go before the page shows.
    bool bDeleteRecoveryTypeFlags;
};

const int PAGE_INSTALLED_WELCOME = 6000;

FirstPageChoice ChooseFirstPage(IFirstPageFacts& facts);
