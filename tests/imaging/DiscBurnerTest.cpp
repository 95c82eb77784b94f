// The burning-engine client against Brennel.dll on a desktop PC with the
// DVD writer E:: binding, the writer list, media questions, the wait for a
// blank disc, the disc plan and index, and one small set burned.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "CDiscBurner.h"
#include "Deadline.h"
#include "DiscRig.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "TestFiles.h"

using namespace DiscRig;
using namespace TestFiles;

namespace {

const ULONGLONG kGB = 1000000000ULL;

bool Put(const std::wstring& path, const std::string& bytes)
{
    NvCreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str());
    return WriteBytes(path, bytes);
}

// A file of the size without its bytes (sparse on the host).
bool PutSized(const std::wstring& path, ULONGLONG ullSize)
{
    NvCreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str());
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER li;
    li.QuadPart = LONGLONG(ullSize);
    bool ok = SetFilePointerEx(h, li, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

std::wstring ProfileText(const std::wstring& ini, const wchar_t* section, const std::wstring& key)
{
    wchar_t wsz[64] = {};
    GetPrivateProfileStringW(section, key.c_str(), L"", wsz, 64, ini.c_str());
    return wsz;
}

std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end());
}

class DiscBurnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_burner.Init());
        ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.burnMs = 300; }));
        m_burner.SetPrompt(&m_user);
        m_burner.SetProgramFolder(L"C:\\burner-prog");
    }

    CDiscBurner m_burner;
    CUser m_user {m_burner};
};

TEST(DiscBurnerInit, RefusesLibrariesWithoutTheEngine)
{
    struct Case {
        const wchar_t* library;
        HRESULT hr;
    } cases[] = {
        {L"NoSuchEngine.dll", E_OUTOFMEMORY},
        {L"Wimsplice.dll", E_OUTOFMEMORY}, // loads, lacks both exports
        {L"Brennel.dll", S_OK},
    };
    for (const Case& c : cases) {
        CDiscBurner burner;
        EXPECT_EQ(c.hr, burner.InitFrom(c.library)) << Narrow(c.library);
        EXPECT_EQ(c.hr == S_OK, burner.IsBound()) << Narrow(c.library);
    }
}

// Media questions and label reads keep no engine object: once unbound, the
// engine allows itself to be unloaded.
TEST(DiscBurnerInit, LeavesNoEngineObjectBehind)
{
    {
        CDiscBurner burner;
        ASSERT_EQ(S_OK, burner.Init());
        ASSERT_FALSE(Load({{DTM_DVDR, kDvdSectors, true}}).empty());
        int nType = 0;
        BOOL bBlank = FALSE;
        ULONGLONG ullFree = 0;
        char szLabel[32] = {};
        EXPECT_EQ(S_OK, burner.GetMediaInfo(&nType, &bBlank, &ullFree));
        burner.GetDiscLabel(szLabel, sizeof szLabel);
        burner.GetDiscLabel(szLabel, sizeof szLabel);
        EXPECT_EQ(S_OK, burner.Uninit());
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(L"Brennel.dll")) << "an engine object is still referenced";
}

// The writer's inquiry texts with runs of blanks made single; a reader is
// not listed but still becomes the current drive.
TEST_F(DiscBurnerTest, WritersAreListedByTheirInquiry)
{
    struct Case {
        DWORD caps;
        const wchar_t* vendor;
        const wchar_t* product;
        const wchar_t* revision;
        std::vector<std::wstring> drives;
    } cases[] = {
        {0x3780, L"ZENTARA", L"DVDRW SIM-16X", L"1.00", {L"E:\\ZENTARA DVDRW SIM-16X 1.00"}},
        {0x0080, L"AB   CD", L"X", L"9", {L"E:\\AB CD X 9 "}},
        {0x0003, L"ZENTARA", L"DVD-ROM", L"1.00", {}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ChangeWriter([&](SimOptical& o) {
            o.caps = c.caps;
            o.vendor = c.vendor;
            o.product = c.product;
            o.revision = c.revision;
        }));
        EXPECT_EQ(S_OK, m_burner.EnumWriterDrives());
        EXPECT_EQ(c.drives, m_burner.m_vecDrives) << c.caps;
        EXPECT_EQ(!c.drives.empty(), m_burner.m_bHasWriter != FALSE) << c.caps;
        EXPECT_EQ(S_OK, m_burner.SelectDefaultDrive());
        EXPECT_EQ(L'E', m_burner.CurrentDrive());
    }
    ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.caps = 0x3780; }));
}

TEST_F(DiscBurnerTest, SelectDriveKeepsTheDriveForALetterTheEngineLacks)
{
    ASSERT_EQ(S_OK, m_burner.SelectDrive(L'E'));
    EXPECT_TRUE(FAILED(m_burner.SelectDrive(L'W')));
    EXPECT_EQ(L'E', m_burner.CurrentDrive());
}

// Free space is sectors times 2,048 in 64 bits: a blank DVD holds more than
// 32 bits can count.
TEST_F(DiscBurnerTest, MediaInfoOfEachDisc)
{
    struct Case {
        DiscSpec disc;
        ULONGLONG free;
    } cases[] = {
        {{DTM_DVDR, kDvdSectors, true}, ULONGLONG(kDvdSectors) * 2048},
        {{DTM_DVDPLUSR, kDvdSectors, false}, ULONGLONG(kDvdSectors / 2) * 2048},
        {{DTM_CDR, kCdSectors, true}, ULONGLONG(kCdSectors) * 2048},
        {{DTM_DVDRW, 2097151, true}, 2097151ULL * 2048},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(Load({c.disc}).empty());
        int nType = -1;
        BOOL bBlank = -1;
        ULONGLONG ullFree = 7;
        EXPECT_EQ(S_OK, m_burner.GetMediaInfo(&nType, &bBlank, &ullFree)) << c.disc.dwMedia;
        EXPECT_EQ(int(c.disc.dwMedia), nType);
        EXPECT_EQ(c.disc.bBlank, bBlank != FALSE) << c.disc.dwMedia;
        EXPECT_EQ(c.free, ullFree) << c.disc.dwMedia;
        nType = -1;
        ullFree = 7;
        EXPECT_EQ(S_OK, m_burner.GetMediaInfo(&nType, nullptr, &ullFree));
        EXPECT_EQ(int(c.disc.dwMedia), nType);
        EXPECT_EQ(7u, ullFree) << "no burner asked without a blank flag";
    }
}

TEST_F(DiscBurnerTest, EmptyTrayHasNoLabel)
{
    ASSERT_TRUE(LoadKnown({}));
    char szLabel[32];
    memset(szLabel, 'x', sizeof szLabel);
    EXPECT_TRUE(FAILED(m_burner.GetDiscLabel(szLabel, sizeof szLabel)));
    EXPECT_EQ(std::string(), std::string(szLabel)) << "the buffer is cleared and terminated";
    EXPECT_NE(S_OK, m_burner.IsMediaReady());
}

// Which discs a backup set accepts: write-once DVDs, rewritable ones only
// with "FBRW" beside the program, and only when blank with more than
// 4,294,967,295 free bytes. A refused disc is reported and pushed out, and
// the next one from the queue is tested.
TEST_F(DiscBurnerTest, BlankDiscWaitAcceptsOnlyLargeBlankDvds)
{
    const DiscSpec blankDvdR {DTM_DVDR, kDvdSectors, true};
    struct Case {
        const char* name;
        std::vector<DiscSpec> discs;
        bool rewritable;
        bool cancel;
        HRESULT hr;
        int type;
        size_t refused;
        size_t waits;
    } cases[] = {
        {"blank DVD-R", {blankDvdR}, false, false, S_OK, DTM_DVDR, 0, 0},
        {"DVD+R one sector under 4 GiB", {{DTM_DVDPLUSR, 2097151, true}, {DTM_DVDPLUSR, 2097152, true}}, false, false,
         S_OK, DTM_DVDPLUSR, 1, 0},
        {"recorded DVD", {{DTM_DVDR, kDvdSectors, false}, blankDvdR}, false, false, S_OK, DTM_DVDR, 1, 0},
        {"CD-R", {{DTM_CDR, kCdSectors, true}, blankDvdR}, false, false, S_OK, DTM_DVDR, 1, 0},
        {"double layer", {{DTM_DVDPLUSR_DL, 4173824, true}, blankDvdR}, false, false, S_OK, DTM_DVDR, 1, 0},
        {"DVD-RW without FBRW", {{DTM_DVDRW, kDvdSectors, true}, blankDvdR}, false, false, S_OK, DTM_DVDR, 1, 0},
        {"DVD-RW with FBRW", {{DTM_DVDRW, kDvdSectors, true}}, true, false, S_OK, DTM_DVDRW, 0, 0},
        {"empty tray, user cancels", {}, false, true, NV_E_USER_CANCELLED, 0, 0, 1},
        {"only a recorded disc, user cancels", {{DTM_DVDR, kDvdSectors, false}}, false, true, NV_E_USER_CANCELLED, 0,
         1, 1},
    };
    ASSERT_TRUE(Put(L"C:\\burner-fbrw\\FBRW", ""));
    for (const Case& c : cases) {
        if (c.discs.empty())
            ASSERT_TRUE(LoadKnown({}));
        else
            ASSERT_FALSE(Load(c.discs).empty());
        m_burner.SetProgramFolder(c.rewritable ? L"C:\\burner-fbrw" : L"C:\\burner-prog");
        m_user.Forget();
        m_user.m_bCancelWaits = c.cancel;
        int nType = -1;
        ULONGLONG ullFree = 0;
        EXPECT_EQ(c.hr, m_burner.WaitForBlankDisc(&nType, &ullFree)) << c.name;
        if (c.hr == S_OK) {
            EXPECT_EQ(c.type, nType) << c.name;
            EXPECT_GT(ullFree, 4294967295ULL) << c.name;
        }
        EXPECT_EQ(c.refused, m_user.m_refused.size()) << c.name;
        for (UINT id : m_user.m_refused)
            EXPECT_EQ(kTextDiscUnusable, id);
        EXPECT_EQ(c.waits, m_user.m_waits.size()) << c.name;
        for (UINT id : m_user.m_waits)
            EXPECT_EQ(kTextInsertBlankDisc, id);
    }
}

// A refused disc behind a tray that does not open stays ready: the user is
// asked again (and may cancel) instead of the disc being refused for ever.
TEST_F(DiscBurnerTest, BlankDiscWaitBehindALockedTrayCanBeCancelled)
{
    ASSERT_FALSE(Load({{DTM_DVDR, kDvdSectors, false}}).empty());
    ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.locked = true; }));
    m_user.Forget();
    m_user.m_bCancelWaits = true;
    int nType = 0;
    ULONGLONG ullFree = 0;
    HRESULT hr = RunWithDeadline([&] { return m_burner.WaitForBlankDisc(&nType, &ullFree); }, 60000, "locked tray");
    ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.locked = false; }));
    EXPECT_EQ(NV_E_USER_CANCELLED, hr);
    EXPECT_EQ(std::vector<UINT>{kTextDiscUnusable}, m_user.m_refused);
    EXPECT_EQ(std::vector<UINT>{kTextInsertBlankDisc}, m_user.m_waits);
    EXPECT_FALSE(Read().FindOptical(kWriter)->disc.empty()) << "the disc stayed in";
}

struct PlanFile {
    const wchar_t* name;
    ULONGLONG size;
};

// Plans a folder of sized files; the plan's disc per name.
HRESULT PlanOf(const std::wstring& dir, const std::vector<PlanFile>& files, const DiscSizes& sizes, DiscPlan* plan)
{
    DeleteTree(dir.substr(0, dir.size() - 1));
    NvCreateDirectoryW(dir.c_str());
    for (const PlanFile& f : files)
        if (!PutSized(dir + f.name, f.size))
            return E_FAIL;
    return CDiscBurner::PlanDiscs(dir, sizes, plan);
}

// At the real sizes: what fits a disc, where a split image's pieces and its
// ".dat" go, and the burning order.
TEST_F(DiscBurnerTest, PlanPlacesPartsOnDiscs)
{
    struct Case {
        const char* name;
        std::vector<PlanFile> files;
        HRESULT hr;
        int discs;
        int wims;
        std::vector<std::pair<std::wstring, int>> order; // name, disc
    } cases[] = {
        {"4.0 GB fits one disc", {{L"0.wim", 4 * kGB}}, S_OK, 1, 1, {{L"0.wim", 1}}},
        {"3.0 and 2.0 GB need two", {{L"0.wim", 3 * kGB}, {L"1.wim", 2 * kGB}}, S_OK, 2, 2, {{L"0.wim", 1}, {L"1.wim", 2}}},
        {"split image 7",
         {{L"7.3", 1 * kGB}, {L"7.0", 1 * kGB}, {L"7.dat", 4000}, {L"7.2", 1 * kGB}, {L"7.1", 1 * kGB}},
         S_OK, 1, 1, {{L"7.0", 1}, {L"7.1", 1}, {L"7.2", 1}, {L"7.3", 1}}},
        {"numbers, not names, order parts",
         {{L"10.wim", 2 * kGB}, {L"9.wim", 2 * kGB}, {L"2.1", 2 * kGB}, {L"2.0", 2 * kGB}, {L"2.dat", 10}},
         S_OK, 2, 3, {{L"2.0", 1}, {L"2.1", 1}, {L"9.wim", 2}, {L"10.wim", 2}}},
        {"a .dat counts with its first piece",
         {{L"1.0", 4 * kGB}, {L"1.dat", 700000000}, {L"1.1", 10}}, kDiscEntryTooBig, 0, 0, {}},
        {"a part larger than a disc", {{L"0.wim", 5 * kGB}}, kDiscEntryTooBig, 0, 0, {}},
        {"no parts", {}, S_OK, 1, 0, {}},
    };
    for (const Case& c : cases) {
        DiscPlan plan;
        HRESULT hr = PlanOf(L"C:\\plan\\set\\", c.files, DiscSizes(), &plan);
        EXPECT_EQ(c.hr, hr) << c.name;
        if (hr != S_OK)
            continue;
        EXPECT_EQ(c.discs, plan.nDiscCount) << c.name;
        EXPECT_EQ(c.wims, plan.nWimCount) << c.name;
        std::vector<std::pair<std::wstring, int>> order;
        for (const PlannedEntry& e : plan.entries)
            order.push_back({e.strName, e.nDisc});
        EXPECT_EQ(c.order, order) << c.name;
    }
}

TEST_F(DiscBurnerTest, PlanRefusesMoreDiscsThanARestoreKnows)
{
    DiscSizes sizes;
    sizes.ullCapacity = 1000;
    sizes.ullReserve = 100;
    for (int nFiles : {49, 50}) {
        std::vector<std::wstring> names;
        std::vector<PlanFile> files;
        for (int i = 0; i < nFiles; i++)
            names.push_back(std::to_wstring(i) + L".wim");
        for (const std::wstring& n : names)
            files.push_back({n.c_str(), 800});
        DiscPlan plan;
        EXPECT_EQ(nFiles == 49 ? S_OK : kDiscSetTooLarge, PlanOf(L"C:\\plan\\many\\", files, sizes, &plan)) << nFiles;
    }
}

// The index is written from the plan: every piece names the disc the plan
// gives it, the ".dat" the disc of piece 0.
TEST_F(DiscBurnerTest, IndexNamesThePlannedDiscs)
{
    DiscPlan plan;
    ASSERT_EQ(S_OK, PlanOf(L"C:\\plan\\index\\",
                           {{L"0.wim", 3 * kGB}, {L"1.0", 1 * kGB}, {L"1.1", 2 * kGB}, {L"1.dat", 500}, {L"2.wim", 3 * kGB}},
                           DiscSizes(), &plan));
    ASSERT_EQ(S_OK, m_burner.WriteDiscIndex(L"C:\\plan\\index\\", plan));
    std::wstring ini = L"C:\\plan\\index\\Mendora.ini";
    EXPECT_EQ(L"1", ProfileText(ini, L"1.wim", L"1.0"));
    EXPECT_EQ(L"2", ProfileText(ini, L"1.wim", L"1.1"));
    EXPECT_EQ(L"1", ProfileText(ini, L"1.wim", L"1.dat"));
    EXPECT_EQ(L"", ProfileText(ini, L"0.wim", L"0.wim"));
    EXPECT_EQ(L"3", ProfileText(ini, L"Count", L"WIMCount"));
    EXPECT_EQ(L"3", ProfileText(ini, L"Count", L"DiscCount"));
    EXPECT_EQ(3, m_burner.m_nDiscCount);
    for (const PlannedEntry& e : plan.entries)
        if (e.strName != L"0.wim" && e.strName != L"2.wim") {
            EXPECT_EQ(std::to_wstring(e.nDisc), ProfileText(ini, L"1.wim", e.strName)) << Narrow(e.strName);
        }
}

class EventLog : public IBurnEventHandler {
public:
    BOOL OnBurnEvent(int iEvent, float fProgress) override
    {
        m_events.push_back({iEvent, fProgress});
        return TRUE;
    }
    std::vector<std::pair<int, float>> m_events;
};

// A cancel with nothing burning only sets the flag; the next set is not
// reported as cancelled. The disc carries the set folder, the index and,
// being the first, the restore program and the imaging library.
TEST_F(DiscBurnerTest, SmallSetBurnsOneDiscAfterAStaleCancel)
{
    ASSERT_TRUE(Put(L"C:\\burner-prog\\Retrova.exe", "restore program"));
    for (const wchar_t* bits : {L"v32", L"v64"})
        for (const wchar_t* file : {L"wimgapi.dll", L"wimmount.inf", L"wimmount.sys", L"wimserv.exe"})
            ASSERT_TRUE(Put(std::wstring(L"C:\\burner-prog\\wimgapi\\") + bits + L"\\" + file, "lib"));
    DeleteTree(L"C:\\small");
    ASSERT_TRUE(Put(L"C:\\small\\Backup Files 1\\0.wim", "part zero"));
    ASSERT_FALSE(Load({{DTM_DVDR, kDvdSectors, true}}).empty());
    EventLog log;
    m_burner.AddHandler(&log);
    EXPECT_EQ(S_OK, m_burner.Cancel());
    EXPECT_EQ(S_OK, m_burner.BurnBackupSet(L"C:\\small\\Backup Files 1\\"));
    m_burner.RemoveHandler(&log);
    std::wstring id = DiscLabelled(L"File Backup 1");
    ASSERT_NE(L"", id);
    ASSERT_FALSE(log.m_events.empty());
    EXPECT_EQ(BEC_WRITE, log.m_events.front().first);
    EXPECT_EQ(0.0f, log.m_events.front().second);
    EXPECT_EQ(BEC_FINISH, log.m_events.back().first) << "the last stage reported is the finish";
    // The disc came out: the tray is open and holds nothing.
    SimPcState state = Read();
    EXPECT_TRUE(state.FindOptical(kWriter)->trayOpen);
    ASSERT_TRUE(LoadKnown({id}));
    std::wstring root = L"E:\\Backup Files 1\\";
    EXPECT_EQ("part zero", ReadBytes(root + L"0.wim"));
    EXPECT_EQ("restore program", ReadBytes(root + L"Mendora.exe"));
    EXPECT_EQ("lib", ReadBytes(root + L"wimgapi\\v64\\wimserv.exe"));
    EXPECT_EQ(L"1", ProfileText(root + L"Mendora.ini", L"Count", L"DiscCount"));
    char szLabel[32] = {};
    EXPECT_EQ(S_OK, m_burner.GetDiscLabel(szLabel, sizeof szLabel));
    EXPECT_EQ(std::string("File Backup 1"), szLabel);
}

// Refused before anything is written: a part that cannot fit on a disc is
// found by the plan before a disc is asked for; an add the engine refuses
// (a part named like the restore program) stops the disc before its burn.
TEST_F(DiscBurnerTest, RefusedSetsLeaveTheDiscBlank)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::wstring, std::string>> files;
        HRESULT hr;
        bool trayOpened;
    } cases[] = {
        {"part larger than a disc", {{L"0.wim", std::string(3000, 'p')}}, kDiscEntryTooBig, false},
        {"name taken on the disc", {{L"0.wim", "p"}, {L"Mendora.exe", "a part's name"}}, BRN_E_FILE_EXISTS, true},
    };
    ASSERT_TRUE(Put(L"C:\\burner-prog\\Retrova.exe", "restore program"));
    DiscSizes sizes;
    sizes.ullCapacity = 2000;
    sizes.ullReserve = 100;
    m_burner.SetDiscSizes(sizes);
    for (const Case& c : cases) {
        DeleteTree(L"C:\\refused");
        for (const auto& f : c.files)
            ASSERT_TRUE(Put(L"C:\\refused\\Backup Files 2\\" + f.first, f.second));
        std::vector<std::wstring> ids = Load({{DTM_DVDR, kDvdSectors, true}});
        ASSERT_EQ(1u, ids.size());
        m_user.Forget();
        EXPECT_EQ(c.hr, m_burner.BurnBackupSet(L"C:\\refused\\Backup Files 2\\")) << c.name;
        SimPcState state = Read();
        ASSERT_NE(nullptr, state.FindDisc(ids[0]));
        EXPECT_TRUE(state.FindDisc(ids[0])->blank) << c.name;
        EXPECT_EQ(c.trayOpened, state.FindOptical(kWriter)->trayOpen) << c.name;
        EXPECT_TRUE(m_user.m_waits.empty()) << c.name;
    }
}

} // namespace
