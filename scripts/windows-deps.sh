#!/bin/bash
# Prepares what the Windows build needs, from Debian alone: the mingw-w64 compilers (posix threads),
# wine to run the result (iproute2 for the loopback of the namespace its announcement test runs in), nasm
# for libjpeg-turbo's SIMD code, zlib for Windows, icoutils for the programs' icon (and the test that
# reads it back), NSIS for the installer; then the picture libraries built for Windows from Debian's own
# source packages of the installed versions (libjpeg-turbo, libpng, libwebp, giflib: static libraries and
# their headers only, no programs, tests or documents), and googletest from /usr/src/googletest. Each is
# cached in <build-folder>/deps and built again only when missing.
#   scripts/windows-deps.sh [build-folder]     (prints nothing else on success; the prefix is
#                                               <build-folder>/deps/prefix)
# libavif is not among them: the archive this machine reaches serves no source of Debian's libavif, so
# the Windows build reads no AVIF (see README).
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

# unpack_source NAME SOURCE-PACKAGE BINARY-PACKAGE: Debian's source package SOURCE-PACKAGE at the version
# of the installed BINARY-PACKAGE (any version when that is not installed), unpacked with Debian's
# patches under <deps>/NAME-src; prints the unpacked folder. Kept between runs: fetched once.
unpack_source() {
  local name="$1" package="$2" binary="$3"
  local into="$deps/$name-src"
  local folder
  folder="$(find "$into" -mindepth 1 -maxdepth 1 -type d -name "$package-*" 2>/dev/null | head -n1)"
  if [ -z "$folder" ]; then
    local version
    version="$(dpkg-query -W -f='${Version}' "$binary" 2>/dev/null || true)"
    enable_sources
    rm -rf "$into"
    mkdir -p "$into"
    # The archive may no longer serve the installed version's files: then the newest one it serves.
    local candidates
    candidates="$version $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -rVu | tr '\n' ' ')"
    : >"$deps/$name-source.log"
    for version in $candidates; do
      (cd "$into" && apt-get source -qq "$package=$version" >/dev/null 2>>"$deps/$name-source.log") && break
      rm -rf "${into:?}"/*
    done
    folder="$(find "$into" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n1)"
    [ -n "$folder" ] || { cat "$deps/$name-source.log" >&2; exit 1; }
    if [ "$version" != "${candidates%% *}" ]; then
      echo "$package: the installed version's source is not served; built $version" >>"$deps/$name-source.log"
    fi
  fi
  printf '%s\n' "$folder"
}

if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  source_dir="$(unpack_source jpeg libjpeg-turbo libjpeg62-turbo)"
  rm -rf "$deps/jpeg-build"
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

if [ ! -f "$prefix/lib/libpng16.a" ]; then
  source_dir="$(unpack_source png libpng1.6 libpng16-16)"
  rm -rf "$deps/png-build"
  cmake -S "$source_dir" -B "$deps/png-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    -DZLIB_USE_STATIC_LIBS=ON -Wno-dev >"$deps/png-configure.log"
  cmake --build "$deps/png-build" -j "$jobs" --target png_static >"$deps/png-build.log"
  install -d "$prefix/lib" "$prefix/include"
  install -m 644 "$deps/png-build/libpng16.a" "$prefix/lib/"
  install -m 644 "$source_dir/png.h" "$source_dir/pngconf.h" "$deps/png-build/pnglibconf.h" "$prefix/include/"
  rm -rf "$deps/png-build"
fi

if [ ! -f "$prefix/lib/libwebpdemux.a" ]; then
  source_dir="$(unpack_source webp libwebp libwebp7)"
  rm -rf "$deps/webp-build"
  cmake -S "$source_dir" -B "$deps/webp-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF \
    -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF -Wno-dev >"$deps/webp-configure.log" 2>&1 ||
    { cat "$deps/webp-configure.log" >&2; exit 1; }
  # Decoding only: the decoder library, and the demultiplexer (the first frame of an animation) from its
  # two source files, since its target would build the encoder too.
  cmake --build "$deps/webp-build" -j "$jobs" --target webpdecoder >"$deps/webp-build.log"
  for file in demux anim_decode; do
    x86_64-w64-mingw32-gcc-posix -O2 -DHAVE_CONFIG_H -I"$deps/webp-build" -I"$source_dir" \
      -c "$source_dir/src/demux/$file.c" -o "$deps/webp-build/$file.o"
  done 2>>"$deps/webp-build.log" || { cat "$deps/webp-build.log" >&2; exit 1; }
  x86_64-w64-mingw32-ar rcs "$deps/webp-build/libwebpdemux.a" "$deps/webp-build/demux.o" \
    "$deps/webp-build/anim_decode.o"
  install -d "$prefix/lib" "$prefix/include/webp"
  install -m 644 "$deps/webp-build/libwebpdecoder.a" "$deps/webp-build/libwebpdemux.a" "$prefix/lib/"
  install -m 644 "$source_dir"/src/webp/decode.h "$source_dir"/src/webp/demux.h "$source_dir"/src/webp/mux_types.h \
    "$source_dir"/src/webp/types.h "$prefix/include/webp/"
  rm -rf "$deps/webp-build"
fi

if [ ! -f "$prefix/lib/libgif.a" ]; then
  source_dir="$(unpack_source gif giflib libgif7)"
  rm -rf "$deps/gif-build"
  mkdir -p "$deps/gif-build"
  # The reading half of the library; its Makefile would build the programs and the manual too.
  for file in dgif_lib gif_err gifalloc gif_hash openbsd-reallocarray; do
    x86_64-w64-mingw32-gcc-posix -std=gnu99 -O2 -Wall -c "$source_dir/$file.c" -o "$deps/gif-build/$file.o"
  done 2>"$deps/gif-build.log" || { cat "$deps/gif-build.log" >&2; exit 1; }
  x86_64-w64-mingw32-ar rcs "$deps/gif-build/libgif.a" "$deps"/gif-build/*.o
  install -d "$prefix/lib" "$prefix/include"
  install -m 644 "$deps/gif-build/libgif.a" "$prefix/lib/"
  install -m 644 "$source_dir/gif_lib.h" "$prefix/include/"
  rm -rf "$deps/gif-build"
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
