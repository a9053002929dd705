#!/usr/bin/env bash
# Builds the .deb from this build and checks what a player's apt would get:
# the files, the dependencies (the libraries the game links, the ones it
# opens at run time, and its own FFmpeg), and lintian without errors.
#   deb_test.sh <source dir> <build dir>
set -uo pipefail
source_dir="$1"
build_dir="$2"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
# What the packaging tools leave in the temporary folder (lintian does) goes with it.
mkdir "$out/tmp"
export TMPDIR="$out/tmp"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

deb="$(REDAVAVE_DIST="$out" bash "$source_dir/scripts/package.sh" linux "$build_dir")" || { echo "FAIL: package.sh"; exit 1; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")"
[ "$deb" = "$out/redavave_${version}_$(dpkg --print-architecture).deb" ] || fail "package named $deb"
[ -f "$deb" ] || { echo "FAIL: no package at $deb"; exit 1; }

# Mode and path; paths may hold blanks.
files="$(dpkg-deb -c "$deb" | awk '{mode = $1; $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print mode " " $0}')"
expect_file() {  # expect_file <mode> <path>
  grep -qxF -- "$1 ./$2" <<<"$files" || fail "missing $2 with mode $1"
}
expect_file -rwxr-xr-x usr/games/redavave
for f in applications/org.redavave.Redavave.desktop metainfo/org.redavave.Redavave.metainfo.xml \
         man/man6/redavave.6.gz doc/redavave/copyright doc/redavave/changelog.gz \
         redavave/resources/Icons/redavave.bmp redavave/resources/Models/space_craft.3ds \
         redavave/resources/Sounds/blockHit.mp3 redavave/resources/Textures/UI/Fonts/Impact_mono1.tga \
         "redavave/resources/Music/Neon Drift.mp3"; do
  expect_file -rw-r--r-- "usr/share/$f"
done
for size in 32 48 64 128 256; do
  expect_file -rw-r--r-- "usr/share/icons/hicolor/${size}x${size}/apps/redavave.png"
done
# Nothing of a developer's run folder: no log, no linked songs.
grep -E 'log\.txt|^l' <<<"$files" && fail "a log or a link in the package"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
names="$(tr ',' '\n' <<<"$depends" | awk '{print $1}')"
for package in libc6 libstdc++6 libsdl2-2.0-0 libgl1 libasound2; do
  grep -qxF "$package" <<<"$names" || fail "Depends lacks $package"
done
# PipeWire's library is recommended, not required: the game plays through
# PulseAudio's without it.
recommends="$(dpkg-deb -f "$deb" Recommends)"
echo "Recommends: $recommends"
grep -qE '(^|, )libpipewire-0\.3-0( |,|$)' <<<"$recommends" || fail "Recommends lacks libpipewire-0.3-0"
grep -qxF libpipewire-0.3-0 <<<"$names" && fail "Depends names libpipewire-0.3-0"
# The game's own FFmpeg comes with it, where the game looks for it, so apt
# brings no FFmpeg of Debian's (nor its hundred-odd libraries).
for library in avcodec avformat avutil swresample; do
  grep -qE "^-rw-r--r-- \./usr/lib/redavave/lib${library}_redavave\.so\.[0-9]+$" <<<"$files" ||
    fail "the game's own lib$library is not in usr/lib/redavave"
  grep -qxE "lib${library}[0-9]+" <<<"$names" && fail "Depends names Debian's lib$library"
done
unpacked="$out/unpacked"
dpkg-deb -x "$deb" "$unpacked"
readelf -d "$unpacked/usr/games/redavave" | grep -qF 'runpath: [$ORIGIN/../lib/redavave]' ||
  fail "the game does not look for its libraries in ../lib/redavave"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section is not games"

if command -v lintian >/dev/null; then
  report="$(lintian --allow-root "$deb" 2>&1)"
  echo "$report"
  grep -q '^E:' <<<"$report" && fail "lintian reports errors"
else
  fail "lintian is missing (scripts/install-deps.sh installs it)"
fi

# A dependency computation that fails stops the package with the tool's own words.
mkdir -p "$out/failing"
printf '#!/bin/sh\necho "dpkg-shlibdeps: error: no dependency information found for libmissing.so.1" >&2\nexit 2\n' \
  >"$out/failing/dpkg-shlibdeps"
chmod +x "$out/failing/dpkg-shlibdeps"
if message="$(PATH="$out/failing:$PATH" REDAVAVE_DIST="$out/failing" \
    bash "$source_dir/scripts/package.sh" linux "$build_dir" 2>&1)"; then
  fail "a package was made although dpkg-shlibdeps failed"
fi
grep -q "no dependency information found for libmissing.so.1" <<<"$message" ||
  fail "the failure of dpkg-shlibdeps is not shown: $message"

[ "$failures" -eq 0 ] && echo "OK: $deb"
exit "$failures"
