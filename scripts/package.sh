#!/usr/bin/env bash
# Builds the game's packages.
#
#   ./scripts/package.sh linux [BUILD_DIR]  ->  dist/redavave_<version>_amd64.deb
#   ./scripts/package.sh windows            ->  dist/redavave-<version>-windows-x64.zip
#
# linux: REDAVAVE_DIST=DIR writes the package there. Without BUILD_DIR the game
# is built afresh in build-package (Release, no tests); with it, that build is
# used as it stands (its game and resources are brought up to date first). The
# package's dependencies are computed: those of the binary and of the game's
# own FFmpeg (built by scripts/ffmpeg-linux.sh, shipped in /usr/lib/redavave)
# by dpkg-shlibdeps, and the system libraries the game opens at run time
# (ALSA; Debian's FFmpeg for a build without its own; PipeWire's, which is
# only recommended), whose names are read from the binary, by the packages
# that ship them and the versions their shlibs files ask for.
#
# windows: a zip players unzip and run. The game is cross-built with mingw-w64
# against SDL2 and FFmpeg built by scripts/windows-deps.sh; its resources tree
# comes from the native build's generator.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

package_linux() {
build="${2:-$root/build-package}"
dist="${REDAVAVE_DIST:-$root/dist}"

if [ -z "${2:-}" ]; then
  bash "$root/scripts/install-deps.sh"
  ffmpeg="$(bash "$root/scripts/ffmpeg-linux.sh" | tail -n 1)"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DREDAVAVE_TESTS=OFF -DREDAVAVE_BENCH=OFF -DREDAVAVE_FFMPEG_DIR="$ffmpeg" >/dev/null
fi
cmake --build "$build" --target redavave resources -j "$jobs" >/dev/null

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
stage="$work/stage"

umask 022
DESTDIR="$stage" cmake --install "$build" --prefix /usr --strip >/dev/null
doc="$stage/usr/share/doc/redavave"
install -d "$doc"
install -m 0644 "$root/packaging/linux/copyright" "$doc/copyright"
gzip -9n -c "$root/packaging/linux/changelog" > "$doc/changelog.gz"
if compgen -G "$stage/usr/lib/redavave/*.so.*" >/dev/null; then
  # A trimmed FFmpeg of the game's own, on purpose (see the copyright file).
  install -D -m 0644 "$root/packaging/linux/redavave.lintian-overrides" \
    "$stage/usr/share/lintian/overrides/redavave"
fi
gzip -9n "$stage/usr/share/man/man6/redavave.6"
chmod -R u=rwX,go=rX "$stage"
chmod 0755 "$stage/usr/games/redavave"

mkdir -p "$work/debian"
printf 'Source: redavave\n\nPackage: redavave\nArchitecture: any\n' > "$work/debian/control"
# Dependencies of the binary itself and of the game's own FFmpeg beside it.
shlibdeps_args=(-e"$stage/usr/games/redavave")
for lib in "$stage"/usr/lib/redavave/*.so.*; do
  [ -e "$lib" ] && shlibdeps_args+=(-l"$stage/usr/lib/redavave" -e"$lib")
done
# Where the package's root is, for the game's run path relative to itself.
install -d "$stage/DEBIAN"
if ! shlibdeps="$(cd "$work" && dpkg-shlibdeps -O "${shlibdeps_args[@]}" 2>"$work/shlibdeps.log")"; then
  echo "package.sh: dpkg-shlibdeps failed:" >&2
  cat "$work/shlibdeps.log" >&2
  exit 1
fi
linked="$(sed -n 's/^shlibs:Depends=//p' <<<"$shlibdeps")"

# dependency_of SONAME: the package that ships a library the game opens
# itself, at the version its shlibs entry asks for.
dependency_of() {
  local soname="$1" path owner candidate name major dependency
  path="$(ldconfig -p | awk -v s="$soname" '$1 == s && /x86-64/ && !found {print $NF; found = 1}')"
  [ -n "$path" ] || { echo "package.sh: $soname is not installed here" >&2; return 1; }
  owner=""
  for candidate in "$path" "$(realpath "$path")" "/usr$path"; do
    owner="$(dpkg-query -S "$candidate" 2>/dev/null | awk -F: 'NR == 1 {print $1}')" && [ -n "$owner" ] && break
  done
  [ -n "$owner" ] || { echo "package.sh: no package ships $path" >&2; return 1; }
  name="${soname%%.so.*}"
  major="${soname##*.so.}"
  dependency="$(dpkg-query --control-show "$owner" shlibs 2>/dev/null |
    awk -v n="$name" -v m="$major" '$1 == n && $2 == m && !found {$1 = ""; $2 = ""; sub(/^ +/, ""); print; found = 1}')"
  echo "${dependency:-$owner}"
}

# Libraries the game opens itself (pipelines read to the end: pipefail is on).
# It needs ALSA (and Debian's FFmpeg, in a build without its own); PipeWire's
# library it can do without (it plays through PulseAudio's then), so that one
# is only recommended.
depends="$linked"
recommends=""
for soname in $(strings -a "$stage/usr/games/redavave" |
    grep -E '^lib(avutil|avcodec|avformat|swresample|asound|pipewire-0\.3)\.so\.[0-9]+$' | sort -u); do
  dependency="$(dependency_of "$soname")" || exit 1
  if [[ "$soname" == libpipewire-* ]]; then
    recommends="${recommends:+$recommends, }$dependency"
  else
    depends="${depends:+$depends, }$dependency"
  fi
done

install -d "$stage/DEBIAN"
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/md5sums"
size="$(du -sk --exclude=DEBIAN "$stage" | cut -f1)"
cat > "$stage/DEBIAN/control" <<CONTROL
Package: redavave
Version: $version
Architecture: $arch
Maintainer: The Redavave developers <redavave@users.noreply.invalid>
Installed-Size: $size
Depends: $depends
${recommends:+Recommends: $recommends
}Section: games
Priority: optional
Description: arcade game driven by your own music
 The pitch of the song you pick decides in which of three lanes blocks, bonus
 items and skulls come towards your ship. Collect blocks, where runs of one
 colour score a growing bonus, pick up bonus items and dodge the skulls.
 .
 The game plays the mp3, mp2, ogg, flac, wma, m4a, aac, opus, wav and aiff
 files of your music folder and its subfolders, and brings three demo songs.
CONTROL

mkdir -p "$dist"
deb="$dist/redavave_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
}

package_windows() {
cd "$root"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

bash scripts/install-deps.sh
deps="$(bash scripts/windows-deps.sh | tail -n 1)"

echo "== The resources tree (native generator) in build/"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build --target resources -j "$jobs"

echo "== The Windows game in build-windows-release/"
cmake -S . -B build-windows-release -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DREDAVAVE_WINDOWS_DEPS="$deps" -DREDAVAVE_NATIVE_RESOURCES="$root/build/run/resources" \
  -DREDAVAVE_TESTS=OFF -DREDAVAVE_BENCH=OFF >/dev/null
cmake --build build-windows-release --target redavave resources -j "$jobs"

version="$(sed -n 's/^project(Redavave VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
name="redavave-${version}-windows-x64"
stage="$root/dist/$name"
rm -rf "$stage" "$root/dist/$name.zip"
mkdir -p "$stage"
run_dir="build-windows-release/run"
x86_64-w64-mingw32-strip -o "$stage/redavave.exe" "$run_dir/redavave.exe"
for dll in "$deps"/bin/*.dll; do
  x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/$(basename "$dll")" "$dll"
done
cp -r "$run_dir/resources" "$stage/resources"
rm -f "$stage/resources/log.txt"

# Every DLL the game and its DLLs import must be shipped or be part of Windows.
# shellcheck source=windows-dlls.sh
source "$root/scripts/windows-dlls.sh"
if ! dll_imports "$stage"/redavave.exe "$stage"/*.dll | check_dll_imports "$stage"; then
  echo "package.sh: the package lacks DLLs (above)" >&2
  exit 1
fi

sed "s/@VERSION@/$version/" packaging/windows/README.txt | sed 's/$/\r/' >"$stage/README.txt"
(cd "$root/dist" && zip -qr "$name.zip" "$name")
echo "Wrote dist/$name.zip ($(du -h "$root/dist/$name.zip" | cut -f1))"
}

case "${1:-}" in
  linux) package_linux "$@" ;;
  windows) package_windows ;;
  *)
    echo "usage: $0 linux [BUILD_DIR] | windows" >&2
    exit 2
    ;;
esac
