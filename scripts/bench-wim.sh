#!/usr/bin/env bash
# Benchmark (not a test): our wimgapi.dll against wimlib-imagex and against
# Wine's own floor for the same files. Prints seconds, MiB/s, peak memory and
# ratios (medians of BENCH_ROUNDS runs) for capture (XPRESS) and apply
# (XPRESS, LZX) of:
#   tree   SIZE_MIB (300) of mixed files (text, binaries, random, small);
#   small  SMALL_MIB (250) of small files in many folders, with the floor of
#          a plain Win32 program doing the same file calls on 1, 2, 4 threads
#          (the thread count with the best median counts);
#   large  LARGE_MIB (2048) in four large files, beside the disk's own rate
#          (LARGE_MIB=0 leaves it out).
# BENCH_TREES picks which of "tree small large" to run (all by default).
# The trees are made once and kept under build/bench-wim (rm it to remake).
set -euo pipefail
# A prefix of its own, so that the benchmark may run beside the tests.
export SUITE_RIG_NAME=${SUITE_RIG_NAME:-.rig-bench}
source "$(dirname "$0")/rig.sh"
size_mib=${SIZE_MIB:-300}
small_mib=${SMALL_MIB:-250}
large_mib=${LARGE_MIB:-2048}
cmake --build "$SUITE_BUILD/win64" --target WimBench WineFloor wimgapi >/dev/null
work=$SUITE_BUILD/bench-wim
mkdir -p "$work"

make_tree() { # dir: mixed data, as files of a recovery partition
  local dir=$1 i=0 made=0
  [ -e "$dir/.made-$size_mib" ] && return 0
  rm -rf "$dir"; mkdir -p "$dir"
  while [ $made -lt $((size_mib * 1024 * 1024)) ]; do
    local d=$dir/d$((i % 20)); mkdir -p "$d"
    case $((i % 4)) in
      0) seq $((i * 1000)) $((i * 1000 + 400000)) > "$d/t$i.txt" ;;
      1) head -c 3000000 /dev/urandom > "$d/r$i.bin" ;;
      2) { cat /usr/bin/* 2>/dev/null || true; } | head -c 4000000 > "$d/b$i.bin" || true ;;
      3) for k in $(seq 1 50); do head -c 2000 /dev/urandom | base64 > "$d/s$i-$k.txt"; done ;;
    esac
    made=$(du -sb "$dir" | cut -f1); i=$((i + 1))
  done
  touch "$dir/.made-$size_mib"
}

make_small() { # dir: about 7,300 files of 1 to 70 KB in 864 folders
  local dir=$1
  [ -e "$dir/.made-$small_mib" ] && return 0
  rm -rf "$dir"
  python3 - "$dir" "$small_mib" <<'PY'
import os, random, sys
root, mib = sys.argv[1], int(sys.argv[2])
rnd = random.Random(7)
words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))) for _ in range(3000)]
folders = [os.path.join(root, "f%02d" % (i // 36), "g%03d" % i) for i in range(864)]
made, n = 0, 0
while made < mib * 1024 * 1024:
    d = folders[n % len(folders)]
    os.makedirs(d, exist_ok=True)
    size = rnd.randint(1000, 70000)
    if n % 3 == 0:
        data = os.urandom(size)
    else:
        data = b" ".join(rnd.choice(words) for _ in range(size // 5))[:size]
    with open(os.path.join(d, "file%05d.dat" % n), "wb") as f:
        f.write(data)
    made += len(data); n += 1
PY
  touch "$dir/.made-$small_mib"
}

make_large() { # dir: four large files, two that compress and two that do not
  local dir=$1 part=$((large_mib / 4))
  [ -e "$dir/.made-$large_mib" ] && return 0
  rm -rf "$dir"; mkdir -p "$dir"
  seq 1 1000000000 | head -c $((part * 1048576)) > "$dir/numbers.txt" || true
  head -c $((part * 1048576)) /dev/urandom > "$dir/random.bin"
  python3 - "$dir/programs.bin" $((part * 1048576)) <<'PY'
import glob, os, sys
out, want = open(sys.argv[1], "wb"), int(sys.argv[2])
while want > 0:
    for p in sorted(glob.glob("/usr/bin/*")):
        if want <= 0 or not os.path.isfile(p): continue
        data = open(p, "rb").read()[:want]
        out.write(data); want -= len(data)
PY
  head -c $((part * 1048576)) /dev/urandom > "$dir/random2.bin"
  touch "$dir/.made-$large_mib"
}

manifest() { # dir file: the folders and files for the floor program
  (cd "$1" && find . -mindepth 1 -type d -printf 'D %P\n' | sort && find . -type f ! -name '.made-*' -printf 'F %s %P\n') |
    sed 's|/|\\|g' > "$2"
}

make_tree "$work/tree"
make_small "$work/small"
[ "$large_mib" -gt 0 ] && make_large "$work/large"
rig_start >/dev/null 2>&1
trap rig_stop EXIT
# The programs are copied first, so that a rebuild during the run changes
# nothing; BENCH_BIN names a folder of them kept from another build instead.
bin=$work/bin
if [ -n "${BENCH_BIN:-}" ]; then
  bin=$BENCH_BIN
else
  rm -rf "$bin"; mkdir -p "$bin"
  cp "$SUITE_BUILD"/win64/bin/{WimBench.exe,WineFloor.exe,wimgapi.dll} "$bin/"
fi
bench=$(rig_windows_path "$bin/WimBench.exe")
floor=$(rig_windows_path "$bin/WineFloor.exe")
win() { rig_windows_path "$1"; }

fresh() { # dir...: removed, and the file system given a moment to settle
  rm -rf "$@"
  sync
  sleep 1
}

measure() { # command... ; prints seconds and peak KiB
  sync
  /usr/bin/time -o "$work/time.txt" -f "%e %M" "$@" >/dev/null 2>&1 || echo "FAILED: $*" >&2
  tail -1 "$work/time.txt"
}
mib_of() { echo $(( $(du -sb --exclude='.made-*' "$1" | cut -f1) / 1048576 )); }

report() { # what mib ours_s ours_kb theirs_s theirs_kb [label]
  awk -v w="$1" -v mib="$2" -v os="$3" -v ok="$4" -v ts="$5" -v tk="$6" -v l="${7:-wimlib}" 'BEGIN {
    printf "%-22s ours %7.2f s %7.1f MiB/s %5.0f MiB peak | %-6s %7.2f s %7.1f MiB/s %5.0f MiB peak | ratio %.2f\n",
      w, os, mib / (os > 0 ? os : 0.01), ok / 1024, l, ts, mib / (ts > 0 ? ts : 0.01), tk / 1024, os / (ts > 0 ? ts : 0.01) }'
}

floor_runs() { # prefix mode args...: one run on each of 1, 2 and 4 threads, "seconds KiB" added to prefix.T
  local out=$1 t; shift
  for t in 1 2 4; do
    [ "$1" = write ] && fresh "$work/a3"
    measure wine "$floor" "$@" $t >>"$out.$t"
  done
}

# Each figure of a tree is the median of BENCH_ROUNDS (3) runs, ours and the
# others taking turns: this machine's disk slows and speeds up by as much as
# twice within minutes. Peaks are the largest of the runs.
rounds=${BENCH_ROUNDS:-3}
median_of() { # file of "seconds KiB" lines: the median seconds and the largest peak
  sort -n "$1" | awk '{ s[NR] = $1; if ($2 > peak) peak = $2 } END { print s[int((NR + 1) / 2)], peak }'
}
floor_median() { # prefix: "seconds KiB threads" of the thread count with the best median
  local t
  for t in 1 2 4; do echo "$(median_of "$1.$t") $t"; done | sort -n | head -1
}

bench_tree() { # name dir [floor]
  local name=$1 dir=$2 with_floor=${3:-} mib c r m=$work/m
  mib=$(mib_of "$dir")
  echo "== $name: $mib MiB, $(find "$dir" -type f ! -name '.made-*' | wc -l) files, medians of $rounds runs"
  rm -f "$work"/*.wim "$m".*
  for r in $(seq "$rounds"); do
    rm -f "$work/ours.wim" "$work/wimlib-xpress.wim"
    measure wine "$bench" capture "$(win "$dir")" "$(win "$work/ours.wim")" xpress >>"$m.ours"
    measure wimlib-imagex capture "$dir" "$work/wimlib-xpress.wim" --compress=XPRESS --no-acls >>"$m.wimlib"
    [ -n "$with_floor" ] && floor_runs "$m.floor" read "$(win "$dir")"
  done
  read -r os ok <<<"$(median_of "$m.ours")"
  read -r ts tk <<<"$(median_of "$m.wimlib")"
  report "$name capture XPRESS" "$mib" "$os" "$ok" "$ts" "$tk"
  if [ -n "$with_floor" ]; then
    read -r fs fk ft <<<"$(floor_median "$m.floor")"
    report "$name capture (floor)" "$mib" "$os" "$ok" "$fs" "$fk" "floor$ft"
  fi
  wimlib-imagex capture "$dir" "$work/wimlib-lzx.wim" --compress=LZX --no-acls >/dev/null
  [ -n "$with_floor" ] && manifest "$dir" "$work/manifest.txt"
  for c in xpress lzx; do
    rm -f "$m".*
    for r in $(seq "$rounds"); do
      # Each removes only its own earlier output, just before it starts: the
      # file system is still busy for a while after a large tree is removed.
      fresh "$work/a1"
      measure wine "$bench" apply "$(win "$work/wimlib-$c.wim")" "$(win "$work/a1")" >>"$m.ours"
      fresh "$work/a2"
      measure wimlib-imagex apply "$work/wimlib-$c.wim" 1 "$work/a2" >>"$m.wimlib"
      if [ "$r" = 1 ]; then
        diff -rq -x '.made-*' "$dir" "$work/a1" >/dev/null || echo "WARNING: our apply of $c differs from the tree"
      fi
      if [ -n "$with_floor" ] && [ $c = lzx ]; then
        floor_runs "$m.floor" write "$(win "$work/manifest.txt")" "$(win "$work/a3")"
      fi
    done
    read -r os ok <<<"$(median_of "$m.ours")"
    read -r ts tk <<<"$(median_of "$m.wimlib")"
    report "$name apply ${c^^}" "$mib" "$os" "$ok" "$ts" "$tk"
    if [ -n "$with_floor" ] && [ $c = lzx ]; then
      read -r fs fk ft <<<"$(floor_median "$m.floor")"
      report "$name apply LZX (floor)" "$mib" "$os" "$ok" "$fs" "$fk" "floor$ft"
    fi
  done
  rm -rf "$work/a1" "$work/a2" "$work/a3" "$m".*
  ls -l "$work"/*.wim | awk '{printf "   %12d %s\n", $5, $9}'
}

bench_large() {
  local dir=$work/large mib os ok
  mib=$(mib_of "$dir")
  echo "== large: $mib MiB in 4 files"
  local disk=$work/disk.bin
  dd if=/dev/zero of="$disk" bs=1M count=1024 conv=fsync 2>&1 | awk '/copied/ { print "   disk write:", $(NF-1), $NF }'
  dd if="$disk" of=/dev/null bs=1M iflag=direct 2>&1 | awk '/copied/ { print "   disk read (direct):", $(NF-1), $NF }'
  rm -f "$disk" "$work"/*.wim
  read -r os ok <<<"$(measure wine "$bench" capture "$(win "$dir")" "$(win "$work/ours.wim")" xpress)"
  awk -v s="$os" -v k="$ok" -v m="$mib" 'BEGIN { printf "   capture XPRESS %7.2f s %7.1f MB/s %5.0f MiB peak\n", s, m * 1.048576 / s, k / 1024 }'
  rm -rf "$work/a1"
  read -r os ok <<<"$(measure wine "$bench" apply "$(win "$work/ours.wim")" "$(win "$work/a1")")"
  awk -v s="$os" -v k="$ok" -v m="$mib" 'BEGIN { printf "   apply XPRESS   %7.2f s %7.1f MB/s %5.0f MiB peak\n", s, m * 1.048576 / s, k / 1024 }'
  cmp -s "$dir/random.bin" "$work/a1/random.bin" || echo "WARNING: our apply of the large image differs"
  rm -rf "$work/a1" "$work"/*.wim
}

trees=${BENCH_TREES:-tree small large}
[[ " $trees " == *" tree "* ]] && bench_tree tree "$work/tree" floor
[[ " $trees " == *" small "* ]] && bench_tree small "$work/small" floor
[[ " $trees " == *" large "* ]] && [ "$large_mib" -gt 0 ] && bench_large
exit 0
