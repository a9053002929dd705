#!/usr/bin/env bash
# The build caches of scripts/ffmpeg-linux.sh and scripts/windows-deps.sh, run
# for real on an empty scratch cache with stand-ins for apt, dpkg and the build
# tools that take no time: two runs at once build an entry once (the second
# waits for the first and takes its result), a later run reuses it, and a
# change to what shapes the build makes a new entry, also where the old keys
# folded two versions into one name.
#   build_cache_test.sh <source dir> linux|windows
set -uo pipefail
source_dir="$1"
kind="$2"
# shellcheck source=script_test.sh
source "$source_dir/tests/packaging/script_test.sh"

case "$kind" in
  linux) script=ffmpeg-linux.sh cache_variable=REDAVAVE_FFMPEG_CACHE started="building FFmpeg" ;;
  windows)
    script=windows-deps.sh cache_variable=REDAVAVE_WINDOWS_DEPS_CACHE started="fetching sources"
    # The script ships this DLL of the cross toolchain from where it is installed.
    if [ ! -f /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll ]; then
      echo "mingw-w64 is not installed yet (scripts/windows-deps.sh installs it)"
      exit 77
    fi
    ;;
  *) echo "linux or windows, not $kind" >&2; exit 2 ;;
esac

fakes="$scratch/bin"
state="$scratch/state"
cache="$scratch/cache"
mkdir -p "$fakes" "$state" "$scratch/tmp"
fake() { cat >"$fakes/$1"; chmod +x "$fakes/$1"; }

# The source versions apt knows, "package version" a line: on Linux none until
# apt has read a deb-src entry in the fixture's apt folder, which the first
# run adds (the second waits for it while the first's apt-get update runs).
printf '%s\n' "ffmpeg 7:5.1.9-0+deb12u1" "libsdl2 2.26.5+dfsg-1" "lame 3.100-6" "libogg 1.3.5-3" \
  "libvorbis 1.3.7-1" >"$state/sources"
touch "$state/versions"
[ "$kind" = linux ] || cp "$state/sources" "$state/versions"
cp -r "$source_dir/tests/packaging/fixtures/apt/etc" "$scratch/etc"
fake apt-config <<EOF2
#!/usr/bin/env bash
echo "apt_etc='$scratch/etc/'"
EOF2
fake apt-cache <<EOF2
#!/usr/bin/env bash
case "\$1" in
  policy) cat "$source_dir/tests/packaging/fixtures/apt/policy.txt" ;;
  showsrc) awk -v p="\${!#}" '\$1 == p { print "Package: " p; print "Version: " \$2 }' "$state/versions" ;;
esac
EOF2
fake apt-get <<EOF2
#!/usr/bin/env bash
case "\$1" in
  update)
    if compgen -G "$scratch/etc/sources.list.d/redavave-deb-src.*" >/dev/null; then
      for _ in \$(seq 1 1200); do [ -e "$state/apt-go" ] && break; sleep 0.1; done
      cp "$state/sources" "$state/versions"
    fi
    ;;
  source)
    for wanted in "\$@"; do
      case "\$wanted" in *=*) echo "\$wanted" >"\${wanted%%=*}_\${wanted#*=}.dsc" ;; esac
    done
    ;;
esac
EOF2
fake sudo <<'EOF2'
#!/usr/bin/env bash
exec "$@"
EOF2
# Unpacks a source tree with a configure that notes its prefix and options.
fake dpkg-source <<'EOF2'
#!/usr/bin/env bash
dsc="${!#}"
tree="${dsc%%_*}-1.0"
mkdir -p "$tree"
printf '%s\n' '#!/usr/bin/env bash' \
  'for o in "$@"; do case "$o" in --prefix=*) echo "${o#--prefix=}" >config.prefix ;; esac; done' \
  'printf "%s\n" "$@" >config.options' >"$tree/configure"
chmod +x "$tree/configure"
for lib in avutil avcodec avformat swresample; do
  mkdir -p "$tree/lib$lib"
  echo "LIB${lib^^}_MAJOR {" >"$tree/lib$lib/lib$lib.v"
done
EOF2
# Building notes itself and waits for the test's word; installing puts the
# libraries under the configured prefix.
fake make <<EOF2
#!/usr/bin/env bash
if [ "\$1" != install ]; then
  echo "making in \$PWD" >>"$state/making"
  for _ in \$(seq 1 1200); do [ -e "$state/go" ] && exit 0; sleep 0.1; done
  exit 1
fi
prefix="\$(cat config.prefix)"
mkdir -p "\$prefix/lib" "\$prefix/bin" "\$prefix/include"
cp config.options "\$prefix/options"
for lib in avutil avcodec avformat swresample; do
  touch "\$prefix/lib/lib\${lib}_redavave.so" "\$prefix/bin/\$lib.dll"
done
EOF2
fake readelf <<'EOF2'
#!/usr/bin/env bash
lib="$(basename "${!#}" .so)"
lib="${lib#lib}"
lib="${lib%_redavave}"
echo "1: 0000 0 FUNC GLOBAL DEFAULT 1 av_call@@LIB${lib^^}_REDAVAVE_1"
EOF2
fake cmake <<'EOF2'
#!/usr/bin/env bash
exit 0
EOF2
echo 1.0 >"$state/tool-version"
fake dpkg-query <<EOF2
#!/usr/bin/env bash
format=""
for a in "\$@"; do case "\$a" in -f=*) format="\${a#-f=}" ;; esac; done
format="\${format//'\${Status}'/install ok installed}"
printf '%s' "\${format//'\${Version}'/\$(cat "$state/tool-version")}"
EOF2

# run <name> [scripts folder]: one run of the script in the background, its
# output in <name>.out and <name>.err.
run() {
  local scripts="${2:-$source_dir/scripts}"
  PATH="$fakes:$PATH" TMPDIR="$scratch/tmp" env "$cache_variable=$cache" bash "$scripts/$script" \
    >"$state/$1.out" 2>"$state/$1.err" &
  eval "pid_$1=$!"
}
# finished <name>: waits for the run; its folder in $folder, or a failure.
finished() {
  local pid="pid_$1"
  if ! wait "${!pid}"; then
    fail "run $1 failed:"$'\n'"$(cat "$state/$1.err")"
  fi
  folder="$(tail -n 1 "$state/$1.out")"
}
# within <seconds> <command...>: true once the command is, false when it is not in time.
within() {
  local tenths=$(($1 * 10))
  shift
  for _ in $(seq 1 "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
# builds: how many runs have started a build.
builds() { cat "$state"/*.err | grep -c "$started"; }

# Two first builds at once: the second waits for the first and takes its
# entry. On Linux apt first knows no sources: the first run adds the deb-src
# entry and says so, the second waits until apt has read it.
run first
if [ "$kind" = linux ]; then
  within 120 grep -qs "they stay for later builds" "$state/first.err" ||
    fail "the first run did not say it adds a deb-src entry:"$'\n'"$(cat "$state/first.err")"
  run second
  within 120 grep -qs "waiting for it" "$state/second.err" ||
    fail "the second run did not wait for apt's sources:"$'\n'"$(cat "$state/second.err")"
  touch "$state/apt-go"
  [ -f "$scratch/etc/sources.list.d/redavave-deb-src.sources" ] || fail "no deb-src entry was added"
  # Either run may come to the build first; the other waits for it.
  within 120 grep -qs "building .*; waiting for it" "$state/first.err" "$state/second.err" ||
    fail "neither run waited for the other's build:"$'\n'"$(cat "$state/first.err" "$state/second.err")"
  touch "$state/go"
else
  within 120 test -s "$state/making" || fail "the first run never came to building:"$'\n'"$(cat "$state/first.err")"
  run second
  within 120 grep -qs "waiting for it" "$state/second.err" ||
    fail "the second run did not wait for the first:"$'\n'"$(cat "$state/second.err")"
  touch "$state/go"
fi
finished first
first="$folder"
finished second
second="$folder"
[[ "$first" =~ ^$cache/[0-9a-f]{64}$ ]] || fail "the entry's folder is $first"
[ "$second" = "$first" ] || fail "the second run gave $second, the first $first"
[ -f "$first/.complete" ] || fail "the entry is not complete: $(ls -A "$first")"
[ "$(cat "$state/first.err" "$state/second.err" | grep -c "taking $first, which the other run built")" -eq 1 ] ||
  fail "not one run said it took the other's entry:"$'\n'"$(cat "$state/first.err" "$state/second.err")"
added="$(cat "$state/first.err" "$state/second.err" | grep -c "apt knows no source packages: adding")"
if [ "$kind" = linux ] && [ "$added" -ne 1 ]; then
  fail "$added runs added deb-src entries"
fi
[ "$(builds)" -eq 1 ] || fail "built $(builds) times"
leftovers="$(find "$cache" "$scratch/tmp" -mindepth 1 -maxdepth 1 ! -path "$first" ! -path "$first.lock")"
[ -z "$leftovers" ] || fail "left behind: $leftovers"

# The same inputs: the entry is reused.
run again
finished again
[ "$folder" = "$first" ] || fail "a later run did not reuse $first"
[ "$(builds)" -eq 1 ] || fail "a later run built again"

# rebuilt <name> <what changed> [scripts folder]: a run that must build a new
# entry (in $folder).
rebuilt() {
  local before
  before="$(builds)"
  run "$1" "${3:-}"
  finished "$1"
  [ "$folder" != "$first" ] || fail "$2: the old entry was reused"
  [ -f "$folder/.complete" ] || fail "$2: no complete entry in $folder"
  [ "$(builds)" -gt "$before" ] || fail "$2: nothing was built"
}

if [ "$kind" = linux ]; then
  # Another component, added to the list the game's FFmpeg is configured with.
  mkdir -p "$scratch/changed"
  cp -r "$source_dir/scripts" "$scratch/changed/"
  echo 'ffmpeg_game_options+=(--enable-demuxer=wv)' >>"$scratch/changed/scripts/ffmpeg-components.sh"
  rebuilt component "a component added" "$scratch/changed/scripts"
  grep -qx -- "--enable-demuxer=wv" "$folder/options" || fail "the added component was not configured"
  # A source version that the old keys wrote like another: 7:5.1 and 7_5.1.
  sed -i 's/^ffmpeg 7:/ffmpeg 7_/' "$state/versions"
  rebuilt version "a source version differing in one character"
else
  # A helper library's version, and a toolchain package's.
  sed -i 's/^lame .*/lame 3.100-7/' "$state/versions"
  rebuilt helper "the LAME version"
  sed -i 's/^lame .*/lame 3.100-6/' "$state/versions"
  echo 1.1 >"$state/tool-version"
  rebuilt toolchain "a toolchain package version"
fi

finish "$script: one build for two runs at once, reused, rebuilt on a new key"
