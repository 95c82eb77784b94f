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
