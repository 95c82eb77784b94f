#!/usr/bin/env bash
# Benchmark (not a test): the file backup's scan of a large generated tree
# against `find` over the same tree, and a backup of its pictures to a
# drive (headless FileBackupDriver) against a bare capture of the same
# files with our wimgapi.dll (WimBench). Prints both pairs of times and
# their ratios; a listing of the tree by Wine's command shell shows Wine's
# own cost of the walk. FILES sets the scanned tree's file count (default 40000),
# SIZE_MIB the backed-up pictures' total size (default 100).
set -euo pipefail
source "$(dirname "$0")/rig.sh"
files=${FILES:-40000}
size_mib=${SIZE_MIB:-100}
cmake --build "$SUITE_BUILD/win64" --target FileBackupDriver WimBench wimgapi Wimsplice Brennel >/dev/null
work=$SUITE_BUILD/bench-filebackup
rm -rf "$work"; mkdir -p "$work/scan" "$work/pics" "$work/usb"

# The scanned tree: small files of many kinds in nested folders; one in
# eight is a picture.
exts=(jpg txt dll log mp3 ini png xml)
python3 - "$work/scan" "$files" "${exts[@]}" <<'PY'
import os, sys
root, n, exts = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
for i in range(n):
    d = os.path.join(root, 'u%d' % (i % 17), 'f%d' % (i % 211), 'g%d' % (i % 5))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, 'file%d.%s' % (i, exts[i % len(exts)])), 'wb') as f:
        f.write(b'x' * (i % 700))
PY
# The backed-up tree: pictures only, so the backup and the bare capture
# take the same files.
made=0; i=0
while [ $made -lt $((size_mib * 1024 * 1024)) ]; do
  d=$work/pics/Users/Ann/Pictures/a$((i % 12)); mkdir -p "$d"
  case $((i % 3)) in
    0) head -c 2000000 /dev/urandom > "$d/p$i.jpg" ;;
    1) seq $((i * 1000)) $((i * 1000 + 200000)) > "$d/s$i.bmp" ;;
    2) head -c 300000 /dev/urandom | base64 > "$d/t$i.png" ;;
  esac
  made=$((made + $(stat -c %s "$d"/*$i.* )))
  i=$((i + 1))
done

rig_start >/dev/null 2>&1
trap rig_stop EXIT
rig_map_drive P "$work/scan"
rig_map_drive Q "$work/pics"
rig_map_drive R "$work/usb"
driver=$(rig_windows_path "$SUITE_BUILD/win64/bin/FileBackupDriver.exe")
bench=$(rig_windows_path "$SUITE_BUILD/win64/bin/WimBench.exe")

secs() { local s=$(date +%s.%N); "$@" >/dev/null 2>&1; echo "$(date +%s.%N) - $s" | bc; }

find_s=$(secs find "$work/scan" -type f)
# Wine's own floor for a walk: its command shell listing the same tree.
walk_s=$(secs wine cmd /c 'dir /s /b /a-d P:\ >NUL')
out=$(wine "$driver" --home P --types 63 --op scan 2>/dev/null)
echo "$out"
scan_ms=$(echo "$out" | sed -n 's/^scan .* in \([0-9]*\) ms.*/\1/p')
[ -n "$scan_ms" ] || { echo "the scan failed"; exit 1; }

bare_s=$(secs wine "$bench" capture 'Q:\' 'R:\bare.wim' xpress)
out=$(wine "$driver" --home Q --types 1 --op backup --dest R 2>/dev/null)
echo "$out"
backup_ms=$(echo "$out" | sed -n 's/^backup result 0x0000000[01] in \([0-9]*\) ms.*/\1/p')
[ -n "$backup_ms" ] || { echo "the backup failed"; exit 1; }

awk -v f="$find_s" -v w="$walk_s" -v s="$scan_ms" -v n="$files" -v b="$bare_s" -v k="$backup_ms" -v mib="$size_mib" 'BEGIN {
  printf "scan of %d files: find %.2f s, our scan %.2f s, ratio %.2f (a bare walk under Wine: %.2f s)\n", n, f, s / 1000, (s / 1000) / f, w
  printf "backup of %d MiB of pictures: bare capture %.2f s, our backup %.2f s, ratio %.2f\n", mib, b, k / 1000, (k / 1000) / b }'
