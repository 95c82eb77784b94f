// The first-page precedence: FinishDlg, CTOPanic, FileRestore, Windows PE
// (recovery partition or optical drive), installed Windows.
#include "FirstPage.h"

#include <cstdio>

namespace {

const int PAGE_FINISH = 5368;
const int PAGE_CTO_PANIC = 5391;
const int PAGE_FILE_RESTORE = 6017;
const int PAGE_PE_WELCOME = 5350;
const int PAGE_SSRD_ADVANCED = 5374;
const int PAGE_CHOOSE_MODE = 5366;
const DWORD VENDOR_DOZ = 2;
const DWORD VENDOR_CNB = 4;
const DWORD DISC_UCRD = 1;
const DWORD DISC_SSRD = 2;

FirstPageChoice Show(int nPageId) { return {FIRST_PAGE_SHOW, nPageId, false}; }

bool PreWelcomeFails(IFirstPageFacts& facts, const wchar_t* pwszLine)
{
    if (facts.Vendor() != VENDOR_DOZ || SUCCEEDED(facts.PreWelcome()))
        return false;
    facts.Trace(pwszLine);
    return true;
}

// The first drive from index 0 whose disc belongs to a recovery set.
DWORD FindRecoveryDiscDrive(IFirstPageFacts& facts, DWORD dwBootIndex)
{
    for (DWORD i = 0; i < facts.OpticalDriveCount(); ++i) {
        DWORD dwType = facts.DiscTypeOf(i);
        if (dwType == DISC_SSRD || dwType == DISC_UCRD) {
            wchar_t wszLine[64];
            _snwprintf(wszLine, _countof(wszLine) - 1, L"Set dwCDROMIndex: %lu", i);
            wszLine[_countof(wszLine) - 1] = L'\0';
            facts.Trace(wszLine);
            return i;
        }
    }
    return dwBootIndex;
}

FirstPageChoice ChooseFromOpticalDrive(IFirstPageFacts& facts, DWORD dwBootIndex)
{
    facts.Trace(L"NvIsPEBootFromODD()");
    DWORD dwDrive = FindRecoveryDiscDrive(facts, dwBootIndex);
    facts.SetBootOpticalDrive(dwDrive);
    if (PreWelcomeFails(facts, L"[UCRD/SSRD] ZQPreWelcome fail"))
        return {FIRST_PAGE_NONE, -1, false};
    DWORD dwType = facts.DiscTypeOf(dwDrive);
    if (dwType == DISC_SSRD) {
        facts.Trace(L"It's SSRD");
        return Show(facts.Vendor() == VENDOR_CNB ? PAGE_PE_WELCOME : PAGE_SSRD_ADVANCED);
    }
    if (dwType == DISC_UCRD) {
        facts.Trace(L"It's UCRD");
        return Show(facts.RecoveryPartitionExists() ? PAGE_CHOOSE_MODE : PAGE_PE_WELCOME);
    }
    facts.Trace(L"Is PE, but boot from Windows Boot Disc.");
    return Show(PAGE_PE_WELCOME);
}

FirstPageChoice ChooseUnderWinPE(IFirstPageFacts& facts)
{
    facts.Trace(L"IsUnderWinPE() == TRUE");
    facts.SetSPActive();
    DWORD dwBootIndex = 0;
    if (facts.BootFromOpticalDrive(&dwBootIndex))
        return ChooseFromOpticalDrive(facts, dwBootIndex);
    if (PreWelcomeFails(facts, L"[RP] ZQPreWelcome fail"))
        return {FIRST_PAGE_NONE, -1, false};
    facts.Trace(L"Is PE, but not boot from CDROM.");
    return Show(PAGE_PE_WELCOME);
}

} // namespace

FirstPageChoice ChooseFirstPage(IFirstPageFacts& facts)
{
    if (facts.FinishDlg())
        return {FIRST_PAGE_SHOW, PAGE_FINISH, true};
    if (facts.CTOPanic())
        return Show(PAGE_CTO_PANIC);
    if (facts.FileRestore())
        return Show(PAGE_FILE_RESTORE);
    if (facts.IsWinPE())
        return ChooseUnderWinPE(facts);
    facts.Trace(L"Boot from Windows.");
    return {FIRST_PAGE_SPECIAL, PAGE_INSTALLED_WELCOME, false};
}
