#!/bin/bash
# Prepares what the Windows build needs, from Debian alone: the mingw-w64 compilers (posix threads),
# wine to run the result (iproute2 for the loopback of the namespace its announcement test runs in), nasm
# for libjpeg-turbo's SIMD code, zlib for Windows, icoutils for the programs' icon (and the test that
# reads it back), NSIS for the installer; then libjpeg-turbo built for Windows from Debian's own source
# package of the installed version, and googletest from /usr/src/googletest. Both are cached in
# <build-folder>/deps and built again only when missing.
#   scripts/windows-deps.sh [build-folder]     (prints nothing else on success; the prefix is
#                                               <build-folder>/deps/prefix)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-windows}")"
deps="$build/deps"
prefix="$deps/prefix"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs="$(nproc)"

# Installed as the rest of the project's packages are (root or sudo, nothing when all are there).
"$root/scripts/setup-debian.sh" \
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev nasm \
  wine wine64 locales iproute2 \
  dpkg-dev googletest icoutils nsis

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

mkdir -p "$deps"

# The source entries: the machine's own Debian entries with "deb-src" for "deb", so the source package
# comes from the same archive (and snapshot) as the installed binary package.
enable_sources() {
  local list=/etc/apt/sources.list.d/vorlane-deb-src.sources
  [ -f "$list" ] && return 0
  local entries=""
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 stanzas: keep those of Debian's archives, as deb-src.
    entries+="$(awk 'BEGIN { RS = ""; ORS = "\n\n" }
      /URIs:[^\n]*\/debian/ && /Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file")"
  done
  local line
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    while read -r line; do
      [[ "$line" =~ ^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+([^[:space:]]+)[[:space:]]+(.*)$ ]] || continue
      [[ "${BASH_REMATCH[2]}" == */debian* ]] || continue
      entries+="Types: deb-src"$'\n'"URIs: ${BASH_REMATCH[2]}"$'\n'"Suites: ${BASH_REMATCH[3]}"$'\n'
      entries+="Components: ${BASH_REMATCH[4]}"$'\n\n'
    done <"$file"
  done
  if [ -z "$entries" ]; then
    echo "no Debian entry in the apt sources to take the source package from" >&2
    exit 1
  fi
  printf '%s' "$entries" | $SUDO tee "$list" >/dev/null
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
}

if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  version="$(dpkg-query -W -f='${Version}' libjpeg62-turbo 2>/dev/null || true)"
  enable_sources
  rm -rf "$deps/jpeg-src" "$deps/jpeg-build"
  mkdir -p "$deps/jpeg-src"
  (cd "$deps/jpeg-src" && apt-get source -qq "libjpeg-turbo${version:+=$version}" >/dev/null 2>"$deps/jpeg-source.log") ||
    { cat "$deps/jpeg-source.log" >&2; exit 1; }
  source_dir="$(find "$deps/jpeg-src" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)"
  cmake -S "$source_dir" -B "$deps/jpeg-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DCMAKE_POSITION_INDEPENDENT_CODE=OFF -Wno-dev >"$deps/jpeg-configure.log"
  cmake --build "$deps/jpeg-build" -j "$jobs" --target jpeg-static >"$deps/jpeg-build.log"
  # Only the library and its headers; the full installation would build the command-line programs too.
  # The internal header goes along: the decoder reads the library's output-pass state from it.
  install -d "$prefix/lib" "$prefix/include"
  for library in "$deps"/jpeg-build/libjpeg-static.a "$deps"/jpeg-build/libjpeg.a; do
    [ -f "$library" ] && break
  done
  install -m 644 "$library" "$prefix/lib/libjpeg.a"
  install -m 644 "$deps/jpeg-build/jconfig.h" "$source_dir/jpeglib.h" "$source_dir/jmorecfg.h" \
    "$source_dir/jerror.h" "$source_dir/jpegint.h" "$prefix/include/"
  rm -rf "$deps/jpeg-build"
fi

if [ ! -f "$prefix/lib/libgtest.a" ]; then
  rm -rf "$deps/gtest-build"
  cmake -S /usr/src/googletest -B "$deps/gtest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON \
    -Dgtest_disable_pthreads=OFF >"$deps/gtest-configure.log"
  cmake --build "$deps/gtest-build" -j "$jobs" >"$deps/gtest-build.log"
  cmake --install "$deps/gtest-build" >/dev/null
  rm -rf "$deps/gtest-build"
fi
