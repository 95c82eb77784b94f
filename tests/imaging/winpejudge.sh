#!/usr/bin/env bash
# wimlib-imagex judges what the image tool switches committed on the
# simulated PC (copied out by WinPEBuilderTest):
#   updatewim-boot.wim  the rebuilt Windows PE boot image
#   relive-winre.wim    the WinRE image after "RELiveUpdate"
#   program.exe         the program both must hold
#   winpejudge.sh OUTDIR
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL $*"; exit 1; }

for f in updatewim-boot.wim relive-winre.wim program.exe; do
  [ -f "$out/$f" ] || fail "$f: not left by the Windows side"
done
for wim in updatewim-boot.wim relive-winre.wim; do
  wimlib-imagex verify "$out/$wim" >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "$wim: wimlib-imagex verify"; }
  wimlib-imagex apply "$out/$wim" 1 "$work/${wim%.wim}" >/dev/null || fail "$wim: wimlib-imagex apply"
done

boot=$work/updatewim-boot
printf '[LaunchApp]\nAppPath = X:\\Windows\\Revant\\Mendora.exe\n' | iconv -f ASCII -t UTF-16LE >"$work/Winpeshl.ini"
cmp -s "$work/Winpeshl.ini" "$boot/Windows/System32/Winpeshl.ini" || fail "boot.wim: Winpeshl.ini bytes"
cmp -s "$out/program.exe" "$boot/Windows/Revant/Mendora.exe" || fail "boot.wim: the program"
[ ! -e "$boot/Windows/Revant/MakeWinPEISO" ] || fail "boot.wim: the build folder was copied into the image"
[ -f "$boot/Windows/System32/winpeshl.exe" ] || fail "boot.wim: the base image's files"
for mark in EN-US/LP.CAB EN-US.installed default-language.txt HTA.installed MDAC.installed Scripting.installed \
            SRT.installed XML.installed; do
  [ -f "$boot/Windows/servicing/Packages/$mark" ] || fail "boot.wim: no $mark from peimg"
done

winre=$work/relive-winre
cmp -s "$out/program.exe" "$winre/Windows/MD/Mendora.exe" || fail "winre.wim: Windows/MD/Mendora.exe"
[ -f "$winre/Windows/System32/winpeshl.exe" ] || fail "winre.wim: lost its other files"
echo "ok boot.wim and winre.wim"
