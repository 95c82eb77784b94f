#include "CSimPcProbe.h"

#include "SimPcText.h"

#include "CSimPc.h"
#include "ZoruViva.h"

#include <cwchar>
#include <memory>

namespace {

using SimPcText::Format;

std::wstring Letter(wchar_t c)
{
    return c ? std::wstring(1, c) + L":" : std::wstring(L"-");
}

DWORD FsCode(const std::wstring& fs)
{
    if (!_wcsicmp(fs.c_str(), L"NTFS")) return DMFS_NTFS;
    if (!_wcsicmp(fs.c_str(), L"FAT32")) return DMFS_FAT32;
    if (!_wcsicmp(fs.c_str(), L"FAT16")) return DMFS_FAT16;
    return DMFS_UNKNOWN;
}

struct Releaser {
    void operator()(IUnknown* p) const
    {
        if (p)
            p->Release();
    }
};

} // namespace

void CSimPcProbe::Line(const std::wstring& text)
{
    m_report += text + L"\n";
}

void CSimPcProbe::Expect(bool ok, const std::wstring& what)
{
    if (ok)
        return;
    ++m_mismatches;
    Line(L"MISMATCH " + what);
}

HRESULT CSimPcProbe::Load()
{
    CSimPc pc(L"probe");
    if (!pc.Open())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    return pc.Read(m_state);
}

HRESULT CSimPcProbe::Run()
{
    HRESULT hr = Load();
    if (FAILED(hr))
        return hr;
    CheckDiskLibrary();

    IUnknown* pUnknown = nullptr;
    hr = CoCreateInstance(CLSID_DiskMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&pUnknown);
    std::unique_ptr<IUnknown, Releaser> unknown(pUnknown);
    IDiskMgmt* pDisk = nullptr;
    if (SUCCEEDED(hr))
        hr = pUnknown->QueryInterface(IID_IDiskMgmt, (void**)&pDisk);
    std::unique_ptr<IUnknown, Releaser> disk(pDisk);
    Expect(SUCCEEDED(hr), Format(L"IDiskMgmt cannot be created: 0x%08lX", (unsigned long)hr));
    if (pDisk)
        CheckDiskMgmt(pDisk);

    IBurnMgmt* pBurn = nullptr;
    hr = CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt, (void**)&pBurn);
    std::unique_ptr<IUnknown, Releaser> burn(pBurn);
    Expect(SUCCEEDED(hr), Format(L"IBurnMgmt cannot be created: 0x%08lX", (unsigned long)hr));
    if (pBurn) {
        CheckBurnMgmt(pBurn);
        CheckBrennel(pBurn);
    }

    CheckWineDrives();
    return S_OK;
}

void CSimPcProbe::CheckDiskLibrary()
{
    DWORD main = GetMainDiskIndexbyLocation();
    DWORD expectedMain = (DWORD)-1;
    for (size_t d = 0; d < m_state.disks.size() && expectedMain == (DWORD)-1; ++d)
        if (m_state.disks[d].main)
            expectedMain = (DWORD)d;
    Line(Format(L"ZoruViva: main disk %ld", (long)main));
    Expect(main == expectedMain, L"ZoruViva main disk");
    for (DWORD d = 0; d < m_state.disks.size(); ++d) {
        const SimDisk& disk = m_state.disks[d];
        ULONGLONG length = 0;
        int rc = ZQGetDiskLength(d, &length);
        Line(Format(L"ZoruViva: disk %lu, %llu bytes, %ls, %ls", d, length,
                    DetectDriveType(d) == 0 ? L"SSD" : L"hard disk",
                    IsRemovalDevice(d) == 1 ? L"removable" : L"fixed"));
        Expect(rc == 0 && length == disk.size, Format(L"ZoruViva disk %lu length", d));
        Expect(DetectDriveType(d) == (disk.ssd ? 0 : 1), Format(L"ZoruViva disk %lu type", d));
        Expect(IsRemovalDevice(d) == (disk.removable ? 1 : 0), Format(L"ZoruViva disk %lu removable", d));
        struct {
            DRIVE_LAYOUT_INFORMATION info;
            PARTITION_INFORMATION rest[3];
        } layout = {};
        PARTITION_INFORMATION* entries = layout.info.PartitionEntry;
        Expect(GetPartitionInfo(d, &layout.info, ZV_LAYOUT_BYTES) == 0, Format(L"ZoruViva disk %lu table", d));
        DWORD number = 0;
        for (int k = 0; k < 4; ++k) {
            const SimPartition& p = disk.slots[k];
            Expect((ULONGLONG)entries[k].PartitionLength.QuadPart == p.size &&
                       (ULONGLONG)entries[k].StartingOffset.QuadPart == p.start && entries[k].PartitionType == p.type,
                   Format(L"ZoruViva disk %lu entry %d", d, k + 1));
            if (!p.IsUsed())
                continue;
            WCHAR letter = 0;
            rc = DskPos2LogDskLetter(d, ++number, &letter);
            Line(Format(L"ZoruViva:   partition %lu: type 0x%02X, %llu bytes at %llu, %ls", number, p.type, p.size,
                        p.start, Letter(letter).c_str()));
            Expect(rc == 0 && letter == p.letter, Format(L"ZoruViva letter of disk %lu partition %lu", d, number));
        }
    }
}

void CSimPcProbe::CheckDiskMgmt(IDiskMgmt* pDisk)
{
    IDiskMgmtAux* pAux = nullptr;
    HRESULT hr = pDisk->GetAuxiliary(&pAux);
    std::unique_ptr<IUnknown, Releaser> aux(pAux);
    Expect(SUCCEEDED(hr) && pAux && SUCCEEDED(pAux->Rescan((DWORD)-1)), L"IDiskMgmt auxiliary rescan");
    DWORD count = 0;
    hr = pDisk->GetDiskCount(&count);
    Line(Format(L"IDiskMgmt: %lu disks", count));
    Expect(SUCCEEDED(hr) && count == m_state.disks.size(), L"IDiskMgmt disk count");
    for (DWORD d = 0; d < count && d < m_state.disks.size(); ++d) {
        const SimDisk& disk = m_state.disks[d];
        DiskMgmtDiskInfo info = {};
        Expect(SUCCEEDED(pDisk->GetDiskInfo(d, &info)) && info.ullValue5 == disk.size,
               Format(L"IDiskMgmt disk %lu information", d));
        DWORD parts = 0;
        hr = pDisk->GetPartitionCount(d, &parts);
        Expect(SUCCEEDED(hr) && parts == disk.PartitionCount(), Format(L"IDiskMgmt disk %lu partition count", d));
        for (DWORD n = 1; n <= parts; ++n) {
            int slot = disk.SlotOfPartition(n);
            if (slot < 0)
                break;
            const SimPartition& p = disk.slots[slot];
            DiskMgmtPartitionInfo pi = {};
            WCHAR letter = 0;
            hr = pDisk->GetPartitionInfo(d, n, &pi);
            HRESULT hrLetter = pDisk->GetDriveLetter(d, n, &letter);
            Line(Format(L"IDiskMgmt:   disk %lu partition %lu: %llu bytes at %llu, file system %lu, %ls", d, n,
                        pi.ullLength, pi.ullStartingOffset, pi.dwFileSystem, Letter(letter).c_str()));
            Expect(SUCCEEDED(hr) && pi.ullStartingOffset == p.start && pi.ullLength == p.size &&
                       pi.dwFileSystem == FsCode(p.fs),
                   Format(L"IDiskMgmt disk %lu partition %lu", d, n));
            Expect(SUCCEEDED(hrLetter) && letter == p.letter, Format(L"IDiskMgmt letter of disk %lu partition %lu", d, n));
        }
    }
}

void CSimPcProbe::CheckBurnMgmt(IBurnMgmt* pBurn)
{
    Expect(SUCCEEDED(pBurn->Initialize(0)), L"IBurnMgmt initialise");
    DWORD count = 0;
    HRESULT hr = pBurn->GetDriveCount(&count);
    DWORD present = 0;
    for (const SimOptical& o : m_state.opticals)
        present += o.present ? 1 : 0;
    Line(Format(L"IBurnMgmt: %lu optical drives", count));
    Expect(SUCCEEDED(hr) && count == present, L"IBurnMgmt drive count");
    DWORD i = 0;
    for (const SimOptical& o : m_state.opticals) {
        if (!o.present)
            continue;
        WCHAR letter = 0;
        Expect(SUCCEEDED(pBurn->GetDrvLetter(i, &letter)) && letter == o.letter, Format(L"IBurnMgmt drive %lu letter", i));
        Expect(SUCCEEDED(pBurn->SelectDrive(i)), Format(L"IBurnMgmt select drive %lu", i));
        bool ready = SUCCEEDED(pBurn->IsDrvReady());
        BurnDiscLabel label = {};
        BurnDiscInfo info = {};
        bool labelled = SUCCEEDED(pBurn->GetDiscLabel(&label));
        bool informed = SUCCEEDED(pBurn->GetDiscInfo(&info));
        Line(Format(L"IBurnMgmt:   drive %lu %ls %ls, label \"%ls\", %lu of %lu sectors free", i,
                    Letter(letter).c_str(), ready ? L"ready" : L"not ready", label.wszLabel, info.dwFreeSectors,
                    info.dwCapacitySectors));
        Expect(ready == o.IsReady(), Format(L"IBurnMgmt drive %lu ready", i));
        const SimDisc* disc = m_state.FindDisc(o.disc);
        if (o.IsReady() && disc) {
            Expect(labelled && disc->label == label.wszLabel, Format(L"IBurnMgmt drive %lu label", i));
            Expect(informed && info.dwCapacitySectors == disc->capacity && info.dwFreeSectors == disc->freeSectors &&
                       info.dwDiscStatus == (disc->blank ? 0u : 1u),
                   Format(L"IBurnMgmt drive %lu disc information", i));
        }
        ++i;
    }
}

namespace {

// The engine bound as the programs bind it: by name, through its class factory.
class CBrennelBinding {
public:
    CBrennelBinding() : m_module(LoadLibraryW(BRENNEL_DLL_NAME))
    {
        auto get = m_module ? reinterpret_cast<PFN_BurnDllGetClassObject>(
                                  reinterpret_cast<void (*)()>(GetProcAddress(m_module, "DllGetClassObject")))
                            : nullptr;
        IClassFactory* factory = nullptr;
        if (!get || FAILED(get(CLSID_BurnEngine, IID_IClassFactory, (void**)&factory)))
            return;
        factory->CreateInstance(nullptr, IID_IBurnEngine, (void**)&m_pEngine);
        factory->Release();
    }
    ~CBrennelBinding()
    {
        if (m_pEngine)
            m_pEngine->Release();
        if (m_module)
            FreeLibrary(m_module);
    }
    CBrennelBinding(const CBrennelBinding&) = delete;
    CBrennelBinding& operator=(const CBrennelBinding&) = delete;

    IBurnEngine* Engine() const { return m_pEngine; }

private:
    HMODULE m_module;
    IBurnEngine* m_pEngine = nullptr;
};

IBurnSession* NewBurner(IBurnEngine* pEngine, int mode)
{
    IUnknown* pUnknown = nullptr;
    const GUID& kind = mode == DTM_CDR || mode == DTM_CDRW ? GUID_BurnerKindCD : GUID_BurnerKindDVD;
    if (FAILED(pEngine->CreateBurner(kind, &pUnknown)))
        return nullptr;
    std::unique_ptr<IUnknown, Releaser> owner(pUnknown);
    IBurnSession* pSession = nullptr;
    pUnknown->QueryInterface(IID_IBurnSession, (void**)&pSession);
    return pSession;
}

} // namespace

void CSimPcProbe::CheckBrennel(IBurnMgmt* pBurn)
{
    CBrennelBinding brennel;
    IBurnEngine* pEngine = brennel.Engine();
    Expect(pEngine != nullptr, L"Brennel.dll cannot be bound");
    if (!pEngine)
        return;
    pEngine->Refresh(0);
    UINT count = 0;
    DWORD expected = 0;
    Expect(SUCCEEDED(pEngine->GetDriveCount(&count)) && SUCCEEDED(pBurn->GetDriveCount(&expected)) &&
               count == expected,
           L"Brennel drive count");
    Line(Format(L"Brennel: %u optical drives", count));
    for (DWORD i = 0; i < count && i < expected; ++i)
        CheckBrennelDrive(pEngine, pBurn, i);
    for (const SimOptical& o : m_state.opticals) {
        IBurnDrive* pDrive = nullptr;
        HRESULT hr = pEngine->GetDrive((char)o.letter, &pDrive);
        std::unique_ptr<IUnknown, Releaser> drive(pDrive);
        Expect(SUCCEEDED(hr) == o.present, Format(L"Brennel drive %lc: %ls", o.letter,
                                                    o.present ? L"not found" : L"found though unplugged"));
    }
}

void CSimPcProbe::CheckBrennelDrive(IBurnEngine* pEngine, IBurnMgmt* pBurn, DWORD index)
{
    IBurnDrive* pDrive = nullptr;
    Expect(SUCCEEDED(pEngine->GetDriveByIndex(index, &pDrive)) && pDrive, Format(L"Brennel drive %lu", index));
    std::unique_ptr<IUnknown, Releaser> drive(pDrive);
    if (!pDrive)
        return;
    char letter = 0;
    WCHAR expected = 0;
    pDrive->GetLetter(&letter);
    Expect(SUCCEEDED(pBurn->GetDrvLetter(index, &expected)) && (WCHAR)letter == expected,
           Format(L"Brennel drive %lu letter", index));
    int state = 0;
    bool ready = SUCCEEDED(pDrive->GetMediaState(&state)) && state == BRN_MEDIA_READY;
    pBurn->SelectDrive(index);
    Expect(ready == SUCCEEDED(pBurn->IsDrvReady()), Format(L"Brennel drive %lu ready", index));
    BurnInquiry inquiry = {};
    pDrive->GetInquiry(&inquiry);
    Line(Format(L"Brennel:   drive %lu %hc: \"%hs\" \"%hs\" \"%hs\", media state %d", index, letter ? letter : '-',
                inquiry.szVendor, inquiry.szProduct, inquiry.szRevision, state));
    BurnDiscInfo info = {};
    BurnDiscLabel label = {};
    if (ready && SUCCEEDED(pBurn->GetDiscInfo(&info)) && SUCCEEDED(pBurn->GetDiscLabel(&label)))
        CheckBrennelDisc(pEngine, pDrive, info, label.wszLabel, index);
}

void CSimPcProbe::CheckBrennelDisc(IBurnEngine* pEngine, IBurnDrive* pDrive, const BurnDiscInfo& info,
                                   const std::wstring& label, DWORD index)
{
    int mode = 0;
    Expect(SUCCEEDED(pDrive->GetCurDiscTypeMode(&mode, nullptr, nullptr)) && (DWORD)mode == info.dwMediaType,
           Format(L"Brennel drive %lu disc type", index));
    IBurnSession* pSession = NewBurner(pEngine, mode);
    std::unique_ptr<IUnknown, Releaser> session(pSession);
    Expect(pSession != nullptr, Format(L"Brennel drive %lu burner", index));
    if (!pSession)
        return;
    BOOL blank = FALSE;
    UINT capacity = 0, sectors = 0;
    char volume[64] = {};
    bool ok = SUCCEEDED(pSession->SetDrive(pDrive)) && SUCCEEDED(pSession->Prepare()) &&
              SUCCEEDED(pSession->GetMediaInfo(nullptr, &blank, &capacity, nullptr, nullptr, nullptr, nullptr)) &&
              pSession->GetFreeSectors(&sectors, nullptr) == BRN_E_DISC_INFO_NOT_READ &&
              SUCCEEDED(pSession->RunCommand(BRN_CMD_READ_INFO, 0, nullptr)) &&
              SUCCEEDED(pSession->Wait(-1, nullptr, nullptr)) && SUCCEEDED(pSession->GetFreeSectors(&sectors, nullptr)) &&
              SUCCEEDED(pSession->GetVolumeLabel(volume, ARRAYSIZE(volume)));
    pSession->EndSession();
    pSession->Close();
    pSession->Detach();
    Line(Format(L"Brennel:   drive %lu disc type %d, %ls, %u of %u sectors free, label \"%hs\"", index, mode,
                blank ? L"blank" : L"recorded", sectors, capacity, volume));
    Expect(ok, Format(L"Brennel drive %lu media queries", index));
    Expect(blank == (info.dwDiscStatus == 0) && capacity == info.dwCapacitySectors && sectors == info.dwFreeSectors,
           Format(L"Brennel drive %lu disc information", index));
    Expect(SimPcText::Widen(volume) == label, Format(L"Brennel drive %lu label", index));
}

void CSimPcProbe::CheckWineDrives()
{
    for (const SimDisk& disk : m_state.disks) {
        for (const SimPartition& p : disk.slots) {
            if (!p.IsUsed() || !p.letter)
                continue;
            wchar_t root[] = {p.letter, L':', L'\\', 0};
            UINT type = GetDriveTypeW(root);
            Line(Format(L"Wine: %ls type %u", root, type));
            Expect(type == DRIVE_FIXED, Format(L"Wine drive %ls is not a fixed drive", root));
        }
    }
    for (const SimOptical& o : m_state.opticals) {
        wchar_t root[] = {o.letter, L':', L'\\', 0};
        UINT type = GetDriveTypeW(root);
        bool readable = GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES;
        Line(Format(L"Wine: %ls type %u, %ls", root, type, readable ? L"readable" : L"no disc"));
        Expect(type == DRIVE_CDROM, Format(L"Wine drive %ls is not a CD-ROM drive", root));
        Expect(readable == o.IsReady(), Format(L"Wine drive %ls readable", root));
    }
}
