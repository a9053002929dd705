#!/usr/bin/env bash
# A private sound server for the tests that listen to the game: one null sink
# at 48 kHz float ("game"), whose monitor ("game.monitor") parec can record,
# and a unix socket of its own. Nothing from the user's own sound setup is
# read.
#
#   scripts/sound-server.sh start DIR [pulseaudio|pipewire]
#                                       # prints the address clients give in PULSE_SERVER
#   scripts/sound-server.sh remote DIR  # PipeWire: prints its own socket, for PIPEWIRE_REMOTE
#   scripts/sound-server.sh stop DIR    # whatever start started there
#   scripts/sound-server.sh stop-pulse DIR   # PipeWire: only pipewire-pulse
#   scripts/sound-server.sh start-pulse DIR  # PipeWire: pipewire-pulse again
#   scripts/sound-server.sh stop-session DIR # PipeWire: only wireplumber, so
#                                            # that no new stream is linked
#
# pulseaudio (the default): PulseAudio itself, at unix:DIR/native.
# pipewire: Debian's PipeWire stack as a desktop runs it (pipewire,
# wireplumber and pipewire-pulse, with a session bus of their own), at
# unix:DIR/runtime/pulse/native; its own socket for PipeWire's clients is
# DIR/runtime/pipewire-0.
#
# PulseAudio's clients find it through PULSE_SERVER, PipeWire's through
# PIPEWIRE_REMOTE; the server never autospawns.
set -euo pipefail

command="${1:-}"
dir="${2:-}"
kind="${3:-pulseaudio}"
usage() {
  echo "usage: $0 start DIR [pulseaudio|pipewire] | remote DIR | stop DIR | stop-pulse DIR | start-pulse DIR" \
    "| stop-session DIR" >&2
  exit 2
}
if [ -z "$command" ] || [ -z "$dir" ]; then
  usage
fi

# waits until a PulseAudio client gets an answer at $1 and "game" is its
# default sink (on PipeWire, once wireplumber has chosen it); false after ten
# seconds.
answers() {
  for _ in $(seq 1 100); do
    if [ "$(PULSE_SERVER="$1" pactl get-default-sink 2>/dev/null)" = game ]; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# stop_pids FILE: ends the processes listed in FILE (last started first).
stop_pids() {
  [ -f "$1" ] || return 0
  local pid
  for pid in $(tac "$1"); do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $(tac "$1"); do
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  done
  rm -f "$1"
}

# The environment every process of the PipeWire stack runs in: its folders
# inside DIR, its own session bus, nothing of the user's.
stack_env=(-u PULSE_SERVER -u PIPEWIRE_REMOTE -u PIPEWIRE_RUNTIME_DIR -u WAYLAND_DISPLAY
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config"
  XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/data" DISPLAY=""
  DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus")

# The sink and the rates, as drop-ins over Debian's own configuration.
write_pipewire_config() {
  mkdir -p "$dir/config/pipewire/pipewire.conf.d" "$dir/config/wireplumber/main.lua.d" \
    "$dir/config/wireplumber/bluetooth.lua.d"
  cat >"$dir/config/pipewire/pipewire.conf.d/game.conf" <<'EOF'
context.properties = {
    default.clock.rate = 48000
    default.clock.allowed-rates = [ 48000 ]
}
context.objects = [
    {   factory = adapter
        args = {
            factory.name = support.null-audio-sink
            node.name = game
            node.description = game
            media.class = Audio/Sink
            audio.format = F32
            audio.rate = 48000
            audio.channels = 2
            audio.position = [ FL FR ]
            monitor.channel-volumes = true
            object.linger = true
        }
    }
]
EOF
  # No sound cards, cameras or Bluetooth to look for.
  cat >"$dir/config/wireplumber/main.lua.d/60-game.lua" <<'EOF'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
  cat >"$dir/config/wireplumber/bluetooth.lua.d/60-game.lua" <<'EOF'
bluez_monitor.enabled = false
EOF
}

# start_logged NAME COMMAND...: one process of the stack, its log in DIR.
start_logged() {
  local name="$1"
  shift
  env "${stack_env[@]}" "$@" </dev/null >"$dir/$name.log" 2>&1 &
  echo $! >>"$dir/pids"
}

# Either server runs its data threads at real-time priority but its main
# thread, which hands the clients' data on to them, at a raised nice level
# only; behind busy test processes that thread came late and the sink heard
# gaps that no client could prevent (on PulseAudio a plain client with 32 ms
# queued had ten in 20 s at load 11; on pipewire-pulse the game had 7 in a
# minute at load 12; none with this). Where the system allows it (root), it
# gets real-time priority too.
raise_main_thread() {
  chrt -r -p 5 "$(head -n 1 "$1")" >/dev/null 2>&1 || true
}

# start_pipewire_pulse: prints its address once it answers; false when it
# does not.
start_pipewire_pulse() {
  env "${stack_env[@]}" pipewire-pulse </dev/null >"$dir/pipewire-pulse.log" 2>&1 &
  echo $! >"$dir/pulse-pid"
  local address="unix:$dir/runtime/pulse/native"
  answers "$address" || return 1
  raise_main_thread "$dir/pulse-pid"
  echo "$address"
}

case "$command" in
  start)
    mkdir -p "$dir/home" "$dir/runtime" "$dir/state" "$dir/data"
    chmod 700 "$dir/runtime"
    case "$kind" in
      pulseaudio)
        # HOME and the runtime folders point inside DIR so that the server keeps
        # its cookie, state and lock there.
        HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" \
          PULSE_STATE_PATH="$dir/home" DISPLAY="" \
          pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no \
          --log-target=file:"$dir/server.log" \
          -L "module-null-sink sink_name=game format=float32le rate=48000 channels=2" \
          -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
          </dev/null >/dev/null 2>&1 &
        echo $! >"$dir/pids"
        address="unix:$dir/native"
        if answers "$address"; then
          raise_main_thread "$dir/pids"
          echo "$address"
          exit 0
        fi
        echo "sound-server.sh: PulseAudio did not start (see $dir/server.log)" >&2
        ;;
      pipewire)
        write_pipewire_config
        rm -f "$dir/runtime/bus"
        start_logged dbus dbus-daemon --session --nofork --nopidfile --address="unix:path=$dir/runtime/bus"
        for _ in $(seq 1 50); do
          [ -S "$dir/runtime/bus" ] && break
          sleep 0.1
        done
        # PipeWire's own module gives its data threads real-time priority
        # where the system allows it (root, or a real-time limit).
        start_logged pipewire pipewire
        for _ in $(seq 1 50); do
          [ -S "$dir/runtime/pipewire-0" ] && break
          sleep 0.1
        done
        start_logged wireplumber wireplumber
        tail -n 1 "$dir/pids" >"$dir/session-pid"
        if start_pipewire_pulse; then
          exit 0
        fi
        echo "sound-server.sh: PipeWire did not start (see the logs in $dir)" >&2
        ;;
      *)
        usage
        ;;
    esac
    stop_pids "$dir/pulse-pid"
    stop_pids "$dir/pids"
    exit 1
    ;;
  remote)
    if [ ! -S "$dir/runtime/pipewire-0" ]; then
      echo "sound-server.sh: no PipeWire runs in $dir" >&2
      exit 1
    fi
    echo "$(cd "$dir" && pwd)/runtime/pipewire-0"
    ;;
  stop)
    stop_pids "$dir/pulse-pid"
    stop_pids "$dir/pids"
    ;;
  stop-pulse)
    stop_pids "$dir/pulse-pid"
    ;;
  stop-session)
    stop_pids "$dir/session-pid"
    ;;
  start-pulse)
    if start_pipewire_pulse; then
      exit 0
    fi
    echo "sound-server.sh: pipewire-pulse did not start (see $dir/pipewire-pulse.log)" >&2
    stop_pids "$dir/pulse-pid"
    exit 1
    ;;
  *)
    usage
    ;;
esac
