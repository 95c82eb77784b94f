// The waits for a recovery disc and for the diagnostics disc, with the real
// recovery controller on PCs booted in Windows PE from the first of two
// optical drives (E:, the boot drive; I:, another writer). Before each wait
// the client's current drive is I:, as after a backup onto the other writer:
// the wait must move to the boot drive, accept the right disc, push wrong
// ones out of it and end when the user cancels.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CDiscBurner.h"
#include "CSBRMgr.h"
#include "Deadline.h"
#include "DiscRig.h"
#include "NvErrorCode.h"
#include "NvFileUtil.h"
#include "RecoveryDiscQueries.h"
#include "ZQPlatformVendor.h"

using namespace DiscRig;

namespace {

const wchar_t kBoot = L'E';
const wchar_t kOther = L'I';
const DWORD kWaitDeadlineMs = 60000;

std::string Profile()
{
    char sz[128] = {};
    GetEnvironmentVariableA("SUITE_SIMPC", sz, sizeof sz);
    return sz;
}

const SimOptical* Drive(SimPcState& state, wchar_t wcLetter)
{
    return state.FindOptical(wcLetter);
}

// A new recorded disc carrying the diagnostics folder, not in any drive.
std::wstring NewDiagnosticsDisc()
{
    std::wstring id = NewRecordedDisc(L"VovedudUzev22");
    if (id.empty())
        return id;
    // The disc's folder may be a path of the host's: made level by level.
    std::wstring folder = DiscFolder(id);
    for (const wchar_t* level : {L"\\zq", L"\\PCDRWINPE", L"\\PC-Doctor for Win PE"}) {
        folder += level;
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    return NvDirectoryExists(folder.c_str()) ? id : L"";
}

// A new blank disc, not in any drive; the other drive is left as it was.
std::wstring NewBlankDisc()
{
    SimPcState state = Read();
    std::wstring held = Drive(state, kOther)->disc;
    std::vector<std::wstring> ids = Load({{DTM_DVDR, kDvdSectors, true}}, kOther);
    std::vector<std::wstring> restore;
    if (!held.empty())
        restore.push_back(held);
    return !ids.empty() && LoadKnown(restore, kOther) ? ids[0] : L"";
}

// One wait of the table: what the boot drive holds and has queued, what the
// user does, and what must come of it.
struct Case {
    const char* name;
    std::vector<std::wstring> boot; // in the tray, then queued; empty: no disc
    std::wstring inserted;          // put into the boot drive when the user is asked
    bool locked;                    // the boot drive's tray does not open
    bool cancel;
    HRESULT hr;
    size_t waits;
    std::wstring after; // in the boot drive afterwards
};

class DiscWaitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_burner.Init());
        m_burner.SetPrompt(&m_user);
        m_pMgr.reset(new CSBRMgr());
        m_pMgr->SetZQVendor(ZQ_VENDOR_DOZ);
        ASSERT_EQ(S_OK, m_pMgr->InitBurning());
        ASSERT_EQ(2u, m_pMgr->GetCDROMCount());
        m_pMgr->SetBootCDROMIndex(0);
        m_burner.SetRecoveryDiscQueries(RecoveryDiscQueries::FromController(m_pMgr.get()));
    }

    // Lays the boot drive out for the case, leaves I: current, runs the wait
    // and checks its outcome; the other drive is never touched.
    void Run(const Case& c, HRESULT (CDiscBurner::*wait)(int*, ULONGLONG*))
    {
        ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.locked = false; }, kBoot)) << c.name;
        ASSERT_TRUE(LoadKnown(c.boot, kBoot)) << c.name;
        ASSERT_TRUE(ChangeWriter([&](SimOptical& o) { o.locked = c.locked; }, kBoot)) << c.name;
        SimPcState before = Read();
        ASSERT_EQ(S_OK, m_burner.SelectDrive(kOther)) << c.name;
        m_user.Forget();
        m_user.m_bCancelWaits = c.cancel;
        m_user.m_onWait = [&] {
            if (!c.inserted.empty()) {
                EXPECT_TRUE(LoadKnown({c.inserted}, kBoot)) << c.name;
            }
        };
        int nType = -1;
        ULONGLONG ullFree = 1;
        HRESULT hr = RunWithDeadline([&] { return (m_burner.*wait)(&nType, &ullFree); }, kWaitDeadlineMs, c.name);
        EXPECT_EQ(c.hr, hr) << c.name;
        EXPECT_EQ(c.waits, m_user.m_waits.size()) << c.name;
        for (UINT id : m_user.m_waits)
            EXPECT_EQ(kTextInsertDisc, id) << c.name;
        EXPECT_TRUE(m_user.m_refused.empty()) << c.name << ": no message for a wrong recovery disc";
        SimPcState after = Read();
        EXPECT_EQ(c.after, Drive(after, kBoot)->disc) << c.name;
        if (c.hr == S_OK) {
            EXPECT_EQ(kBoot, m_burner.CurrentDrive()) << c.name;
            EXPECT_EQ(DTM_DVDR, nType) << c.name;
            EXPECT_GT(ullFree, 0u) << c.name;
        }
        const SimOptical* otherBefore = Drive(before, kOther);
        const SimOptical* otherAfter = Drive(after, kOther);
        EXPECT_EQ(otherBefore->disc, otherAfter->disc) << c.name << ": the other drive was used";
        EXPECT_EQ(otherBefore->trayOpen, otherAfter->trayOpen) << c.name << ": the other drive was used";
        ASSERT_TRUE(ChangeWriter([](SimOptical& o) { o.locked = false; }, kBoot)) << c.name;
    }

    CDiscBurner m_burner;
    CUser m_user {m_burner};
    std::unique_ptr<CSBRMgr> m_pMgr;
};

// The boot drive holds the first disc of a user-created set (ucrd1); ucrd2
// is the set's second disc, "other" a disc of another set.
TEST_F(DiscWaitTest, RecoveryDiscIsWaitedForInTheBootDrive)
{
    if (Profile() != "pe-user-discs-two-drives")
        GTEST_SKIP() << "a user-created set in the first of two drives";
    std::wstring blank = NewBlankDisc();
    ASSERT_NE(L"", blank);
    const Case cases[] = {
        // First, while the controller has not yet seen a user-created disc.
        {"boot drive empty, the user inserts the first disc", {}, L"ucrd1", false, false, S_OK, 1, L"ucrd1"},
        {"first disc in the boot drive", {L"ucrd1"}, L"", false, false, S_OK, 0, L"ucrd1"},
        {"a blank disc is pushed out without a message", {blank, L"ucrd1"}, L"", false, false, S_OK, 0, L"ucrd1"},
        {"the set's second disc is pushed out", {L"ucrd2", L"ucrd1"}, L"", false, false, S_OK, 0, L"ucrd1"},
        {"wrong disc, then the user cancels", {L"ucrd2"}, L"", false, true, NV_E_USER_CANCELLED, 1, L""},
        {"empty boot drive, the user cancels", {}, L"", false, true, NV_E_USER_CANCELLED, 1, L""},
        // A tray that does not open leaves the wrong disc in: the user is
        // asked (and may cancel) instead of the disc being tested for ever.
        {"wrong disc behind a locked tray", {L"ucrd2"}, L"", true, true, NV_E_USER_CANCELLED, 1, L"ucrd2"},
    };
    for (const Case& c : cases)
        Run(c, &CDiscBurner::WaitForRecoveryDisc);
    ASSERT_TRUE(LoadKnown({L"ucrd1", L"ucrd2"}, kBoot));
}

// The factory set's first disc (ssrd1) is what Windows PE booted from; the
// diagnostics program is on another disc.
TEST_F(DiscWaitTest, DiagnosticsDiscIsWaitedForInTheFactoryDiscDrive)
{
    if (Profile() != "pe-factory-disc-two-drives")
        GTEST_SKIP() << "a factory set in the first of two drives";
    ASSERT_EQ(RDT_SSRD, m_pMgr->GetRecoveryDiscType());
    std::wstring diag = NewDiagnosticsDisc();
    ASSERT_NE(L"", diag);
    std::wstring blank = NewBlankDisc();
    ASSERT_NE(L"", blank);
    const Case cases[] = {
        {"diagnostics disc in the drive", {diag}, L"", false, false, S_OK, 0, diag},
        {"factory disc 1 lacks the folder and is pushed out", {L"ssrd1", diag}, L"", false, false, S_OK, 0, diag},
        {"a blank disc is pushed out", {blank, diag}, L"", false, false, S_OK, 0, diag},
        {"empty drive, the user inserts the disc", {}, diag, false, false, S_OK, 1, diag},
        {"wrong disc, then the user cancels", {L"ssrd2"}, L"", false, true, NV_E_USER_CANCELLED, 1, L""},
        {"wrong disc behind a locked tray", {L"ssrd1"}, L"", true, true, NV_E_USER_CANCELLED, 1, L"ssrd1"},
    };
    for (const Case& c : cases)
        Run(c, &CDiscBurner::WaitForDiagnosticsDisc);
    ASSERT_TRUE(LoadKnown({L"ssrd1", L"ssrd2"}, kBoot));
}

// Without a boot drive (Windows PE not started from a disc) the controller
// knows no letter and the wait stays on the current drive.
TEST_F(DiscWaitTest, NoBootDriveKeepsTheCurrentDrive)
{
    if (Profile() != "pe-user-discs-two-drives")
        GTEST_SKIP() << "two drives";
    m_pMgr->SetBootCDROMIndex(INVALID_CDROM_INDEX);
    RecoveryDiscQueries queries = RecoveryDiscQueries::FromController(m_pMgr.get());
    EXPECT_EQ(0, queries.bootDriveLetter());
    m_pMgr->SetBootCDROMIndex(1);
    EXPECT_EQ(kOther, queries.bootDriveLetter()) << "the letter follows the index";
    m_pMgr->SetBootCDROMIndex(INVALID_CDROM_INDEX);
    ASSERT_EQ(S_OK, m_burner.SelectDrive(kOther));
    ASSERT_TRUE(LoadKnown({}, kOther));
    m_user.m_bCancelWaits = true;
    int nType = 0;
    ULONGLONG ullFree = 0;
    EXPECT_EQ(NV_E_USER_CANCELLED, m_burner.WaitForRecoveryDisc(&nType, &ullFree));
    EXPECT_EQ(kOther, m_burner.CurrentDrive());
    EXPECT_EQ(1u, m_user.m_waits.size());
    ASSERT_TRUE(LoadKnown({L"blank"}, kOther));
}

} // namespace
