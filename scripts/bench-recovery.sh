#!/usr/bin/env bash
# Benchmark (not a test): a system recovery of a generated image end to end
# (the headless driver on a simulated Windows 7 desktop in Windows PE)
# against a bare apply of the same image with our wimgapi.dll. Prints both
# times and their ratio. SIZE_MIB sets the image's tree size (default 200).
set -euo pipefail
source "$(dirname "$0")/rig.sh"
here=$(cd "$(dirname "$0")/.." && pwd)
size_mib=${SIZE_MIB:-200}
cmake --build "$SUITE_BUILD/win64" --target WimBench wimgapi RecoveryDriver >/dev/null
work=$SUITE_BUILD/bench-recovery
rm -rf "$work"; mkdir -p "$work/tree"
i=0; made=0
while [ $made -lt $((size_mib * 1024 * 1024)) ]; do
  d=$work/tree/d$((i % 20)); mkdir -p "$d"
  case $((i % 3)) in
    0) seq $((i * 1000)) $((i * 1000 + 400000)) > "$d/t$i.txt" ;;
    1) head -c 3000000 /dev/urandom > "$d/r$i.bin" ;;
    2) for k in $(seq 1 50); do head -c 2000 /dev/urandom | base64 > "$d/s$i-$k.txt"; done ;;
  esac
  made=$(du -sb "$work/tree" | cut -f1); i=$((i + 1))
done
wimlib-imagex capture "$work/tree" "$work/base.wim" --compress=XPRESS --no-acls >/dev/null
rig_start >/dev/null 2>&1
trap rig_stop EXIT
bench=$(rig_windows_path "$SUITE_BUILD/win64/bin/WimBench.exe")
start=$(date +%s.%N)
wine "$bench" apply "$(rig_windows_path "$work/base.wim")" "$(rig_windows_path "$work/bare")" >/dev/null 2>&1
bare=$(echo "$(date +%s.%N) - $start" | bc)
driver=$SUITE_BUILD/win64/bin/RecoveryDriver.exe
folder=$(rig_windows_path "$SUITE_BUILD/win64/tests/engine/sbrmgr")\\
out=$(SIMPC_IMAGE=$work/base.wim "$here/sim/simpc" run-test desktop-w7-pe -- "$driver" --op system-recovery \
  --skip-save --program-folder "$folder" 2>/dev/null)
echo "$out" | grep -q "result 0x00000000" || { echo "$out"; echo "the recovery failed"; exit 1; }
echo "$out" | grep "^status" | tail -4
ms=$(echo "$out" | sed -n 's/^elapsed \([0-9]*\) ms.*/\1/p')
awk -v b="$bare" -v ms="$ms" -v mib="$size_mib" 'BEGIN {
  printf "image %d MiB: bare apply %.2f s, system recovery %.2f s, ratio %.2f\n", mib, b, ms / 1000, (ms / 1000) / b }'
