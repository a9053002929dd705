#!/usr/bin/env bash
# Runs a Windows program of the build under wine:
#   wine-run.sh <dll folders> <program> [args...]
# The DLL folders (SDL2 and FFmpeg), separated by ':' like PATH, go on wine's
# search path in that order. WINEPREFIX and WINEDEBUG come from the caller
# when set. The program's text-mode output ends its lines with CR LF; the CRs
# are dropped so that CTest reads test names and results as it does on Linux.
set -uo pipefail
search=""
IFS=':' read -r -a folders <<<"$1"
shift
for folder in "${folders[@]}"; do
  [ -n "$folder" ] && search="${search:+$search;}Z:${folder//\//\\}"
done
export WINEPATH="$search${WINEPATH:+;$WINEPATH}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
