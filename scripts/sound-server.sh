#!/usr/bin/env bash
# A private PulseAudio for the tests that listen to the game: one null sink at
# 48 kHz float ("game"), whose monitor ("game.monitor") parec can record, and
# a unix socket of its own. Nothing from the user's own sound setup is read.
#
#   scripts/sound-server.sh start DIR   # prints the server address (unix:DIR/native)
#   scripts/sound-server.sh stop DIR
#
# The clients find it through PULSE_SERVER; the server never autospawns.
set -euo pipefail

command="${1:-}"
dir="${2:-}"
if [ -z "$command" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi

case "$command" in
  start)
    mkdir -p "$dir/home" "$dir/runtime"
    chmod 700 "$dir/runtime"
    # HOME and the runtime folders point inside DIR so that the server keeps
    # its cookie, state and lock there.
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" \
      PULSE_STATE_PATH="$dir/home" DISPLAY="" \
      pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no \
      --log-target=file:"$dir/server.log" \
      -L "module-null-sink sink_name=game format=float32le rate=48000 channels=2" \
      -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
      </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 1 100); do
      if PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; then
        # The server runs its sink's thread at real-time priority but its
        # main thread, which hands the clients' data on to the sink, at a
        # raised nice level only; behind busy test processes that thread came
        # late and the sink heard gaps that no client could prevent (a plain
        # client with 32 ms queued had ten in 20 s at load 11, none with this).
        # Where the system allows it (root), it gets real-time priority too.
        chrt -r -p 5 "$(cat "$dir/pid")" >/dev/null 2>&1 || true
        echo "unix:$dir/native"
        exit 0
      fi
      sleep 0.1
    done
    echo "sound-server.sh: PulseAudio did not start (see $dir/server.log)" >&2
    kill "$(cat "$dir/pid")" 2>/dev/null || true
    exit 1
    ;;
  stop)
    if [ -f "$dir/pid" ]; then
      pid="$(cat "$dir/pid")"
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$dir/pid"
    fi
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
