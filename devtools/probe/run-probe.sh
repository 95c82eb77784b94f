#!/usr/bin/env bash
# Runs EngineProbe on a simulated PC, with a program folder holding a ZQ.sim
# made by ZQFixture and a small MD.ini.
#   devtools/probe/run-probe.sh PROFILE [win7|vista] [dOZ|cNB] -- [EngineProbe options]
# Build first (scripts/build.sh). SUITE_BUILD selects the build root.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/rig.sh"
profile=${1:?profile}; shift
platform=win7; vendor=dOZ
[ $# -gt 0 ] && [ "$1" != "--" ] && { platform=$1; shift; }
[ $# -gt 0 ] && [ "$1" != "--" ] && { vendor=$1; shift; }
[ "${1:-}" = "--" ] && shift

folder=$SUITE_BUILD/probe-folder
rm -rf "$folder"; mkdir -p "$folder"
printf '[SystemRecovery]\r\nLargeSSDThreshold=128\r\n[FinishDlg]\r\nWaitTimeBySecond=45\r\n' > "$folder/MD.ini"

rig_start >/dev/null 2>&1
trap rig_stop EXIT
wine "$(rig_windows_path "$SUITE_BUILD/win64/bin/ZQFixture.exe")" zqsim \
  "$(rig_windows_path "$folder/ZQ.sim")" "$platform" "$vendor"
"$root/sim/simpc" run-test "$profile" -- "$SUITE_BUILD/win64/bin/EngineProbe.exe" \
  --folder "$(rig_windows_path "$folder")" "$@"
