#!/usr/bin/env bash
# The check package.sh makes before it zips the Windows game: every DLL a
# shipped module imports is in the zip or part of Windows. The fixture lists
# imports as objdump shows them; a zlib1.dll the zip lacks must fail, by name.
#   dll_check_test.sh <source dir>
set -uo pipefail
source_dir="$1"
imports="$source_dir/tests/packaging/fixtures/dlls/imports.txt"
# shellcheck source=../../scripts/windows-dlls.sh
source "$source_dir/scripts/windows-dlls.sh"
# shellcheck source=script_test.sh
source "$source_dir/tests/packaging/script_test.sh"
zip="$scratch"

touch "$zip/redavave.exe" "$zip/SDL2.dll" "$zip/avformat-59.dll" "$zip/libwinpthread-1.dll"
if message="$(check_dll_imports "$zip" <"$imports" 2>&1)"; then
  fail "a zip without zlib1.dll passed"
fi
[ "$message" = "avformat-59.dll needs zlib1.dll, which is neither in the package nor part of Windows" ] ||
  fail "the message for the missing zlib1.dll is: $message"

# Shipped, whatever the case of its name: nothing to say.
touch "$zip/ZLIB1.DLL"
message="$(check_dll_imports "$zip" <"$imports" 2>&1)" || fail "a complete zip failed: $message"
[ -z "$message" ] || fail "a complete zip gave: $message"

# The mingw runtime is no part of Windows.
rm "$zip/libwinpthread-1.dll"
check_dll_imports "$zip" <"$imports" 2>/dev/null && fail "a zip without libwinpthread-1.dll passed"

finish "DLL check as expected"
