#!/usr/bin/env bash
# The deb-src entries scripts/windows-deps.sh adds to apt, derived from a
# fixture apt folder: the distribution's archive as apt-cache policy names it,
# entries copied whole (an inline key, Enabled: no before Types:), other
# archives and files apt ignores left out. apt itself then reads what was
# written: a disabled stanza gives apt nothing to fetch.
#   deb_src_test.sh <source dir>
set -uo pipefail
source_dir="$1"
fixture="$source_dir/tests/packaging/fixtures/apt"
# shellcheck source=../../scripts/apt-deb-src.sh
source "$source_dir/scripts/apt-deb-src.sh"
# shellcheck source=script_test.sh
source "$source_dir/tests/packaging/script_test.sh"
out="$scratch"

uris="$(archive_uris Debian <"$fixture/policy.txt")"
expected_uris="$(printf '%s\n' http://security.example.org/debian-security http://ftp.example.org/debian)"
[ "$uris" = "$expected_uris" ] || fail "the archive's URIs are:"$'\n'"$uris"

mkdir "$out/entries"
# shellcheck disable=SC2086 # one URI a word
write_deb_src_entries "$fixture/etc" "$out/entries" $uris || fail "nothing written"
for kind in sources list; do
  diff -u "$fixture/expected.$kind" "$out/entries/redavave-deb-src.$kind" || fail "the .$kind entries differ (above)"
done

# apt reads the entries as written: only the enabled ones give it something
# to fetch, and the inline key does not break the stanza.
mkdir -p "$out/lists/partial" "$out/cache/archives/partial" "$out/empty"
fetched="$(apt-get update --print-uris \
  -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$out/entries" \
  -o Dir::Etc::Trusted=/dev/null -o Dir::Etc::TrustedParts="$out/empty" \
  -o Dir::State::Lists="$out/lists" -o Dir::Cache="$out/cache" \
  -o Debug::NoLocking=true 2>&1)" || fail "apt does not read the entries: $fetched"
for suite in debian/dists/bookworm-updates debian/dists/bookworm-backports debian-security/dists/bookworm-security; do
  grep -q "example.org/$suite/main/source/Sources" <<<"$fetched" || fail "apt would not fetch $suite: $fetched"
done
grep -q "bookworm-proposed-updates" <<<"$fetched" && fail "the disabled stanza is on: $fetched"
grep -q "packages.example.com" <<<"$fetched" && fail "another archive's entry was copied: $fetched"

# No entry of the archive: nothing written, and the caller is told.
mkdir "$out/none"
if write_deb_src_entries "$fixture/etc" "$out/none" http://elsewhere.example.net/debian; then
  fail "entries written for an archive no entry names"
fi
[ -z "$(ls -A "$out/none")" ] || fail "files left for an archive no entry names: $(ls "$out/none")"

finish "deb-src entries as expected"
