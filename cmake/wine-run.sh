#!/usr/bin/env bash
# Runs a Windows program of the build under wine: wine-run.sh <dll folder> <program> [args...]
# The DLL folder (SDL2 and FFmpeg) goes on wine's search path. WINEPREFIX and
# WINEDEBUG come from the caller when set. The program's text-mode output ends
# its lines with CR LF; the CRs are dropped so that CTest reads test names and
# results as it does on Linux.
set -uo pipefail
dlls="$1"
shift
export WINEPATH="Z:${dlls//\//\\}${WINEPATH:+;$WINEPATH}"
export WINEDEBUG="${WINEDEBUG:--all}"
wine "$@" | tr -d '\r'
exit "${PIPESTATUS[0]}"
