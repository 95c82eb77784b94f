// The disc-burning engine "Brennel.dll" as both programs bind it: loaded by
// name, its class factory taken from the export DllGetClassObject, no
// registration. Slot order matters: every interface below is a COM-style
// table whose unnamed slots stay as placeholders.
#pragma once

#include <windows.h>
#include <unknwn.h>

// {CF34958D-6AC1-4EA0-8747-CE860AC0A6FC}
static const CLSID CLSID_BurnEngine = {0xCF34958D, 0x6AC1, 0x4EA0, {0x87, 0x47, 0xCE, 0x86, 0x0A, 0xC0, 0xA6, 0xFC}};
// {C3BB196E-0165-4AC1-AAFA-829CA9839F65}
static const IID IID_IBurnEngine = {0xC3BB196E, 0x0165, 0x4AC1, {0xAA, 0xFA, 0x82, 0x9C, 0xA9, 0x83, 0x9F, 0x65}};
// {5F355DEE-56AE-4D43-835B-6E95900A2995}: burner for CD media
static const GUID GUID_BurnerKindCD = {0x5F355DEE, 0x56AE, 0x4D43, {0x83, 0x5B, 0x6E, 0x95, 0x90, 0x0A, 0x29, 0x95}};
// {278CA34C-4C30-43E2-B718-67E75F4DA86E}: burner for every other medium
static const GUID GUID_BurnerKindDVD = {0x278CA34C, 0x4C30, 0x43E2, {0xB7, 0x18, 0x67, 0xE7, 0x5F, 0x4D, 0xA8, 0x6E}};
// {B3A7EF86-5F38-4A2E-AF9D-4D70DC35988E}
static const IID IID_IBurnSession = {0xB3A7EF86, 0x5F38, 0x4A2E, {0xAF, 0x9D, 0x4D, 0x70, 0xDC, 0x35, 0x98, 0x8E}};

// The library and its two exports.
#define BRENNEL_DLL_NAME L"Brennel.dll"
typedef HRESULT(WINAPI* PFN_BurnDllGetClassObject)(REFCLSID, REFIID, void**);
typedef HRESULT(WINAPI* PFN_BurnDllCanUnloadNow)(void);

// Disc type modes (`DiscTypeMode`).
enum DiscTypeMode {
    DTM_CDR = 2,
    DTM_CDRW = 4,
    DTM_DVDPLUSRW_DL = 16,
    DTM_DVDRW_DL = 32,
    DTM_DVDR = 128,
    DTM_DVDPLUSR = 256,
    DTM_DVDRW = 512,
    DTM_DVDPLUSRW = 1024,
    DTM_DVDPLUSR_DL = 4096,
    DTM_DVDR_DL = 8192,
};

// Capability bits of a drive. A writer has 0x80 or 0x100 (Mendora's test)
// or any bit of 0x3700 (Discora's).
enum BurnDriveCaps : DWORD {
    BRN_CAP_READ_CD = 0x0001,
    BRN_CAP_READ_DVD = 0x0002,
    BRN_CAP_WRITE_CDR = 0x0080,
    BRN_CAP_WRITE_CDRW = 0x0100,
    BRN_CAP_WRITE_DVDR = 0x0200,
    BRN_CAP_WRITE_DVDRW = 0x0400,
    BRN_CAP_WRITE_DVDPLUSR = 0x1000,
    BRN_CAP_WRITE_DVDPLUSRW = 0x2000,
    BRN_CAP_WRITE_DL = 0x4000,
    BRN_CAP_ANY_WRITE = 0x7780,
};

// IBurnDrive::GetMediaState values.
enum BurnMediaState {
    BRN_MEDIA_TRAY_OPEN = 1,
    BRN_MEDIA_NONE = 2,
    BRN_MEDIA_READY = 6,
};

// Commands of IBurnSession::RunCommand.
enum BurnCommand {
    BRN_CMD_BURN = 5,        // burns the prepared tree (flags 0 or 0x2000)
    BRN_CMD_READ_INFO = 6,   // reads the disc information
};
static const DWORD BRN_BURN_FLAG_CLOSE_DISC = 0x2000;

// Stages reported by IBurnSession::Wait while a burn runs.
enum BurnStage {
    BRN_STAGE_NONE = 0,
    BRN_STAGE_LEAD_IN = 3,
    BRN_STAGE_CACHE = 32,
    BRN_STAGE_WRITING = 64,
    BRN_STAGE_FINISHING = 144,
};

// IBurnSession::AddFolder flag: the folder is hidden on the disc.
static const DWORD BRN_FOLDER_HIDDEN = 1;

// Result codes of the engine.
static const HRESULT BRN_E_STILL_RUNNING = (HRESULT)0xEB020A06;      // Wait: the command still runs
static const HRESULT BRN_E_DISC_INFO_NOT_READ = (HRESULT)0xEB101183; // run command 6 first
static const HRESULT BRN_E_FILE_EXISTS = (HRESULT)0xEB100486;        // AddFile: the disc path is taken
static const HRESULT BRN_E_FOLDER_EXISTS = (HRESULT)0xEB0B0585;      // AddFolder: the folder exists
static const HRESULT BRN_E_NO_SUCH_DRIVE = (HRESULT)0xEB100101;      // no optical drive of that letter
static const HRESULT BRN_E_DRIVE_GONE = (HRESULT)0xEB100102;         // the drive cannot be reached
static const HRESULT BRN_E_NO_MEDIUM = (HRESULT)0xEB100103;          // no disc, or the tray is open
static const HRESULT BRN_E_NOT_PREPARED = (HRESULT)0xEB100104;       // no drive set or not prepared
static const HRESULT BRN_E_BUSY = (HRESULT)0xEB100105;               // a command runs on this burner or drive
static const HRESULT BRN_E_NOT_BLANK = (HRESULT)0xEB100106;          // burning needs a blank disc
static const HRESULT BRN_E_DISC_FULL = (HRESULT)0xEB100107;          // the tree does not fit on the disc
static const HRESULT BRN_E_WRITE_FAILED = (HRESULT)0xEB100108;       // the drive failed while writing
static const HRESULT BRN_E_FINISH_FAILED = (HRESULT)0xEB100109;      // closing the disc failed
static const HRESULT BRN_E_CANCELLED = (HRESULT)0xEB10010A;          // the command was cancelled
static const HRESULT BRN_E_TRAY_LOCKED = (HRESULT)0xEB10010B;        // the tray is locked
static const HRESULT BRN_E_WRONG_MEDIUM = (HRESULT)0xEB10010C;       // the burner kind does not fit the disc
static const HRESULT BRN_E_NOT_WRITER = (HRESULT)0xEB10010D;         // the drive cannot write
static const HRESULT BRN_E_UNKNOWN_COMMAND = (HRESULT)0xEB10010E;

// IBurnDrive::GetInquiry: ANSI texts, blank-padded as the drive reports
// them; vendor at offset 0, product at 9, revision at 26.
struct BurnInquiry {
    char szVendor[9];
    char szProduct[17];
    char szRevision[6];
};
static_assert(sizeof(BurnInquiry) == 32, "inquiry record layout");

struct IBurnDrive : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetLetter(char* pcLetter) = 0;                     // 3
    virtual HRESULT STDMETHODCALLTYPE GetInquiry(BurnInquiry* pInquiry) = 0;             // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;                                   // 5
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;                                   // 6
    virtual HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* pdwCaps) = 0;               // 7
    // Fails when the drive cannot be reached (unplugged).
    virtual HRESULT STDMETHODCALLTYPE GetMediaState(int* pnState) = 0;                   // 8
    virtual HRESULT STDMETHODCALLTYPE GetCurDiscTypeMode(int* pnMode, void* pReserved1,
                                                         void* pReserved2) = 0;          // 9
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;                                  // 10
    // A locked tray refuses to open, from this engine and from the harness.
    virtual HRESULT STDMETHODCALLTYPE LockTray(BOOL bLock) = 0;                          // 11
    // TRUE opens the tray (the disc comes out), FALSE closes it.
    virtual HRESULT STDMETHODCALLTYPE Tray(BOOL bOpen) = 0;                              // 12
};

struct IBurnEngine : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Refresh(DWORD dwReserved) = 0;                     // 3
    virtual HRESULT STDMETHODCALLTYPE GetDriveCount(UINT* puCount) = 0;                  // 4
    virtual HRESULT STDMETHODCALLTYPE GetDrive(char cLetter, IBurnDrive** ppDrive) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE GetDriveByIndex(UINT uIndex, IBurnDrive** ppDrive) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;                                   // 7
    // The object answers QueryInterface for IBurnSession.
    virtual HRESULT STDMETHODCALLTYPE CreateBurner(REFGUID kind, IUnknown** ppBurner) = 0; // 8
};

// A burner. Paths on the disc are relative to its root ("" = the root),
// folders separated by backslashes.
struct IBurnSession : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetDrive(IBurnDrive* pDrive) = 0;                  // 3
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;                                   // 4
    virtual HRESULT STDMETHODCALLTYPE Prepare() = 0;                                     // 5
    // Disc type mode, blank flag, capacity in sectors, recorded sessions and
    // whether the disc is rewritable; every out may be null.
    virtual HRESULT STDMETHODCALLTYPE GetMediaInfo(int* pnMode, BOOL* pbBlank, UINT* puCapacity, UINT* puSessions,
                                                   BOOL* pbRewritable, void* pReserved1, void* pReserved2) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE GetWriteSpeedCount(UINT* puCount, void* pReserved) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE GetWriteSpeed(UINT uIndex, float* pfSpeed) = 0;   // 8
    virtual HRESULT STDMETHODCALLTYPE GetCurrentWriteSpeed(float* pfSpeed) = 0;          // 9
    virtual HRESULT STDMETHODCALLTYPE SetWriteSpeed(float fSpeed) = 0;                   // 10
    virtual HRESULT STDMETHODCALLTYPE RunCommand(int nCommand, DWORD dwFlags, void* pReserved) = 0; // 11
    // May come from any thread while another waits.
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;                                      // 12
    // BRN_E_STILL_RUNNING while the command runs (-1 waits until it ends),
    // S_OK once it ended; stage and progress (0 to 1) may be null.
    virtual HRESULT STDMETHODCALLTYPE Wait(int nTimeoutMs, int* pnStage, float* pfProgress) = 0; // 13
    virtual HRESULT STDMETHODCALLTYPE GetResult() = 0;                                   // 14
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;                                       // 15
    virtual HRESULT STDMETHODCALLTYPE Detach() = 0;                                      // 16
    virtual HRESULT STDMETHODCALLTYPE Reserved17() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved18() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved19() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved20() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved21() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved22() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved23() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved24() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved25() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved26() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved27() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved28() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved29() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMode(int nMode) = 0;                            // 30
    // At most 32 characters.
    virtual HRESULT STDMETHODCALLTYPE SetVolumeId(const char* pszVolumeId) = 0;          // 31
    // Missing parent folders are created.
    virtual HRESULT STDMETHODCALLTYPE AddFile(const wchar_t* pwszDiscPath, const wchar_t* pwszSource, void* pReserved1,
                                              void* pReserved2, void* pReserved3) = 0;   // 32
    virtual HRESULT STDMETHODCALLTYPE AddFolder(const wchar_t* pwszParent, const wchar_t* pwszName, void* pReserved,
                                                DWORD dwFlags) = 0;                      // 33
    virtual HRESULT STDMETHODCALLTYPE Reserved34() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved35() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved36() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved37() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBootImage(const wchar_t* pwszPath) = 0;         // 38
    virtual HRESULT STDMETHODCALLTYPE Reserved39() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndSession() = 0;                                  // 40
    virtual HRESULT STDMETHODCALLTYPE GetVolumeLabel(char* pszLabel, UINT uSize) = 0;    // 41
    virtual HRESULT STDMETHODCALLTYPE Reserved42() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved43() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFreeSectors(UINT* puSectors, void* pReserved) = 0; // 44
};

// Free space is counted in sectors of this size.
static const DWORD BRN_SECTOR_BYTES = 2048;
