# Functions that derive deb-src entries from apt's own binary entries, for
# scripts/windows-deps.sh (sourced). They only read the folders they are
# given and write into the folder they are given, so the tests run them on
# fixture folders.

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
