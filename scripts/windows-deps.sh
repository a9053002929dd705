#!/usr/bin/env bash
# Installs the Windows cross toolchain (mingw-w64) and wine from Debian, then
# builds SDL2 and FFmpeg for x86_64 Windows from Debian's own source packages.
# The built libraries go into a cache outside the clone
# (REDAVAVE_WINDOWS_DEPS_CACHE, else ~/.cache/redavave/windows-deps), keyed by
# a hash of everything that shapes them (these scripts, the configure options,
# the source versions, the cross toolchain's packages), and are reused when
# they are there. Two runs at once build them once: the second waits for the
# first.
#
# Two FFmpeg builds: the game's, with only the demuxers, parsers and decoders
# of its song formats; and one for the test programs in <prefix>/test/bin with
# the same DLL names plus the encoders and muxers the tests write their songs
# with (LAME and Vorbis linked in, also built from Debian's sources). The
# test programs load the second from wine's search path; nothing ships it.
#
# Prints the folder holding the built dependencies (bin/, include/, lib/) as
# its last line. Root or sudo for the apt steps.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache_root="${REDAVAVE_WINDOWS_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/redavave/windows-deps}"
jobs=2

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

log() { echo "windows-deps: $*" >&2; }

# --- Debian packages ------------------------------------------------------
packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  nasm wine wine64 dpkg-dev xdotool xvfb xauth x11-utils imagemagick zip
  libgl1-mesa-dri cmake ninja-build googletest make pkg-config
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# shellcheck source=apt-deb-src.sh
source "$root/scripts/apt-deb-src.sh"
# What is left behind when the script stops, whatever stops it: nothing of
# its own but the finished cache entry.
temporary=()
added_lists=()
trap undo_scratch EXIT

# --- deb-src entries ------------------------------------------------------
ensure_sources libsdl2 ffmpeg lame libogg libvorbis

sdl_version="$(src_version libsdl2)"
ffmpeg_version="$(src_version ffmpeg)"
lame_version="$(src_version lame)"
ogg_version="$(src_version libogg)"
vorbis_version="$(src_version libvorbis)"
for p in sdl_version ffmpeg_version lame_version ogg_version vorbis_version; do
  if [ -z "${!p}" ]; then
    log "apt knows no source version for ${p%_version}"
    exit 1
  fi
done
# shellcheck source=ffmpeg-components.sh
source "$root/scripts/ffmpeg-components.sh"
# shellcheck source=build-cache.sh
source "$root/scripts/build-cache.sh"
# Everything that shapes the libraries keys their cache entry, whose .key
# keeps it: a change to any of it (a comment in these scripts too) builds anew.
key_material="$(
  cat "$root"/scripts/{windows-deps,ffmpeg-components,apt-deb-src,build-cache}.sh
  printf 'configure %s\n' "${ffmpeg_game_options[@]}"
  echo "sources libsdl2 $sdl_version ffmpeg $ffmpeg_version lame $lame_version"
  echo "sources libogg $ogg_version libvorbis $vorbis_version"
  installed_versions g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
    binutils-mingw-w64-x86-64 mingw-w64-tools nasm cmake ninja-build make pkg-config
)"
key="$(cache_key <<<"$key_material")"
prefix="$cache_root/$key"
# FFmpeg's avutil takes its clocks from mingw's winpthread DLL: it goes
# beside the other DLLs (the game itself links winpthread statically).
ship_runtime_dlls() {
  local dll
  for dll in libwinpthread-1.dll; do
    if [ ! -f "$prefix/bin/$dll" ]; then
      cp "/usr/$host/lib/$dll" "$prefix/bin/$dll"
    fi
  done
}
host=x86_64-w64-mingw32
if [ -f "$prefix/.complete" ]; then
  ship_runtime_dlls
  log "reusing $prefix"
  echo "$prefix"
  exit 0
fi
lock_cache_entry "$cache_root" "$key"
if [ -f "$prefix/.complete" ]; then
  ship_runtime_dlls
  log "taking $prefix, which the other run built"
  echo "$prefix"
  exit 0
fi

work="$cache_root/work-$key"
fresh_build_folders "$work" "$prefix"
cd "$work"
export CC="$host-gcc-posix" CXX="$host-g++-posix"

started=$SECONDS
log "fetching sources of libsdl2 $sdl_version, ffmpeg $ffmpeg_version, lame $lame_version, libogg $ogg_version, libvorbis $vorbis_version"
apt-get source -qq --download-only "libsdl2=$sdl_version" "ffmpeg=$ffmpeg_version" \
  "lame=$lame_version" "libogg=$ogg_version" "libvorbis=$vorbis_version" >/dev/null
# Unpacks without applying Debian's packaging patches for Linux.
for dsc in libsdl2_*.dsc ffmpeg_*.dsc lame_*.dsc libogg_*.dsc libvorbis_*.dsc; do
  dpkg-source -x --skip-patches "$dsc" >/dev/null 2>&1 || dpkg-source -x "$dsc" >/dev/null
done
source_dir() { find . -maxdepth 1 -type d -name "$1-*" | head -n 1; }
sdl_src="$(source_dir libsdl2)"
ffmpeg_src="$(source_dir ffmpeg)"


log "building SDL2"
t=$SECONDS
quiet sdl-configure.log cmake -S "$sdl_src" -B sdl-build -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
  -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_RC_COMPILER="$host-windres" \
  -DCMAKE_FIND_ROOT_PATH="/usr/$host" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
  -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
quiet sdl-build.log cmake --build sdl-build -j "$jobs"
quiet sdl-install.log cmake --install sdl-build
log "SDL2 built in $((SECONDS - t)) s"

# build_ffmpeg <prefix> <extra configure options...>
build_ffmpeg() {
  local into="$1"
  shift
  rm -rf ffmpeg-build
  mkdir -p ffmpeg-build
  (
    cd ffmpeg-build
    quiet configure.log "../$ffmpeg_src/configure" --prefix="$into" \
      --arch=x86_64 --target-os=mingw32 --cross-prefix="$host-" \
      --cc="$CC" --cxx="$CXX" --pkg-config=pkg-config \
      --enable-shared --disable-static "${ffmpeg_game_options[@]}" \
      "$@"
    quiet make.log make -j"$jobs"
    quiet install.log make install
  )
}

log "building FFmpeg"
t=$SECONDS
build_ffmpeg "$prefix"
log "FFmpeg built in $((SECONDS - t)) s"

# The encoders' libraries, static, for the test programs' FFmpeg only.
log "building LAME, Ogg and Vorbis for the test programs"
t=$SECONDS
extras="$work/extras"
for lib in lame libogg libvorbis; do
  src="$(source_dir "$lib")"
  (
    cd "$src"
    export PKG_CONFIG_LIBDIR="$extras/lib/pkgconfig" PKG_CONFIG_PATH=""
    options=(--host="$host" --prefix="$extras" --disable-shared --enable-static)
    case "$lib" in
      lame) options+=(--disable-frontend --disable-decoder --disable-gtktest) ;;
      libvorbis) options+=(--disable-examples --disable-docs) ;;
    esac
    quiet "$work/$lib-configure.log" ./configure "${options[@]}"
    quiet "$work/$lib-make.log" make -j"$jobs"
    quiet "$work/$lib-install.log" make install
  )
done
log "LAME, Ogg and Vorbis built in $((SECONDS - t)) s"

log "building the test programs' FFmpeg"
t=$SECONDS
(
  export PKG_CONFIG_LIBDIR="$extras/lib/pkgconfig" PKG_CONFIG_PATH=""
  build_ffmpeg "$work/test-ffmpeg" --pkg-config-flags=--static \
    --extra-cflags="-I$extras/include" --extra-ldflags="-L$extras/lib" \
    --enable-libmp3lame --enable-libvorbis \
    --enable-encoder=libmp3lame,mp2,libvorbis,flac,wmav1,wmav2 \
    --enable-encoder=aac,alac,opus,pcm_s16le,pcm_s16be \
    --enable-muxer=mp3,mp2,ogg,flac,asf,ipod,mp4,adts,opus,wav,aiff
)
mkdir -p "$prefix/test/bin"
cp "$work"/test-ffmpeg/bin/*.dll "$prefix/test/bin/"
log "test programs' FFmpeg built in $((SECONDS - t)) s"

ship_runtime_dlls
echo "$key_material" >"$prefix/.key"
echo "libsdl2 $sdl_version, ffmpeg $ffmpeg_version (tests: lame $lame_version, libogg $ogg_version, libvorbis $vorbis_version), built in $((SECONDS - started)) s" >"$prefix/.complete"
cd /
keep_entry "$prefix"
log "dependencies built in $((SECONDS - started)) s into $prefix"
echo "$prefix"
