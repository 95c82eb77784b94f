// Switch recognition, kept apart from what each switch does.
#include "CommandLine.h"

#include <cwchar>

namespace {

struct SwitchRow {
    const wchar_t* name;
    AppSwitch enSwitch;
};

// In the order they are compared.
const SwitchRow kSwitches[] = {
    {L"UninstallDriver", SWITCH_UNINSTALL_DRIVER}, {L"InstallDriver", SWITCH_INSTALL_DRIVER},
    {L"UpdateWIM", SWITCH_UPDATE_WIM},             {L"FinishDlg", SWITCH_FINISH_DLG},
    {L"CTOPanic", SWITCH_CTO_PANIC},               {L"FileRestore", SWITCH_FILE_RESTORE},
    {L"CheckSSD", SWITCH_CHECK_SSD},               {L"ReinstallApp", SWITCH_REINSTALL_APP},
    {L"ReinstallDriver", SWITCH_REINSTALL_DRIVER}, {L"Discora", SWITCH_DISCORA},
    {L"DelRP", SWITCH_DEL_RP},                     {L"RecoveryReport", SWITCH_RECOVERY_REPORT},
    {L"RELiveUpdate", SWITCH_RE_LIVE_UPDATE},
};

AppSwitch Match(const wchar_t* pwszArg)
{
    if (!pwszArg)
        return SWITCH_NONE;
    if (*pwszArg == L'-' || *pwszArg == L'/')
        ++pwszArg;
    for (const SwitchRow& row : kSwitches)
        if (wcscmp(pwszArg, row.name) == 0)
            return row.enSwitch;
    return SWITCH_NONE;
}

} // namespace

CommandLineChoice ParseCommandLine(int argc, const wchar_t* const* argv)
{
    CommandLineChoice choice;
    for (int i = 1; i < argc && argv; ++i) {
        choice.enSwitch = Match(argv[i]);
        if (choice.enSwitch == SWITCH_NONE)
            continue;
        if (choice.enSwitch == SWITCH_FILE_RESTORE && i + 1 < argc && argv[i + 1]) {
            choice.wstrRestorePath = argv[i + 1];
            choice.bRestorePathValid =
                !choice.wstrRestorePath.empty() && choice.wstrRestorePath.size() <= kMaxRestorePath;
        }
        return choice;
    }
    return choice;
}

const wchar_t* SwitchName(AppSwitch enSwitch)
{
    for (const SwitchRow& row : kSwitches)
        if (row.enSwitch == enSwitch)
            return row.name;
    return L"";
}
