#!/usr/bin/env bash
# Builds, then starts Mendora under Wine. On the caller's display when there
# is one; otherwise on Xvfb, where a screenshot is written and named.
# Usage: scripts/run.sh [--pe] [--screenshot FILE]
set -euo pipefail
export SUITE_RIG_NAME=.run
source "$(dirname "$0")/rig.sh"

profile=desktop-win7
shot=$SUITE_BUILD/mendora.png
while [ $# -gt 0 ]; do
  case $1 in
    --pe) profile=desktop-win7-pe ;;
    --screenshot) shot=$2; shift ;;
    *) echo "usage: $0 [--pe] [--screenshot FILE]" >&2; exit 2 ;;
  esac
  shift
done

"$suite_root/scripts/build.sh"
rig_new_prefix
if [ -x "$suite_root/sim/simpc" ]; then
  "$suite_root/sim/simpc" layout "$profile"
elif [ "$profile" != desktop-win7 ]; then
  echo "run: the simulated PC is not built yet; starting on Wine's plain drives" >&2
fi

exe=$(rig_windows_path "$SUITE_BUILD/win64/bin/Mendora.exe")
if [ -n "${DISPLAY:-}" ]; then
  rig_warm
  exec wine "$exe"
fi

rig_start_display
rig_warm
trap rig_stop EXIT
wine "$exe" >/dev/null 2>&1 </dev/null &
for _ in $(seq 1 60); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Mendora"' && break
  sleep 0.5
done
sleep 2
import -window root "$shot"
echo "run: no display, so Mendora ran on Xvfb and was closed; screenshot written to $shot"
