#!/usr/bin/env bash
# Installs what is missing, builds the game and its resources, and starts it.
#
#   ./scripts/run.sh [--music DIR] [game options such as -window -devmode]
#
# --music DIR (or REDAVAVE_MUSIC=DIR) links the songs found directly in DIR
# (mp3, mp2, ogg, flac, wma) into the game's music folder before it starts.
# --trace (or REDAVAVE_TRACE=1) shows the trace of the model files the game
# reads on standard output; without it the game's standard output is dropped.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc 2>/dev/null || echo 2)"

music="${REDAVAVE_MUSIC:-}"
game_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --music)
      [ $# -ge 2 ] || { echo "run.sh: --music needs a folder" >&2; exit 2; }
      music="$2"
      shift 2
      ;;
    --music=*)
      music="${1#--music=}"
      shift
      ;;
    --trace)
      REDAVAVE_TRACE=1
      shift
      ;;
    *)
      game_args+=("$1")
      shift
      ;;
  esac
done

bash scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target redavave -j "$jobs"
if ninja -C build -t targets all 2>/dev/null | grep -q '^resources:'; then
  cmake --build build --target resources -j "$jobs"
fi

run_dir="$root/build/run"
mkdir -p "$run_dir/resources/Music"
if [ -n "$music" ]; then
  if [ ! -d "$music" ]; then
    echo "run.sh: music folder '$music' does not exist" >&2
    exit 2
  fi
  # The links of an earlier --music go first; the generated songs are files
  # and stay. One ln for all the songs, so that a big collection links quickly;
  # names that start with a dash or hold any other character are taken as they
  # are, and a song named like a generated one leaves that one in place.
  dest="$run_dir/resources/Music"
  find "$dest" -maxdepth 1 -type l -delete
  music="$(realpath -- "$music")"
  find "$music" -maxdepth 1 -xtype f \( -iname '*.mp3' -o -iname '*.mp2' -o -iname '*.ogg' \
      -o -iname '*.flac' -o -iname '*.wma' \) -exec ln -s -t "$dest" -- {} + 2>/dev/null || true
  linked="$(find "$dest" -maxdepth 1 -type l | wc -l)"
  echo "run.sh: linked $linked song(s) from $music"
fi

cd "$run_dir"
if [ -z "${REDAVAVE_TRACE:-}" ]; then
  exec ./redavave "${game_args[@]+"${game_args[@]}"}" >/dev/null
fi
# The game writes its trace only into a file or a pipe, never to a terminal.
./redavave "${game_args[@]+"${game_args[@]}"}" | cat
