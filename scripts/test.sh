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
for tree in win64 win32; do
  echo "== tests of $tree"
  ctest --test-dir "$SUITE_BUILD/$tree" --output-on-failure -j"$(nproc)" "$@" || status=1
done
echo "== tests finished in $(( $(date +%s) - start )) s, $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
