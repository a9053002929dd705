#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build with
# all tests under a private Xvfb, then the unit tests under ASan and UBSan, then
# the fuzz targets' short runs when there are any, then the Windows build with
# its tests under wine (REDAVAVE_SKIP_WINDOWS=1 leaves it out). Stops at the
# first failure.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc 2>/dev/null || echo 2)"

bash scripts/install-deps.sh

# Runs ctest, keeps its output, and adds its counts to the run's totals.
passed_total=0
ctest_log="$(mktemp)"
# Undone however the run ends; stop_servers is set once the servers run.
stop_servers() { :; }
finish() {
  stop_servers
  rm -f "$ctest_log"
}
trap finish EXIT
run_ctest() {
  ctest "$@" 2>&1 | tee "$ctest_log"
  local summary
  summary="$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$ctest_log" | tail -n 1)"
  local total="${summary##* out of }"
  passed_total=$((passed_total + total))
}

has_target() {  # has_target <build dir> <target>
  ninja -C "$1" -t targets all 2>/dev/null | grep -q "^$2:"
}

echo "== Build (RelWithDebInfo) in build/"
stage_start=$SECONDS
# The game's own FFmpeg (built once from Debian's sources, then cached).
ffmpeg="$(bash scripts/ffmpeg-linux.sh | tail -n 1)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDAVAVE_FFMPEG_DIR="$ffmpeg"
cmake --build build -j "$jobs"
if has_target build resources; then
  cmake --build build --target resources -j "$jobs"
fi

# A private X server on a display number nobody uses.
display=""
for n in $(seq 71 199); do
  if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
    display=":${n}"
    break
  fi
done
if [ -z "$display" ]; then
  echo "test.sh: no free X display number found" >&2
  exit 1
fi
# -noreset: by default the server resets whenever its last client leaves, and a
# game starting during that reset finds no display.
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
# A private sound server of each kind for the tests that listen to the game;
# stopped with the X server however the run ends.
sound_dir="$(mktemp -d /tmp/redavave-sound-XXXXXX)"
pipewire_dir="$(mktemp -d /tmp/redavave-pipewire-XXXXXX)"
stop_servers() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
  fi
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  bash "$root/scripts/sound-server.sh" stop "$sound_dir" || true
  bash "$root/scripts/sound-server.sh" stop "$pipewire_dir" || true
  rm -rf "$sound_dir" "$pipewire_dir"
}
for _ in $(seq 1 100); do
  if xdpyinfo -display "$display" >/dev/null 2>&1; then
    break
  fi
  sleep 0.1
done
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  echo "test.sh: Xvfb did not start on $display" >&2
  exit 1
fi
export DISPLAY="$display"
export SDL_AUDIODRIVER=dummy
# Tests that listen to the game play through these servers instead of the
# dummy driver: PulseAudio, and PipeWire, reached through its own socket and
# through pipewire-pulse.
REDAVAVE_SOUND_SERVER="$(bash scripts/sound-server.sh start "$sound_dir" pulseaudio)"
REDAVAVE_PIPEWIRE_SERVER="$(bash scripts/sound-server.sh start "$pipewire_dir" pipewire)"
REDAVAVE_PIPEWIRE_REMOTE="$(bash scripts/sound-server.sh remote "$pipewire_dir")"
export REDAVAVE_SOUND_SERVER REDAVAVE_PIPEWIRE_SERVER REDAVAVE_PIPEWIRE_REMOTE
unset WAYLAND_DISPLAY || true

echo "== Tests (display $DISPLAY)"
# The Windows game's tests under wine are the Windows stage's (below).
run_ctest --test-dir build --output-on-failure -j "$jobs" -LE wine
echo "Build and tests in $((SECONDS - stage_start)) s"

echo "== ASan + UBSan build in build-asan/ (unit tests)"
stage_start=$SECONDS
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDAVAVE_SANITIZE=ON -DREDAVAVE_BENCH=OFF \
  -DREDAVAVE_FFMPEG_DIR="$ffmpeg"
cmake --build build-asan -j "$jobs"
# The GL driver and the X libraries keep some allocations for the life of the
# process; those are theirs, not ours.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE e2e
echo "ASan + UBSan stage in $((SECONDS - stage_start)) s"

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== Fuzz targets (clang) in build-fuzz/"
  stage_start=$SECONDS
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DREDAVAVE_FUZZ=ON -DREDAVAVE_GAME=OFF -DREDAVAVE_BENCH=OFF
  cmake --build build-fuzz -j "$jobs"
  run_ctest --test-dir build-fuzz --output-on-failure -j "$jobs" --no-tests=error
  echo "Fuzz stage in $((SECONDS - stage_start)) s"
fi

if [ "${REDAVAVE_SKIP_WINDOWS:-0}" != "1" ]; then
  echo "== Windows build (mingw-w64) in build-windows/, tests under wine"
  stage_start=$SECONDS
  deps="$(bash scripts/windows-deps.sh | tail -n 1)"
  echo "Windows dependencies ready in $((SECONDS - stage_start)) s"
  # A wine prefix of this run's own, made once: wine is slow to set one up.
  export WINEPREFIX="$root/build-windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p build-windows
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i
  fi
  step=$SECONDS
  cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DREDAVAVE_WINDOWS_DEPS="$deps" \
    -DREDAVAVE_NATIVE_RESOURCES="$root/build/run/resources" -DREDAVAVE_BENCH=OFF
  cmake --build build-windows -j "$jobs"
  echo "Windows build in $((SECONDS - step)) s"
  step=$SECONDS
  run_ctest --test-dir build-windows --output-on-failure -j "$jobs" --no-tests=error
  echo "Windows unit tests under wine in $((SECONDS - step)) s"
  # The end-to-end tests drive the Windows game from a native test program.
  step=$SECONDS
  cmake -S . -B build -DREDAVAVE_WINDOWS_GAME_DIR="$root/build-windows/run"
  cmake --build build --target wine_e2e_tests -j "$jobs"
  run_ctest --test-dir build --output-on-failure -L wine --no-tests=error
  echo "Windows end-to-end tests under wine in $((SECONDS - step)) s"
  echo "Windows stage in $((SECONDS - stage_start)) s"
fi

echo "== All stages"
echo "${passed_total} passed, 0 failed"
