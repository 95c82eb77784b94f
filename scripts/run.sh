#!/usr/bin/env bash
# Builds, then starts Mendora under Wine. On the caller's display when there
# is one; otherwise on Xvfb, where a screenshot is written and named.
# Usage: scripts/run.sh [--pe] [--screenshot FILE]
set -euo pipefail
export SUITE_RIG_NAME=.run
source "$(dirname "$0")/rig.sh"

profile=desktop-w7
shot=$SUITE_BUILD/mendora.png
while [ $# -gt 0 ]; do
  case $1 in
    --pe) profile=desktop-w7-pe ;;
    --screenshot) shot=$2; shift ;;
    *) echo "usage: $0 [--pe] [--screenshot FILE]" >&2; exit 2 ;;
  esac
  shift
done

"$suite_root/scripts/build.sh"
rig_new_prefix
# The PC's drives, registry values and stand-ins go into this run's prefix.
"$suite_root/sim/simpc" layout "$profile" "$SUITE_RIG/pc" --prefix "$WINEPREFIX" --build "$SUITE_BUILD" >/dev/null
export SIMPC_ROOT=$SUITE_RIG/pc

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
