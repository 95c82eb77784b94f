#!/usr/bin/env bash
# The Linux side of the image-split test, with wimlib-imagex as the
# independent judge: each split set the splitter made (pieced parts joined
# again) must apply to the tree the image was captured from.
#   splitjudge.sh DIR   DIR holds tree/ and one folder of parts per set
set -euo pipefail
dir=$1
status=0 found=0
for set in "$dir"/sets/*/; do
  [ -e "$set/base.wim" ] || continue
  found=1
  rm -rf "$dir/applied"
  if ! wimlib-imagex apply "$set/base.wim" 1 "$dir/applied" --ref="$set/base*.wim" >/dev/null 2>&1; then
    echo "FAIL $(basename "$set"): wimlib-imagex apply"; status=1; continue
  fi
  if diff -r "$dir/tree" "$dir/applied" >/dev/null; then
    echo "ok $(basename "$set")"
  else
    echo "FAIL $(basename "$set"): contents differ"; diff -rq "$dir/tree" "$dir/applied" | head; status=1
  fi
done
[ $found = 1 ] || { echo "FAIL no split set from the Windows side"; status=1; }
rm -rf "$dir/applied"
exit $status
