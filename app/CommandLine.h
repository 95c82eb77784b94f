// The program's switches: which one a command line chooses, and its argument.
#pragma once

#include <windows.h>

#include <string>

enum AppSwitch {
    SWITCH_NONE = 0,
    SWITCH_UNINSTALL_DRIVER,
    SWITCH_INSTALL_DRIVER,
    SWITCH_UPDATE_WIM,
    SWITCH_FINISH_DLG,
    SWITCH_CTO_PANIC,
    SWITCH_FILE_RESTORE,
    SWITCH_CHECK_SSD,
    SWITCH_REINSTALL_APP,
    SWITCH_REINSTALL_DRIVER,
    SWITCH_DISCORA,
    SWITCH_DEL_RP,
    SWITCH_RECOVERY_REPORT,
    SWITCH_RE_LIVE_UPDATE,
};

// The longest restore folder kept: the controller appends a backslash and
// the buffer holds 260 characters with the terminator.
const size_t kMaxRestorePath = MAX_PATH - 2;

struct CommandLineChoice {
    AppSwitch enSwitch = SWITCH_NONE;
    // FileRestore only: the folder after the switch, and whether there was a
    // usable one (present, not empty and short enough).
    std::wstring wstrRestorePath;
    bool bRestorePathValid = false;
};

// The first argument after the program name that is a switch decides; a
// leading "-" or "/" is dropped, the rest must match exactly.
CommandLineChoice ParseCommandLine(int argc, const wchar_t* const* argv);
// The switch's name as written on the command line.
const wchar_t* SwitchName(AppSwitch enSwitch);
