#!/usr/bin/env bash
# Benchmark (not a test): our wimgapi.dll against wimlib-imagex on one
# generated tree. Prints seconds, MiB/s, peak memory and the ratio for
# capture (XPRESS) and apply (XPRESS, LZX). SIZE_MIB sets the tree size.
set -euo pipefail
source "$(dirname "$0")/rig.sh"
size_mib=${SIZE_MIB:-300}
cmake --build "$SUITE_BUILD/win64" --target WimBench wimgapi >/dev/null
work=$SUITE_BUILD/bench-wim
rm -rf "$work"; mkdir -p "$work/tree"
# Mixed data: text that compresses, binaries, random data, many small files.
i=0; made=0
while [ $made -lt $((size_mib * 1024 * 1024)) ]; do
  d=$work/tree/d$((i % 20)); mkdir -p "$d"
  case $((i % 4)) in
    0) seq $((i * 1000)) $((i * 1000 + 400000)) > "$d/t$i.txt" ;;
    1) head -c 3000000 /dev/urandom > "$d/r$i.bin" ;;
    2) { cat /usr/bin/* 2>/dev/null || true; } | head -c 4000000 > "$d/b$i.bin" || true ;;
    3) for k in $(seq 1 50); do head -c 2000 /dev/urandom | base64 > "$d/s$i-$k.txt"; done ;;
  esac
  made=$(du -sb "$work/tree" | cut -f1); i=$((i + 1))
done
rig_start >/dev/null 2>&1
trap rig_stop EXIT
tree_mib=$(( $(du -sb "$work/tree" | cut -f1) / 1048576 ))
bench=$(rig_windows_path "$SUITE_BUILD/win64/bin/WimBench.exe")
win() { rig_windows_path "$1"; }

measure() { # command... ; prints seconds and peak KiB
  /usr/bin/time -o "$work/time.txt" -f "%e %M" "$@" >/dev/null 2>&1
  tail -1 "$work/time.txt"
}

report() { # what ours_s ours_kb theirs_s theirs_kb
  awk -v w="$1" -v os="$2" -v ok="$3" -v ts="$4" -v tk="$5" -v mib="$tree_mib" 'BEGIN {
    printf "%-16s ours %7.2f s %7.1f MiB/s %6.0f MiB peak | wimlib %7.2f s %7.1f MiB/s %6.0f MiB peak | time ratio %.2f\n",
      w, os, mib / (os > 0 ? os : 0.01), ok / 1024, ts, mib / (ts > 0 ? ts : 0.01), tk / 1024, os / (ts > 0 ? ts : 0.01) }'
}

echo "tree: $tree_mib MiB in $work/tree"
read -r os ok <<<"$(measure wine "$bench" capture "$(win "$work/tree")" "$(win "$work/ours.wim")" xpress)"
read -r ts tk <<<"$(measure wimlib-imagex capture "$work/tree" "$work/wimlib-xpress.wim" --compress=XPRESS --no-acls)"
report "capture XPRESS" "$os" "$ok" "$ts" "$tk"
wimlib-imagex capture "$work/tree" "$work/wimlib-lzx.wim" --compress=LZX --no-acls >/dev/null
for c in xpress lzx; do
  rm -rf "$work/a1" "$work/a2"
  read -r os ok <<<"$(measure wine "$bench" apply "$(win "$work/wimlib-$c.wim")" "$(win "$work/a1")")"
  read -r ts tk <<<"$(measure wimlib-imagex apply "$work/wimlib-$c.wim" 1 "$work/a2")"
  diff -rq "$work/tree" "$work/a1" >/dev/null || echo "WARNING: our apply of $c differs from the tree"
  report "apply ${c^^}" "$os" "$ok" "$ts" "$tk"
done
ls -l "$work"/*.wim | awk '{print $5, $9}'
