#!/usr/bin/env bash
# Prepares a Debian machine for building and testing: packages, libpng and
# GoogleTest cross-built for both targets. Idempotent; quick when all is there.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps=${SUITE_DEPS:-/opt/suite-deps}
SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"

packages=(
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libz-mingw-w64-dev wine wine64 wine32:i386 xvfb googletest wimtools
  cmake ninja-build ccache imagemagick x11-utils dpkg-dev curl python3
)

have_all_packages() {
  dpkg --print-foreign-architectures | grep -qx i386 || return 1
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 1
  done
}

have_sources() {
  grep -qs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources && return 0
  grep -qs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}

# libpng's source comes through apt: add source entries beside the binary ones.
enable_sources() {
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ]; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
  elif [ -f /etc/apt/sources.list ]; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee -a /etc/apt/sources.list >/dev/null
  fi
}

install_packages() {
  have_all_packages && have_sources && return 0
  $SUDO dpkg --add-architecture i386
  have_sources || enable_sources
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
}

# The upstream tarball of Debian's libpng source, checked against the index.
fetch_libpng() {
  local dir=$1 line url name sum
  mkdir -p "$dir"
  line=$(cd "$dir" && apt-get source --print-uris libpng1.6 2>/dev/null | grep -E "\.orig\.tar\.(gz|xz)'" | head -1)
  [ -n "$line" ] || { echo "setup: libpng1.6 source not in the apt index" >&2; return 1; }
  url=$(echo "$line" | awk '{print $1}' | tr -d "'")
  name=$(echo "$line" | awk '{print $2}')
  sum=$(echo "$line" | grep -oE 'SHA256:[0-9a-f]+' | cut -d: -f2)
  if [ ! -f "$dir/$name" ]; then
    (cd "$dir" && apt-get source --download-only libpng1.6 >/dev/null 2>&1) || true
    [ -f "$dir/$name" ] || (cd "$dir" && curl -fsSL -o "$name" "$url")
  fi
  if [ -n "$sum" ]; then
    echo "$sum  $dir/$name" | sha256sum -c --quiet - || { rm -f "$dir/$name"; return 1; }
  fi
  echo "$dir/$name"
}

build_libpng() {
  local src_dir=$deps/src version stamp tarball
  version=$(cd /tmp && apt-cache showsrc libpng1.6 2>/dev/null | awk '/^Version:/{print $2; exit}')
  stamp="libpng $version"
  if [ -f "$deps/libpng.stamp" ] && [ "$(cat "$deps/libpng.stamp")" = "$stamp" ]; then
    return 0
  fi
  tarball=$(fetch_libpng "$src_dir")
  rm -rf "$src_dir/libpng"
  mkdir -p "$src_dir/libpng"
  tar -xf "$tarball" -C "$src_dir/libpng" --strip-components=1
  local arch
  for arch in x86_64 i686; do
    local b=$deps/build/libpng-$arch
    rm -rf "$b"
    cmake -S "$src_dir/libpng" -B "$b" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/$arch" \
      -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -Wno-dev >/dev/null
    cmake --build "$b" --target install >/dev/null
  done
  echo "$stamp" > "$deps/libpng.stamp"
}

build_googletest() {
  local version stamp arch
  version=$(dpkg-query -W -f='${Version}' googletest)
  stamp="googletest $version"
  if [ -f "$deps/googletest.stamp" ] && [ "$(cat "$deps/googletest.stamp")" = "$stamp" ]; then
    return 0
  fi
  for arch in x86_64 i686; do
    local b=$deps/build/googletest-$arch
    rm -rf "$b"
    cmake -S /usr/src/googletest -B "$b" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/$arch" \
      -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$b" --target install >/dev/null
  done
  echo "$stamp" > "$deps/googletest.stamp"
}

install_packages
$SUDO mkdir -p "$deps"
build_libpng
build_googletest
