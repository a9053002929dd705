#!/usr/bin/env bash
# The desktop entry's command, run as a desktop runs it with its standard output
# going into the session's journal (here a pipe), starts the game with standard
# output dropped and standard error kept.
set -euo pipefail
entry="$1"
fake="$(mktemp -d)"
trap 'rm -rf "$fake"' EXIT
cat > "$fake/redavave" <<'GAME'
#!/bin/sh
echo "ChunkID: 4d4d"
echo "the game's error line" >&2
GAME
chmod +x "$fake/redavave"

command="$(sed -n 's/^Exec=//p' "$entry")"
# The entry's quoting is the shell's for the characters it uses.
out="$(PATH="$fake:$PATH" eval "$command" 2>"$fake/err")"
err="$(cat "$fake/err")"
if [ -n "$out" ]; then
  echo "standard output reached the journal: $out" >&2
  exit 1
fi
if [ "$err" != "the game's error line" ]; then
  echo "standard error was lost: '$err'" >&2
  exit 1
fi
echo "ok: $command"
