#!/usr/bin/env bash
# Installs the Debian packages the game, its tests and its tools need.
# Idempotent; runs apt-get only when something is missing. Root or sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libsdl2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev nasm
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
  libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool libxtst-dev imagemagick x11-utils ffmpeg
  xfonts-base pulseaudio pulseaudio-utils
  libpipewire-0.3-dev pipewire pipewire-bin pipewire-pulse wireplumber libspa-0.2-modules dbus-daemon
  dpkg-dev lintian desktop-file-utils appstream openbox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
# The variable is set inside sudo: sudo does not pass it on.
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
