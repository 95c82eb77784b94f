// The burning helper against Brennel.dll on a desktop PC whose writer E:
// starts empty: which discs it accepts, what a burn writes, cancelling,
// and the failures that must not leave a burner attached.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "CBurningHelper.h"
#include "CSimPc.h"
#include "DiscErrorCode.h"
#include "DiscTestPc.h"
#include "FileEntry.h"
#include "ISet.h"
#include "PlanTestFiles.h"
#include "TestFiles.h"

namespace {

const DWORD kDvdSectors = 2298496;
const DWORD kThresholdSectors = 2097152; // 2^32 bytes
const ULONGLONG kCapacity = 4350ULL * 1024 * 1024;
const wchar_t kSources[] = L"C:\\helper-sources";

class CountingNotice : public IMediaRefusalNotice {
public:
    void ShowMediaRefused() override { ++m_iShown; }
    int m_iShown = 0;
};

class EventLog : public IBurnEventHandler {
public:
    BOOL OnBurnEvent(int iCode, float fProgress) override
    {
        if (!m_iEvents++) {
            m_iFirstCode = iCode;
            m_fFirstProgress = fProgress;
        }
        return TRUE;
    }
    int m_iEvents = 0;
    int m_iFirstCode = 0;
    float m_fFirstProgress = -1.0f;
};

class BurningHelper : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_helper.Init());
        m_helper.SetRefusalNotice(&m_notice);
        ChangeDrive([](SimOptical& o) { o.burnMs = 300; });
        ASSERT_TRUE(PlanTestFiles::MakeFolder(kSources));
    }

    void ChangeDrive(const std::function<void(SimOptical&)>& change)
    {
        CSimPc pc(L"test");
        ASSERT_TRUE(pc.Open());
        ASSERT_EQ(S_OK, pc.Update([&](SimPcState& s) {
            change(*s.FindOptical(L'E'));
            return S_OK;
        }));
    }

    // A new disc in E: with the tray closed; its id.
    std::wstring InsertDisc(DWORD dwMedia, DWORD dwSectors, bool bBlank)
    {
        CSimPc pc(L"test");
        EXPECT_TRUE(pc.Open());
        std::wstring id;
        EXPECT_EQ(S_OK, pc.Update([&](SimPcState& s) {
            id = DiscTestPc::NewDisc(pc, s, dwMedia, dwSectors, bBlank);
            return pc.InsertDisc(s, *s.FindOptical(L'E'), id);
        }));
        return id;
    }

    SimPcState State() { return DiscTestPc::Read(); }

    // A set of one file, numbered n of total.
    std::unique_ptr<ISet> OneFileSet(int iNumber, int iTotal, const std::wstring& from, const wchar_t* pwszTo,
                                     BOOL bMustProcess)
    {
        std::unique_ptr<ISet> set(CreateSet(iNumber, kCapacity, FALSE, TRUE));
        set->SetTotal(iTotal);
        FileEntryValues values;
        values.from = from;
        values.to = pwszTo;
        values.mustProcess = bMustProcess;
        set->Add(new FileEntry(values));
        return set;
    }

    std::wstring Source(const wchar_t* pwszName)
    {
        std::wstring path = std::wstring(kSources) + L"\\" + pwszName;
        EXPECT_TRUE(TestFiles::WriteBytes(path, "payload\r\n"));
        return path;
    }

    CBurningHelper m_helper;
    CountingNotice m_notice;
};

TEST_F(BurningHelper, FindsTheWriter)
{
    EXPECT_EQ(L'E', m_helper.GetDriveLetter());
    BOOL bFound = FALSE;
    EXPECT_EQ(S_OK, m_helper.HasDVDWriter(&bFound));
    EXPECT_TRUE(bFound);
    EXPECT_EQ(RD_E_NULL_ARG, m_helper.HasDVDWriter(nullptr));
}

TEST_F(BurningHelper, AcceptsOnlyBlankSingleLayerDvdsWithRoom)
{
    struct Case {
        const char* name;
        DWORD media, sectors;
        bool blank;
        BOOL allowRW;
        BOOL accepted;
    } const kCases[] = {
        {"blank DVD-R", 128, kDvdSectors, true, FALSE, TRUE},
        {"blank DVD+R", 256, kDvdSectors, true, FALSE, TRUE},
        {"exactly 2^32 bytes free", 128, kThresholdSectors, true, FALSE, TRUE},
        {"one sector short", 128, kThresholdSectors - 1, true, FALSE, FALSE},
        {"DVD-RW, rewritable not allowed", 512, kDvdSectors, true, FALSE, FALSE},
        {"DVD-RW, rewritable allowed", 512, kDvdSectors, true, TRUE, TRUE},
        {"DVD+RW, rewritable allowed", 1024, kDvdSectors, true, TRUE, TRUE},
        {"CD-R", 2, 359846, true, TRUE, FALSE},
        {"DVD+R DL", 4096, 4173824, true, TRUE, FALSE},
        {"DVD+RW DL", 16, 4173824, true, TRUE, FALSE},
        {"recorded DVD-R", 128, kDvdSectors, false, FALSE, FALSE},
    };
    for (const Case& c : kCases) {
        InsertDisc(c.media, c.sectors, c.blank);
        int iShown = m_notice.m_iShown;
        EXPECT_EQ(c.accepted, m_helper.CheckBlankMedia(c.allowRW)) << c.name;
        EXPECT_EQ(c.accepted ? iShown : iShown + 1, m_notice.m_iShown) << c.name << ": the refusal is shown once";
        EXPECT_EQ(S_OK, m_helper.EjectDisc(TRUE));
    }
}

TEST_F(BurningHelper, VolumeIdAndBootImageBySetNumber)
{
    struct Case {
        int number, total;
        const wchar_t* label;
        bool boot;
    } const kCases[] = {
        {1, 3, L"Recovery13", true},
        {2, 3, L"Recovery23", false},
        {1, 12, L"Recovery112", true},
    };
    for (const Case& c : kCases) {
        std::wstring id = InsertDisc(128, kDvdSectors, true);
        std::unique_ptr<ISet> set = OneFileSet(c.number, c.total, Source(L"a.txt"), L"a\\b\\c\\a.txt", TRUE);
        m_helper.SetFileSet(set.get());
        ASSERT_EQ(S_OK, m_helper.Burn()) << c.label;
        SimPcState state = State();
        const SimDisc* pDisc = state.FindDisc(id);
        ASSERT_NE(nullptr, pDisc);
        EXPECT_EQ(c.label, pDisc->label);
        EXPECT_EQ(c.boot, !pDisc->boot.empty()) << c.label;
        EXPECT_EQ("payload\r\n", TestFiles::ReadBytes(L"E:\\a\\b\\c\\a.txt")) << "the folder chain a, a\\b, a\\b\\c";
        EXPECT_EQ(S_OK, m_helper.EjectDisc(TRUE));
    }
}

TEST_F(BurningHelper, OptionalFileMayFailRequiredFileStopsAndDetaches)
{
    EventLog events;
    ASSERT_EQ(S_OK, m_helper.AddListener(&events));
    EXPECT_EQ(S_FALSE, m_helper.AddListener(&events)) << "a listener is kept once";
    std::wstring id = InsertDisc(128, kDvdSectors, true);

    std::unique_ptr<ISet> optional = OneFileSet(2, 3, L"C:\\helper-sources\\missing.txt", L"missing.txt", FALSE);
    FileEntryValues b;
    b.from = Source(L"b.txt");
    b.to = L"b.txt";
    optional->Add(new FileEntry(b));
    std::unique_ptr<ISet> required = OneFileSet(2, 3, L"C:\\helper-sources\\missing.txt", L"missing.txt", TRUE);

    m_helper.SetFileSet(required.get());
    EXPECT_TRUE(FAILED(m_helper.Burn()));
    EXPECT_TRUE(State().FindDisc(id)->blank) << "nothing was written";
    // The failed set left no burner behind: the next burn on the same disc works.
    m_helper.SetFileSet(optional.get());
    ASSERT_EQ(S_OK, m_helper.Burn());
    EXPECT_EQ(L"Recovery23", State().FindDisc(id)->label);
    EXPECT_TRUE(TestFiles::Exists(L"E:\\b.txt"));
    EXPECT_FALSE(TestFiles::Exists(L"E:\\missing.txt"));
    // Which stages a 100 ms poll catches depends on the load; the attach event is always first.
    EXPECT_EQ(BEC_WRITE, events.m_iFirstCode);
    EXPECT_EQ(0.0f, events.m_fFirstProgress);
    m_helper.RemoveListener(&events);
}

TEST_F(BurningHelper, CancelStopsARunningBurnOnly)
{
    // A cancel with no burn attached does not spoil the next burn.
    EXPECT_EQ(S_OK, m_helper.Cancel());
    InsertDisc(128, kDvdSectors, true);
    std::unique_ptr<ISet> set = OneFileSet(2, 2, Source(L"c.txt"), L"c.txt", TRUE);
    m_helper.SetFileSet(set.get());
    EXPECT_EQ(S_OK, m_helper.Burn());
    EXPECT_EQ(S_OK, m_helper.EjectDisc(TRUE));

    InsertDisc(128, kDvdSectors, true);
    ChangeDrive([](SimOptical& o) { o.burnMs = 5000; });
    std::thread canceller([this] {
        Sleep(1000);
        m_helper.Cancel();
    });
    EXPECT_EQ(RD_E_CANCELLED, m_helper.Burn());
    canceller.join();
}

} // namespace
