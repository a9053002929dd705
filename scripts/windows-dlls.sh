# Functions that check a Windows game folder for DLLs it imports but does not
# ship, for scripts/package.sh (sourced) and its test.

# The DLLs of Windows itself (64-bit Windows 7 and later) that the game and
# its DLLs import, lower case; api-ms-win-* names (Windows' API sets) pass as
# well. A new import the check refuses goes here only if Windows brings it.
windows_system_dlls=(
  kernel32.dll user32.dll gdi32.dll opengl32.dll glu32.dll winmm.dll imm32.dll
  ole32.dll oleaut32.dll setupapi.dll version.dll shell32.dll advapi32.dll
  msvcrt.dll bcrypt.dll
)

# dll_imports <module>...
# Prints "<module name> <imported DLL>" for every DLL each PE module imports.
dll_imports() {
  local module
  for module in "$@"; do
    x86_64-w64-mingw32-objdump -p "$module" |
      awk -v m="$(basename "$module")" '$1 == "DLL" && $2 == "Name:" { print m, $3 }'
  done
}

# check_dll_imports <folder>
# Reads "<module> <DLL>" lines on standard input; every DLL must be a file in
# <folder> or one of Windows' own (names compared without case, as Windows
# does). Names each missing one on standard error; returns 1 if any is.
check_dll_imports() {
  local folder="$1" module dll missing=0
  local -A present=()
  local f
  for f in "$folder"/*; do
    [ -f "$f" ] || continue
    f="$(basename "$f")"
    present["${f,,}"]=1
  done
  for dll in "${windows_system_dlls[@]}"; do
    present["$dll"]=1
  done
  while read -r module dll; do
    [ -n "$dll" ] || continue
    case "${dll,,}" in
      api-ms-win-*) continue ;;
    esac
    if [ -z "${present["${dll,,}"]:-}" ]; then
      echo "$module needs $dll, which is neither in the package nor part of Windows" >&2
      missing=1
    fi
  done
  return "$missing"
}
