#!/usr/bin/env bash
# Installs what is missing, builds the game and its resources, and starts it.
#
#   ./scripts/run.sh [--music DIR] [game options such as -window -devmode]
#
# REDAVAVE_BUILD_DIR names the build folder (default: build).
# --music DIR (or REDAVAVE_MUSIC=DIR) has the game search DIR and its
# subfolders for songs too, beside its own music folder; nothing is linked.
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

build="${REDAVAVE_BUILD_DIR:-$root/build}"
# The game's own FFmpeg (built once from Debian's sources, then cached).
ffmpeg="$(bash scripts/ffmpeg-linux.sh | tail -n 1)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDAVAVE_FFMPEG_DIR="$ffmpeg" >/dev/null
cmake --build "$build" --target redavave -j "$jobs"
if ninja -C "$build" -t targets all 2>/dev/null | grep -q '^resources:'; then
  cmake --build "$build" --target resources -j "$jobs"
fi

run_dir="$build/run"
mkdir -p "$run_dir/resources/Music"
dest="$run_dir/resources/Music"
if [ -n "$music" ]; then
  if [ ! -d "$music" ]; then
    echo "run.sh: music folder '$music' does not exist" >&2
    exit 2
  fi
  REDAVAVE_MUSIC="$(realpath -- "$music")"
  export REDAVAVE_MUSIC
  # Earlier versions of this script linked each song of DIR into the game's
  # music folder, under the song's own name and to its absolute path in DIR.
  # Those links go, once: they would list the songs twice. No other link is
  # touched, and nothing is removed through a linked music folder.
  if [ ! -L "$dest" ] && [ ! -L "$run_dir/resources" ]; then
    find "$dest" -maxdepth 1 -type l -print0 | while IFS= read -r -d '' link; do
      target="$(readlink -- "$link")"
      if [ "$target" = "$REDAVAVE_MUSIC/${link##*/}" ]; then
        rm -f -- "$link"
      fi
    done
  fi
  echo "run.sh: songs from $REDAVAVE_MUSIC and its subfolders"
fi

cd "$run_dir"
if [ -z "${REDAVAVE_TRACE:-}" ]; then
  exec ./redavave "${game_args[@]+"${game_args[@]}"}" >/dev/null
fi
# The game writes its trace only into a file or a pipe, never to a terminal.
./redavave "${game_args[@]+"${game_args[@]}"}" | cat
