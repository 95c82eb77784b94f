#!/usr/bin/env bash
# Builds both trees and runs every test under Wine in a fresh prefix.
# Extra arguments go to ctest (for example -R Dump).
set -euo pipefail
source "$(dirname "$0")/rig.sh"
"$suite_root/scripts/build.sh"

start=$(date +%s)
rig_start
trap rig_stop EXIT

status=0
trees="win64 win32"
if [ -n "${SUITE_NO_32BIT:-}" ]; then
  # Built all the same, so that the 32-bit sources are still compiled.
  echo "== tests of win32 not run: this machine's kernel runs no 32-bit programs, so Wine cannot start 32-bit Windows programs"
  trees="win64"
fi
for tree in $trees; do
  echo "== tests of $tree"
  ctest --test-dir "$SUITE_BUILD/$tree" --output-on-failure -j"$(nproc)" "$@" || status=1
done
echo "== tests finished in $(( $(date +%s) - start )) s, $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
