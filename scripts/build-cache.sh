# The caches of the libraries built from Debian's sources (sourced by
# ffmpeg-linux.sh and windows-deps.sh): the key of an entry, and the lock that
# keeps two runs (run.sh while test.sh builds) from building one entry at once.

# cache_key: reads on standard input everything that shapes a build (the
# recipe's scripts, its configure options, the versions of the sources and of
# the tools) and prints the key of its entry: the SHA-256 of all that in hex.
# Any change gives another entry, and no two inputs share a name by the way
# their characters are written.
cache_key() {
  sha256sum | cut -d ' ' -f 1
}

# installed_versions <package>...: "package version" a line, as dpkg knows
# them ("package none" for one not installed), for the key.
installed_versions() {
  local p state
  for p in "$@"; do
    state="$(dpkg-query -W -f='${Status}|${Version}' "$p" 2>/dev/null)" || state=""
    case "$state" in
      "install ok installed|"*) echo "$p ${state#*|}" ;;
      *) echo "$p none" ;;
    esac
  done
}

# lock_cache_entry <cache root> <key>: takes the entry's lock
# (<cache root>/<key>.lock) and holds it until the script ends. While another
# run holds it (building that entry), says so and waits: the caller then
# finds that run's finished entry and takes it. Uses the caller's log.
lock_cache_entry() {
  mkdir -p "$1"
  exec {cache_lock}>"$1/$2.lock"
  if ! flock -n "$cache_lock"; then
    log "another run is building $1/$2; waiting for it"
    flock "$cache_lock"
  fi
}
