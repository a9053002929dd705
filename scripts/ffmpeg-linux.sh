#!/usr/bin/env bash
# Builds the game's own FFmpeg for Linux from Debian's source package: the
# four libraries the game calls, with only the demuxers, parsers and decoders
# of its song formats and no other library beside the C library. Debian's
# FFmpeg brings some 140 libraries into the process (video codecs, TLS,
# Kerberos, ZeroMQ ...), whose loading held up the game's start by tens of
# milliseconds; these four load in about one.
#
# The libraries carry names of their own (libavcodec_redavave.so.59 ...) and
# version their symbols LIBAVCODEC_REDAVAVE_59 ... instead of LIBAVCODEC_59,
# so that a process holding Debian's FFmpeg as well (the test programs write
# their songs with it) never binds one library's calls into the other's.
#
# The build goes into a cache outside the clone (REDAVAVE_FFMPEG_CACHE, else
# ~/.cache/redavave/linux-ffmpeg), keyed by a hash of everything that shapes it
# (these scripts, the configure options, the source version, the compiler and
# the C library), and is reused when it is there (about 40 s otherwise). Two
# runs at once build it once: the second waits for the first. Prints the
# folder holding it (include/, lib/) as its last line. Root or sudo for the
# apt steps: when apt knows no source packages, a deb-src entry is added to
# its sources and kept (see ensure_sources in apt-deb-src.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache_root="${REDAVAVE_FFMPEG_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/redavave/linux-ffmpeg}"
jobs="$(nproc 2>/dev/null || echo 2)"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

log() { echo "ffmpeg-linux: $*" >&2; }

# shellcheck source=apt-deb-src.sh
source "$root/scripts/apt-deb-src.sh"
updated=0
temporary=()
added_lists=()
trap undo_scratch EXIT

# shellcheck source=ffmpeg-components.sh
source "$root/scripts/ffmpeg-components.sh"
# shellcheck source=build-cache.sh
source "$root/scripts/build-cache.sh"

version="$(src_version ffmpeg)"
if [ -z "$version" ]; then
  ensure_sources ffmpeg
  version="$(src_version ffmpeg)"
fi
# Everything that shapes the libraries keys their cache entry, whose .key
# keeps it: a change to any of it (a comment in these scripts too) builds anew.
key_material="$(
  cat "$root"/scripts/{ffmpeg-linux,ffmpeg-components,apt-deb-src,build-cache}.sh
  printf 'configure %s\n' "${ffmpeg_game_options[@]}"
  echo "source ffmpeg $version"
  gcc --version 2>/dev/null | sed -n 1p
  installed_versions binutils libc6-dev nasm make
)"
key="$(cache_key <<<"$key_material")"
prefix="$cache_root/$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
lock_cache_entry "$cache_root" "$key"
if [ -f "$prefix/.complete" ]; then
  log "taking $prefix, which the other run built"
  echo "$prefix"
  exit 0
fi

work="$cache_root/work-$key"
fresh_build_folders "$work" "$prefix"
cd "$work"
started=$SECONDS

log "building FFmpeg $version for the game"
quiet fetch.log apt-get source -qq --download-only "ffmpeg=$version"
quiet unpack.log dpkg-source -x ffmpeg_*.dsc
src="$(find . -maxdepth 1 -type d -name 'ffmpeg-*' | head -n 1)"
# The symbol versions get the game's name (the build puts the major number in
# for MAJOR).
sed -i 's/^LIB\([A-Z]*\)_MAJOR {/LIB\1_REDAVAVE_MAJOR {/' "$src"/lib*/lib*.v
mkdir build
cd build
quiet configure.log "../$src/configure" --prefix="$prefix" --build-suffix=_redavave \
  --enable-shared --disable-static "${ffmpeg_game_options[@]}" \
  --extra-cflags="-fstack-protector-strong -D_FORTIFY_SOURCE=2" \
  --extra-ldflags="-Wl,-z,relro -Wl,-z,now"
quiet make.log make -j"$jobs"
quiet install.log make install
for lib in avutil avcodec avformat swresample; do
  symbols="$(readelf --dyn-syms -W "$prefix/lib/lib${lib}_redavave.so")"
  if ! grep -q "@LIB${lib^^}_REDAVAVE_" <<<"$symbols"; then
    log "lib${lib}_redavave.so has no symbols of version LIB${lib^^}_REDAVAVE_*"
    exit 1
  fi
done
echo "$key_material" >"$prefix/.key"
echo "ffmpeg $version, built in $((SECONDS - started)) s" >"$prefix/.complete"
cd /
keep_entry "$prefix"
log "built in $((SECONDS - started)) s into $prefix"
echo "$prefix"
