#!/usr/bin/env bash
# Starts a Windows program of the build under the rig's Wine prefix.
# SUITE_DRIVES: letters to map to fresh empty folders first.
set -euo pipefail
exe=$1; shift
source "$(dirname "$0")/rig.sh"
[ -d "$WINEPREFIX" ] || { echo "wine-run: no prefix; run through scripts/test.sh" >&2; exit 2; }
[ -f "$SUITE_RIG/display" ] && DISPLAY=$(cat "$SUITE_RIG/display") && export DISPLAY

for letter in ${SUITE_DRIVES:-}; do
  dir=$SUITE_RIG/drives/${letter,,}
  rm -rf "$dir"
  rig_map_drive "$letter" "$dir"
done

case $exe in
  "$SUITE_BUILD"/*) ;;
  *) echo "wine-run: $exe is outside the build root $SUITE_BUILD" >&2; exit 2 ;;
esac
if [ -n "${SUITE_SIMPC:-}" ]; then
  exec "$suite_root/sim/simpc" run-test "$SUITE_SIMPC" -- "$exe" "$@"
fi
# The letters go again afterwards: a test may rely on a letter being absent.
set +e
wine "$(rig_windows_path "$exe")" "$@"
rc=$?
for letter in ${SUITE_DRIVES:-}; do
  rm -f "$WINEPREFIX/dosdevices/${letter,,}:"
done
exit $rc
