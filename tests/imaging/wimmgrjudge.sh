#!/usr/bin/env bash
# wimlib-imagex judges the WIM that the WIM manager captured of the fixture
# tree: it must verify, apply and match the tree, hard link and times kept.
#   wimmgrjudge.sh WIM TREE
set -euo pipefail
wim=$1 tree=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -f "$wim" ] || { echo "FAIL $wim: not made by the Windows side"; exit 1; }
wimlib-imagex verify "$wim" >/dev/null || { echo "FAIL $wim: wimlib-imagex verify"; exit 1; }
wimlib-imagex apply "$wim" 1 "$work/applied" >/dev/null || { echo "FAIL $wim: wimlib-imagex apply"; exit 1; }
diff -r "$tree" "$work/applied" >/dev/null || { echo "FAIL contents differ"; diff -rq "$tree" "$work/applied" | head; exit 1; }
[ "$(stat -c %i "$work/applied/random.bin")" = "$(stat -c %i "$work/applied/docs/hardlink to random.bin")" ] ||
  { echo "FAIL hard link not kept"; exit 1; }
[ "$(stat -c %Y "$work/applied/docs/numbers.txt")" = "$(stat -c %Y "$tree/docs/numbers.txt")" ] ||
  { echo "FAIL modification time not kept"; exit 1; }
echo "ok $(basename "$wim")"
