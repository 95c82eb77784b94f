#!/usr/bin/env bash
# Installs what is missing, then builds both trees: win64 (Mendora) and win32 (Discora).
set -euo pipefail
source "$(dirname "$0")/rig.sh"
"$suite_root/scripts/setup.sh"

build_tree() {
  local tree=$1 arch=$2 dir=$SUITE_BUILD/$1
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$suite_root" -B "$dir" -G Ninja -Wno-dev \
      -DCMAKE_TOOLCHAIN_FILE="$suite_root/cmake/mingw-$arch.cmake" >/dev/null
  fi
  cmake --build "$dir" -- -j"$(nproc)"
}

build_tree win64 x86_64
build_tree win32 i686
