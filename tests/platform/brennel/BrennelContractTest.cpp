// The burning engine through the call sequences of both programs, on a
// desktop PC whose DVD writer E: starts empty.
#include "BrennelFixture.h"

#include "DiskMgmt.h"
#include "SimPcText.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

const DWORD kDvdSectors = 2298496;
const DWORD kMendoraWriter = BRN_CAP_WRITE_CDR | BRN_CAP_WRITE_CDRW;
const DWORD kDiscoraWriter = BRN_CAP_WRITE_CDR | 0x3700;

std::string Narrow(const std::wstring& w)
{
    return SimPcText::Narrow(w);
}

using UniqueHandle = std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)>;

UniqueHandle Own(HANDLE h)
{
    return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h, CloseHandle);
}

// The folder of this test program, with a trailing backslash.
std::wstring ProgramFolder()
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    return path.substr(0, path.rfind(L'\\') + 1);
}

// Runs a command line and returns what it printed; its exit code in *code.
std::string Capture(const std::wstring& line, DWORD* code = nullptr)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return "(no pipe)";
    UniqueHandle read = Own(readEnd);
    UniqueHandle write = Own(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    std::vector<wchar_t> cmd(line.begin(), line.end());
    cmd.push_back(0);
    BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    write.reset();
    if (!started)
        return "(did not start)";
    UniqueHandle process = Own(pi.hProcess);
    UniqueHandle thread = Own(pi.hThread);
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buf, sizeof(buf), &got, nullptr) && got)
        out.append(buf, got);
    WaitForSingleObject(pi.hProcess, INFINITE);
    if (code)
        GetExitCodeProcess(pi.hProcess, code);
    return out;
}

// Runs the reader program on a drive's root (or a folder) and returns what it printed.
std::string ReadBack(const std::wstring& root)
{
    return Capture(L"\"" + ProgramFolder() + L"DiscReadBack.exe\" " + root);
}

std::string LineOf(const std::string& text, const std::string& start)
{
    size_t at = text.find(start);
    if (at == std::string::npos)
        return std::string();
    size_t end = text.find_first_of("\r\n", at);
    return text.substr(at + start.size(), end == std::string::npos ? std::string::npos : end - at - start.size());
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// "size hash" of a file line in a reader's listing; empty when not listed.
std::string SizeAndHash(const std::string& listing, const std::string& path)
{
    return LineOf(listing, "F " + path + " ");
}

class Brennel : public BrennelFixture {};

} // namespace

TEST_F(Brennel, BindsByNameOnly)
{
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, m_pfnGetClassObject(IID_IBurnEngine, IID_IClassFactory, &p));
    EXPECT_EQ(nullptr, p);
    IUnknown* pUnknown = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_INVALIDARG, m_pEngine->CreateBurner(IID_IBurnSession, &pUnknown));
    EXPECT_EQ(nullptr, pUnknown);
    EXPECT_EQ(S_FALSE, m_pfnCanUnloadNow()) << "the engine and burners are alive";
    // Placeholders answer, so that a slot miscount shows as a failure, not a crash.
    EXPECT_EQ(E_NOTIMPL, m_pEngine->Reserved7());
    EXPECT_EQ(E_NOTIMPL, m_pDVD->Reserved4());
}

// A table of PCs: what each program's writer search finds.
TEST_F(Brennel, WriterEnumeration)
{
    struct Case {
        const char* name;
        std::vector<SimOptical> drives;
        UINT count;
        std::string letters;
        std::string writers;
    };
    SimOptical writer = Drive();
    SimOptical reader = writer;
    reader.letter = L'F';
    reader.caps = BRN_CAP_READ_CD | BRN_CAP_READ_DVD;
    SimOptical unplugged = writer;
    unplugged.present = false;
    const Case cases[] = {
        {"no drive", {}, 0, "", ""},
        {"reader only", {reader}, 1, "F", ""},
        {"one writer", {writer}, 1, "E", "E"},
        {"writer and reader", {writer, reader}, 2, "EF", "E"},
        {"writer unplugged", {unplugged, reader}, 1, "F", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSimPc pc(L"test");
        ASSERT_TRUE(pc.Open());
        ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) {
            s.opticals = c.drives;
            return S_OK;
        }));
        EXPECT_EQ(S_OK, m_pEngine->Refresh(0));
        UINT count = 99;
        ASSERT_EQ(S_OK, m_pEngine->GetDriveCount(&count));
        EXPECT_EQ(c.count, count);
        std::string letters, writers;
        for (UINT i = 0; i < count; ++i) {
            Owned<IBurnDrive> drive;
            ASSERT_EQ(S_OK, m_pEngine->GetDriveByIndex(i, drive.Out()));
            char letter = 0;
            DWORD caps = 0;
            ASSERT_EQ(S_OK, drive->GetLetter(&letter));
            ASSERT_EQ(S_OK, drive->GetCapabilities(&caps));
            letters += letter;
            EXPECT_EQ((caps & kMendoraWriter) != 0, (caps & kDiscoraWriter) != 0) << "the programs disagree";
            if (caps & kMendoraWriter)
                writers += letter;
        }
        EXPECT_EQ(c.letters, letters);
        EXPECT_EQ(c.writers, writers);
        Owned<IBurnDrive> beyond;
        EXPECT_EQ(E_INVALIDARG, m_pEngine->GetDriveByIndex(count, beyond.Out()));
    }
}

TEST_F(Brennel, DrivesByLetter)
{
    ChangeDrive([](SimOptical& o) {
        o.vendor = L"ABC";
        o.product = L"WRITER";
        o.revision = L"2";
    });
    IBurnDrive* pDrive = GetDrive('e');
    ASSERT_NE(nullptr, pDrive);
    BurnInquiry inquiry;
    memset(&inquiry, 'x', sizeof(inquiry));
    ASSERT_EQ(S_OK, pDrive->GetInquiry(&inquiry));
    const char* record = reinterpret_cast<const char*>(&inquiry);
    // Blank-padded fields at the offsets the programs read.
    EXPECT_STREQ("ABC     ", record);
    EXPECT_STREQ("WRITER          ", record + 9);
    EXPECT_STREQ("2   ", record + 26);

    Owned<IBurnDrive> none;
    EXPECT_EQ(BRN_E_NO_SUCH_DRIVE, m_pEngine->GetDrive('D', none.Out())) << "a hard disk is no optical drive";
    EXPECT_EQ(nullptr, none.Get());
    EXPECT_EQ(E_POINTER, m_pEngine->GetDrive('E', nullptr));

    // Unplugged: the drive is gone for every call, also for an object taken before.
    ChangeDrive([](SimOptical& o) { o.present = false; });
    Owned<IBurnDrive> gone;
    EXPECT_EQ(BRN_E_DRIVE_GONE, m_pEngine->GetDrive('E', gone.Out()));
    int state = -1;
    EXPECT_EQ(BRN_E_DRIVE_GONE, pDrive->GetMediaState(&state));
    DWORD caps = 0;
    EXPECT_EQ(BRN_E_DRIVE_GONE, pDrive->GetCapabilities(&caps));
}

TEST_F(Brennel, MediaStates)
{
    IBurnDrive* pDrive = GetDrive();
    ASSERT_NE(nullptr, pDrive);
    int state = -1, mode = -1;
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_NONE, state);
    EXPECT_EQ(BRN_E_NO_MEDIUM, pDrive->GetCurDiscTypeMode(&mode, nullptr, nullptr));
    InsertDisc(DTM_DVDR, kDvdSectors, true);
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_READY, state);
    ASSERT_EQ(S_OK, pDrive->Tray(TRUE));
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_TRAY_OPEN, state);
    ASSERT_EQ(S_OK, pDrive->Tray(FALSE));
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_NONE, state) << "the disc came out with the tray";

    // With a queue, the harness's next disc goes in as soon as the tray opens.
    std::wstring first = InsertDisc(DTM_DVDR, kDvdSectors, true);
    std::wstring second = InsertDisc(DTM_CDR, 359844, true);
    ChangeDrive([&](SimOptical& o) { o.queue = {first}; });
    ASSERT_EQ(S_OK, pDrive->Tray(TRUE));
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_READY, state);
    ASSERT_EQ(S_OK, pDrive->GetCurDiscTypeMode(&mode, nullptr, nullptr));
    EXPECT_EQ(DTM_DVDR, mode);
    EXPECT_EQ(first, Drive().disc);
}

// Every type mode, as both programs query a disc: type, the burner of the
// type, blank flag, free sectors after the disc information is read.
TEST_F(Brennel, MediaQueriesPerType)
{
    struct Case {
        DWORD media;
        bool blank;
        DWORD capacity;
    };
    const Case cases[] = {
        {DTM_CDR, true, 359844},        {DTM_CDRW, false, 359844},      {DTM_DVDPLUSRW_DL, true, 4173824},
        {DTM_DVDRW_DL, false, 4171712}, {DTM_DVDR, true, kDvdSectors},  {DTM_DVDPLUSR, true, 2295104},
        {DTM_DVDRW, false, kDvdSectors}, {DTM_DVDPLUSRW, true, 2295104}, {DTM_DVDPLUSR_DL, true, 4173824},
        {DTM_DVDR_DL, false, 4171712},  {DTM_DVDR, true, 2097151},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "media " << c.media << (c.blank ? " blank" : " recorded"));
        std::wstring id = InsertDisc(c.media, c.capacity, c.blank);
        IBurnDrive* pDrive = GetDrive();
        ASSERT_NE(nullptr, pDrive);
        int mode = 0;
        ASSERT_EQ(S_OK, pDrive->GetCurDiscTypeMode(&mode, nullptr, nullptr));
        EXPECT_EQ((int)c.media, mode);
        IBurnSession* pSession = Burner(mode);
        IBurnSession* pOther = pSession == m_pCD ? m_pDVD : m_pCD;
        ASSERT_EQ(S_OK, pOther->SetDrive(pDrive));
        EXPECT_EQ(BRN_E_WRONG_MEDIUM, pOther->Prepare());
        ASSERT_EQ(S_OK, Attach(pSession));
        int infoMode = 0;
        BOOL blank = !c.blank;
        UINT capacity = 0;
        ASSERT_EQ(S_OK, pSession->GetMediaInfo(&infoMode, &blank, &capacity, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(mode, infoMode);
        EXPECT_EQ(c.blank, blank != FALSE);
        EXPECT_EQ(c.capacity, capacity);
        UINT sectors = 7;
        EXPECT_EQ(BRN_E_DISC_INFO_NOT_READ, pSession->GetFreeSectors(&sectors, nullptr));
        ASSERT_EQ(S_OK, pSession->RunCommand(BRN_CMD_READ_INFO, 0, nullptr));
        EXPECT_EQ(S_OK, pSession->Wait(-1, nullptr, nullptr));
        ASSERT_EQ(S_OK, pSession->GetFreeSectors(&sectors, nullptr));
        EXPECT_EQ(Disc(id).freeSectors, sectors);
        // 64-bit free bytes, as the programs compute them.
        EXPECT_EQ((ULONGLONG)Disc(id).freeSectors * BRN_SECTOR_BYTES, (ULONGLONG)sectors * BRN_SECTOR_BYTES);
        Detach(pSession);
    }
}

// The free sectors need the disc information of the current prepared session.
TEST_F(Brennel, FreeSectorsNeedTheDiscInformation)
{
    InsertDisc(DTM_DVDR, kDvdSectors, true);
    UINT sectors = 0;
    EXPECT_EQ(BRN_E_NOT_PREPARED, m_pDVD->GetFreeSectors(&sectors, nullptr));
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    EXPECT_EQ(BRN_E_DISC_INFO_NOT_READ, m_pDVD->GetFreeSectors(&sectors, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_READ_INFO, 0, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->Wait(-1, nullptr, nullptr));
    EXPECT_EQ(S_OK, m_pDVD->GetFreeSectors(&sectors, nullptr));
    EXPECT_EQ(kDvdSectors, sectors);
    Detach(m_pDVD);
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    EXPECT_EQ(BRN_E_DISC_INFO_NOT_READ, m_pDVD->GetFreeSectors(&sectors, nullptr)) << "a new session reads again";
    EXPECT_EQ(E_POINTER, m_pDVD->GetFreeSectors(nullptr, nullptr));
    Detach(m_pDVD);
}

// Discora's sequence for disc 1 of 3, then a second program reads the disc
// back by its letter.
TEST_F(Brennel, BurnedTreeReadsBackFromTheLetter)
{
    std::wstring id = InsertDisc(DTM_DVDR, kDvdSectors, true);
    std::wstring boot = SourceFile(L"etfsboot.com", "boot sector");
    std::wstring split = SourceFile(L"SPLIT.LOG", "base.swm=0\r\n");
    std::wstring info = SourceFile(L"SETINFO.LOG", "[SetInfo]\r\nSetID=S1\r\n");
    std::wstring big = SourceFile(L"base.swm", "MSWIM", 20ull << 20);
    IBurnDrive* pDrive = GetDrive();
    ASSERT_NE(nullptr, pDrive);
    int mode = 0;
    ASSERT_EQ(S_OK, pDrive->GetCurDiscTypeMode(&mode, nullptr, nullptr));
    IBurnSession* pSession = Burner(mode);
    ASSERT_EQ(S_OK, pSession->SetDrive(pDrive));
    ASSERT_EQ(S_OK, pSession->Prepare());
    ASSERT_EQ(S_OK, pSession->SetMode(3));
    UINT speeds = 0;
    float current = 0.0f, best = 0.0f;
    ASSERT_EQ(S_OK, pSession->GetWriteSpeedCount(&speeds, nullptr));
    ASSERT_EQ(S_OK, pSession->GetCurrentWriteSpeed(&best));
    current = best;
    for (UINT i = 0; i < speeds; ++i) {
        float speed = 0.0f;
        ASSERT_EQ(S_OK, pSession->GetWriteSpeed(i, &speed));
        best = speed > best ? speed : best;
    }
    EXPECT_EQ(3u, speeds);
    EXPECT_EQ(4.0f, current);
    EXPECT_EQ(S_OK, pSession->SetWriteSpeed(best));
    EXPECT_EQ(E_INVALIDARG, pSession->SetWriteSpeed(3.0f));
    ASSERT_EQ(S_OK, pSession->SetBootImage(boot.c_str()));
    ASSERT_EQ(S_OK, pSession->SetVolumeId("Recovery13"));
    // The folder chain of preload\PART0001 and its files.
    EXPECT_EQ(S_OK, pSession->AddFolder(L"", L"preload", nullptr, 0));
    EXPECT_EQ(S_OK, pSession->AddFolder(L"preload", L"PART0001", nullptr, 0));
    EXPECT_EQ(BRN_E_FOLDER_EXISTS, pSession->AddFolder(L"", L"preload", nullptr, 0));
    EXPECT_EQ(S_OK, pSession->AddFile(L"preload\\SPLIT.LOG", split.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, pSession->AddFile(L"preload\\PART0001\\base.swm", big.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, pSession->AddFile(L"\\SETINFO.LOG", info.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(BRN_E_FILE_EXISTS, pSession->AddFile(L"preload\\split.log", info.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              pSession->AddFile(L"preload\\gone.swm", (m_sources + L"\\gone.swm").c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, pSession->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    EXPECT_EQ(BRN_E_BUSY, pSession->Prepare());
    std::vector<std::pair<int, float>> seen;
    ASSERT_EQ(S_OK, WaitAll(pSession, &seen));
    EXPECT_EQ(S_OK, pSession->GetResult());
    Detach(pSession);

    // Stages 64 then 144, each rising from 0 to 1.
    size_t firstFinish = seen.size();
    float last = -1.0f;
    int lastStage = BRN_STAGE_WRITING;
    for (size_t i = 0; i < seen.size(); ++i) {
        ASSERT_TRUE(seen[i].first == BRN_STAGE_WRITING || seen[i].first == BRN_STAGE_FINISHING) << seen[i].first;
        if (seen[i].first != lastStage) {
            ASSERT_EQ(BRN_STAGE_FINISHING, seen[i].first) << "no way back to writing";
            firstFinish = std::min(firstFinish, i);
            last = -1.0f;
            lastStage = seen[i].first;
        }
        EXPECT_GE(seen[i].second, last);
        EXPECT_LE(seen[i].second, 1.0f);
        last = seen[i].second;
    }
    EXPECT_EQ(BRN_STAGE_FINISHING, seen.back().first);
    EXPECT_EQ(1.0f, seen.back().second);

    SimDisc disc = Disc(id);
    EXPECT_FALSE(disc.blank);
    EXPECT_EQ(L"Recovery13", disc.label);
    EXPECT_EQ(boot, disc.boot);
    const DWORD used = 1 + 1 + (20u << 20) / BRN_SECTOR_BYTES;
    EXPECT_EQ(kDvdSectors - used, disc.freeSectors);
    EXPECT_EQ(L"done", Drive().burn);

    std::string listing = ReadBack(L"E:\\");
    EXPECT_EQ("Recovery13", LineOf(listing, "volume-label ")) << listing;
    EXPECT_EQ("Recovery13", LineOf(listing, "label-file ")) << listing;
    EXPECT_TRUE(Contains(listing, "D preload\n") || Contains(listing, "D preload\r\n")) << listing;
    // Sizes and contents as the reader finds them in the sources.
    std::string sources = ReadBack(m_sources + L"\\");
    const std::pair<const char*, const char*> files[] = {
        {"preload\\SPLIT.LOG", "SPLIT.LOG"},
        {"SETINFO.LOG", "SETINFO.LOG"},
        {"preload\\PART0001\\base.swm", "base.swm"},
    };
    for (const auto& f : files) {
        EXPECT_NE("", SizeAndHash(sources, f.second)) << sources;
        EXPECT_EQ(SizeAndHash(sources, f.second), SizeAndHash(listing, f.first)) << listing;
    }
    EXPECT_FALSE(Contains(listing, "gone.swm")) << listing;

    // The disc is recorded: no second burn onto it.
    ASSERT_EQ(S_OK, Attach(pSession));
    EXPECT_EQ(BRN_E_NOT_BLANK, pSession->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    Detach(pSession);
}

// Mendora's sequence for a file-backup disc and its label query.
TEST_F(Brennel, FileBackupDiscAndItsLabel)
{
    InsertDisc(DTM_DVDPLUSR, 2295104, true);
    std::wstring tool = SourceFile(L"Retrova.exe", "MZ tool");
    std::wstring dll = SourceFile(L"wimgapi.dll", "MZ wimgapi");
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->SetMode(2));
    ASSERT_EQ(S_OK, m_pDVD->SetVolumeId("File Backup 1"));
    ASSERT_EQ(S_OK, m_pDVD->AddFolder(L"", L"Backup", nullptr, 0));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"Backup\\Mendora.exe", tool.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->AddFolder(L"Backup", L"wimgapi", nullptr, BRN_FOLDER_HIDDEN));
    ASSERT_EQ(S_OK, m_pDVD->AddFolder(L"Backup\\wimgapi", L"v64", nullptr, BRN_FOLDER_HIDDEN));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"Backup\\wimgapi\\v64\\wimgapi.dll", dll.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, 0, nullptr));
    ASSERT_EQ(S_OK, WaitAll(m_pDVD));
    EXPECT_EQ(S_OK, m_pDVD->GetResult());
    Detach(m_pDVD);

    // The label query: prepare, read the disc information, ask the label.
    char label[32];
    memset(label, 'x', sizeof(label));
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_READ_INFO, 0, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->Wait(-1, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->GetVolumeLabel(label, sizeof(label)));
    EXPECT_STREQ("File Backup 1", label);
    char small[5];
    memset(small, 'x', sizeof(small));
    ASSERT_EQ(S_OK, m_pDVD->GetVolumeLabel(small, sizeof(small)));
    EXPECT_STREQ("File", small) << "cut and terminated";
    EXPECT_EQ(E_INVALIDARG, m_pDVD->GetVolumeLabel(small, 0));
    Detach(m_pDVD);

    std::string listing = ReadBack(L"E:\\");
    EXPECT_EQ("File Backup 1", LineOf(listing, "volume-label ")) << listing;
    EXPECT_TRUE(Contains(listing, "D Backup\\wimgapi hidden")) << listing;
    EXPECT_TRUE(Contains(listing, "F Backup\\wimgapi\\v64\\wimgapi.dll 10 ")) << listing;
    EXPECT_TRUE(Contains(listing, "F Backup\\Mendora.exe 7 ")) << listing;
}

TEST_F(Brennel, CancelFromAnotherThread)
{
    std::wstring id = InsertDisc(DTM_DVDR, kDvdSectors, true);
    std::wstring file = SourceFile(L"part.swm", "data");
    ChangeDrive([](SimOptical& o) { o.burnMs = 20000; });
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"preload\\part.swm", file.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(S_FALSE, m_pDVD->Cancel()) << "nothing runs yet";
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    std::atomic<HRESULT> cancelled{E_PENDING};
    std::thread ui([&] {
        Sleep(500);
        cancelled = m_pDVD->Cancel();
    });
    ULONGLONG start = GetTickCount64();
    HRESULT waited = WaitAll(m_pDVD);
    ui.join();
    EXPECT_EQ(S_OK, waited);
    EXPECT_EQ(S_OK, cancelled.load());
    EXPECT_LT(GetTickCount64() - start, 10000u) << "the burn ended early";
    EXPECT_EQ(BRN_E_CANCELLED, m_pDVD->GetResult());
    Detach(m_pDVD);
    SimDisc disc = Disc(id);
    EXPECT_FALSE(disc.blank) << "a write-once disc that received data is spoilt";
    EXPECT_EQ(0u, disc.freeSectors);
    EXPECT_EQ(L"cancelled", Drive().burn);
}

TEST_F(Brennel, CapacityIsEnforced)
{
    const DWORD kSectors = 10;
    struct Case {
        ULONGLONG bytes;
        HRESULT expected;
    };
    const Case cases[] = {
        {kSectors * BRN_SECTOR_BYTES + 1, BRN_E_DISC_FULL},
        {kSectors * BRN_SECTOR_BYTES, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::wstring id = InsertDisc(DTM_DVDR, kSectors, true);
        std::wstring file = SourceFile(L"fill.bin", "x", c.bytes);
        ASSERT_EQ(S_OK, Attach(m_pDVD));
        ASSERT_EQ(S_OK, m_pDVD->AddFile(L"fill.bin", file.c_str(), nullptr, nullptr, nullptr));
        HRESULT hr = m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr);
        EXPECT_EQ(c.expected, hr);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(S_OK, WaitAll(m_pDVD));
            EXPECT_EQ(S_OK, m_pDVD->GetResult());
        }
        Detach(m_pDVD);
        EXPECT_EQ(FAILED(hr), Disc(id).blank) << "a refused burn leaves the disc blank";
    }
}

// Faults requested through the description, and an unplug by the harness.
TEST_F(Brennel, FaultsDuringTheBurn)
{
    struct Case {
        const wchar_t* fault;
        HRESULT expected;
        bool present;
        bool blankAfter;
    };
    const Case cases[] = {
        {L"unplug-at:40", BRN_E_DRIVE_GONE, false, false},
        {L"fail-at:30", BRN_E_WRITE_FAILED, true, false},
        {L"fail-at:0", BRN_E_WRITE_FAILED, true, true},
        {L"fail-finish", BRN_E_FINISH_FAILED, true, false},
    };
    std::wstring file = SourceFile(L"part.swm", "data");
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.fault));
        ChangeDrive([&](SimOptical& o) {
            o.present = true;
            o.fault = c.fault;
            o.burnMs = 1000;
        });
        std::wstring id = InsertDisc(DTM_DVDR, kDvdSectors, true);
        ASSERT_EQ(S_OK, Attach(m_pDVD));
        ASSERT_EQ(S_OK, m_pDVD->AddFile(L"part.swm", file.c_str(), nullptr, nullptr, nullptr));
        ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
        EXPECT_EQ(S_OK, WaitAll(m_pDVD));
        EXPECT_EQ(c.expected, m_pDVD->GetResult());
        Detach(m_pDVD);
        SimOptical drive = Drive();
        EXPECT_EQ(c.present, drive.present);
        EXPECT_TRUE(drive.fault.empty()) << "a fault strikes once";
        EXPECT_EQ(c.blankAfter, Disc(id).blank);
        EXPECT_EQ(0u, drive.burn.find(L"failed"));
        if (c.present) {
            // Nothing readable is left: no files, no label.
            std::string listing = ReadBack(L"E:\\");
            ASSERT_TRUE(Contains(listing, "volume-label ")) << "the reader ran: " << listing;
            EXPECT_EQ("", LineOf(listing, "volume-label ")) << listing;
            EXPECT_FALSE(Contains(listing, "F ")) << listing;
        }
        Owned<IBurnDrive> again;
        EXPECT_EQ(c.present ? S_OK : BRN_E_DRIVE_GONE, m_pEngine->GetDrive(kLetter, again.Out()));
    }

    // The harness pulls the drive out while the burn runs.
    ChangeDrive([](SimOptical& o) {
        o.present = true;
        o.burnMs = 20000;
    });
    InsertDisc(DTM_DVDR, kDvdSectors, true);
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"part.swm", file.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    Sleep(300);
    ChangeDrive([](SimOptical& o) { o.present = false; });
    EXPECT_EQ(S_OK, WaitAll(m_pDVD));
    EXPECT_EQ(BRN_E_DRIVE_GONE, m_pDVD->GetResult());
    Detach(m_pDVD);
}

TEST_F(Brennel, TrayLockRefusesAnEject)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    Owned<IBurnMgmt> mgmt;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_BurnMgmt, nullptr, CLSCTX_INPROC_SERVER, IID_IBurnMgmt, (void**)mgmt.Out()));
    ASSERT_EQ(S_OK, mgmt->SelectDrive(0));
    std::wstring id = InsertDisc(DTM_DVDR, kDvdSectors, true);
    IBurnDrive* pDrive = GetDrive();
    ASSERT_NE(nullptr, pDrive);
    ASSERT_EQ(S_OK, pDrive->LockTray(TRUE));
    EXPECT_TRUE(Drive().locked) << "the harness sees the lock";
    EXPECT_EQ(BRN_E_TRAY_LOCKED, pDrive->Tray(TRUE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DRIVE_LOCKED), mgmt->EjectTray(TRUE)) << "IBurnMgmt sees the lock";
    int state = 0;
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_READY, state);
    EXPECT_EQ(id, Drive().disc);

    // A burn keeps the tray shut even when it is not locked.
    ASSERT_EQ(S_OK, pDrive->LockTray(FALSE));
    std::wstring file = SourceFile(L"part.swm", "data");
    ChangeDrive([](SimOptical& o) { o.burnMs = 3000; });
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"part.swm", file.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    EXPECT_EQ(BRN_E_BUSY, pDrive->Tray(TRUE));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), mgmt->EjectTray(TRUE));
    EXPECT_EQ(S_OK, WaitAll(m_pDVD));
    Detach(m_pDVD);

    ASSERT_EQ(S_OK, pDrive->Tray(TRUE));
    ASSERT_EQ(S_OK, pDrive->GetMediaState(&state));
    EXPECT_EQ(BRN_MEDIA_TRAY_OPEN, state);
    EXPECT_TRUE(Drive().disc.empty());
    mgmt->Release();
    *mgmt.Out() = nullptr;
    CoUninitialize();
}

// Names on the disc come from the callers' sets: nothing may leave the
// disc's folder, and nonsense is refused.
TEST_F(Brennel, HostileNamesAreRefused)
{
    InsertDisc(DTM_DVDR, kDvdSectors, true);
    std::wstring file = SourceFile(L"part.swm", "data");
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    const wchar_t* paths[] = {L"..\\escape.swm", L"a\\..\\..\\b", L"a\\\\b",  L"C:\\x",     L"a/b",
                              L"",               L"\\",             L"a\\.\\b", L"preload.", L"name ",
                              L"preload\\con",  L"NUL.txt",         L"com1",     L"Lpt9.log"};
    for (const wchar_t* path : paths) {
        SCOPED_TRACE(Narrow(path));
        EXPECT_EQ(E_INVALIDARG, m_pDVD->AddFile(path, file.c_str(), nullptr, nullptr, nullptr));
    }
    EXPECT_EQ(E_INVALIDARG, m_pDVD->AddFile(std::wstring(2000, L'a').c_str(), file.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, m_pDVD->AddFolder(L"", L"a\\b", nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, m_pDVD->AddFolder(L"", L"..", nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, m_pDVD->AddFile(L"folder", m_sources.c_str(), nullptr, nullptr, nullptr))
        << "a folder is no file";
    EXPECT_EQ(E_POINTER, m_pDVD->AddFile(nullptr, file.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, m_pDVD->SetVolumeId(std::string(33, 'A').c_str()));
    EXPECT_EQ(E_INVALIDARG, m_pDVD->SetVolumeId("Bad\nId"));
    EXPECT_EQ(S_OK, m_pDVD->SetVolumeId(std::string(32, 'A').c_str()));
    EXPECT_EQ(E_INVALIDARG, m_pDVD->SetMode(7));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_pDVD->SetBootImage((m_sources + L"\\none.com").c_str()));
    EXPECT_EQ(BRN_E_UNKNOWN_COMMAND, m_pDVD->RunCommand(9, 0, nullptr));
    for (const wchar_t* fine : {L"console.txt", L"com10.log", L"LPT", L"a b\\c.d"}) {
        SCOPED_TRACE(Narrow(fine));
        EXPECT_EQ(S_OK, m_pDVD->AddFile(fine, file.c_str(), nullptr, nullptr, nullptr));
    }
    // A file where a folder is wanted.
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"x", file.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(BRN_E_FILE_EXISTS, m_pDVD->AddFile(L"x\\y", file.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(BRN_E_FILE_EXISTS, m_pDVD->AddFolder(L"", L"x", nullptr, 0));
    Detach(m_pDVD);
}

// A multi-GiB source costs nothing: linked when it can be, else copied with
// its holes kept (a source on another file system cannot be linked).
TEST_F(Brennel, LargeSourcesStayCheap)
{
    const ULONGLONG kBig = 5ull << 30;
    const ULONGLONG kPart = 20ull << 20;
    std::wstring id = InsertDisc(DTM_DVDPLUSR_DL, 4173824, true);
    std::wstring big = SourceFile(L"base.wim", "MSWIM", kBig);
    std::wstring shm = L"\\\\?\\unix\\dev\\shm\\brennel-" + std::to_wstring(GetCurrentProcessId());
    std::wstring apart = shm + L"\\part.swm";
    CreateDirectoryW(shm.c_str(), nullptr);
    {
        UniqueHandle file = Own(CreateFileW(apart.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file) << "no /dev/shm";
        DWORD written = 0;
        WriteFile(file.get(), "part", 4, &written, nullptr);
        LARGE_INTEGER last;
        last.QuadPart = (LONGLONG)kPart - 1;
        SetFilePointerEx(file.get(), last, nullptr, FILE_BEGIN);
        WriteFile(file.get(), "!", 1, &written, nullptr);
    }
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"preload\\base.wim", big.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"preload\\base2.swm", apart.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, WaitAll(m_pDVD));
    EXPECT_EQ(S_OK, m_pDVD->GetResult());
    EXPECT_LT(GetTickCount64() - start, 20000u);
    Detach(m_pDVD);
    EXPECT_EQ(4173824u - (DWORD)((kBig + kPart) / BRN_SECTOR_BYTES), Disc(id).freeSectors);

    std::string listing = ReadBack(L"E:\\");
    std::string sources = ReadBack(m_sources + L"\\");
    EXPECT_EQ(SizeAndHash(sources, "base.wim"), SizeAndHash(listing, "preload\\base.wim")) << listing;
    std::string copied = ReadBack(shm + L"\\");
    EXPECT_NE("", SizeAndHash(copied, "part.swm")) << copied;
    EXPECT_EQ(SizeAndHash(copied, "part.swm"), SizeAndHash(listing, "preload\\base2.swm")) << listing;
    // Wine reports no allocation sizes, so the holes of the copy are not
    // checked here; the link of the first file is.
    UniqueHandle linked = Own(CreateFileW(L"E:\\preload\\base.wim", 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(linked && GetFileInformationByHandle(linked.get(), &info));
    EXPECT_EQ(2u, info.nNumberOfLinks);
    DeleteFileW(apart.c_str());
    RemoveDirectoryW(shm.c_str());
}

// A program that lets go of a burner mid-burn (it ends, or its Init fails
// later) must not leave a thread writing behind it.
TEST_F(Brennel, ReleasingABurningBurnerCancelsIt)
{
    std::wstring id = InsertDisc(DTM_DVDR, kDvdSectors, true);
    std::wstring file = SourceFile(L"part.swm", "data");
    ChangeDrive([](SimOptical& o) { o.burnMs = 20000; });
    IUnknown* pUnknown = nullptr;
    ASSERT_EQ(S_OK, m_pEngine->CreateBurner(GUID_BurnerKindDVD, &pUnknown));
    IBurnSession* pSession = nullptr;
    ASSERT_EQ(S_OK, pUnknown->QueryInterface(IID_IBurnSession, (void**)&pSession));
    pUnknown->Release();
    ASSERT_EQ(S_OK, Attach(pSession));
    ASSERT_EQ(S_OK, pSession->AddFile(L"part.swm", file.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, pSession->RunCommand(BRN_CMD_BURN, BRN_BURN_FLAG_CLOSE_DISC, nullptr));
    EXPECT_EQ(BRN_E_BUSY, pSession->Detach());
    Sleep(200);
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(0u, pSession->Release());
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_EQ(L"cancelled", Drive().burn);
    EXPECT_FALSE(Disc(id).blank);
}

// A disc burned by this bitness's engine, seen by the other bitness: its
// probe binds its own Brennel.dll and IBurnMgmt over the same description.
TEST_F(Brennel, OtherBitnessSeesTheBurnedDisc)
{
    const std::wstring own = sizeof(void*) == 8 ? L"\\win64\\" : L"\\win32\\";
    const std::wstring other = sizeof(void*) == 8 ? L"\\win32\\" : L"\\win64\\";
    std::wstring folder = ProgramFolder();
    size_t at = folder.rfind(own);
    ASSERT_NE(std::wstring::npos, at) << "the build tree is named by its bitness";
    std::wstring probe = folder.replace(at, own.size(), other) + L"SimPcProbe.exe";
    if (GetFileAttributesW(probe.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the other tree is not built";
    // The rig says so when the machine's kernel starts no 32-bit programs.
    if (sizeof(void*) == 8 && GetEnvironmentVariableW(L"SUITE_NO_32BIT", nullptr, 0) != 0)
        GTEST_SKIP() << "this machine runs no 32-bit programs";

    InsertDisc(DTM_DVDPLUSR, 2295104, true);
    std::wstring file = SourceFile(L"notes.txt", "backup");
    ASSERT_EQ(S_OK, Attach(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->SetMode(2));
    ASSERT_EQ(S_OK, m_pDVD->SetVolumeId("File Backup 2"));
    ASSERT_EQ(S_OK, m_pDVD->AddFile(L"Backup\\notes.txt", file.c_str(), nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, m_pDVD->RunCommand(BRN_CMD_BURN, 0, nullptr));
    ASSERT_EQ(S_OK, WaitAll(m_pDVD));
    ASSERT_EQ(S_OK, m_pDVD->GetResult());
    Detach(m_pDVD);

    DWORD code = 99;
    std::string report = Capture(L"\"" + probe + L"\"", &code);
    EXPECT_EQ(0u, code) << report;
    EXPECT_TRUE(Contains(report, "disc type 256, recorded")) << report;
    EXPECT_TRUE(Contains(report, "label \"File Backup 2\"")) << report;
}
