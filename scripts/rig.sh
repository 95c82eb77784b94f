# Shared settings of the build and the Wine rig; sourced by the other scripts.
# SUITE_BUILD: the build root holding win64/ and win32/ (default: build/).
suite_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export SUITE_BUILD=${SUITE_BUILD:-$suite_root/build}
mkdir -p "$SUITE_BUILD"
SUITE_BUILD=$(cd "$SUITE_BUILD" && pwd)
# The Wine prefix and display of one run; tests and the demo keep their own.
export SUITE_RIG=$SUITE_BUILD/${SUITE_RIG_NAME:-.rig}
export WINEPREFIX=$SUITE_RIG/prefix
export WINEDEBUG=-all
# Our own wimgapi.dll must win over Wine's stub; no Mono or Gecko prompts.
export WINEDLLOVERRIDES="wimgapi=n;mscoree=;mshtml=;winemenubuilder.exe="
# The build output's drive letter: Wine starts programs only from mapped letters.
export SUITE_BUILD_LETTER=y

rig_log() { echo "rig: $*" >&2; }

# Some kernels run no 32-bit programs, and Debian's wine script always starts
# Wine's 32-bit loader first. There the rig runs the 64-bit loader directly,
# through small wrappers ahead in PATH, and 32-bit Windows programs cannot run.
SUITE_WINE64_LOADER=/usr/lib/wine/wine64
rig_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}
rig_use_64bit_loader() {
  local shim=$SUITE_BUILD/.wine64-shim
  mkdir -p "$shim"
  printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s "$@"\n' \
    "$SUITE_WINE64_LOADER" "$SUITE_WINE64_LOADER" > "$shim/wine"
  printf '#!/bin/sh\nexec "%s/wine" wineboot "$@"\n' "$shim" > "$shim/wineboot"
  chmod +x "$shim/wine" "$shim/wineboot"
  export PATH=$shim:$PATH
  export SUITE_NO_32BIT=1
}
if [ -z "${SUITE_NO_32BIT:-}" ] && [ -x "$SUITE_WINE64_LOADER" ] && ! rig_runs_32bit; then
  rig_use_64bit_loader
fi

# Maps a drive letter of the prefix to a folder (created when missing).
rig_map_drive() {
  local letter=${1,,} dir=$2
  mkdir -p "$dir"
  ln -sfn "$dir" "$WINEPREFIX/dosdevices/$letter:"
}

# A fresh prefix: Wine's system drive C:, no host root Z:, the build on Y:.
rig_new_prefix() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$SUITE_RIG"
  mkdir -p "$SUITE_RIG/drives"
  wineboot -i >/dev/null 2>&1 </dev/null
  wineserver -w
  rm -f "$WINEPREFIX/dosdevices/z:"
  rig_map_drive "$SUITE_BUILD_LETTER" "$SUITE_BUILD"
}

rig_start_display() {
  if [ -n "${SUITE_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local fifo=$SUITE_RIG/display.fifo
  rm -f "$fifo"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  echo $! > "$SUITE_RIG/xvfb.pid"
  local num
  read -r num < "$fifo"
  rm -f "$fifo"
  export DISPLAY=:$num
  echo "$DISPLAY" > "$SUITE_RIG/display"
}

# Warm the wineserver and services with output sent away, or the first test's
# pipes stay open behind them and ctest waits for ever.
rig_warm() {
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

rig_start() {
  rig_new_prefix
  rig_start_display
  rig_warm
}

rig_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$SUITE_RIG/xvfb.pid" ]; then
    kill "$(cat "$SUITE_RIG/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$SUITE_RIG/xvfb.pid"
  fi
}

# The Windows path of a file under the build root.
rig_windows_path() {
  local rel=${1#"$SUITE_BUILD"/}
  echo "${SUITE_BUILD_LETTER^^}:\\${rel//\//\\}"
}
