#!/usr/bin/env bash
# The Linux side of the WIM tests, with wimlib-imagex as the independent judge.
#   wimjudge.sh make DIR   lays out the source tree and the WIMs wimlib makes of it
#   wimjudge.sh judge DIR  applies the WIMs our wimgapi.dll made and compares
set -euo pipefail
cmd=$1 dir=$2
tree=$dir/tree out=$dir/out

make_tree() {
  rm -rf "$dir"
  mkdir -p "$tree/empty dir" "$tree/docs/sub" "$out"
  local long; long=$(printf 'n%.0s' $(seq 1 120))
  mkdir -p "$tree/$long/$long/$long"
  echo "deep below a path longer than MAX_PATH" > "$tree/$long/$long/$long/deep.txt"
  printf 'Grüße aus Köln\n' > "$tree/docs/Ünïcødé 日本語.txt"
  : > "$tree/empty.bin"
  : > "$tree/docs/sub/also empty"
  seq 1 60000 > "$tree/docs/numbers.txt"
  head -c 200000 /dev/urandom > "$tree/random.bin"
  cp "$tree/docs/numbers.txt" "$tree/docs/sub/same numbers.txt"
  ln "$tree/random.bin" "$tree/docs/hardlink to random.bin"
  head -c 40000 /dev/zero > "$tree/zeros.bin"
  cp /bin/ls "$tree/docs/program.bin"
  touch -d '2009-10-22 08:30:00' "$tree/docs/numbers.txt" "$tree/empty.bin"
  # Directories last: their times change with every entry made in them.
  find "$tree" -depth -type d -exec touch -d '2010-01-02 03:04:05' {} +
}

make_fixtures() {
  make_tree
  local c
  for c in none XPRESS LZX; do
    wimlib-imagex capture "$tree" "$dir/wimlib-$c.wim" --compress="$c" --no-acls >/dev/null
  done
  wimlib-imagex split "$dir/wimlib-LZX.wim" "$dir/wimlib-split.swm" 0.1 >/dev/null
  make_fuzz_seeds
}

# Small seeds for the fuzz test: several chunks, a folder, a hard link, an
# empty file, an integrity table, and a split set.
make_fuzz_seeds() {
  local small=$dir/fuzztree
  mkdir -p "$small/sub"
  seq 1 12000 > "$small/numbers.txt"
  printf 'little\n' > "$small/sub/little.txt"
  ln "$small/sub/little.txt" "$small/linked.txt"
  : > "$small/sub/empty"
  wimlib-imagex capture "$small" "$dir/fuzz-lzx.wim" --compress=LZX --check --no-acls >/dev/null
  wimlib-imagex capture "$small" "$dir/fuzz-xpress.wim" --compress=XPRESS --no-acls >/dev/null
  # Parts of a few KB: the metadata and the large stream apart.
  wimlib-imagex split "$dir/fuzz-lzx.wim" "$dir/fuzz-split.swm" 0.004 >/dev/null
}

# Compares an applied tree with the source: contents, empty entries, the
# hard link and the times of files.
compare() {
  local got=$1 what=$2
  diff -r "$tree" "$got" >/dev/null || { echo "FAIL $what: contents differ"; diff -rq "$tree" "$got" | head; return 1; }
  local a b
  a=$(stat -c %i "$got/random.bin"); b=$(stat -c %i "$got/docs/hardlink to random.bin")
  [ "$a" = "$b" ] || { echo "FAIL $what: hard link not kept"; return 1; }
  [ "$(stat -c %Y "$got/docs/numbers.txt")" = "$(stat -c %Y "$tree/docs/numbers.txt")" ] ||
    { echo "FAIL $what: modification time not kept"; return 1; }
  echo "ok $what"
}

judge() {
  local status=0 w
  # What the Windows side left for us: every WIM it made, and split sets.
  local found=0
  for w in "$out"/ours-*.wim; do
    [ -e "$w" ] || continue
    found=1
    wimlib-imagex verify "$w" >/dev/null 2>&1 || { echo "FAIL $w: wimlib-imagex verify"; status=1; continue; }
    rm -rf "$dir/applied"
    wimlib-imagex apply "$w" 1 "$dir/applied" >/dev/null 2>&1 || { echo "FAIL $w: wimlib-imagex apply"; status=1; continue; }
    compare "$dir/applied" "$(basename "$w")" || status=1
  done
  # Other trees than the fixture's: every stream checked against its hash.
  for w in "$out"/large-*.wim; do
    [ -e "$w" ] || continue
    wimlib-imagex verify "$w" >/dev/null 2>&1 || { echo "FAIL $w: wimlib-imagex verify"; status=1; continue; }
    echo "ok $(basename "$w") verified"
  done
  if [ -e "$out/ours-split.swm" ]; then
    rm -rf "$dir/applied"
    if wimlib-imagex apply "$out/ours-split.swm" 1 "$dir/applied" --ref="$out/ours-split*.swm" >/dev/null 2>&1; then
      compare "$dir/applied" "ours-split.swm set" || status=1
    else
      echo "FAIL ours-split.swm: wimlib-imagex apply"; status=1
    fi
  else
    echo "FAIL no split set from the Windows side"; status=1
  fi
  [ $found = 1 ] || { echo "FAIL no WIM files from the Windows side"; status=1; }
  rm -rf "$dir/applied"
  return $status
}

case $cmd in
  make) make_fixtures ;;
  judge) judge ;;
  *) echo "usage: $0 make|judge DIR" >&2; exit 2 ;;
esac
