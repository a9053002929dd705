# Functions that derive deb-src entries from apt's own binary entries, for
# the scripts that build libraries from Debian's sources (sourced). All but
# ensure_sources only read the folders they are given and write into the
# folder they are given, so the tests run them on fixture folders.

# undo_scratch: what the building scripts' exit traps call, however they
# stop: the caller's added_lists (apt files that apt did not take) and
# temporary (folders) go, so nothing is left but a finished cache entry.
undo_scratch() {
  if [ ${#added_lists[@]} -gt 0 ]; then
    log "removing ${added_lists[*]} again"
    "${sudo_cmd[@]}" rm -f "${added_lists[@]}"
    "${sudo_cmd[@]}" apt-get update -qq || true
  fi
  if [ ${#temporary[@]} -gt 0 ]; then
    rm -rf "${temporary[@]}"
  fi
}

# fresh_build_folders <work> <prefix>: both emptied for a new build, and
# removed by undo_scratch unless the build keeps the entry (keep_entry), so a
# build that stops leaves neither its work folder nor half a cache entry.
fresh_build_folders() {
  rm -rf "$1" "$2"
  mkdir -p "$1" "$2"
  temporary+=("$1" "$2")
}

# keep_entry <folder>: the finished cache entry stays; every other temporary
# folder still goes.
keep_entry() {
  local kept=() folder
  for folder in "${temporary[@]}"; do
    [ "$folder" = "$1" ] || kept+=("$folder")
  done
  temporary=("${kept[@]}")
}

# quiet <log> <command...>: runs a build step into <log>; shows the log's end
# and exits when it fails.
quiet() {
  local logfile="$1"
  shift
  "$@" >"$logfile" 2>&1 || { tail -n 40 "$logfile" >&2; exit 1; }
}

# src_version <package>: the newest source version apt knows for <package>;
# empty when it knows none.
src_version() {
  local listing
  listing="$(apt-cache showsrc --only-source "$1" 2>/dev/null)" || return 0
  awk '/^Version:/ { print $2 }' <<<"$listing" | sort -V | tail -n 1
}

# ensure_sources <source package>...
# Makes apt know the sources of the packages. apt itself says whether it knows
# them. When it does not, the machine's own binary entries for the
# distribution's archive are copied with the deb-src type (same URIs, suites,
# components, keys); entries of other archives are left alone. A copy that
# apt-get update does not take is removed again; one it takes stays for later
# builds, and the log says so. Two runs at once take turns: the second finds
# what the first added. Uses the caller's sudo_cmd
# (array), log (function), updated (1 once apt-get update ran), temporary
# (folders the caller's exit trap removes) and added_lists (apt files the
# caller's exit trap removes, emptied here once apt took them). Exits on failure.
ensure_sources() {
  local wanted=("$@")
  apt_knows_sources() {
    local p
    for p in "${wanted[@]}"; do
      [ -n "$(src_version "$p")" ] || return 1
    done
  }
  apt_knows_sources && return 0
  local origin archive apt_etc=/etc/apt/ entries f target turn
  eval "$(apt-config shell apt_etc Dir::Etc/d)"
  # Held on apt's folder of entries (any user can read it) until the entries
  # are in and apt has read them.
  exec {turn}<"${apt_etc%/}/sources.list.d"
  if ! flock -n "$turn"; then
    log "another run is changing apt's sources; waiting for it"
    flock "$turn"
  fi
  if ! apt_knows_sources && [ "$updated" -eq 0 ]; then
    "${sudo_cmd[@]}" apt-get update -qq
    updated=1
  fi
  if apt_knows_sources; then
    exec {turn}<&-
    return 0
  fi
  origin="$(. /etc/os-release && echo "${ID^}")"
  mapfile -t archive < <(apt-cache policy | archive_uris "$origin")
  if [ ${#archive[@]} -eq 0 ]; then
    log "apt lists no archive of $origin to take the sources of ${wanted[*]} from"
    exit 1
  fi
  entries="$(mktemp -d)"
  temporary+=("$entries")
  if ! write_deb_src_entries "${apt_etc%/}" "$entries" "${archive[@]}"; then
    log "no apt entry for ${archive[*]} to derive a deb-src entry from"
    exit 1
  fi
  log "apt knows no source packages: adding deb-src twins of the machine's own entries for"
  log "its distribution's archive${sudo_cmd[*]:+ through sudo}; they stay for later builds (delete them to undo):"
  for f in "$entries"/*; do
    target="${apt_etc%/}/sources.list.d/$(basename "$f")"
    if [ -e "$target" ]; then
      log "$target is there already and apt still knows no sources; see what it holds"
      exit 1
    fi
    log "$target:"
    sed 's/^/  /' "$f" >&2
    added_lists+=("$target")
    "${sudo_cmd[@]}" install -m 644 "$f" "$target"
  done
  if ! "${sudo_cmd[@]}" apt-get update -qq; then
    log "apt-get update failed with the deb-src entries"
    exit 1
  fi
  if ! apt_knows_sources; then
    log "apt knows no source for some of ${wanted[*]} even with the deb-src entries"
    exit 1
  fi
  added_lists=()
  exec {turn}<&-
}

# archive_uris <origin>
# Reads `apt-cache policy` on standard input and prints, one a line, the URIs
# whose Release file names <origin> (o=Debian): the distribution's own archive
# as apt itself saw it at its last update, whatever mirror the machine uses.
archive_uris() {
  awk -v origin="$1" '
    $1 ~ /^-?[0-9]+$/ && $2 ~ /:/ { uri = $2; sub(/\/+$/, "", uri); next }
    $1 == "release" && uri != "" {
      n = split($2, parts, ",")
      for (i = 1; i <= n; i++) if (parts[i] == "o=" origin && !seen[uri]++) print uri
      uri = ""
    }
  '
}

# write_deb_src_entries <apt config folder> <output folder> <uri>...
# For every binary entry apt reads from <apt config folder> (sources.list and
# sources.list.d/*.list in the one-line style, sources.list.d/*.sources in the
# deb822 style) that points at one of the <uri>s, writes the same entry with
# the deb-src type into <output folder>/redavave-deb-src.sources or .list.
# Entries are copied as they stand: every field and continuation line (an
# embedded Signed-By key), options in brackets, and Enabled: no wherever it
# is, so a disabled entry stays disabled. Files apt ignores (*.save, names
# with other characters) are ignored. Returns 1 when nothing was written.
write_deb_src_entries() {
  local etc="$1" out="$2"
  shift 2
  local allowed="$*"
  local deb822="$out/redavave-deb-src.sources" oneline="$out/redavave-deb-src.list"
  local f name
  : >"$deb822"
  : >"$oneline"
  for f in "$etc/sources.list" "$etc"/sources.list.d/*.list "$etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    name="$(basename "$f")"
    # apt reads only names of letters, digits, "_", "-" and ".".
    [[ "$name" =~ ^[A-Za-z0-9_.-]+$ ]] || continue
    case "$name" in
      *.sources) deb822_deb_src "$allowed" <"$f" >>"$deb822" ;;
      *) one_line_deb_src "$allowed" <"$f" >>"$oneline" ;;
    esac
  done
  [ -s "$deb822" ] || rm -f "$deb822"
  [ -s "$oneline" ] || rm -f "$oneline"
  [ -e "$deb822" ] || [ -e "$oneline" ]
}

# deb822_deb_src <allowed uris>: deb822 stanzas on standard input.
deb822_deb_src() {
  awk -v allowed="$1" '
    function norm(u) { sub(/\/+$/, "", u); return u }
    function value(i,   v) {  # a field value, continuation lines joined
      v = text[i]; sub(/^[^:]*:/, "", v); gsub(/[[:space:]]+/, " ", v); sub(/^ /, "", v); sub(/ $/, "", v)
      return v
    }
    function flush(   i, j, n, w, key, isdeb, uris, kept) {
      isdeb = 0; kept = ""
      for (i = 1; i <= count; i++) {
        key = tolower(field[i])
        if (key == "types") {
          n = split(value(i), w, " ")
          for (j = 1; j <= n; j++) if (w[j] == "deb") isdeb = 1
        } else if (key == "uris") {
          n = split(value(i), w, " ")
          for (j = 1; j <= n; j++) if (norm(w[j]) in ok) kept = kept (kept == "" ? "" : " ") w[j]
        }
      }
      if (isdeb && kept != "") {
        for (i = 1; i <= count; i++) {
          key = tolower(field[i])
          if (key == "types") print "Types: deb-src"
          else if (key == "uris") print "URIs: " kept
          else print text[i]
        }
        print ""
      }
      count = 0
    }
    BEGIN {
      n = split(allowed, w, " ")
      for (i = 1; i <= n; i++) ok[norm(w[i])] = 1
      count = 0
    }
    /^#/ { next }
    /^[[:space:]]*$/ { flush(); next }
    /^[[:space:]]/ { if (count > 0) text[count] = text[count] "\n" $0; next }
    {
      count++
      field[count] = $0; sub(/:.*/, "", field[count])
      text[count] = $0
    }
    END { flush() }
  '
}

# one_line_deb_src <allowed uris>: "deb [options] uri suite components" lines
# on standard input.
one_line_deb_src() {
  awk -v allowed="$1" '
    function norm(u) { sub(/\/+$/, "", u); return u }
    BEGIN { n = split(allowed, w, " "); for (i = 1; i <= n; i++) ok[norm(w[i])] = 1 }
    {
      line = $0
      sub(/#.*/, "", line)
      if (line !~ /^[[:space:]]*deb[[:space:]]/) next
      rest = line
      sub(/^[[:space:]]*deb[[:space:]]+/, "", rest)
      if (rest ~ /^\[/) { sub(/^\[[^]]*\][[:space:]]*/, "", rest) }
      split(rest, parts, /[[:space:]]+/)
      if (!(norm(parts[1]) in ok)) next
      sub(/deb/, "deb-src", line)
      sub(/[[:space:]]+$/, "", line)
      print line
    }
  '
}
