#!/usr/bin/env bash
# Installs the Windows cross toolchain (mingw-w64) and wine from Debian, then
# builds SDL2 and FFmpeg for x86_64 Windows from Debian's own source packages.
# The built libraries go into a cache outside the clone, keyed by the source
# versions, and are reused when they are already there.
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
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- deb-src entry --------------------------------------------------------
# The source entry mirrors the machine's own binary entries: same URIs,
# suites and components, only the type differs.
src_list=/etc/apt/sources.list.d/redavave-deb-src.sources
have_deb_src() {
  grep -rhsE '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' \
    /etc/apt/sources.list /etc/apt/sources.list.d/ >/dev/null
}
if ! have_deb_src; then
  tmp="$(mktemp)"
  # deb822 files: copy each stanza that has a "deb" type, keeping only the
  # fields that locate the archive and how it is signed.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (isdeb && uris != "" && suites != "") {
          print "Types: deb-src"; print "URIs: " uris; print "Suites: " suites
          if (comps != "") print "Components: " comps
          if (signed != "") print "Signed-By: " signed
          print ""
        }
        isdeb = 0; uris = ""; suites = ""; comps = ""; signed = ""; enabled = 1
      }
      /^[[:space:]]*#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") isdeb = 1; next }
      /^URIs:/ { sub(/^URIs:[[:space:]]*/, ""); uris = $0; next }
      /^Suites:/ { sub(/^Suites:[[:space:]]*/, ""); suites = $0; next }
      /^Components:/ { sub(/^Components:[[:space:]]*/, ""); comps = $0; next }
      /^Signed-By:/ { sub(/^Signed-By:[[:space:]]*/, ""); signed = $0; next }
      /^Enabled:[[:space:]]*no/ { isdeb = 0; next }
      END { flush() }
    ' "$f" >>"$tmp"
  done
  # One-line lists: "deb [options] URI suite components..."
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '
      $1 != "deb" { next }
      {
        i = 2; opts = ""
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
        signed = ""
        if (match(opts, /signed-by=[^] ]+/)) signed = substr(opts, RSTART + 10, RLENGTH - 10)
        comps = ""
        for (j = i + 2; j <= NF; j++) comps = comps (comps == "" ? "" : " ") $j
        print "Types: deb-src"; print "URIs: " $i; print "Suites: " $(i + 1)
        if (comps != "") print "Components: " comps
        if (signed != "") print "Signed-By: " signed
        print ""
      }
    ' "$f" >>"$tmp"
  done
  if [ ! -s "$tmp" ]; then
    log "found no apt source to derive a deb-src entry from"
    exit 1
  fi
  log "adding $src_list"
  "${sudo_cmd[@]}" install -m 644 "$tmp" "$src_list"
  rm -f "$tmp"
  updated=0
fi
if [ "$updated" -eq 0 ] && ! apt-cache showsrc libsdl2 >/dev/null 2>&1; then
  "${sudo_cmd[@]}" apt-get update -qq
fi

src_version() {  # newest source version apt knows for a package
  apt-cache showsrc "$1" | awk '/^Version:/ { print $2 }' | sort -V | tail -n 1
}
sdl_version="$(src_version libsdl2)"
ffmpeg_version="$(src_version ffmpeg)"
if [ -z "$sdl_version" ] || [ -z "$ffmpeg_version" ]; then
  log "apt knows no source for libsdl2 or ffmpeg"
  exit 1
fi
key="sdl2-${sdl_version}_ffmpeg-${ffmpeg_version}"
key="${key//[:~+]/_}"
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

work="$cache_root/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"
export CC="$host-gcc-posix" CXX="$host-g++-posix"

started=$SECONDS
log "fetching sources of libsdl2 $sdl_version and ffmpeg $ffmpeg_version"
apt-get source -qq --download-only "libsdl2=$sdl_version" "ffmpeg=$ffmpeg_version" >/dev/null
# Unpacks without applying Debian's packaging patches for Linux.
for dsc in libsdl2_*.dsc ffmpeg_*.dsc; do
  dpkg-source -x --skip-patches "$dsc" >/dev/null 2>&1 || dpkg-source -x "$dsc" >/dev/null
done
sdl_src="$(find . -maxdepth 1 -type d -name 'libsdl2-*' | head -n 1)"
ffmpeg_src="$(find . -maxdepth 1 -type d -name 'ffmpeg-*' | head -n 1)"

log "building SDL2"
t=$SECONDS
mkdir -p sdl-build
(
  cd sdl-build
  "../$sdl_src/configure" --host="$host" --prefix="$prefix" \
    --enable-shared --disable-static --disable-rpath >configure.log 2>&1 ||
    { tail -n 30 configure.log >&2; exit 1; }
  make -j"$jobs" >make.log 2>&1 || { tail -n 40 make.log >&2; exit 1; }
  make install >install.log 2>&1 || { tail -n 20 install.log >&2; exit 1; }
)
log "SDL2 built in $((SECONDS - t)) s"

log "building FFmpeg"
t=$SECONDS
mkdir -p ffmpeg-build
(
  cd ffmpeg-build
  "../$ffmpeg_src/configure" --prefix="$prefix" \
    --arch=x86_64 --target-os=mingw32 --cross-prefix="$host-" \
    --cc="$CC" --cxx="$CXX" --pkg-config=pkg-config \
    --enable-shared --disable-static \
    --disable-everything --disable-programs --disable-doc \
    --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc \
    --disable-network --disable-autodetect --disable-debug \
    --enable-avcodec --enable-avformat --enable-avutil --enable-swresample \
    --enable-protocol=file \
    --enable-demuxer=mp3,ogg,flac,asf \
    --enable-parser=mpegaudio,vorbis,flac \
    --enable-decoder=mp3,mp3float,mp2,mp2float,vorbis,flac,wmav1,wmav2 \
    >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; }
  make -j"$jobs" >make.log 2>&1 || { tail -n 40 make.log >&2; exit 1; }
  make install >install.log 2>&1 || { tail -n 20 install.log >&2; exit 1; }
)
log "FFmpeg built in $((SECONDS - t)) s"

ship_runtime_dlls
echo "libsdl2 $sdl_version, ffmpeg $ffmpeg_version, built in $((SECONDS - started)) s" >"$prefix/.complete"
cd /
rm -rf "$work"
log "dependencies built in $((SECONDS - started)) s into $prefix"
echo "$prefix"
